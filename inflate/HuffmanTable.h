// Lookup tables for the canonical Huffman codes of the compressed format.
// Input bits are taken least significant first; a code is decoded by looking
// up the next `width` bits in the first level, and following links into
// sub-tables until an entry that is not a link.
//
// An entry is 32 bits: bits 0-7 the number of input bits this level's lookup
// consumes, bits 8-15 the operation, bits 16-31 the value. The operation
// codes are listed above BuildHuffmanTable in HuffmanTable.cpp.
#pragma once

#include <stdint.h>

const uint32_t kOpLiteral = 16;     // value: the byte (the symbol in the code-length table)
const uint32_t kOpEndOfBlock = 15;  // value: 256
const uint32_t kOpMaxExtra = 13;    // 0-13: length or distance; value: its base
const uint32_t kOpLink = 16;        // 17-32: sub-table of (op - 16) bits at index value
const uint32_t kOpInvalid = 100;    // invalid code

inline uint32_t EntryBits(uint32_t entry) { return entry & 0xFF; }
inline uint32_t EntryOp(uint32_t entry) { return (entry >> 8) & 0xFF; }
inline uint32_t EntryValue(uint32_t entry) { return entry >> 16; }
inline uint32_t MakeEntry(uint32_t bits, uint32_t op, uint32_t value) { return bits | (op << 8) | (value << 16); }

struct HuffmanTable {
  const uint32_t* entries;  // first level at index 0, sub-tables behind it
  uint32_t width;           // first-level width in bits; 0 for the empty table
};

// Results of a build (the decoder passes them on as its own result codes).
enum HuffmanBuildResult {
  kTableBuilt = 0,
  kTableIncomplete = 1,      // unused codes (built anyway; the caller decides)
  kTableOverSubscribed = 2,  // nothing built
  kTableNoMemory = 3,        // nothing built
};

// Builds the table for `count` code lengths (0-15; 0: the symbol has no
// code). Symbols below `simple` are literals (below 256) or the end of block
// (256); symbol i >= simple is a length or distance with base[i - simple] and
// extra bits (or kOpInvalid) extra[i - simple]. `width` is the first-level
// width asked for. When count exceeds 256, the length of the end-of-block
// code caps the tables on its path, so that code ends exactly at a table
// boundary. All lengths 0 gives the empty table, in which every lookup finds
// an invalid entry. On a result of 0 or 1 the caller owns the table and
// releases it with ReleaseHuffmanTable.
int BuildHuffmanTable(HuffmanTable& table, const uint8_t* lengths, uint32_t count, uint32_t simple,
                      const uint16_t* base, const uint8_t* extra, uint32_t width);

// Releases a built table; the table is then empty. Harmless on an empty table.
void ReleaseHuffmanTable(HuffmanTable& table);
