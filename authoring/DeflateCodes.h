// Private to the encoder (Encoder.cpp, Rfc1951Transcoder.cpp): the constants
// deflate and the setup format share, the setup format's block headers, and
// a bit writer.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Block types of the setup format (bits 0-2 of the 4-bit block header) and
// its last-block flag (bit 3). Coupled with the decoder, inflate/Inflater.cpp:
// both change together.
const uint32_t kSetupBlockFixed = 5;
const uint32_t kSetupBlockDynamic = 6;
const uint32_t kSetupBlockStored = 7;
const uint32_t kSetupLastBlock = 8;

const unsigned kEndOfBlock = 256;
const unsigned kMinMatch = 3;
const unsigned kMaxMatch = 258;
const unsigned kWindowSize = 32768;  // the largest distance

// Length symbols 257-285 and distance symbols 0-29: base and extra bits.
const unsigned kLengthCodes = 29;
const unsigned kDistanceCodes = 30;
const uint16_t kLengthBase[kLengthCodes] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[kLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistanceBase[kDistanceCodes] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[kDistanceCodes] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Output bits, least significant first, appended to a byte vector.
class OutputBits {
 public:
  explicit OutputBits(std::vector<uint8_t>& out) : out(out) {}

  void Put(uint32_t value, unsigned n) {  // value < 2^n, n <= 32
    bits |= static_cast<uint64_t>(value) << count;
    count += n;
    if (count >= 32) Flush();
  }
  // A Huffman code of n bits, sent most significant bit first.
  void PutCode(uint32_t code, unsigned n) {
    uint32_t reversed = 0;
    for (unsigned i = 0; i < n; i++) reversed |= ((code >> i) & 1) << (n - 1 - i);
    Put(reversed, n);
  }
  void AlignToByte() {
    count = (count + 7) & ~7u;
    Flush();
  }
  void PutBytes(const uint8_t* data, size_t n) {  // only when byte-aligned
    Flush();
    out.insert(out.end(), data, data + n);
  }
  void Finish() { AlignToByte(); }

 private:
  void Flush() {
    while (count >= 8) {
      out.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }

  std::vector<uint8_t>& out;
  uint64_t bits = 0;
  unsigned count = 0;
};

// One fixed-code block, the last, holding all size bytes with the cheapest
// parse the match finder allows (FixedBlockEncoder.cpp). For small inputs:
// time and memory grow with size.
std::vector<uint8_t> EncodeFixedBlock(const uint8_t* data, size_t size);
