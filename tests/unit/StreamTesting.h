// Helpers for the decoder and volume-reader tests: a bit writer for
// hand-made streams, canonical codes, a recording sink, and decoding from an
// in-memory file with the file position read back afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "inflate/Inflater.h"
#include "inflate/OutputSink.h"

namespace streamtest {

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
  BitWriter& Byte(uint8_t value) { return Bits(value, 8); }
  BitWriter& Text(const std::string& text) {
    for (unsigned char c : text) Byte(c);
    return *this;
  }
  // The bytes so far, the last one padded with zero bits.
  const std::vector<uint8_t>& Bytes() const { return bytes; }

 private:
  void Put(uint32_t bit) {
    if (bitCount % 8 == 0) bytes.push_back(0);
    bytes.back() |= static_cast<uint8_t>(bit << (bitCount % 8));
    ++bitCount;
  }
  std::vector<uint8_t> bytes;
  size_t bitCount = 0;
};

// Canonical codes (most significant bit first) for the given lengths.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t counts[16] = {}, next[16] = {};
  for (uint8_t len : lengths) ++counts[len];
  counts[0] = 0;
  for (uint32_t len = 1, code = 0; len < 16; ++len) {
    code = (code + counts[len - 1]) << 1;
    next[len] = code;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  return codes;
}

// The fixed literal/length code of a symbol: {code, length}.
inline std::pair<uint32_t, uint32_t> FixedLiteralCode(uint32_t symbol) {
  if (symbol < 144) return {0x30 + symbol, 8};
  if (symbol < 256) return {0x190 + symbol - 144, 9};
  if (symbol < 280) return {symbol - 256, 7};
  return {0xC0 + symbol - 280, 8};
}

// The code-length code used by DynamicHeader (complete): symbols 0-12 of 4
// bits (codes 0-12), symbols 13-18 of 5 bits (codes 26-31).
inline void CodeLengthSymbol(BitWriter& w, uint32_t symbol) {
  if (symbol <= 12)
    w.Code(symbol, 4);
  else
    w.Code(26 + symbol - 13, 5);
}

// A dynamic block's header: type and last flag, HLIT, HDIST, HCLEN 15 and the
// 19 code-length code lengths above (order 18, 17, 16, 0, 1, ..., 15).
inline void DynamicCounts(BitWriter& w, bool last, uint32_t literalCount, uint32_t distanceCount) {
  w.Bits(6, 3).Bits(last, 1).Bits(literalCount - 257, 5).Bits(distanceCount - 1, 5).Bits(15, 4);
  const uint32_t order[19] = {18, 17, 16, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  for (uint32_t symbol : order) w.Bits(symbol <= 12 ? 4 : 5, 3);
}

// The header and every length written plainly, one code-length symbol each.
inline void DynamicHeader(BitWriter& w, bool last, const std::vector<uint8_t>& literalLengths,
                          const std::vector<uint8_t>& distanceLengths) {
  DynamicCounts(w, last, static_cast<uint32_t>(literalLengths.size()), static_cast<uint32_t>(distanceLengths.size()));
  for (uint8_t len : literalLengths) CodeLengthSymbol(w, len);
  for (uint8_t len : distanceLengths) CodeLengthSymbol(w, len);
}

// Lengths of `count` symbols, all 0 but the given ones.
inline std::vector<uint8_t> Lengths(size_t count, std::initializer_list<std::pair<uint32_t, uint8_t>> given) {
  std::vector<uint8_t> lengths(count);
  for (auto [symbol, len] : given) lengths[symbol] = len;
  return lengths;
}

// Records what reaches the sink: each write's length and all bytes.
class RecordingSink : public OutputSink {
 public:
  bool IsReady() override { return true; }
  bool Write(const uint8_t* data, uint32_t length) override {
    writes.push_back(length);
    output.insert(output.end(), data, data + length);
    return true;
  }
  std::vector<uint32_t> writes;
  std::vector<uint8_t> output;
};

// An anonymous in-memory file holding the given bytes, positioned at 0.
class MemoryFile {
 public:
  explicit MemoryFile(const std::vector<uint8_t>& bytes) : fd(memfd_create("stream", 0)) {
    if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) abort();
    lseek(fd, 0, SEEK_SET);
  }
  ~MemoryFile() { close(fd); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  FileHandle Handle() const { return fd; }
  long Position() const { return lseek(fd, 0, SEEK_CUR); }

 private:
  int fd;
};

struct Decoded {
  int result;
  std::vector<uint8_t> output;
  std::vector<uint32_t> writes;
  long position;  // of the source after the decode
};

// Decodes the first stream of the given bytes.
inline Decoded Decode(const std::vector<uint8_t>& bytes) {
  MemoryFile file(bytes);
  RecordingSink sink;
  Inflater inflater;
  Decoded d;
  d.result = inflater.DecodeToSink(sink, file.Handle(), 0);
  inflater.EndInput();
  d.output = sink.output;
  d.writes = sink.writes;
  d.position = file.Position();
  return d;
}

inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Raw RFC 1951 deflate by zlib: the independent oracle.
inline std::vector<uint8_t> ZlibRaw(const std::vector<uint8_t>& data, int level, int strategy, int memLevel) {
  z_stream z = {};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, memLevel, strategy), Z_OK);
  std::vector<uint8_t> out(deflateBound(&z, data.size()) + 16);
  z.next_in = const_cast<uint8_t*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace streamtest
