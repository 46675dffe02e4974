// Builds the multi-level lookup tables of the decoder from code lengths.
// Codes are canonical (RFC 1951, 3.2.2) and packed most significant bit
// first, while input bits are taken least significant first, so each code
// is entered bit-reversed and repeated across the places its unused high
// index bits select.
#include "inflate/HuffmanTable.h"

#include "base/Buffer.h"

namespace {

const uint32_t kMaxCodeLength = 15;
const uint32_t kMaxSymbols = 288;
const uint32_t kEndOfBlock = 256;

// The table of a code without codes: its only entry is invalid and consumes
// nothing, so the first lookup fails.
const uint32_t EmptyTable[1] = {kOpInvalid << 8};

struct Code {
  uint16_t symbol;
  uint16_t bits;  // the code reversed: its first bit in bit 0, as input bits come
  uint32_t length;
};

struct Builder {
  Code codes[kMaxSymbols];  // in canonical order: by length, then symbol
  uint32_t simple;
  const uint16_t* base;
  const uint8_t* extra;
  uint32_t endIndex;   // position of the end-of-block code in codes; none: past the end
  uint32_t endLength;  // its length
  uint32_t* entries;   // null while the tables are only measured
  uint32_t used;       // entries handed out so far
  bool complete;       // every place gets a code: no invalid entries needed
};

uint32_t SymbolEntry(const Builder& b, uint32_t symbol, uint32_t bits) {
  if (symbol < b.simple) return MakeEntry(bits, symbol < kEndOfBlock ? kOpLiteral : kOpEndOfBlock, symbol);
  return MakeEntry(bits, b.extra[symbol - b.simple], b.base[symbol - b.simple]);
}

// Fills the table of `width` bits at index `at` with the codes [first, last),
// which share their first `depth` bits. Codes no longer than depth + width
// are entered directly; longer codes are grouped by their next `width` bits,
// and each group gets a sub-table as wide as its longest code needs (capped
// at the end-of-block length for the group holding that code). Places no
// code reaches keep an invalid entry that consumes the whole level. While
// measuring (entries null) only the sizes are counted.
void FillTable(Builder& b, uint32_t at, uint32_t depth, uint32_t width, uint32_t first, uint32_t last) {
  const uint32_t size = 1u << width;
  uint32_t* table = b.entries ? b.entries + at : nullptr;
  if (table && !b.complete)
    for (uint32_t i = 0; i < size; ++i) table[i] = MakeEntry(width, kOpInvalid, 0);
  uint32_t i = first;
  for (; i < last && b.codes[i].length - depth <= width; ++i) {
    if (!table) continue;
    const Code& code = b.codes[i];
    const uint32_t rest = code.length - depth;
    const uint32_t entry = SymbolEntry(b, code.symbol, rest);
    for (uint32_t k = code.bits >> depth; k < size; k += 1u << rest) table[k] = entry;
  }
  // The rest is longer than this level (codes are sorted by length), and the
  // codes sharing a prefix lie together (canonical order is code order).
  while (i < last) {
    const uint32_t prefix = (b.codes[i].bits >> depth) & (size - 1);
    uint32_t end = i + 1;
    while (end < last && ((b.codes[end].bits >> depth) & (size - 1)) == prefix) ++end;
    const uint32_t subDepth = depth + width;
    uint32_t subWidth = b.codes[end - 1].length - subDepth;
    if (b.endIndex >= i && b.endIndex < end && b.endLength - subDepth < subWidth) subWidth = b.endLength - subDepth;
    const uint32_t sub = b.used;
    b.used += 1u << subWidth;
    if (table) table[prefix] = MakeEntry(width, kOpLink + subWidth, sub);
    FillTable(b, sub, subDepth, subWidth, i, end);
    i = end;
  }
}

}  // namespace

// Operation codes of a table entry:
//
//   operation  meaning                          value
//   16         literal                          the byte (code-length table: the symbol)
//   15         end of block                     256
//   0-13       length or distance, with this    the base
//              many extra bits
//   17-32      link to a sub-table indexed by   index of the sub-table's first entry
//              (operation - 16) further bits
//   100        invalid code                     -
//
// The entry's bit count is what its level consumes: for a code, its length
// minus the level's starting depth; for a link or an invalid entry, the whole
// level's width.
//
// Contract: lengths[0..count) are 0-15 and count is at most 288. Result 2
// (over-subscribed: more codes than the lengths leave room for) and 3 (no
// memory) build nothing. Result 1 (codes unused and the longest code longer
// than 1 bit) and 0 build the table; unused places decode as invalid. The
// first-level width is the one asked for, raised to the shortest and lowered
// to the longest code length, and, when count exceeds 256 and the end-of-block
// code exists, lowered to its length; the sub-table on that code's path is
// capped the same way. Every other sub-table covers all codes under its prefix
// (tables are at most three levels deep and below 49,200 entries).
int BuildHuffmanTable(HuffmanTable& table, const uint8_t* lengths, uint32_t count, uint32_t simple,
                      const uint16_t* base, const uint8_t* extra, uint32_t width) {
  table.entries = EmptyTable;
  table.width = 0;
  uint32_t counts[kMaxCodeLength + 1] = {};
  for (uint32_t i = 0; i < count; ++i) ++counts[lengths[i]];
  uint32_t shortest = 0, longest = 0;
  for (uint32_t len = 1; len <= kMaxCodeLength; ++len) {
    if (!counts[len]) continue;
    if (!shortest) shortest = len;
    longest = len;
  }
  if (!longest) return kTableBuilt;

  int32_t room = 1;
  for (uint32_t len = 1; len <= longest; ++len) {
    room = 2 * room - static_cast<int32_t>(counts[len]);
    if (room < 0) return kTableOverSubscribed;
  }

  Builder b;
  b.simple = simple;
  b.base = base;
  b.extra = extra;
  uint32_t offsets[kMaxCodeLength + 2];
  offsets[1] = 0;
  for (uint32_t len = 1; len <= kMaxCodeLength; ++len) offsets[len + 1] = offsets[len] + counts[len];
  const uint32_t coded = offsets[kMaxCodeLength + 1];
  b.endIndex = coded;
  b.endLength = 0;
  for (uint32_t symbol = 0; symbol < count; ++symbol) {
    const uint32_t len = lengths[symbol];
    if (!len) continue;
    if (symbol == kEndOfBlock) {
      b.endIndex = offsets[len];
      b.endLength = len;
    }
    b.codes[offsets[len]++] = Code{static_cast<uint16_t>(symbol), 0, len};
  }
  // Canonical codes, counted up in reversed form: add 1 at the code's last
  // bit, carrying towards its first.
  uint32_t reversed = 0;
  for (uint32_t i = 0; i < coded; ++i) {
    b.codes[i].bits = static_cast<uint16_t>(reversed);
    uint32_t step = 1u << (b.codes[i].length - 1);
    while (reversed & step) step >>= 1;
    reversed = step ? (reversed & (step - 1)) + step : 0;
  }
  b.complete = room == 0;

  if (width < shortest) width = shortest;
  if (width > longest) width = longest;
  if (b.endLength && b.endLength < width) width = b.endLength;

  b.entries = nullptr;
  b.used = 1u << width;
  FillTable(b, 0, 0, width, 0, coded);
  if (b.used > 0x10000) return kTableNoMemory;  // beyond the 16-bit link index; cannot happen
  uint32_t* entries;
  if (!AllocateBuffer(b.used * 4, entries)) return kTableNoMemory;
  b.entries = entries;
  b.used = 1u << width;
  FillTable(b, 0, 0, width, 0, coded);
  table.entries = entries;
  table.width = width;
  return room > 0 && longest > 1 ? kTableIncomplete : kTableBuilt;
}

void ReleaseHuffmanTable(HuffmanTable& table) {
  if (table.entries != EmptyTable) ReleaseBuffer(table.entries);
  table.entries = EmptyTable;
  table.width = 0;
}
