// Rewrites a raw RFC 1951 (deflate) stream into the setup compression format.
//
// The two formats share the Huffman coding, the alphabets, the fixed code and
// the window; they differ only in three places, which are rewritten here:
//   block header   RFC 1951: last-block bit, then a 2-bit type (0 stored,
//                  1 fixed, 2 dynamic); ours: a 4-bit header, type 7 stored,
//                  5 fixed, 6 dynamic in bits 0-2, last block in bit 3;
//   stored block   RFC 1951: LEN and its one's complement NLEN; ours: LEN only;
//   dynamic block  the code-length code lengths follow the order 18, 17, 16,
//                  0, 1, ..., 15, and HCLEN counts them in that order (zero
//                  lengths at the end are left out, at least 4 are written).
// Everything else (the Huffman-coded code-length sequence, literals, lengths,
// distances and their extra bits) is copied bit for bit, so the rewritten
// stream decodes to exactly the bytes the original does.
//
// The reader never looks past the given size and rejects any stream that is
// truncated or invalid. It is at least as strict as zlib's inflate and as our
// decoder: when it accepts a stream, both of them decode the original and the
// rewritten stream without error and to the same bytes. In particular it
// rejects incomplete codes (except a literal/length or distance code of one
// 1-bit code, and a distance code with no codes at all, which fail only when
// used), a literal/length code without end of block, a repeat of the previous
// length at the start of the code lengths, and distances reaching back before
// the first byte of the stream.
#include <string.h>

#include <vector>

#include "authoring/DeflateCodes.h"
#include "authoring/Encoder.h"

namespace {

const unsigned kCodeLengthSymbols = 19;
const uint8_t kRfcCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                         11, 4,  12, 3, 13, 2, 14, 1, 15};
const uint8_t kSetupCodeLengthOrder[kCodeLengthSymbols] = {18, 17, 16, 0, 1,  2,  3,  4,  5, 6,
                                                           7,  8,  9,  10, 11, 12, 13, 14, 15};

const unsigned kMaxLiteralCodes = 286;  // HLIT + 257 may not exceed this
const unsigned kMaxDistanceCodes = 30;  // HDIST + 1 may not exceed this
const unsigned kMaxCodeLength = 15;

// Input bits, least significant first. Bits past the end of the input read as
// zero when peeked, but can never be taken.
class InputBits {
 public:
  InputBits(const uint8_t* data, size_t size) : data(data), size(size) {}

  // Tops the accumulator up to at least 57 bits while input remains.
  void Refill() {
    while (count <= 56 && pos < size) {
      bits |= static_cast<uint64_t>(data[pos++]) << count;
      count += 8;
    }
  }
  // The next n (at most 32) bits, zero-padded at the end of the input.
  uint32_t Peek(unsigned n) {
    Refill();
    return static_cast<uint32_t>(bits & ((uint64_t(1) << n) - 1));
  }
  unsigned Available() const { return count; }  // valid after Peek or Refill
  void Drop(unsigned n) {  // n <= Available()
    bits >>= n;
    count -= n;
  }
  bool Take(unsigned n, uint32_t& value) {
    value = Peek(n);
    if (count < n) return false;
    Drop(n);
    return true;
  }
  // Skips the rest of the current byte.
  void AlignToByte() { Drop(count % 8); }
  // Hands the next n whole bytes to `use` (which gets pointer and length),
  // first those still in the accumulator, then straight from the input.
  template <typename Use>
  bool TakeBytes(size_t n, Use use) {
    while (n > 0 && count >= 8) {
      uint8_t byte = static_cast<uint8_t>(bits);
      Drop(8);
      use(&byte, 1);
      n--;
    }
    if (n > size - pos) return false;
    use(data + pos, n);
    pos += n;
    return true;
  }
  // Input bytes used so far: whole unused bytes in the accumulator are not.
  size_t Consumed() const { return pos - count / 8; }

 private:
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  uint64_t bits = 0;
  unsigned count = 0;
};

// A canonical Huffman code as a lookup table indexed by the next `width`
// input bits. Each entry is symbol << 4 | code length; 0 marks bits that
// start no code (left over in an incomplete code).
struct HuffmanCode {
  std::vector<uint16_t> table;
  unsigned width = 0;  // the longest code length; 0 when there are no codes
};

enum CodeKind { kCodeLengthCode, kLiteralCode, kDistanceCode };

// Builds `code` from n code lengths (0-15). Fails on over-subscribed lengths
// and on incomplete codes, except that literal/length and distance codes may
// consist of one 1-bit code and a distance code may be empty.
bool BuildCode(const uint8_t* lengths, unsigned n, CodeKind kind, HuffmanCode& code) {
  unsigned count[kMaxCodeLength + 1] = {};
  for (unsigned i = 0; i < n; i++) count[lengths[i]]++;
  unsigned used = n - count[0];
  code.width = 0;
  code.table.clear();
  if (used == 0) return kind == kDistanceCode;

  int left = 1;  // codes still free at the current length
  for (unsigned len = 1; len <= kMaxCodeLength; len++) {
    left = 2 * left - static_cast<int>(count[len]);
    if (left < 0) return false;  // over-subscribed
    if (count[len] != 0) code.width = len;
  }
  bool singleOneBitCode = used == 1 && count[1] == 1;
  if (left != 0 && !(kind != kCodeLengthCode && singleOneBitCode)) return false;

  unsigned next[kMaxCodeLength + 2] = {};
  for (unsigned len = 1; len <= kMaxCodeLength; len++) next[len + 1] = (next[len] + count[len]) << 1;
  code.table.assign(size_t(1) << code.width, 0);
  for (unsigned symbol = 0; symbol < n; symbol++) {
    unsigned len = lengths[symbol];
    if (len == 0) continue;
    unsigned canonical = next[len]++;
    unsigned reversed = 0;  // codes are sent most significant bit first
    for (unsigned i = 0; i < len; i++) reversed |= ((canonical >> i) & 1) << (len - 1 - i);
    uint16_t entry = static_cast<uint16_t>(symbol << 4 | len);
    for (size_t at = reversed; at < code.table.size(); at += size_t(1) << len) code.table[at] = entry;
  }
  return true;
}

// One stream's rewrite: the reader, the writer and the bytes decoded so far
// (to check distances).
struct Transcoder {
  InputBits in;
  OutputBits out;
  uint64_t produced = 0;

  // Copies n bits unchanged and returns them in value.
  bool CopyBits(unsigned n, uint32_t& value) {
    if (!in.Take(n, value)) return false;
    out.Put(value, n);
    return true;
  }
  // Decodes one symbol of `code`, copying its bits unchanged.
  bool CopySymbol(const HuffmanCode& code, unsigned& symbol) {
    if (code.width == 0) return false;
    uint32_t peeked = in.Peek(code.width);
    uint16_t entry = code.table[peeked];
    unsigned len = entry & 15;
    if (len == 0 || len > in.Available()) return false;
    in.Drop(len);
    out.Put(peeked & ((1u << len) - 1), len);
    symbol = entry >> 4;
    return true;
  }

  bool Stored(uint32_t lastFlag);
  bool Fixed(uint32_t lastFlag);
  bool Dynamic(uint32_t lastFlag);
  bool ReadCodeLengths(const HuffmanCode& lengthCode, unsigned total, uint8_t* lengths);
  bool CompressedData(const HuffmanCode& literals, const HuffmanCode& distances);
};

bool Transcoder::Stored(uint32_t lastFlag) {
  uint32_t len, nlen;
  in.AlignToByte();
  if (!in.Take(16, len) || !in.Take(16, nlen) || nlen != (~len & 0xFFFF)) return false;
  out.Put(kSetupBlockStored | lastFlag, 4);
  out.AlignToByte();
  out.Put(len, 16);
  produced += len;
  return in.TakeBytes(len, [this](const uint8_t* data, size_t n) { out.PutBytes(data, n); });
}

bool Transcoder::Fixed(uint32_t lastFlag) {
  // Built once. The distance code includes the two unused symbols 30 and 31
  // so that it is complete; CompressedData rejects them.
  struct FixedCodes {
    HuffmanCode literals, distances;
    FixedCodes() {
      uint8_t lengths[288];
      memset(lengths, 8, 144);
      memset(lengths + 144, 9, 112);
      memset(lengths + 256, 7, 24);
      memset(lengths + 280, 8, 8);
      BuildCode(lengths, 288, kLiteralCode, literals);
      memset(lengths, 5, 32);
      BuildCode(lengths, 32, kDistanceCode, distances);
    }
  };
  static const FixedCodes fixed;
  out.Put(kSetupBlockFixed | lastFlag, 4);
  return CompressedData(fixed.literals, fixed.distances);
}

bool Transcoder::Dynamic(uint32_t lastFlag) {
  uint32_t hlit, hdist, hclen;
  if (!in.Take(5, hlit) || !in.Take(5, hdist) || !in.Take(4, hclen)) return false;
  unsigned literalCount = hlit + 257, distanceCount = hdist + 1;
  if (literalCount > kMaxLiteralCodes || distanceCount > kMaxDistanceCodes) return false;

  uint8_t codeLengthLengths[kCodeLengthSymbols] = {};
  for (unsigned i = 0; i < hclen + 4; i++) {
    uint32_t len;
    if (!in.Take(3, len)) return false;
    codeLengthLengths[kRfcCodeLengthOrder[i]] = static_cast<uint8_t>(len);
  }
  HuffmanCode lengthCode;
  if (!BuildCode(codeLengthLengths, kCodeLengthSymbols, kCodeLengthCode, lengthCode)) return false;

  unsigned written = kCodeLengthSymbols;
  while (written > 4 && codeLengthLengths[kSetupCodeLengthOrder[written - 1]] == 0) written--;
  out.Put(kSetupBlockDynamic | lastFlag, 4);
  out.Put(hlit, 5);
  out.Put(hdist, 5);
  out.Put(written - 4, 4);
  for (unsigned i = 0; i < written; i++) out.Put(codeLengthLengths[kSetupCodeLengthOrder[i]], 3);

  uint8_t lengths[kMaxLiteralCodes + kMaxDistanceCodes];
  if (!ReadCodeLengths(lengthCode, literalCount + distanceCount, lengths)) return false;
  if (lengths[kEndOfBlock] == 0) return false;
  HuffmanCode literals, distances;
  return BuildCode(lengths, literalCount, kLiteralCode, literals) &&
         BuildCode(lengths + literalCount, distanceCount, kDistanceCode, distances) &&
         CompressedData(literals, distances);
}

// The literal/length and distance code lengths, one run-length coded
// sequence: 0-15 are lengths, 16 repeats the previous length 3-6 times, 17
// gives 3-10 and 18 gives 11-138 zero lengths.
bool Transcoder::ReadCodeLengths(const HuffmanCode& lengthCode, unsigned total, uint8_t* lengths) {
  unsigned filled = 0;
  while (filled < total) {
    unsigned symbol;
    if (!CopySymbol(lengthCode, symbol)) return false;
    if (symbol < 16) {
      lengths[filled++] = static_cast<uint8_t>(symbol);
      continue;
    }
    uint32_t extra;
    unsigned repeat;
    uint8_t value = 0;
    if (symbol == 16) {
      if (filled == 0) return false;  // no previous length
      value = lengths[filled - 1];
      if (!CopyBits(2, extra)) return false;
      repeat = 3 + extra;
    } else if (symbol == 17) {
      if (!CopyBits(3, extra)) return false;
      repeat = 3 + extra;
    } else {
      if (!CopyBits(7, extra)) return false;
      repeat = 11 + extra;
    }
    if (repeat > total - filled) return false;
    memset(lengths + filled, value, repeat);
    filled += repeat;
  }
  return true;
}

bool Transcoder::CompressedData(const HuffmanCode& literals, const HuffmanCode& distances) {
  for (;;) {
    unsigned symbol;
    if (!CopySymbol(literals, symbol)) return false;
    if (symbol < kEndOfBlock) {
      produced++;
      continue;
    }
    if (symbol == kEndOfBlock) return true;
    symbol -= kEndOfBlock + 1;
    if (symbol >= kLengthCodes) return false;  // 286 and 287, possible in fixed blocks
    uint32_t extra;
    if (!CopyBits(kLengthExtra[symbol], extra)) return false;
    unsigned length = kLengthBase[symbol] + extra;
    if (!CopySymbol(distances, symbol)) return false;
    if (symbol >= kDistanceCodes) return false;  // 30 and 31, possible in fixed blocks
    if (!CopyBits(kDistanceExtra[symbol], extra)) return false;
    if (kDistanceBase[symbol] + extra > produced) return false;  // before the stream's start
    produced += length;
  }
}

}  // namespace

bool TranscodeRfc1951(const uint8_t* in, size_t size, std::vector<uint8_t>& out, size_t* consumed) {
  out.clear();
  out.reserve(size + 16);
  Transcoder stream{InputBits(in, size), OutputBits(out)};
  for (;;) {
    uint32_t last, type;
    if (!stream.in.Take(1, last) || !stream.in.Take(2, type)) break;
    uint32_t lastFlag = last ? kSetupLastBlock : 0;
    bool ok = type == 0   ? stream.Stored(lastFlag)
              : type == 1 ? stream.Fixed(lastFlag)
              : type == 2 ? stream.Dynamic(lastFlag)
                          : false;
    if (!ok) break;
    if (last) {
      stream.out.Finish();
      if (consumed) *consumed = stream.in.Consumed();
      return true;
    }
  }
  out.clear();
  return false;
}
