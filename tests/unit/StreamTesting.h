// Helpers for the tests of streams and setup files: byte vectors and their
// fields, a bit writer for hand-made streams, canonical codes, and decoding
// from an in-memory file with the file position read back afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "inflate/Inflater.h"
#include "tests/support/CollectingSink.h"

namespace streamtest {

using Bytes = std::vector<uint8_t>;

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline Bytes U32(uint32_t n) { return {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)}; }
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Writes a stream bit by bit in the order the decoder reads it.
class BitWriter {
 public:
  // A field of n bits, least significant bit first (headers, extra bits).
  BitWriter& Bits(uint32_t value, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) Put(i < 32 ? (value >> i) & 1 : 0);
    return *this;
  }
  // A Huffman code of n bits, most significant bit first.
  BitWriter& Code(uint32_t code, uint32_t n) {
    for (uint32_t i = n; i-- > 0;) Put((code >> i) & 1);
    return *this;
  }
  // Zero bits up to the next byte boundary.
  BitWriter& Align() {
    while (bitCount % 8) Put(0);
    return *this;
  }
  // The bytes so far, the last one padded with zero bits.
  const std::vector<uint8_t>& Bytes() const { return bytes; }

 private:
  void Put(uint32_t bit) {
    if (bitCount % 8 == 0) bytes.push_back(0);
    bytes.back() |= static_cast<uint8_t>(bit << (bitCount++ % 8));
  }
  std::vector<uint8_t> bytes;
  size_t bitCount = 0;
};

// Canonical codes (most significant bit first) for the given lengths.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t counts[16] = {}, next[16] = {};
  for (uint8_t len : lengths) ++counts[len];
  counts[0] = 0;
  for (uint32_t len = 1, code = 0; len < 16; ++len) next[len] = code = (code + counts[len - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  return codes;
}

// An anonymous in-memory file holding the given bytes, positioned at 0.
class MemoryFile {
 public:
  explicit MemoryFile(const Bytes& bytes) : fd(memfd_create("stream", 0)) {
    if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) abort();
    lseek(fd, 0, SEEK_SET);
  }
  ~MemoryFile() { close(fd); }
  MemoryFile(const MemoryFile&) = delete;
  FileHandle Handle() const { return fd; }
  long Position() const { return lseek(fd, 0, SEEK_CUR); }

 private:
  int fd;
};

struct Decoded {
  int result;
  Bytes output;
  std::vector<uint32_t> writes;
  long position;  // of the source after the decode
};

// Decodes the first stream of the given bytes.
inline Decoded Decode(const Bytes& bytes) {
  MemoryFile file(bytes);
  CollectingSink sink(SIZE_MAX);
  Inflater inflater;
  const int result = inflater.DecodeToSink(sink, file.Handle(), 0);
  inflater.EndInput();
  return {result, sink.bytes, sink.writes, file.Position()};
}

}  // namespace streamtest
