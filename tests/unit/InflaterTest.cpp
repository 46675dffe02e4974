// The decoder: hand-made streams bit by bit, each taking exactly its own
// bytes, and the sink's write pattern. Round trips, and the stream moved
// against the decoder's input fills, are the fuzz targets'. Compiled twice:
// also as narrow.InflaterTest.* on the stub's 32-bit loop.
#include <gtest/gtest.h>

#include <random>

#include "authoring/Encoder.h"
#include "tests/unit/StreamTesting.h"

using namespace streamtest;

namespace {

Bytes Hex(const char* text) {
  Bytes bytes;
  for (const char* p = text; *p; p += *p == ' ' ? 1 : 2)
    if (*p != ' ') bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
  return bytes;
}

// A valid stream: decodes to `expected` taking exactly its own bytes (two
// bytes follow it in the file), and every shorter prefix fails with 1.
void ExpectDecodes(const Bytes& stream, const Bytes& expected, const char* what) {
  SCOPED_TRACE(what);
  Decoded d = Decode(stream + Bytes{0xA5, 0x5A});
  EXPECT_EQ(d.result, kInflateOk);
  EXPECT_EQ(d.output, expected);
  EXPECT_EQ(d.position, static_cast<long>(stream.size()));
  const size_t step = stream.size() < 2048 ? 1 : 97;  // long streams: a sample of cuts, and the last bytes
  for (size_t cut = 0; cut < stream.size(); cut += cut + 64 >= stream.size() ? 1 : step)
    ASSERT_EQ(Decode(Bytes(stream.begin(), stream.begin() + cut)).result, kInflateInvalidData) << "prefix " << cut;
}

struct Symbol {
  uint32_t symbol;  // literal/length
  int distance = -1;  // for a length: the distance code and its extra bits
  uint32_t extra = 0, extraBits = 0;
};

// A fixed block after w (by default the header of a last fixed block).
BitWriter FixedBlock(const std::vector<Symbol>& symbols, BitWriter w = BitWriter().Bits(13, 4)) {
  for (const Symbol& s : symbols) {
    const uint32_t v = s.symbol;
    if (v < 144) w.Code(0x30 + v, 8);
    else if (v < 256) w.Code(0x190 + v - 144, 9);
    else if (v < 280) w.Code(v - 256, 7);
    else w.Code(0xC0 + v - 280, 8);
    if (s.distance >= 0) w.Code(s.distance, 5).Bits(s.extra, s.extraBits);
  }
  return w;
}

// A dynamic block's header: type and last flag, HLIT, HDIST, HCLEN 15 and a
// complete code-length code: symbols 0-12 of 4 bits (codes 0-12), 13-18 of 5
// bits (codes 26-31), given in the order 18, 17, 16, 0, 1, ..., 15.
void DynamicCounts(BitWriter& w, bool last, uint32_t literalCount, uint32_t distanceCount) {
  w.Bits(6, 3).Bits(last, 1).Bits(literalCount - 257, 5).Bits(distanceCount - 1, 5).Bits(15, 4);
  for (uint32_t symbol : {18, 17, 16, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
    w.Bits(symbol <= 12 ? 4 : 5, 3);
}
void CodeLengthSymbol(BitWriter& w, uint32_t symbol) {
  if (symbol <= 12) w.Code(symbol, 4);
  else w.Code(26 + symbol - 13, 5);
}
// The header and every length written plainly, one code-length symbol each.
void DynamicHeader(BitWriter& w, bool last, const Bytes& literalLengths, const Bytes& distanceLengths) {
  DynamicCounts(w, last, static_cast<uint32_t>(literalLengths.size()), static_cast<uint32_t>(distanceLengths.size()));
  for (uint8_t len : literalLengths + distanceLengths) CodeLengthSymbol(w, len);
}
// A dynamic last block with the given lengths and data codes {code, length},
// then `padding` zero bits.
Bytes Dynamic(const Bytes& lit, const Bytes& dist, std::initializer_list<std::pair<uint32_t, uint32_t>> data,
              uint32_t padding = 0) {
  BitWriter w;
  DynamicHeader(w, true, lit, dist);
  for (auto [code, length] : data) w.Code(code, length);
  return w.Bits(0, padding).Bytes();
}
// Lengths of `count` symbols, all 0 but the given ones.
Bytes Lengths(size_t count, std::initializer_list<std::pair<uint32_t, uint8_t>> given) {
  Bytes lengths(count);
  for (auto [symbol, len] : given) lengths[symbol] = len;
  return lengths;
}

// Random bytes, runs, a small alphabet, and copies of earlier data from near
// the window's reach (up to 32768 bytes back), in pieces of random length.
Bytes Mixed(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes v;
  while (v.size() < n) {
    const uint32_t kind = rng() % 4, len = 1 + rng() % 3000;
    for (uint32_t i = 0; i < len && v.size() < n; ++i)
      v.push_back(static_cast<uint8_t>(kind == 0 ? rng() : kind == 1 ? i / 300 : kind == 2 ? "setup volume"[rng() % 12]
                                       : v.size() > 32768 ? v[v.size() - 32700 - rng() % 69] : 'w'));
  }
  return v;
}

}  // namespace

TEST(InflaterTest, WorkedExamplesAndValidEdgeStreams) {
  // 0F: type 7 stored, last; padding | 03 00: LEN 3 | 61 62 63
  ExpectDecodes(Hex("0F 03 00 61 62 63"), Text("abc"), "stored abc");
  // 9D: 101 fixed, 1 last, then 'a' 10010001 | 'b' 10010010 | 'c' 10010011 | 0000000 end of block
  ExpectDecodes(Hex("9D 98 94 0C 00"), Text("abc"), "fixed abc");
  // 7E C4 68 ...: 110 dynamic, 1 last; HLIT 7, HDIST 2; HCLEN 3; code-length code
  // lengths 2 3 0 3 3 2 3 (18 17 16 0 1 2 3); 18x97, 2 2 2, 18x138, 18x18, 3,
  // 17x6, 3, 0 0 1; data a b c, 263 (length 9), distance code 2 (3), end.
  ExpectDecodes(Hex("7E C4 68 D8 34 AD 80 7F 0F FB 96 14 BB 01"), Text("abcabcabcabc"), "dynamic example");

  ExpectDecodes(FixedBlock({{'a'}, {264, 0}, {256}}).Bytes(), Bytes(11, 'a'), "distance 1, length 10");
  ExpectDecodes(FixedBlock({{'a'}, {257, 4, 0, 1}, {256}}).Bytes(), {'a', 0, 0, 0},
                "distance 5 before the stream's start reads zeros");
  // Stored, not last: AB; then fixed, last: C, length 4 at distance 3, into the stored block.
  BitWriter stored = BitWriter().Bits(7, 4).Align().Bits(2, 16).Bits('A', 8).Bits('B', 8).Bits(13, 4);
  ExpectDecodes(FixedBlock({{'C'}, {258, 2}, {256}}, stored).Bytes(), Text("ABCABCA"), "match across blocks");

  // Dynamic: a:1, end:2, 257:2; the distance code is one 1-bit code (symbol 0): a, 257 (length 3), distance 1, end.
  const Bytes aaaa = Lengths(258, {{'a', 1}, {256, 2}, {257, 2}});
  ExpectDecodes(Dynamic(aaaa, {1}, {{0, 1}, {3, 2}, {0, 1}, {2, 2}}), Text("aaaa"), "single 1-bit distance code");

  // 16 first repeats length 0; a repeat runs from the literal/length lengths
  // into the distance lengths (HLIT 1, HDIST 3: 258 + 4 lengths).
  BitWriter w;
  DynamicCounts(w, true, 258, 4);
  for (auto [symbol, extra, bits] : {std::tuple{16u, 0u, 2u}, {18, 83, 7}, {1, 0, 0}, {18, 127, 7}, {18, 9, 7},
                                     {2, 0, 0}, {16, 2, 2}}) {  // 0-2: 0; 3-96: 0; 'a': 1; 98-255: 0; 256: 2; 257-261: 2
    CodeLengthSymbol(w, symbol);
    w.Bits(extra, bits);
  }
  w.Code(0, 1).Code(3, 2).Code(0, 2).Code(2, 2);  // a, 257, distance 1, end
  ExpectDecodes(w.Bytes(), Text("aaaa"), "repeats at the start and across the two sequences");

  // End of block of 10 bits among codes of up to 15 bits: the first level is
  // 9 bits, the end-of-block sub-table 1 bit, the longer codes a third level.
  Bytes lit(257);
  for (uint32_t i = 0; i < 9; ++i) lit['a' + i] = static_cast<uint8_t>(1 + i);
  lit[256] = 10;
  for (uint32_t i = 0; i < 6; ++i) lit['j' + i] = static_cast<uint8_t>(11 + std::min(i, 4u));
  const std::vector<uint32_t> codes = CanonicalCodes(lit);
  for (int repeat : {1, 40}) {  // 40: long enough for the fast loop
    w = BitWriter();
    DynamicHeader(w, true, lit, {1});
    std::string text;
    for (int r = 0; r < repeat; ++r)
      for (uint32_t s = 'a'; s <= 'o'; ++s) w.Code(codes[s], lit[s]), text += static_cast<char>(s);
    w.Code(codes[256], 10);
    ExpectDecodes(w.Bytes(), Text(text), "three-level table");
  }
}

TEST(InflaterTest, InvalidStreamsFailWithTheirResult) {
  auto counts = [](uint32_t hlit, uint32_t hdist) {
    return BitWriter().Bits(6, 3).Bits(1, 1).Bits(hlit, 5).Bits(hdist, 5).Bits(15, 4).Bits(0, 64).Bytes();
  };
  // Code-length code with HCLEN 0: lengths of 18, 17, 16 and 0 only.
  auto codeLengthCode = [](uint32_t a, uint32_t b, uint32_t c) {
    return BitWriter().Bits(6, 3).Bits(1, 1).Bits(0, 14).Bits(a, 3).Bits(b, 3).Bits(c, 3).Bits(0, 43).Bytes();
  };
  auto dynamic = [](const Bytes& lit, const Bytes& dist, std::initializer_list<std::pair<uint32_t, uint32_t>> data) {
    return Dynamic(lit, dist, data, 16);
  };
  auto fixed = [](Symbol symbol) { return FixedBlock({{'a'}, symbol}).Bits(0, 16).Bytes(); };
  const Bytes aaaa = Lengths(258, {{'a', 1}, {256, 2}, {257, 2}});
  BitWriter past;
  DynamicCounts(past, true, 257, 1);  // 258 lengths, 138 + 121 given
  CodeLengthSymbol(past, 18);
  CodeLengthSymbol(past.Bits(127, 7), 18);
  past.Bits(110, 7);
  struct Case {
    const char* what;
    Bytes bytes;
    int result;
  } cases[] = {
      {"raw RFC 1951 (type bits 011)", Hex("4B 4C 4A 06 00"), kInflateBadBlock},
      {"empty input", {}, kInflateInvalidData},
      {"last block missing", Hex("07 01 00 41"), kInflateInvalidData},
      {"block type 0", Hex("08 00 00 00"), kInflateBadBlock},
      {"HLIT 30", counts(30, 0), kInflateInvalidData},
      {"HDIST 30", counts(0, 30), kInflateInvalidData},
      {"repeat past the last length", past.Bytes(), kInflateInvalidData},
      {"code-length code over-subscribed", codeLengthCode(1, 1, 1), kInflateBadBlock},
      {"code-length code incomplete", codeLengthCode(2, 2, 2), kInflateInvalidData},
      {"literal/length over-subscribed", dynamic(Lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), {1}, {}),
       kInflateBadBlock},
      {"literal/length incomplete", dynamic(Lengths(257, {{'a', 1}, {256, 2}}), {1}, {}), kInflateInvalidData},
      {"literal/length empty", dynamic(Lengths(257, {}), {1}, {{0, 1}}), kInflateInvalidData},
      {"distance over-subscribed", dynamic(aaaa, {1, 1, 1}, {}), kInflateBadBlock},
      {"distance incomplete", dynamic(aaaa, {2, 2, 2}, {}), kInflateInvalidData},
      {"length without distance code", dynamic(aaaa, {0}, {{0, 1}, {3, 2}}), kInflateInvalidData},
      {"other code of a 1-bit code", dynamic(aaaa, {1}, {{0, 1}, {3, 2}, {1, 1}}), kInflateInvalidData},
      {"fixed distance code 30", fixed({257, 30}), kInflateInvalidData},
      {"fixed literal/length 286", fixed({286}), kInflateInvalidData},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.bytes).result, c.result) << c.what;
}

TEST(InflaterTest, SinkGetsWholeWindowsThenOneFinalWrite) {
  for (auto [size, writes] : std::vector<std::pair<size_t, std::vector<uint32_t>>>{
           {32767, {32767}}, {32768, {32768, 0}}, {100000, {32768, 32768, 32768, 1696}}}) {
    const Bytes data = Mixed(size, 7);
    for (int level : {0, 6}) {
      const Bytes stream = EncodeStream(data.data(), data.size(), level);
      Decoded d = Decode(stream);
      EXPECT_EQ(d.result, kInflateOk);
      EXPECT_EQ(d.writes, writes) << size;
      EXPECT_TRUE(d.output == data);
    }
  }
  // A failure drops the partial window: 40000 bytes, then block type 0.
  Bytes notLast = EncodeStream(Mixed(40000, 8).data(), 40000, 0);
  notLast[0] = 0x07;
  Decoded d = Decode(notLast + Bytes{0x08, 0, 0, 0});
  EXPECT_EQ(d.result, kInflateBadBlock);
  EXPECT_EQ(d.writes, std::vector<uint32_t>{32768});

  // Distance 32768 (code 29, extra 8191) while the window wraps around.
  Bytes expected = Mixed(40000, 9);
  BitWriter w = BitWriter().Bits(7, 4).Align().Bits(40000, 16);
  for (uint8_t b : expected) w.Bits(b, 8);
  std::vector<Symbol> matches(200, Symbol{285, 29, 8191, 13});
  matches.push_back({256});
  for (int k = 0; k < 200 * 258; ++k) expected.push_back(expected[expected.size() - 32768]);
  ExpectDecodes(FixedBlock(matches, w.Bits(13, 4)).Bytes(), expected, "distance 32768");
}
