// The lookup-table builder on random complete codes: every code, looked up
// bit by bit as the decoder does, leads to its own symbol after exactly its
// length, and the end-of-block code always ends at a table boundary.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "inflate/HuffmanTable.h"
#include "tests/unit/StreamTesting.h"

namespace {

// Lengths of a random complete code: leaves of a random binary tree of
// depth at most 15, given to random symbols.
std::vector<uint8_t> RandomCode(std::mt19937& rng, size_t symbols, size_t leaves) {
  std::vector<uint8_t> depths = {1, 1};
  while (depths.size() < leaves) {
    const size_t i = rng() % depths.size();
    if (depths[i] == 15) continue;
    depths[i]++;
    depths.push_back(depths[i]);
  }
  std::vector<uint8_t> lengths(symbols);
  std::vector<size_t> order(symbols);
  for (size_t s = 0; s < symbols; ++s) order[s] = s;
  std::shuffle(order.begin(), order.end(), rng);
  for (size_t i = 0; i < depths.size(); ++i) lengths[order[i]] = depths[i];
  return lengths;
}

}  // namespace

TEST(HuffmanTableTest, EveryCodeLeadsToItsSymbol) {
  std::mt19937 rng(7);
  static const uint16_t base[31] = {};
  static const uint8_t extra[31] = {};
  for (int round = 0; round < 3000; ++round) {
    const size_t symbols = round % 3 == 0 ? 30 : 288, leaves = 2 + rng() % (symbols - 1);
    const std::vector<uint8_t> lengths = RandomCode(rng, symbols, leaves);
    const uint32_t width = symbols == 30 ? 6 : 9;
    HuffmanTable table;
    ASSERT_EQ(BuildHuffmanTable(table, lengths.data(), uint32_t(symbols), symbols == 30 ? 0 : 257, base, extra, width),
              kTableBuilt);
    const std::vector<uint32_t> codes = streamtest::CanonicalCodes(lengths);
    for (size_t s = 0; s < symbols; ++s) {
      if (!lengths[s]) continue;
      uint32_t input = 0;  // the code's bits in input order
      for (uint32_t i = 0; i < lengths[s]; ++i) input |= ((codes[s] >> (lengths[s] - 1 - i)) & 1) << i;
      const uint32_t* level = table.entries;
      uint32_t levelWidth = table.width, taken = 0, e;
      for (;;) {
        e = level[(input >> taken) & ((1u << levelWidth) - 1)];
        if (EntryOp(e) <= kOpLink || EntryOp(e) > kOpLink + 15) break;
        taken += EntryBits(e);
        level = table.entries + EntryValue(e);
        levelWidth = EntryOp(e) - kOpLink;
      }
      ASSERT_EQ(taken + EntryBits(e), lengths[s]) << "symbol " << s;
      if (symbols == 30 || s > 256) {
        ASSERT_EQ(EntryOp(e), 0u);  // a length or distance without extra bits here
      } else if (s < 256) {
        ASSERT_EQ(EntryOp(e), kOpLiteral);
        ASSERT_EQ(EntryValue(e), s);
      } else {
        ASSERT_EQ(EntryOp(e), kOpEndOfBlock);
        ASSERT_EQ(EntryBits(e), levelWidth) << "end of block inside a table";
      }
    }
    ReleaseHuffmanTable(table);
  }
}
