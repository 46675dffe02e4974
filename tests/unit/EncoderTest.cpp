// The encoder: RFC 1951 rewriting on hand-built streams (every proper prefix
// of which is refused) and on zlib's, rejection of invalid input, the stored
// level's layout, and the fixed-block parser checked by zlib. Round trips through the
// decoder are InflaterTest's and the fuzz targets'.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "authoring/DeflateCodes.h"
#include "authoring/Encoder.h"
#include "tests/unit/StreamTesting.h"

using namespace streamtest;

namespace {

const uint32_t kA = 0x30 + 'a', kB = 0x30 + 'b';  // fixed literal codes, 8 bits

Bytes Transcoded(const Bytes& rfc, size_t* consumed = nullptr) {
  Bytes out;
  EXPECT_TRUE(TranscodeRfc1951(rfc.data(), rfc.size(), out, consumed));
  return out;
}

bool Accepts(const Bytes& rfc) {
  Bytes out;
  return TranscodeRfc1951(rfc.data(), rfc.size(), out);
}

// A dynamic header for HLIT 0, HDIST 0 (258 lengths) whose code-length code
// lengths are given in RFC 1951's order (16 17 18 0 8 7 9 6 10 5 11 4 12 3 13 2 14 1).
BitWriter DynamicHead(std::initializer_list<uint32_t> codeLengthLengths) {
  BitWriter b;
  b.Bits(1, 1).Bits(2, 2).Bits(0, 10).Bits(static_cast<uint32_t>(codeLengthLengths.size()) - 4, 4);
  for (uint32_t len : codeLengthLengths) b.Bits(len, 3);
  return b;
}

}  // namespace

TEST(TranscodeRfc1951, RewritesBlockHeadersAndStoredLengths) {
  const std::pair<Bytes, Bytes> cases[] = {
      // Stored, last, empty: BFINAL 1, BTYPE 0; LEN 0, NLEN -> type 7 | last 8, padding; LEN 0.
      {{0x01, 0x00, 0x00, 0xFF, 0xFF}, {0x0F, 0x00, 0x00}},
      // Stored "abc" (not last), then fixed "abc" and end of block (last): the Huffman codes move up one bit.
      {{0x00, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c', 0x4B, 0x4C, 0x4A, 0x06, 0x00},
       {0x07, 0x03, 0x00, 'a', 'b', 'c', 0x9D, 0x98, 0x94, 0x0C, 0x00}},
      // Fixed "a" (not last), then stored "b" (last), whose padding now starts one bit later.
      {BitWriter().Bits(2, 3).Code(kA, 8).Code(0, 7).Bits(1, 3).Align().Bits(1, 16).Bits(0xFFFE, 16).Bits('b', 8).Bytes(),
       BitWriter().Bits(5, 4).Code(kA, 8).Code(0, 7).Bits(15, 4).Align().Bits(1, 16).Bits('b', 8).Bytes()},
  };
  for (const auto& [rfc, ours] : cases) {
    EXPECT_EQ(Transcoded(rfc), ours);
    for (size_t n = 0; n < rfc.size(); n++) EXPECT_FALSE(Accepts(Bytes(rfc.begin(), rfc.begin() + n))) << n;
  }

  // A length/distance pair is copied with its extra bits; the byte after the
  // stream is not consumed. "ab", then length 11 (symbol 265, extra bit 0) at
  // distance 2 (symbol 1).
  BitWriter pair = BitWriter().Bits(3, 3), ours = BitWriter().Bits(13, 4);
  for (BitWriter* w : {&pair, &ours}) w->Code(kA, 8).Code(kB, 8).Code(265 - 256, 7).Bits(0, 1).Code(1, 5).Code(0, 7);
  size_t consumed = 0;
  EXPECT_EQ(Transcoded(pair.Bytes() + Bytes{0x77}, &consumed), ours.Bytes());
  EXPECT_EQ(consumed, pair.Bytes().size());
}

// zlib's streams of each block kind (stored, fixed, dynamic headers of many
// shapes), rewritten, decode to the data and end where zlib's ended.
TEST(TranscodeRfc1951, RewritesZlibStreams) {
  std::string text;
  for (uint32_t i = 0; text.size() < 50000; ++i)
    text += "setup " + std::to_string(i * i % 977) + (i % 7 ? " disk, " : "\r\n");
  for (auto [level, strategy] : {std::pair{0, Z_DEFAULT_STRATEGY}, {1, Z_FIXED}, {1, Z_DEFAULT_STRATEGY},
                                 {9, Z_DEFAULT_STRATEGY}, {9, Z_HUFFMAN_ONLY}, {6, Z_RLE}}) {
    SCOPED_TRACE(std::to_string(level) + " " + std::to_string(strategy));
    z_stream zs = {};
    deflateInit2(&zs, level, Z_DEFLATED, -15, 8, strategy);
    Bytes rfc(deflateBound(&zs, text.size()));
    zs.next_in = reinterpret_cast<Bytef*>(text.data()), zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = rfc.data(), zs.avail_out = static_cast<uInt>(rfc.size());
    ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    rfc.resize(zs.total_out);
    deflateEnd(&zs);
    size_t consumed = 0;
    EXPECT_EQ(Decode(Transcoded(rfc + Bytes{0x77}, &consumed)).output, Text(text));
    EXPECT_EQ(consumed, rfc.size());
  }
}

TEST(TranscodeRfc1951, RejectsInvalidAndTruncatedStreams) {
  auto fixedHead = [] { return BitWriter().Bits(3, 3); };
  // HLIT/HDIST given, and a complete code-length code: 0 -> "0", 8 -> "1".
  auto counts = [](unsigned hlit, unsigned hdist) {
    return BitWriter().Bits(5, 3).Bits(hlit, 5).Bits(hdist, 5).Bits(1, 4).Bits(0, 9).Bits(1, 3).Bits(1, 3).Code(0, 1);
  };
  // Code-length codes 0 -> 00, 1 -> 01, 16 -> 10, 18 -> 11.
  auto four = [] { return DynamicHead({2, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}); };
  // Literal 0 and end of block of one bit each, no distance codes; or a
  // repeat of 1 three times into the one place left.
  auto lengths = [&](bool overshoot) {
    BitWriter b = four();
    b.Code(1, 2).Code(3, 2).Bits(127, 7).Code(3, 2).Bits(106, 7).Code(1, 2);  // 1, 138 + 117 zeros, 1
    return overshoot ? b.Code(2, 2).Bits(0, 2).Code(1, 1) : b.Code(0, 2).Code(1, 1);
  };
  // Literal/length code {0: "0", 256: "10"} (incomplete) or {0: "0", 256: "1"}
  // under code-length code {0: "0", 1: "10"} (incomplete) or {0: "0", 1: "10", 2: "11"}.
  auto incomplete = [](bool literals) {
    BitWriter b = DynamicHead({0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, literals ? 2u : 0u, 0, 2});
    b.Code(2, 2);                                // symbol 0: 1
    for (int i = 0; i < 255; i++) b.Code(0, 1);  // 1-255: 0
    b.Code(literals ? 3 : 2, 2).Code(0, 1);      // 256: 2 or 1; distance 0: 0
    return literals ? b.Code(2, 2) : b.Code(1, 1);
  };
  EXPECT_TRUE(Accepts(lengths(false).Bytes()));
  const std::pair<const char*, Bytes> cases[] = {
      {"empty input", {}},
      {"block type 3", {0x07, 0x00}},
      {"NLEN not the complement of LEN", {0x01, 0x03, 0x00, 0xFC, 0xFE, 'a', 'b', 'c'}},
      {"stored data cut short", {0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b'}},
      {"fixed literal/length 286", fixedHead().Code(0xC6, 8).Code(0, 7).Bytes()},
      {"fixed distance 30", fixedHead().Code(kA, 8).Code(1, 7).Code(30, 5).Code(0, 7).Bytes()},
      {"distance before the first byte", fixedHead().Code(kA, 8).Code(1, 7).Code(1, 5).Code(0, 7).Bytes()},
      {"no last block", {0x4A, 0x4C, 0x4A, 0x06, 0x00}},
      {"HLIT 30: 287 literal/length codes", counts(30, 0).Bytes()},
      {"HDIST 30: 31 distance codes", counts(0, 30).Bytes()},
      {"repeat past the end", lengths(true).Bytes()},
      {"repeat with no previous length", four().Code(2, 2).Bits(0, 2).Bytes()},
      {"all lengths zero: no end of block", four().Code(3, 2).Bits(127, 7).Code(3, 2).Bits(109, 7).Code(0, 1).Bytes()},
      {"incomplete literal/length code", incomplete(true).Bytes()},
      {"incomplete code-length code", incomplete(false).Bytes()},
      {"over-subscribed code-length code", DynamicHead({1, 1, 1, 0}).Code(0, 1).Bytes()},
  };
  for (const auto& [name, stream] : cases) EXPECT_FALSE(Accepts(stream)) << name;
}

// Stored blocks of at most 65535 bytes, n + 3 bytes each (BuildTest cuts
// volumes by that); incompressible data at any level costs no more.
TEST(EncodeStream, StoredLevelLayout) {
  EXPECT_EQ(EncodeStream(nullptr, 0, 0), Bytes({0x0D, 0x00}));
  Bytes data(2 * 65535 + 2);
  std::mt19937 random(7);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  const Bytes stream = EncodeStream(data.data(), data.size(), 0);
  ASSERT_EQ(stream.size(), data.size() + 9);
  EXPECT_EQ(Bytes(stream.begin() + 65538, stream.begin() + 65541), Bytes({0x07, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(stream.begin() + 131076, stream.begin() + 131079), Bytes({0x0F, 0x02, 0x00}));
  EXPECT_EQ(EncodeStream(data.data(), data.size(), 12).size(), stream.size());
}

// The fixed-block parser's output is our format; with its 4-bit header
// replaced by RFC 1951's 3 bits (BFINAL 1, BTYPE 1) zlib must inflate it.
TEST(EncodeFixedBlock, ZlibInflatesTheBlock) {
  std::mt19937 random(5);
  for (size_t size : {0, 1, 3, 100, 40000}) {
    for (unsigned alphabet : {1u, 3u, 256u}) {
      Bytes data(size);
      for (uint8_t& b : data) b = static_cast<uint8_t>(0x70 + random() % alphabet);  // both literal lengths
      const Bytes ours = EncodeFixedBlock(data.data(), data.size());
      ASSERT_EQ(ours[0] & 15, 13);
      BitWriter rfc = BitWriter().Bits(3, 3);
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
