// The encoder and the RFC 1951 rewriter, each against our decoder. The first
// input byte chooses the level and the options, the rest is the data:
//   options bits 0-3: level (0-12; 13-15 read as 12)
//           bit 4:    tile the data to about 70000 bytes (several windows,
//                     several stored blocks at level 0)
//           bit 5:    no bytes after the stream (the file ends with it)
//           bits 6-7: 0, 1, 4095 or 4097 bytes before the stream
// The data is encoded, the stream is written into an in-memory file between
// other bytes, and our decoder must give the data back and leave the file
// right after the stream. The same data, read as an RFC 1951 stream, goes to
// the rewriter, which must never crash; when it accepts it, zlib's raw
// inflate must accept it too and end at the same byte, and our decoder must
// turn the rewritten stream into zlib's output.
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "authoring/Encoder.h"
#include "base/FileAccess.h"
#include "inflate/Inflater.h"
#include "tests/support/CollectingSink.h"

namespace {

const size_t kTiledSize = 70000;
const uint32_t kLeadSizes[4] = {0, 1, 4095, 4097};
const size_t kMaxOutput = size_t(1) << 24;  // larger zlib expansions are not compared

void Check(bool condition) {
  if (!condition) abort();
}

// Our decoder on the stream, `lead` bytes into a file that holds `trailer`
// bytes after it: the output must be `expected`, the file left right after.
void ExpectDecodes(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& expected, uint32_t lead,
                   uint32_t trailer) {
  std::vector<uint8_t> file(lead, 0x5A);
  file.insert(file.end(), stream.begin(), stream.end());
  file.insert(file.end(), trailer, 0xA5);
  int fd = memfd_create("encoded", 0);
  Check(fd >= 0);
  Check(FileWrite(fd, file.data(), static_cast<uint32_t>(file.size())) == 0);
  Check(FileSeekTo(fd, lead) == lead);
  CollectingSink sink(expected.size());
  Inflater inflater;
  Check(inflater.DecodeToSink(sink, fd, 0) == kInflateOk);
  Check(sink.bytes == expected);
  Check(FileTell(fd) == lead + stream.size());
  close(fd);
}

void CheckRewriter(const uint8_t* input, size_t size) {
  std::vector<uint8_t> ours;
  size_t consumed = 0;
  if (!TranscodeRfc1951(input, size, ours, &consumed)) return;
  Check(consumed <= size);

  // zlib's output, gathered in pieces.
  std::vector<uint8_t> expected;
  uint8_t piece[65536];
  z_stream zs;
  memset(&zs, 0, sizeof zs);
  Check(inflateInit2(&zs, -15) == Z_OK);
  zs.next_in = const_cast<Bytef*>(input);
  zs.avail_in = static_cast<uInt>(size);
  int result;
  do {
    zs.next_out = piece;
    zs.avail_out = sizeof piece;
    result = inflate(&zs, Z_NO_FLUSH);
    expected.insert(expected.end(), piece, piece + (sizeof piece - zs.avail_out));
  } while (result == Z_OK && expected.size() < kMaxOutput);
  const size_t zlibConsumed = zs.total_in;
  inflateEnd(&zs);
  if (result == Z_OK) return;  // too large to compare
  Check(result == Z_STREAM_END);
  Check(zlibConsumed == consumed);
  ExpectDecodes(ours, expected, 0, 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size == 0) return 0;
  CheckRewriter(input + 1, size - 1);
  const uint8_t options = input[0];
  const int level = std::min(options & 15, kEncodeLevelMax);
  std::vector<uint8_t> data(input + 1, input + size);
  if ((options & 0x10) && !data.empty()) {
    const std::vector<uint8_t> tile = data;
    while (data.size() < kTiledSize)
      data.insert(data.end(), tile.begin(), tile.begin() + std::min(tile.size(), kTiledSize - data.size()));
  }
  ExpectDecodes(EncodeStream(data.data(), data.size(), level), data, kLeadSizes[options >> 6],
                options & 0x20 ? 0 : 4096);
  return 0;
}
