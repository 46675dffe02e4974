// Receivers of decoded bytes: the only class hierarchy of the program. A
// sink is handed whole 32768-byte windows and, after a successful decode, the
// final partial window (possibly empty), nothing else. No sink calls back into
// the decoder or the user interface.
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"

class OutputSink {
 public:
  virtual ~OutputSink() {}
  // Whether the sink can receive bytes; asked once before decoding.
  virtual bool IsReady() = 0;
  // Receives length bytes (at most 32768). False means the sink cannot take
  // them (a memory sink past its capacity); the decode then fails.
  virtual bool Write(const uint8_t* data, uint32_t length) = 0;
};

// Copies into a caller's buffer of known capacity.
class MemorySink : public OutputSink {
 public:
  MemorySink(uint8_t* destination, uint32_t capacity) : next(destination), room(capacity) {}
  bool IsReady() override;
  bool Write(const uint8_t* data, uint32_t length) override;

 private:
  uint8_t* next;
  uint32_t room;
};

// Writes to an open file; over the invalid handle the bytes are dropped.
// Write errors are not reported (the installation finds a damaged file by
// its checksum).
class FileSink : public OutputSink {
 public:
  explicit FileSink(FileHandle output) : file(output) {}
  bool IsReady() override;
  bool Write(const uint8_t* data, uint32_t length) override;

 private:
  FileHandle file;
};
