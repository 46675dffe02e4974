// Output sinks of the host tools: a file sink that notices failed writes
// (the stub's FileSink leaves that to the checksum), and a sink that only
// counts and checksums what it receives.
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"
#include "inflate/OutputSink.h"
#include "setupdata/FileRecord.h"

class CheckedFileSink : public OutputSink {
 public:
  explicit CheckedFileSink(FileHandle output) : file(output) {}
  bool IsReady() override { return file != kInvalidFile; }
  bool Write(const uint8_t* data, uint32_t length) override {
    if (FileWrite(file, data, length) != 0) failed = true;
    return !failed;
  }
  bool failed = false;

 private:
  FileHandle file;
};

// Receives whole windows (multiples of 4 bytes) and one final piece, so the
// running ContentChecksum equals the checksum of the whole content.
class ChecksumSink : public OutputSink {
 public:
  bool IsReady() override { return true; }
  bool Write(const uint8_t* data, uint32_t length) override {
    checksum = ContentChecksum(checksum, data, length);
    size += length;
    return true;
  }
  uint32_t checksum = 0;
  uint64_t size = 0;
};

// Drops what it receives.
class DiscardSink : public OutputSink {
 public:
  bool IsReady() override { return true; }
  bool Write(const uint8_t*, uint32_t) override { return true; }
};

// Hands every write to two sinks; refuses when either refuses.
class TeeSink : public OutputSink {
 public:
  TeeSink(OutputSink& first, OutputSink& second) : first(first), second(second) {}
  bool IsReady() override { return first.IsReady() && second.IsReady(); }
  bool Write(const uint8_t* data, uint32_t length) override {
    bool a = first.Write(data, length);
    bool b = second.Write(data, length);
    return a && b;
  }

 private:
  OutputSink& first;
  OutputSink& second;
};
