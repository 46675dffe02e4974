// Differential fuzz target for the decoder's two fast loops: each input is
// decoded with the host's 64-bit bit buffer and loop (Inflater) and with the
// stub's 32-bit ones (narrow::Inflater, through DecodeNarrow), and the two
// must agree on the result, every output byte and the bytes taken. Input:
// byte 0 the count of filler bytes that come before the stream in the file,
// which moves the stream against the decoder's 4096-byte input fills (where
// the loops hand over to the byte-wise path); the rest is the stream.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "inflate/Inflater.h"
#include "tests/support/CollectingSink.h"

int DecodeNarrow(OutputSink& sink, FileHandle source);  // NarrowDecode.cpp

namespace {

// A longer output makes both decodes fail at the same write.
const size_t kMaxOutput = 8u << 20;

int DecodeWide(OutputSink& sink, FileHandle source) {
  Inflater inflater;
  return inflater.DecodeToSink(sink, source, 0);
}

struct Run {
  int result;
  std::vector<uint8_t> output;
  off_t position;  // of the source afterwards
};

Run DecodeAt(int fd, off_t start, int (*decode)(OutputSink&, FileHandle)) {
  lseek(fd, start, SEEK_SET);
  CollectingSink sink(kMaxOutput);
  Run run;
  run.result = decode(sink, fd);
  run.output = std::move(sink.bytes);
  run.position = lseek(fd, 0, SEEK_CUR);
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  static int fd = memfd_create("fuzz_inflate_loops", 0);
  std::vector<uint8_t> file(data[0], 0xA5);
  file.insert(file.end(), data + 1, data + size);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, file.data(), file.size(), 0) != static_cast<ssize_t>(file.size())) abort();

  const Run wide = DecodeAt(fd, data[0], DecodeWide);
  const Run narrow = DecodeAt(fd, data[0], DecodeNarrow);
  if (wide.result != narrow.result || wide.output != narrow.output || wide.position != narrow.position) {
    fprintf(stderr, "fuzz_inflate_loops: the loops differ: 64-bit %d, %zu bytes out, at %lld; 32-bit %d, %zu, %lld\n",
            wide.result, wide.output.size(), static_cast<long long>(wide.position), narrow.result,
            narrow.output.size(), static_cast<long long>(narrow.position));
    abort();
  }
  return 0;
}
