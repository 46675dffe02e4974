// A decoder sink for tests and fuzz targets that keeps every byte it is
// given and each write's length, up to a limit (a write past it is refused
// and fails the decode).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "inflate/OutputSink.h"

class CollectingSink : public OutputSink {
 public:
  explicit CollectingSink(size_t limit) : limit(limit) {}
  bool IsReady() override { return true; }
  bool Write(const uint8_t* data, uint32_t length) override {
    if (length > limit - bytes.size()) return false;
    bytes.insert(bytes.end(), data, data + length);
    writes.push_back(length);
    return true;
  }

  std::vector<uint8_t> bytes;
  std::vector<uint32_t> writes;

 private:
  size_t limit;
};
