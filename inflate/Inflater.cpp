// The decoder: input buffer and bit buffer, the block loop, and the window
// through which the output reaches the sink.
//
// What it promises:
// - Results: 0 success; 1 invalid data (including input that ends before the
//   last block does, and a sink that refuses a write); 2 a block type 0-4 or
//   an over-subscribed code; 3 no memory for the window or a table.
// - The sink receives only whole 32768-byte windows and, after a successful
//   decode only, one final write of 0-32767 bytes.
// - Exact consumption: a bit is taken into the bit buffer only when a step
//   needs it, so after the last block the bit buffer holds less than a byte
//   of the stream; the fast loop reads ahead but returns every whole byte it
//   did not use. End input then moves the file back over the unread part of
//   the input buffer, leaving the source right after the stream's last byte.
#include "inflate/Inflater.h"

#include <string.h>

#include "base/Buffer.h"
#include "inflate/HuffmanTable.h"
#include "inflate/OutputSink.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the bit buffer is filled by little-endian word loads"
#endif

namespace {

// The bit buffer is a machine word: 64 bits on the host, 32 in the stub and
// in the host's INFLATE_NARROW copy (inflate/Inflater.h). Its width selects
// the fast loop.
#ifdef INFLATE_NARROW
typedef uint32_t BitWord;
#else
typedef uintptr_t BitWord;
#endif
const uint32_t kWordBytes = sizeof(BitWord);
const uint32_t kWordBits = 8 * kWordBytes;

// The window buffer holds two 32768-byte halves. Output fills one half while
// the other keeps the history, so a copy may run past the current half (the
// half is written to the sink afterwards) and may write a few bytes beyond
// its end (they lie ahead of the output, never in the history). Past the
// second half, kSlack bytes take a copy that starts just before the end; they
// move to the first half when output wraps around.
const uint32_t kHalf = kInflateWindowSize;
const uint32_t kSpan = 2 * kHalf;
const uint32_t kSlack = 320;  // > two literals, the longest match (258) and its overcopy (13)

const uint32_t kEndOfBlock = 256;
const uint32_t kMaxLiteralCount = 286;
const uint32_t kMaxDistanceCount = 30;
const uint32_t kCodeLengthCount = 19;
const uint32_t kFixedLiteralCount = 288;

const uint8_t kCodeLengthOrder[kCodeLengthCount] = {18, 17, 16, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
// Symbols 257-287; 286 and 287 are invalid.
const uint16_t kLengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27, 31,
                                  35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint8_t kLengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,          2,         2,
                                  3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, kOpInvalid, kOpInvalid};
const uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The fast loops. A refill loads one word and keeps all its whole bytes but
// the last: at least kRefillBits valid bits. A step of the narrow loop (32-bit
// buffer) refills up to three times, one of the wide loop (64-bit buffer) up
// to twice; kFastInput is the input margin either needs before a step.
const uint32_t kRefillBits = kWordBits - 8;
const uint32_t kMaxCodeLength = 15;
const bool kWideBuffer = kRefillBits >= 56;
const uint32_t kFastInput = (kWideBuffer ? 1 : 2) * (kWordBytes - 1) + kWordBytes;
// Entering a fast loop needs room for one more refill (the wide loop's first),
// so every entry makes progress; a loop that stops for lack of input hands
// back less than a word, leaving fewer than kFastEntry bytes.
const uint32_t kFastEntry = kFastInput + kWordBytes - 1;
const int kFastMore = -1;

struct Decoder {
  Inflater& input;
  OutputSink& sink;
  uint8_t* window;
  uint32_t pos;      // next output place, 0 to kSpan - 1 between steps
  uint32_t flushAt;  // end of the half being filled: kHalf or kSpan
  BitWord bits;      // bits taken but not used, least significant first
  uint32_t bitCount;
  HuffmanTable fixedLiterals;
  HuffmanTable fixedDistances;
  bool fixedBuilt;
};

// ---------------------------------------------------------------------------
// Input.

bool Refill(Inflater& in) {
  if (!in.input) return false;
  if (in.limit && in.fill) {
    in.fill(in);
  } else {
    in.available = FileReadSome(in.source, in.input, kInflateInputSize);
    in.readPos = in.input;
  }
  return in.available != 0;
}

// Takes one more byte into the bit buffer; false when the input has ended.
bool PullByte(Decoder& d) {
  Inflater& in = d.input;
  if (!in.available && !Refill(in)) return false;
  d.bits |= static_cast<BitWord>(*in.readPos++) << d.bitCount;
  d.bitCount += 8;
  --in.available;
  return true;
}

void DropBits(Decoder& d, uint32_t n) {
  d.bits >>= n;
  d.bitCount -= n;
}

bool TakeBits(Decoder& d, uint32_t n, uint32_t& value) {
  while (d.bitCount < n)
    if (!PullByte(d)) return false;
  value = static_cast<uint32_t>(d.bits & ((static_cast<BitWord>(1) << n) - 1));
  DropBits(d, n);
  return true;
}

// Moves whole unused bytes of the bit buffer back to the input buffer (they
// are the bytes just before the read position).
void ReturnWholeBytes(Decoder& d) {
  const uint32_t whole = d.bitCount >> 3;
  d.input.readPos -= whole;
  d.input.available += whole;
  d.bitCount &= 7;
  d.bits &= (static_cast<BitWord>(1) << d.bitCount) - 1;
}

// Decodes one code, taking input bytes only while the entry found so far
// wants more bits than are present (the bits above them read as zeros, which
// never change an entry whose bits are all present). False on an invalid
// code or when the input ends.
bool DecodeSymbol(Decoder& d, const HuffmanTable& table, uint32_t& entry) {
  const uint32_t* level = table.entries;
  BitWord mask = (static_cast<BitWord>(1) << table.width) - 1;
  for (;;) {
    uint32_t e = level[d.bits & mask];
    while (EntryBits(e) > d.bitCount) {
      if (!PullByte(d)) return false;
      e = level[d.bits & mask];
    }
    const uint32_t op = EntryOp(e);
    if (op == kOpInvalid) return false;
    DropBits(d, EntryBits(e));
    if (op <= kOpLink) {
      entry = e;
      return true;
    }
    level = table.entries + EntryValue(e);
    mask = (static_cast<BitWord>(1) << (op - kOpLink)) - 1;
  }
}

// ---------------------------------------------------------------------------
// Output.

// Writes the half that output has just filled; when that was the second
// half, output moves on at the start of the first (with any bytes a copy
// left in the slack).
bool Flush(Decoder& d) {
  if (!d.sink.Write(d.window + d.flushAt - kHalf, kHalf)) return false;
  if (d.flushAt == kSpan) {
    d.pos -= kSpan;
    memcpy(d.window, d.window + kSpan, d.pos);
    d.flushAt = kHalf;
  } else {
    d.flushAt = kSpan;
  }
  return true;
}

bool PutByte(Decoder& d, uint32_t byte) {
  d.window[d.pos++] = static_cast<uint8_t>(byte);
  return d.pos != d.flushAt || Flush(d);
}

// Copies one byte at a time, each half written as soon as it is full.
bool CopyCarefully(Decoder& d, uint32_t distance, uint32_t length) {
  uint32_t from = (d.pos - distance) & (kSpan - 1);
  for (; length; --length) {
    if (!PutByte(d, d.window[from])) return false;
    from = (from + 1) & (kSpan - 1);
  }
  return true;
}

// ---------------------------------------------------------------------------
// The fast loop.

inline void RefillWord(BitWord& bits, uint32_t& count, const uint8_t*& next) {
  BitWord word;
  memcpy(&word, next, sizeof word);
  bits |= word << count;
  next += (kWordBits - 1 - count) >> 3;
  count |= kWordBits - 8;
}

inline uint32_t FollowLinks(const uint32_t* entries, uint32_t e, BitWord& bits, uint32_t& count) {
  while (EntryOp(e) - (kOpLink + 1) < 16) {
    const uint32_t sub = EntryValue(e);
    const uint32_t width = EntryOp(e) - kOpLink;
    bits >>= EntryBits(e);
    count -= EntryBits(e);
    e = entries[sub + (bits & ((static_cast<BitWord>(1) << width) - 1))];
  }
  return e;
}

inline void CopyWord(uint8_t* dst, const uint8_t* src) {
  BitWord word;
  memcpy(&word, src, sizeof word);
  memcpy(dst, &word, sizeof word);
}

// Copies length bytes (3-258) from distance back, both inside the window
// buffer: whole words while the distance allows, so up to two words less
// three bytes are written past the end (ahead of the output, or into the
// slack).
inline void CopyMatch(uint8_t* window, uint32_t pos, uint32_t distance, uint32_t length) {
  uint8_t* dst = window + pos;
  uint8_t* const end = dst + length;
  uint32_t from = pos - distance;
  if (distance > pos) from += kSpan;
  const uint8_t* src = window + from;
  if (distance > pos && from + length > kSpan) {  // the history runs over the end of the buffer
    for (; dst < end; ++dst) *dst = window[from++ & (kSpan - 1)];
    return;
  }
  if (distance >= kWordBytes) {
    CopyWord(dst, src);
    CopyWord(dst + kWordBytes, src + kWordBytes);
    if (length <= 2 * kWordBytes) return;
    dst += 2 * kWordBytes;
    src += 2 * kWordBytes;
    do {
      CopyWord(dst, src);
      src += kWordBytes;
      dst += kWordBytes;
    } while (dst < end);
  } else if (distance == 1) {
    const BitWord word = *src * (~static_cast<BitWord>(0) / 0xFF);
    do {
      memcpy(dst, &word, sizeof word);
      dst += kWordBytes;
    } while (dst < end);
  } else {
    for (; dst < end; ++dst) *dst = *src++;
  }
}

// The narrow loop, for a 32-bit bit buffer.
// Entry: at least kFastEntry unread bytes in the input buffer, and the window
// position before the end of the half being filled. Each step decodes one
// literal or length/distance pair from a bit buffer refilled by whole words
// when it runs low, without input or window checks inside the step; the loop
// condition re-checks both before every step. Returns 0 at the end of the
// block, 1 on an invalid code, kFastMore when the input margin or the half ran
// out; in every case the whole unused bytes of the bit buffer go back to the
// input.
__attribute__((noinline)) int DecodeFastNarrow(Decoder& d, const HuffmanTable& literals,
                                               const HuffmanTable& distances) {
  Inflater& in = d.input;
  const uint8_t* next = in.readPos;
  const uint8_t* const end = next + in.available;
  uint8_t* const window = d.window;
  uint32_t pos = d.pos;
  const uint32_t limit = d.flushAt;
  BitWord bits = d.bits;
  uint32_t count = d.bitCount;
  const uint32_t* const litEntries = literals.entries;
  const BitWord litMask = (static_cast<BitWord>(1) << literals.width) - 1;
  const uint32_t* const distEntries = distances.entries;
  const BitWord distMask = (static_cast<BitWord>(1) << distances.width) - 1;
  int result = kFastMore;

  while (static_cast<uint32_t>(end - next) >= kFastInput && pos < limit) {
    RefillWord(bits, count, next);  // enough for a length code and its extra bits
    uint32_t e = litEntries[bits & litMask];
    if (EntryOp(e) > kOpLiteral) {
      e = FollowLinks(litEntries, e, bits, count);
      if (EntryOp(e) == kOpInvalid) {
        result = kInflateInvalidData;
        break;
      }
    }
    bits >>= EntryBits(e);
    count -= EntryBits(e);
    uint32_t op = EntryOp(e);
    if (op == kOpLiteral) {
      window[pos++] = static_cast<uint8_t>(EntryValue(e));
      continue;
    }
    if (op == kOpEndOfBlock) {
      result = kInflateOk;
      break;
    }
    const uint32_t length = EntryValue(e) + static_cast<uint32_t>(bits & ((static_cast<BitWord>(1) << op) - 1));
    bits >>= op;
    count -= op;

    if (count < kMaxCodeLength) RefillWord(bits, count, next);
    e = distEntries[bits & distMask];
    if (EntryOp(e) > kOpMaxExtra) {
      e = FollowLinks(distEntries, e, bits, count);
      if (EntryOp(e) > kOpMaxExtra) {
        result = kInflateInvalidData;
        break;
      }
    }
    bits >>= EntryBits(e);
    count -= EntryBits(e);
    op = EntryOp(e);
    if (count < op) RefillWord(bits, count, next);
    const uint32_t distance = EntryValue(e) + static_cast<uint32_t>(bits & ((static_cast<BitWord>(1) << op) - 1));
    bits >>= op;
    count -= op;
    CopyMatch(window, pos, distance, length);
    pos += length;
  }

  d.pos = pos;
  d.bits = bits;
  d.bitCount = count;
  in.readPos = next;
  in.available = static_cast<uint32_t>(end - next);
  ReturnWholeBytes(d);
  return result;
}

// The wide loop, for a 64-bit bit buffer: the same contract as the narrow
// loop. A refill leaves at least 56 bits, so the entry of the next code is
// always looked up ahead: up to three literals per refill, and a match's
// distance bits, extra bits and the next code's lookup from one refill, which
// is made before the copy.
__attribute__((noinline)) int DecodeFastWide(Decoder& d, const HuffmanTable& literals, const HuffmanTable& distances) {
  Inflater& in = d.input;
  const uint8_t* next = in.readPos;
  const uint8_t* const end = next + in.available;
  uint8_t* const window = d.window;
  uint32_t pos = d.pos;
  const uint32_t limit = d.flushAt;
  BitWord bits = d.bits;
  uint32_t count = d.bitCount;
  const uint32_t* const litEntries = literals.entries;
  const BitWord litMask = (static_cast<BitWord>(1) << literals.width) - 1;
  const uint32_t* const distEntries = distances.entries;
  const BitWord distMask = (static_cast<BitWord>(1) << distances.width) - 1;
  int result = kFastMore;

  RefillWord(bits, count, next);
  uint32_t e = litEntries[bits & litMask];
  // Between two checks of the loop condition a step refills at most twice.
  while (static_cast<uint32_t>(end - next) >= kFastInput && pos < limit) {
    // Here: at least 56 bits, and e is the entry for the lowest of them.
    if (EntryOp(e) == kOpLiteral) {
      bits >>= EntryBits(e);
      count -= EntryBits(e);
      uint32_t literal = EntryValue(e);
      e = litEntries[bits & litMask];
      window[pos++] = static_cast<uint8_t>(literal);
      if (EntryOp(e) == kOpLiteral) {
        bits >>= EntryBits(e);
        count -= EntryBits(e);
        literal = EntryValue(e);
        e = litEntries[bits & litMask];
        window[pos++] = static_cast<uint8_t>(literal);
        if (EntryOp(e) == kOpLiteral) {
          bits >>= EntryBits(e);
          count -= EntryBits(e);
          window[pos++] = static_cast<uint8_t>(EntryValue(e));
          goto nextStep;
        }
      }
    }
    // At least 26 bits: a whole code and a length's extra bits.
    if (EntryOp(e) > kOpLiteral) {
      e = FollowLinks(litEntries, e, bits, count);
      if (EntryOp(e) == kOpInvalid) {
        result = kInflateInvalidData;
        break;
      }
    }
    bits >>= EntryBits(e);
    count -= EntryBits(e);
    {
      uint32_t op = EntryOp(e);
      if (op == kOpLiteral) {
        window[pos++] = static_cast<uint8_t>(EntryValue(e));
        goto nextStep;
      }
      if (op == kOpEndOfBlock) {
        result = kInflateOk;
        break;
      }
      const uint32_t length = EntryValue(e) + static_cast<uint32_t>(bits & ((static_cast<BitWord>(1) << op) - 1));
      bits >>= op;
      count -= op;

      RefillWord(bits, count, next);
      e = distEntries[bits & distMask];
      if (EntryOp(e) > kOpMaxExtra) {
        e = FollowLinks(distEntries, e, bits, count);
        if (EntryOp(e) > kOpMaxExtra) {
          result = kInflateInvalidData;
          break;
        }
      }
      bits >>= EntryBits(e);
      count -= EntryBits(e);
      op = EntryOp(e);
      const uint32_t distance = EntryValue(e) + static_cast<uint32_t>(bits & ((static_cast<BitWord>(1) << op) - 1));
      bits >>= op;
      count -= op;
      e = litEntries[bits & litMask];
      RefillWord(bits, count, next);
      CopyMatch(window, pos, distance, length);
      pos += length;
      continue;
    }
  nextStep:
    RefillWord(bits, count, next);
    e = litEntries[bits & litMask];
  }

  d.pos = pos;
  d.bits = bits;
  d.bitCount = count;
  in.readPos = next;
  in.available = static_cast<uint32_t>(end - next);
  ReturnWholeBytes(d);
  return result;
}

// ---------------------------------------------------------------------------
// Blocks.

// The data of a fixed or dynamic block, up to its end-of-block code.
// 0, or 1 on an invalid code, missing input or a refused write.
int DecodeData(Decoder& d, const HuffmanTable& literals, const HuffmanTable& distances) {
  for (;;) {
    if (d.input.available >= kFastEntry) {
      const int result =
          kWideBuffer ? DecodeFastWide(d, literals, distances) : DecodeFastNarrow(d, literals, distances);
      if (d.pos >= d.flushAt && !Flush(d)) return kInflateInvalidData;
      if (result != kFastMore) return result;
      if (d.input.available >= kFastEntry) continue;  // it stopped at the end of the half
    }
    uint32_t e, extra;
    if (!DecodeSymbol(d, literals, e)) return kInflateInvalidData;
    const uint32_t op = EntryOp(e);
    if (op == kOpLiteral) {
      if (!PutByte(d, EntryValue(e))) return kInflateInvalidData;
      continue;
    }
    if (op == kOpEndOfBlock) return kInflateOk;
    if (!TakeBits(d, op, extra)) return kInflateInvalidData;
    const uint32_t length = EntryValue(e) + extra;
    if (!DecodeSymbol(d, distances, e) || EntryOp(e) > kOpMaxExtra) return kInflateInvalidData;
    if (!TakeBits(d, EntryOp(e), extra)) return kInflateInvalidData;
    if (!CopyCarefully(d, EntryValue(e) + extra, length)) return kInflateInvalidData;
  }
}

int DecodeStored(Decoder& d) {
  DropBits(d, d.bitCount & 7);
  uint32_t length;
  if (!TakeBits(d, 16, length)) return kInflateInvalidData;
  ReturnWholeBytes(d);  // none are left: the bit buffer was byte-aligned
  Inflater& in = d.input;
  while (length) {
    if (!in.available && !Refill(in)) return kInflateInvalidData;
    uint32_t n = d.flushAt - d.pos;
    if (n > length) n = length;
    if (n > in.available) n = in.available;
    memcpy(d.window + d.pos, in.readPos, n);
    in.readPos += n;
    in.available -= n;
    d.pos += n;
    length -= n;
    if (d.pos == d.flushAt && !Flush(d)) return kInflateInvalidData;
  }
  return kInflateOk;
}

int DecodeFixed(Decoder& d) {
  if (!d.fixedBuilt) {
    uint8_t lengths[kFixedLiteralCount];
    uint32_t i = 0;
    for (; i < 144; ++i) lengths[i] = 8;
    for (; i < 256; ++i) lengths[i] = 9;
    for (; i < 280; ++i) lengths[i] = 7;
    for (; i < kFixedLiteralCount; ++i) lengths[i] = 8;
    int result =
        BuildHuffmanTable(d.fixedLiterals, lengths, kFixedLiteralCount, kEndOfBlock + 1, kLengthBase, kLengthExtra, 7);
    if (result != kTableBuilt) return result;
    for (i = 0; i < kMaxDistanceCount; ++i) lengths[i] = 5;
    // The fixed distance code is incomplete (30 of 32 codes): accepted.
    result = BuildHuffmanTable(d.fixedDistances, lengths, kMaxDistanceCount, 0, kDistanceBase, kDistanceExtra, 5);
    if (result > kTableIncomplete) {
      ReleaseHuffmanTable(d.fixedLiterals);
      return result;
    }
    d.fixedBuilt = true;
  }
  return DecodeData(d, d.fixedLiterals, d.fixedDistances);
}

// Reads the code lengths of a dynamic block with its code-length code.
int ReadCodeLengths(Decoder& d, uint8_t* lengths, uint32_t total, uint32_t codeLengthCount) {
  uint8_t codeLengths[kCodeLengthCount] = {};
  for (uint32_t i = 0; i < codeLengthCount; ++i) {
    uint32_t length;
    if (!TakeBits(d, 3, length)) return kInflateInvalidData;
    codeLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(length);
  }
  HuffmanTable table;
  int result = BuildHuffmanTable(table, codeLengths, kCodeLengthCount, kCodeLengthCount, nullptr, nullptr, 7);
  uint32_t i = 0, previous = 0;
  while (result == kTableBuilt && i < total) {
    uint32_t e, repeat, fill = 0;
    if (!DecodeSymbol(d, table, e)) {
      result = kInflateInvalidData;
      break;
    }
    const uint32_t symbol = EntryValue(e);
    if (symbol < 16) {
      lengths[i++] = static_cast<uint8_t>(symbol);
      previous = symbol;
      continue;
    }
    bool ok;
    if (symbol == 16) {
      ok = TakeBits(d, 2, repeat);
      repeat += 3;
      fill = previous;
    } else if (symbol == 17) {
      ok = TakeBits(d, 3, repeat);
      repeat += 3;
    } else {
      ok = TakeBits(d, 7, repeat);
      repeat += 11;
    }
    if (symbol != 16) previous = 0;
    if (!ok || repeat > total - i) {
      result = kInflateInvalidData;
      break;
    }
    for (; repeat; --repeat) lengths[i++] = static_cast<uint8_t>(fill);
  }
  ReleaseHuffmanTable(table);
  return result;
}

int DecodeDynamic(Decoder& d) {
  uint32_t literalCount, distanceCount, codeLengthCount;
  if (!TakeBits(d, 5, literalCount) || !TakeBits(d, 5, distanceCount) || !TakeBits(d, 4, codeLengthCount))
    return kInflateInvalidData;
  literalCount += 257;
  distanceCount += 1;
  codeLengthCount += 4;
  if (literalCount > kMaxLiteralCount || distanceCount > kMaxDistanceCount) return kInflateInvalidData;

  uint8_t lengths[kMaxLiteralCount + kMaxDistanceCount];
  int result = ReadCodeLengths(d, lengths, literalCount + distanceCount, codeLengthCount);
  if (result != kInflateOk) return result;
  HuffmanTable literals, distances;
  result = BuildHuffmanTable(literals, lengths, literalCount, kEndOfBlock + 1, kLengthBase, kLengthExtra, 9);
  if (result == kTableBuilt) {
    result = BuildHuffmanTable(distances, lengths + literalCount, distanceCount, 0, kDistanceBase, kDistanceExtra, 6);
    if (result == kTableBuilt) result = DecodeData(d, literals, distances);
    ReleaseHuffmanTable(distances);
  }
  ReleaseHuffmanTable(literals);
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------

Inflater::Inflater() : InflateInput{nullptr, nullptr, 0, kInvalidFile, 0, nullptr} {}

Inflater::~Inflater() { EndInput(); }

bool Inflater::BeginInput(FileHandle file, uint32_t byteLimit, InputFill refill) {
  EndInput();
  if (file == kInvalidFile || !AllocateZeroed(kInflateInputSize, input)) return false;
  readPos = input;
  available = 0;
  limit = byteLimit;
  fill = refill;
  source = file;
  return true;
}

void Inflater::EndInput() {
  ReleaseBuffer(input);
  if (source != kInvalidFile && available) FileSkip(source, -static_cast<int32_t>(available));
  readPos = nullptr;
  available = 0;
  source = kInvalidFile;
}

int Inflater::Inflate(OutputSink& sink) {
  Decoder d = {*this, sink, nullptr, 0, kHalf, 0, 0, {}, {}, false};
  ReleaseHuffmanTable(d.fixedLiterals);  // both start as the empty table
  ReleaseHuffmanTable(d.fixedDistances);
  // The window reads as zeros before the stream's first byte. Only the
  // second half can be read before it is written (by a distance reaching
  // back past the start while output fills the first half).
  if (!AllocateBuffer(kSpan + kSlack, d.window)) return kInflateNoMemory;
  memset(d.window + kHalf, 0, kHalf + kSlack);
  int result;
  uint32_t header;
  do {
    if (!TakeBits(d, 4, header)) {
      result = kInflateInvalidData;
      break;
    }
    switch (header & 7) {
      case 5:
        result = DecodeFixed(d);
        break;
      case 6:
        result = DecodeDynamic(d);
        break;
      case 7:
        result = DecodeStored(d);
        break;
      default:
        result = kInflateBadBlock;
        break;
    }
  } while (result == kInflateOk && !(header & 8));
  const uint32_t start = d.flushAt - kHalf;
  if (result == kInflateOk && !sink.Write(d.window + start, d.pos - start)) result = kInflateInvalidData;
  ReleaseHuffmanTable(d.fixedLiterals);
  ReleaseHuffmanTable(d.fixedDistances);
  ReleaseBuffer(d.window);
  ReturnWholeBytes(d);
  return result;
}

int Inflater::DecodeToSink(OutputSink& sink, FileHandle file, uint32_t byteLimit, InputFill refill) {
  if (!BeginInput(file, byteLimit, refill)) return -1;
  if (!sink.IsReady()) {
    EndInput();
    return -1;
  }
  const int result = Inflate(sink);
  EndInput();
  return result;
}

bool Inflater::DecodeToMemory(uint8_t* destination, uint32_t capacity, FileHandle file, uint32_t byteLimit,
                              InputFill refill) {
  MemorySink sink(destination, capacity);
  return DecodeToSink(sink, file, byteLimit, refill) == kInflateOk;
}

bool Inflater::DecodeToFile(FileHandle output, FileHandle file, uint32_t byteLimit, InputFill refill) {
  FileSink sink(output);
  return DecodeToSink(sink, file, byteLimit, refill) == kInflateOk;
}
