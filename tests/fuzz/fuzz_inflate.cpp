// Fuzz target for the decoder, on both of its fast loops: the host's 64-bit
// bit buffer and loop (Inflater) and the stub's 32-bit ones (narrow::Inflater,
// through DecodeNarrow in NarrowDecode.cpp). Input: byte 0 the mode (bit 0:
// limited mode, the stream's size as the limit, with the volume reader behind
// it; bit 1: the stream continues in volume 1 from the split point; bit 2:
// volume 1 is missing, so the disk prompt appears and is given up), bytes 1-2
// the destination capacity in units of 4 bytes, byte 3 the split point as a
// fraction of the stream or, in unlimited mode, the count of filler bytes
// before the stream in the file (which moves it against the decoder's
// 4096-byte input fills, where the loops hand over to the byte-wise path);
// the rest is the stream, read from an in-memory file.
// The destination is a memory sink whose buffer ends at a guard page, so a
// write past its capacity faults. The two loops must agree on the result,
// every output byte and, for a good stream, the bytes taken. No file may be
// left past its end; after a successful unlimited decode the input cut right
// after the bytes taken must decode the same, and cut one byte shorter fail.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "inflate/Inflater.h"
#include "inflate/OutputSink.h"
#include "setupdata/SetupData.h"
#include "setupdata/VolumeReader.h"
#include "tests/support/CollectingSink.h"
#include "tests/support/PlatformDouble.h"

int DecodeNarrow(OutputSink& sink, FileHandle source, uint32_t limit, InputFill fill);  // NarrowDecode.cpp

namespace {

const size_t kMaxCapacity = 0xFFFF * 4;

uint8_t* GuardedEnd() {
  static uint8_t* end = [] {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t size = (kMaxCapacity + page - 1) / page * page;
    void* region = mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED || mprotect(static_cast<uint8_t*>(region) + size, page, PROT_NONE) != 0) abort();
    return static_cast<uint8_t*>(region) + size;
  }();
  return end;
}

// The memory sink, counting what it accepted.
class CountingSink : public OutputSink {
 public:
  CountingSink(uint8_t* destination, uint32_t capacity) : memory(destination, capacity) {}
  bool IsReady() override { return memory.IsReady(); }
  bool Write(const uint8_t* data, uint32_t length) override {
    if (!memory.Write(data, length)) return false;
    total += length;
    return true;
  }
  MemorySink memory;
  uint32_t total = 0;
};

void Fail(const char* what) {
  fprintf(stderr, "fuzz_inflate: %s\n", what);
  abort();
}

// The in-memory file: `lead` filler bytes, then n bytes of the stream,
// positioned at the stream.
int Source(const uint8_t* stream, uint32_t n, uint32_t lead = 0) {
  static int fd = memfd_create("fuzz_inflate", 0);
  std::vector<uint8_t> file(lead, 0xA5);
  file.insert(file.end(), stream, stream + n);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, file.data(), file.size(), 0) != static_cast<ssize_t>(file.size())) abort();
  lseek(fd, lead, SEEK_SET);
  return fd;
}

// A private folder for volume 1, removed at exit; DataFilePath names the
// setup file in it.
const char* Folder() {
  static char folder[64];
  if (!folder[0]) {
    snprintf(folder, sizeof folder, "%s/fuzz_inflate.XXXXXX", access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    if (!mkdtemp(folder)) abort();
    atexit([] {
      unlink((std::string(Folder()) + "/SETUP.D01").c_str());
      rmdir(Folder());
    });
  }
  return folder;
}

void WriteVolume(const uint8_t* data, uint32_t n) {
  const uint8_t size[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  std::ofstream volume(std::string(Folder()) + "/SETUP.D01", std::ios::binary);
  volume.write(reinterpret_cast<const char*>(size), 4).write(reinterpret_cast<const char*>(data), n);
  if (!volume) abort();
}

int DecodeWide(OutputSink& sink, FileHandle source, uint32_t limit, InputFill fill) {
  return Inflater().DecodeToSink(sink, source, limit, fill);
}

struct Run {
  int result;
  std::vector<uint8_t> output;
  off_t position;  // of the source afterwards, from the stream's start
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  const bool limited = data[0] & 1, split = limited && (data[0] & 2), missing = split && (data[0] & 4);
  const uint32_t capacity = static_cast<uint32_t>(data[1] | (data[2] << 8)) * 4;
  const uint8_t* stream = data + 4;
  const uint32_t streamSize = static_cast<uint32_t>(size - 4);
  const uint32_t first = split ? streamSize * data[3] / 255 : streamSize, lead = limited ? 0 : data[3];

  static char path[kPathBufferSize];
  snprintf(path, sizeof path, "%s/SETUP.EXE", Folder());
  DataFilePath = path;
  unlink((std::string(Folder()) + "/SETUP.D01").c_str());
  if (split && !missing) WriteVolume(stream + first, streamSize - first);
  Run runs[2];
  for (int narrow = 0; narrow < 2; ++narrow) {
    PlatformDouble::Reset();  // unscripted: Cancel to the disk prompt, Yes to give up
    const int fd = Source(stream, first, lead);
    InputHandle = dup(fd);  // the volume reader closes it when it switches
    VolumeNumber = 0;
    VolumeDataSize = VolumeBytesLeft = first;
    uint8_t* destination = GuardedEnd() - capacity;
    CountingSink sink(destination, capacity);
    const int result = (narrow ? DecodeNarrow : DecodeWide)(sink, InputHandle, limited ? streamSize : 0, FillInput);
    const uint32_t end = VolumeNumber ? streamSize - first + 4 : lead + first;
    if (InputHandle != kInvalidFile && FileTell(InputHandle) > end) Fail("volume left past its end");
    FileClose(InputHandle);
    InputHandle = kInvalidFile;
    const off_t position = lseek(fd, 0, SEEK_CUR) - lead;
    if (position > static_cast<off_t>(first)) Fail("source left past the end of the input");
    runs[narrow] = {result, std::vector<uint8_t>(destination, destination + sink.total), position};
  }
  const Run& wide = runs[0];
  // Where a failed stream leaves the file does not matter: nothing reads on.
  if (wide.result != runs[1].result || wide.output != runs[1].output ||
      (wide.result == kInflateOk && wide.position != runs[1].position)) {
    fprintf(stderr, "fuzz_inflate: the loops differ: 64-bit %d, %zu bytes out, at %lld; 32-bit %d, %zu, %lld\n",
            wide.result, wide.output.size(), static_cast<long long>(wide.position), runs[1].result,
            runs[1].output.size(), static_cast<long long>(runs[1].position));
    abort();
  }
  if (wide.result != kInflateOk || limited) return 0;

  const uint32_t taken = static_cast<uint32_t>(wide.position);
  CollectingSink again(SIZE_MAX), shorter(SIZE_MAX);
  if (DecodeWide(again, Source(stream, taken), 0, nullptr) != kInflateOk || again.bytes != wide.output)
    Fail("the bytes taken do not decode the same on their own");
  if (taken > 0 && DecodeWide(shorter, Source(stream, taken - 1), 0, nullptr) == kInflateOk)
    Fail("the bytes taken less the last one still decode");
  return 0;
}
