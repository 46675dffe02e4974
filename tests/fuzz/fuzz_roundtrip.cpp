// Encoder round trip: the first input byte chooses the level and the
// options, the rest is the data. The data is encoded, the stream is written
// into an in-memory file between other bytes, and our decoder must give the
// data back and leave the file right after the stream.
//   options bits 0-3: level (0-12; 13-15 read as 12)
//           bit 4:    tile the data to about 70000 bytes (several windows,
//                     several stored blocks at level 0)
//           bit 5:    no bytes after the stream (the file ends with it)
//           bits 6-7: 0, 1, 4095 or 4097 bytes before the stream
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "authoring/Encoder.h"
#include "base/FileAccess.h"
#include "inflate/Inflater.h"
#include "tests/support/CollectingSink.h"

namespace {

const size_t kTiledSize = 70000;
const uint32_t kLeadSizes[4] = {0, 1, 4095, 4097};

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size == 0) return 0;
  const uint8_t options = input[0];
  const int level = std::min(options & 15, kEncodeLevelMax);
  std::vector<uint8_t> data(input + 1, input + size);
  if ((options & 0x10) && !data.empty()) {
    const std::vector<uint8_t> tile = data;
    while (data.size() < kTiledSize)
      data.insert(data.end(), tile.begin(), tile.begin() + std::min(tile.size(), kTiledSize - data.size()));
  }
  const std::vector<uint8_t> stream = EncodeStream(data.data(), data.size(), level);

  const uint32_t lead = kLeadSizes[options >> 6];
  std::vector<uint8_t> file(lead, 0x5A);
  file.insert(file.end(), stream.begin(), stream.end());
  if (!(options & 0x20)) file.insert(file.end(), 4096, 0xA5);
  int fd = memfd_create("roundtrip", 0);
  Check(fd >= 0);
  Check(FileWrite(fd, file.data(), static_cast<uint32_t>(file.size())) == 0);
  Check(FileSeekTo(fd, lead) == lead);

  CollectingSink sink(data.size());
  Inflater inflater;
  Check(inflater.DecodeToSink(sink, fd, 0) == kInflateOk);
  Check(sink.bytes == data);
  Check(FileTell(fd) == lead + stream.size());
  close(fd);
  return 0;
}
