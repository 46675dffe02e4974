// The encoder: RFC 1951 rewriting on hand-built streams, rejection of invalid
// input, the stored level's layout, the fixed-block parser (checked by zlib),
// and round trips through our decoder.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "authoring/DeflateCodes.h"
#include "authoring/Encoder.h"
#include "inflate/Inflater.h"
#include "tests/unit/StreamTesting.h"

namespace {

typedef std::vector<uint8_t> Bytes;

namespace st = streamtest;

uint32_t FixedLiteral(char c) { return 0x30 + static_cast<uint8_t>(c); }  // 8 bits, for bytes < 144

Bytes Transcoded(const Bytes& rfc, size_t* consumed = nullptr) {
  Bytes out;
  EXPECT_TRUE(TranscodeRfc1951(rfc.data(), rfc.size(), out, consumed));
  return out;
}

bool Accepts(const Bytes& rfc) {
  Bytes out;
  return TranscodeRfc1951(rfc.data(), rfc.size(), out);
}

Bytes Text(const char* text) { return Bytes(text, text + strlen(text)); }

}  // namespace

TEST(TranscodeRfc1951, RewritesBlockHeadersAndStoredLengths) {
  // Stored, last: BFINAL 1, BTYPE 0, padding; LEN 3, NLEN FFFC, "abc"
  //   -> type 7 | last 8 = F in the low nibble, padding; LEN 3, "abc".
  EXPECT_EQ(Transcoded({0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'}), Bytes({0x0F, 0x03, 0x00, 'a', 'b', 'c'}));
  // Stored, last, LEN 0.
  EXPECT_EQ(Transcoded({0x01, 0x00, 0x00, 0xFF, 0xFF}), Bytes({0x0F, 0x00, 0x00}));
  // Fixed, last: "abc" and end of block; the Huffman codes move up one bit.
  EXPECT_EQ(Transcoded({0x4B, 0x4C, 0x4A, 0x06, 0x00}), Bytes({0x9D, 0x98, 0x94, 0x0C, 0x00}));
  // Fixed, last, end of block only.
  EXPECT_EQ(Transcoded({0x03, 0x00}), Bytes({0x0D, 0x00}));
  // Stored "abc" (not last), then the fixed "abc" above (last).
  EXPECT_EQ(Transcoded({0x00, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c', 0x4B, 0x4C, 0x4A, 0x06, 0x00}),
            Bytes({0x07, 0x03, 0x00, 'a', 'b', 'c', 0x9D, 0x98, 0x94, 0x0C, 0x00}));

  // Fixed "a" (not last), then stored "b" (last), whose padding now starts
  // one bit later.
  st::BitWriter rfc, ours;
  rfc.Bits(0, 1).Bits(1, 2).Code(FixedLiteral('a'), 8).Code(0, 7);       // fixed, "a", end
  rfc.Bits(1, 1).Bits(0, 2).Align().Bits(1, 16).Bits(0xFFFE, 16).Bits('b', 8);  // stored "b"
  ours.Bits(5, 4).Code(FixedLiteral('a'), 8).Code(0, 7);
  ours.Bits(7 | 8, 4).Align().Bits(1, 16).Bits('b', 8);
  EXPECT_EQ(Transcoded(rfc.Bytes()), ours.Bytes());

  // A length/distance pair is copied with its extra bits; the byte after the
  // stream is not consumed. "ab", then length 11 (symbol 265, extra bit 0) at
  // distance 2 (symbol 1).
  st::BitWriter pair, pairOurs;
  pair.Bits(1, 1).Bits(1, 2).Code(FixedLiteral('a'), 8).Code(FixedLiteral('b'), 8);
  pair.Code(265 - 256, 7).Bits(0, 1).Code(1, 5).Code(0, 7);
  pairOurs.Bits(5 | 8, 4).Code(FixedLiteral('a'), 8).Code(FixedLiteral('b'), 8);
  pairOurs.Code(265 - 256, 7).Bits(0, 1).Code(1, 5).Code(0, 7);
  size_t consumed = 0;
  Bytes withTrailer = pair.Bytes();
  withTrailer.push_back(0x77);
  EXPECT_EQ(Transcoded(withTrailer, &consumed), pairOurs.Bytes());
  EXPECT_EQ(consumed, pair.Bytes().size());
}

// The dynamic block of "abcabcabcabc": HLIT 7, HDIST 2; code-length code
// lengths 18:2, 17:3, 0:3, 1:3, 2:2, 3:3. In RFC 1951's order they need 18
// fields (the last used, symbol 1, comes 18th); in ours 7.
TEST(TranscodeRfc1951, RewritesDynamicHeaderInTheNewOrder) {
  st::BitWriter rfc;
  rfc.Bits(1, 1).Bits(2, 2).Bits(7, 5).Bits(2, 5).Bits(18 - 4, 4);
  const uint8_t rfcOrder[18] = {0, 3, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 3};  // 16 17 18 0 8 7 9 6 ...
  for (uint8_t len : rfcOrder) rfc.Bits(len, 3);
  // Code-length codes: 2 -> 00, 18 -> 01, 0 -> 100, 1 -> 101, 3 -> 110, 17 -> 111.
  rfc.Code(1, 2).Bits(86, 7);                            // 97 zeros
  rfc.Code(0, 2).Code(0, 2).Code(0, 2);                   // a, b, c: 2
  rfc.Code(1, 2).Bits(127, 7).Code(1, 2).Bits(7, 7);   // 138 + 18 zeros
  rfc.Code(6, 3).Code(7, 3).Bits(3, 3).Code(6, 3);       // 256: 3, six zeros, 263: 3
  rfc.Code(4, 3).Code(4, 3).Code(5, 3);                   // distances 0, 0, 1
  // Data: a 00, b 01, c 10, 263 111 (length 9), distance 2 "0" (3), end 110.
  rfc.Code(0, 2).Code(1, 2).Code(2, 2).Code(7, 3).Code(0, 1).Code(6, 3);
  Bytes expected = {0x7E, 0xC4, 0x68, 0xD8, 0x34, 0xAD, 0x80, 0x7F, 0x0F, 0xFB, 0x96, 0x14, 0xBB, 0x01};
  EXPECT_EQ(Transcoded(rfc.Bytes()), expected);
  EXPECT_EQ(st::Decode(expected).output, Text("abcabcabcabc"));
}

TEST(TranscodeRfc1951, RejectsInvalidAndTruncatedStreams) {
  auto fixedHead = [] { return st::BitWriter().Bits(1, 1).Bits(1, 2); };
  // Dynamic header with the given counts and a complete code-length code
  // (symbols 0 and 8 of one bit each: RFC order positions 4 and 5).
  auto dynamicHead = [](unsigned hlit, unsigned hdist) {
    st::BitWriter b;
    b.Bits(1, 1).Bits(2, 2).Bits(hlit, 5).Bits(hdist, 5).Bits(1, 4);
    for (unsigned len : {0, 0, 0, 1, 1}) b.Bits(len, 3);
    return b;  // code-length codes: 0 -> "0", 8 -> "1"
  };
  struct Case {
    const char* name;
    Bytes stream;
  } cases[] = {
      {"empty input", {}},
      {"block type 3", {0x07, 0x00}},
      {"NLEN not the complement of LEN", {0x01, 0x03, 0x00, 0xFC, 0xFE, 'a', 'b', 'c'}},
      {"stored data cut short", {0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b'}},
      {"fixed literal/length 286", fixedHead().Code(0xC6, 8).Code(0, 7).Bytes()},
      {"fixed distance 30",
       fixedHead().Code(FixedLiteral('a'), 8).Code(1, 7).Code(30, 5).Code(0, 7).Bytes()},
      {"distance before the first byte",
       fixedHead().Code(FixedLiteral('a'), 8).Code(1, 7).Code(1, 5).Code(0, 7).Bytes()},
      {"no last block", {0x4A, 0x4C, 0x4A, 0x06, 0x00}},
      {"HLIT 30: 287 literal/length codes", dynamicHead(30, 0).Code(0, 1).Bytes()},
      {"HDIST 30: 31 distance codes", dynamicHead(0, 30).Code(0, 1).Bytes()},
  };
  for (const Case& c : cases) EXPECT_FALSE(Accepts(c.stream)) << c.name;

  // Code-length sequences for HLIT 0, HDIST 0 (258 lengths) under a
  // code-length code of four 2-bit codes: 0 -> 00, 1 -> 01, 16 -> 10, 18 -> 11
  // (symbol 1 comes 18th in RFC 1951's order).
  auto lengths = [] {
    st::BitWriter b;
    b.Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(18 - 4, 4);
    for (unsigned len : {2, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}) b.Bits(len, 3);
    return b;
  };
  // Literal 0 and end of block of one bit each, no distance codes.
  auto valid = [&](bool overshoot) {
    st::BitWriter b = lengths();
    b.Code(1, 2).Code(3, 2).Bits(127, 7).Code(3, 2).Bits(106, 7).Code(1, 2);  // 1, 138 + 117 zeros, 1
    if (overshoot) b.Code(2, 2).Bits(0, 2);  // repeat 1 three times into the one place left
    else b.Code(0, 2);                        // distance length 0
    return b.Code(1, 1);                      // end of block
  };
  EXPECT_TRUE(Accepts(valid(false).Bytes()));
  EXPECT_FALSE(Accepts(valid(true).Bytes())) << "repeat past the end";
  EXPECT_FALSE(Accepts(lengths().Code(2, 2).Bits(0, 2).Bytes())) << "repeat with no previous length";
  EXPECT_FALSE(Accepts(lengths().Code(3, 2).Bits(127, 7).Code(3, 2).Bits(109, 7).Code(0, 1).Bytes()))
      << "all lengths zero: no end of block";
  // Incomplete codes that the stream never steps into. Literal/length code
  // {0: "0", 256: "10"} (incomplete) or {0: "0", 256: "1"}; code-length code
  // {0: "0", 1: "10"} (incomplete) or {0: "0", 1: "10", 2: "11"}.
  auto incomplete = [](bool literals) {
    st::BitWriter b;
    b.Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(18 - 4, 4);
    for (unsigned i = 0; i < 18; i++) b.Bits(i == 3 ? 1 : i == 15 ? (literals ? 2 : 0) : i == 17 ? 2 : 0, 3);
    b.Code(2, 2);                                 // symbol 0: 1
    for (int i = 0; i < 255; i++) b.Code(0, 1);   // 1-255: 0
    b.Code(literals ? 3 : 2, 2).Code(0, 1);       // 256: 2 or 1; distance 0: 0
    return literals ? b.Code(2, 2) : b.Code(1, 1);  // end of block
  };
  EXPECT_FALSE(Accepts(incomplete(true).Bytes())) << "incomplete literal/length code";
  EXPECT_FALSE(Accepts(incomplete(false).Bytes())) << "incomplete code-length code";
  st::BitWriter oversubscribed;  // three 1-bit code-length codes
  oversubscribed.Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4);
  for (unsigned len : {1, 1, 1, 0}) oversubscribed.Bits(len, 3);
  EXPECT_FALSE(Accepts(oversubscribed.Code(0, 1).Bytes())) << "over-subscribed code-length code";

  // Every proper prefix of a valid stream is truncated.
  Bytes text = Text("The quick brown fox jumps over the lazy dog; the quick brown fox again.");
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
    for (int level : {0, 9}) {
      Bytes rfc = st::ZlibRaw(text, level, strategy, 8);
      ASSERT_TRUE(Accepts(rfc));
      for (size_t n = 0; n < rfc.size(); n++)
        EXPECT_FALSE(Accepts(Bytes(rfc.begin(), rfc.begin() + n))) << "prefix " << n << " level " << level;
    }
  }
}

TEST(EncodeStream, StoredLevelLayout) {
  EXPECT_EQ(EncodeStream(nullptr, 0, 0), Bytes({0x0D, 0x00}));
  EXPECT_EQ(EncodeStream(Text("abc").data(), 3, 0), Bytes({0x0F, 0x03, 0x00, 'a', 'b', 'c'}));
  Bytes data(2 * 65535 + 2);
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<uint8_t>(i * 7);
  Bytes stream = EncodeStream(data.data(), data.size(), 0);
  ASSERT_EQ(stream.size(), data.size() + 9);
  // Block 1 and 2: header 07, LEN FFFF; block 3: header 0F (last), LEN 2.
  EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 3), Bytes({0x07, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(stream.begin() + 65538, stream.begin() + 65541), Bytes({0x07, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(stream.begin() + 131076, stream.begin() + 131079), Bytes({0x0F, 0x02, 0x00}));
  EXPECT_EQ(Bytes(stream.end() - 2, stream.end()), Bytes(data.end() - 2, data.end()));
  EXPECT_EQ(st::Decode(stream).output, data);
  // Incompressible data at any level costs no more than storing it.
  std::mt19937 random(7);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  EXPECT_EQ(EncodeStream(data.data(), data.size(), 12).size(), stream.size());
}

// The fixed-block parser's output is our format; with its 4-bit header
// replaced by RFC 1951's 3 bits (BFINAL 1, BTYPE 1) zlib must inflate it.
TEST(EncodeFixedBlock, ZlibInflatesTheBlock) {
  std::mt19937 random(5);
  for (size_t size : {0, 1, 2, 3, 4, 100, 1000, 8192, 40000}) {
    for (unsigned alphabet : {1u, 3u, 40u, 256u}) {
      Bytes data(size);
      for (uint8_t& b : data) b = static_cast<uint8_t>(0x70 + random() % alphabet);  // both literal lengths
      Bytes ours = EncodeFixedBlock(data.data(), data.size());
      ASSERT_EQ(ours[0] & 15, 13);
      st::BitWriter rfc;
      rfc.Bits(3, 3);
      for (size_t bit = 4; bit < ours.size() * 8; bit++) rfc.Bits((ours[bit / 8] >> (bit % 8)) & 1, 1);
      Bytes out(size + 1);
      z_stream zs = {};
      inflateInit2(&zs, -15);
      zs.next_in = const_cast<Bytef*>(rfc.Bytes().data()), zs.avail_in = static_cast<uInt>(rfc.Bytes().size());
      zs.next_out = out.data(), zs.avail_out = static_cast<uInt>(out.size());
      EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END) << size << " " << alphabet;
      out.resize(zs.total_out);
      inflateEnd(&zs);
      EXPECT_EQ(out, data) << size << " " << alphabet;
    }
  }
}
