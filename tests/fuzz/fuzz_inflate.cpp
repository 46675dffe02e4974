// Fuzz target for the decoder. Input: byte 0 the mode (bit 0: limited mode,
// the stream's size as the limit, with the volume reader behind it; bit 1:
// the stream continues in volume 1 from the split point; bit 2: volume 1 is
// missing, so the disk prompt appears and is given up), bytes 1-2 the
// destination capacity in units of 4 bytes, byte 3 the split point as a
// fraction of the stream; the rest is the stream, read from an in-memory file.
// The destination is a memory sink whose buffer ends at a guard page, so a
// write past its capacity faults. No file may be left past its end; after a
// successful unlimited decode the input cut right after the bytes taken must
// decode the same, and cut one byte shorter must fail.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "inflate/Inflater.h"
#include "inflate/OutputSink.h"
#include "setupdata/SetupData.h"
#include "setupdata/VolumeReader.h"
#include "tests/support/CollectingSink.h"
#include "tests/support/PlatformDouble.h"

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

// The in-memory file, holding n bytes of the stream, positioned at 0.
int Source(const uint8_t* stream, uint32_t n) {
  static int fd = memfd_create("fuzz_inflate", 0);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, stream, n, 0) != static_cast<ssize_t>(n)) abort();
  lseek(fd, 0, SEEK_SET);
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
  const std::string path = std::string(Folder()) + "/SETUP.D01";
  FILE* f = fopen(path.c_str(), "wb");
  const uint8_t size[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  if (!f || fwrite(size, 1, 4, f) != 4 || fwrite(data, 1, n, f) != n) abort();
  fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  const bool limited = data[0] & 1, split = limited && (data[0] & 2), missing = split && (data[0] & 4);
  const uint32_t capacity = static_cast<uint32_t>(data[1] | (data[2] << 8)) * 4;
  const uint8_t* stream = data + 4;
  const uint32_t streamSize = static_cast<uint32_t>(size - 4);
  const uint32_t first = split ? streamSize * data[3] / 255 : streamSize;

  static char path[kPathBufferSize];
  snprintf(path, sizeof path, "%s/SETUP.EXE", Folder());
  DataFilePath = path;
  PlatformDouble::Reset();  // unscripted: Cancel to the disk prompt, Yes to give up
  unlink((std::string(Folder()) + "/SETUP.D01").c_str());
  if (split && !missing) WriteVolume(stream + first, streamSize - first);
  const int fd = Source(stream, first);
  InputHandle = dup(fd);  // the volume reader closes it when it switches
  VolumeNumber = 0;
  VolumeDataSize = VolumeBytesLeft = first;

  uint8_t* destination = GuardedEnd() - capacity;
  CountingSink sink(destination, capacity);
  Inflater inflater;
  const int result = inflater.DecodeToSink(sink, InputHandle, limited ? streamSize : 0, FillInput);
  inflater.EndInput();
  const uint32_t end = VolumeNumber ? streamSize - first + 4 : first;
  if (InputHandle != kInvalidFile && FileTell(InputHandle) > end) Fail("volume left past its end");
  FileClose(InputHandle);
  InputHandle = kInvalidFile;
  const off_t position = lseek(fd, 0, SEEK_CUR);
  if (position > static_cast<off_t>(first)) Fail("source left past the end of the input");
  if (result != kInflateOk || limited) return 0;

  const std::vector<uint8_t> output(destination, destination + sink.total);
  CollectingSink again(SIZE_MAX), shorter(SIZE_MAX);
  if (inflater.DecodeToSink(again, Source(stream, static_cast<uint32_t>(position)), 0) != kInflateOk ||
      again.bytes != output)
    Fail("the bytes taken do not decode the same on their own");
  if (position > 0 &&
      inflater.DecodeToSink(shorter, Source(stream, static_cast<uint32_t>(position - 1)), 0) == kInflateOk)
    Fail("the bytes taken less the last one still decode");
  return 0;
}
