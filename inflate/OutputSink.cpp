// The two sinks of the decoder: a caller's buffer of known capacity, and an
// open file (or nowhere, over the invalid handle).
#include "inflate/OutputSink.h"

#include <string.h>

bool MemorySink::IsReady() { return next != nullptr; }

// A write that does not fit is refused whole, so the buffer is never overrun.
bool MemorySink::Write(const uint8_t* data, uint32_t length) {
  if (length > room) return false;
  memcpy(next, data, length);
  next += length;
  room -= length;
  return true;
}

bool FileSink::IsReady() { return true; }

bool FileSink::Write(const uint8_t* data, uint32_t length) {
  if (file != kInvalidFile) FileWrite(file, data, length);
  return true;
}
