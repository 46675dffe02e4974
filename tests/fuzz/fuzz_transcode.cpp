// The RFC 1951 rewriter on arbitrary bytes. It must never crash; when it
// accepts the input, zlib's raw inflate must accept it too, end at the same
// byte, and our decoder must turn the rewritten stream into zlib's output,
// leaving its file right after the stream.
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <vector>

#include "authoring/Encoder.h"
#include "base/FileAccess.h"
#include "inflate/Inflater.h"
#include "tests/support/CollectingSink.h"

namespace {

const size_t kMaxOutput = size_t(1) << 24;  // larger expansions are not compared

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  std::vector<uint8_t> ours;
  size_t consumed = 0;
  if (!TranscodeRfc1951(input, size, ours, &consumed)) return 0;
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
  size_t zlibConsumed = zs.total_in;
  inflateEnd(&zs);
  if (result == Z_OK) return 0;  // too large to compare
  Check(result == Z_STREAM_END);
  Check(zlibConsumed == consumed);

  int fd = memfd_create("transcoded", 0);
  Check(fd >= 0);
  std::vector<uint8_t> file = ours;
  file.insert(file.end(), 16, 0xA5);
  Check(FileWrite(fd, file.data(), static_cast<uint32_t>(file.size())) == 0);
  Check(FileSeekTo(fd, 0) == 0);
  CollectingSink sink(expected.size());
  Inflater inflater;
  Check(inflater.DecodeToSink(sink, fd, 0) == kInflateOk);
  Check(sink.bytes == expected);
  Check(FileTell(fd) == ours.size());
  close(fd);
  return 0;
}
