// The encoder: RFC 1951 rewriting on hand-built streams, rejection of invalid
// input, the stored level's layout, the fixed-block parser (checked by zlib),
// and round trips through our decoder.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "authoring/DeflateCodes.h"
#include "authoring/Encoder.h"
#include "inflate/Inflater.h"
#include "tests/support/CollectingSink.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// A hand-built bit stream: fields least significant bit first, Huffman codes
// most significant bit first, as deflate packs them.
struct Bits {
  Bytes bytes;
  unsigned count = 0;
  Bits& Field(uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; i++, count++) {
      if (count % 8 == 0) bytes.push_back(0);
      bytes.back() |= ((value >> i) & 1) << (count % 8);
    }
    return *this;
  }
  Bits& Code(uint32_t code, unsigned n) {
    for (unsigned i = n; i-- > 0;) Field((code >> i) & 1, 1);
    return *this;
  }
  Bits& Align() {
    count = (count + 7) & ~7u;
    return *this;
  }
};

// Fixed-code literal/length symbols.
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

Bytes RawDeflate(const Bytes& data, int level, int strategy) {
  z_stream zs = {};
  EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
  Bytes out(deflateBound(&zs, data.size()));
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// Decodes a stream of ours that is followed by other bytes, from a memory
// file, and checks that the decoder stops right after the stream and gives
// no more than expectedSize bytes.
Bytes Decoded(const Bytes& stream, size_t expectedSize) {
  int fd = memfd_create("stream", 0);
  EXPECT_GE(fd, 0);
  Bytes file = stream;
  file.insert(file.end(), {0xA5, 0x5A, 0xFF});  // not part of the stream
  EXPECT_EQ(write(fd, file.data(), file.size()), static_cast<ssize_t>(file.size()));
  lseek(fd, 0, SEEK_SET);
  CollectingSink sink(expectedSize);
  Inflater inflater;
  EXPECT_EQ(inflater.DecodeToSink(sink, fd, 0), kInflateOk);
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(stream.size()));
  close(fd);
  return sink.bytes;
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
  Bits rfc, ours;
  rfc.Field(0, 1).Field(1, 2).Code(FixedLiteral('a'), 8).Code(0, 7);       // fixed, "a", end
  rfc.Field(1, 1).Field(0, 2).Align().Field(1, 16).Field(0xFFFE, 16).Field('b', 8);  // stored "b"
  ours.Field(5, 4).Code(FixedLiteral('a'), 8).Code(0, 7);
  ours.Field(7 | 8, 4).Align().Field(1, 16).Field('b', 8);
  EXPECT_EQ(Transcoded(rfc.bytes), ours.bytes);

  // A length/distance pair is copied with its extra bits; the byte after the
  // stream is not consumed. "ab", then length 11 (symbol 265, extra bit 0) at
  // distance 2 (symbol 1).
  Bits pair, pairOurs;
  pair.Field(1, 1).Field(1, 2).Code(FixedLiteral('a'), 8).Code(FixedLiteral('b'), 8);
  pair.Code(265 - 256, 7).Field(0, 1).Code(1, 5).Code(0, 7);
  pairOurs.Field(5 | 8, 4).Code(FixedLiteral('a'), 8).Code(FixedLiteral('b'), 8);
  pairOurs.Code(265 - 256, 7).Field(0, 1).Code(1, 5).Code(0, 7);
  size_t consumed = 0;
  Bytes withTrailer = pair.bytes;
  withTrailer.push_back(0x77);
  EXPECT_EQ(Transcoded(withTrailer, &consumed), pairOurs.bytes);
  EXPECT_EQ(consumed, pair.bytes.size());
}

// The dynamic block of "abcabcabcabc": HLIT 7, HDIST 2; code-length code
// lengths 18:2, 17:3, 0:3, 1:3, 2:2, 3:3. In RFC 1951's order they need 18
// fields (the last used, symbol 1, comes 18th); in ours 7.
TEST(TranscodeRfc1951, RewritesDynamicHeaderInTheNewOrder) {
  Bits rfc;
  rfc.Field(1, 1).Field(2, 2).Field(7, 5).Field(2, 5).Field(18 - 4, 4);
  const uint8_t rfcOrder[18] = {0, 3, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 3};  // 16 17 18 0 8 7 9 6 ...
  for (uint8_t len : rfcOrder) rfc.Field(len, 3);
  // Code-length codes: 2 -> 00, 18 -> 01, 0 -> 100, 1 -> 101, 3 -> 110, 17 -> 111.
  rfc.Code(1, 2).Field(86, 7);                            // 97 zeros
  rfc.Code(0, 2).Code(0, 2).Code(0, 2);                   // a, b, c: 2
  rfc.Code(1, 2).Field(127, 7).Code(1, 2).Field(7, 7);   // 138 + 18 zeros
  rfc.Code(6, 3).Code(7, 3).Field(3, 3).Code(6, 3);       // 256: 3, six zeros, 263: 3
  rfc.Code(4, 3).Code(4, 3).Code(5, 3);                   // distances 0, 0, 1
  // Data: a 00, b 01, c 10, 263 111 (length 9), distance 2 "0" (3), end 110.
  rfc.Code(0, 2).Code(1, 2).Code(2, 2).Code(7, 3).Code(0, 1).Code(6, 3);
  Bytes expected = {0x7E, 0xC4, 0x68, 0xD8, 0x34, 0xAD, 0x80, 0x7F, 0x0F, 0xFB, 0x96, 0x14, 0xBB, 0x01};
  EXPECT_EQ(Transcoded(rfc.bytes), expected);
  EXPECT_EQ(Decoded(expected, 12), Text("abcabcabcabc"));
}

TEST(TranscodeRfc1951, RejectsInvalidAndTruncatedStreams) {
  auto fixedHead = [] { return Bits().Field(1, 1).Field(1, 2); };
  // Dynamic header with the given counts and a complete code-length code
  // (symbols 0 and 8 of one bit each: RFC order positions 4 and 5).
  auto dynamicHead = [](unsigned hlit, unsigned hdist) {
    Bits b;
    b.Field(1, 1).Field(2, 2).Field(hlit, 5).Field(hdist, 5).Field(1, 4);
    for (unsigned len : {0, 0, 0, 1, 1}) b.Field(len, 3);
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
      {"fixed literal/length 286", fixedHead().Code(0xC6, 8).Code(0, 7).bytes},
      {"fixed distance 30",
       fixedHead().Code(FixedLiteral('a'), 8).Code(1, 7).Code(30, 5).Code(0, 7).bytes},
      {"distance before the first byte",
       fixedHead().Code(FixedLiteral('a'), 8).Code(1, 7).Code(1, 5).Code(0, 7).bytes},
      {"no last block", {0x4A, 0x4C, 0x4A, 0x06, 0x00}},
      {"HLIT 30: 287 literal/length codes", dynamicHead(30, 0).Code(0, 1).bytes},
      {"HDIST 30: 31 distance codes", dynamicHead(0, 30).Code(0, 1).bytes},
  };
  for (const Case& c : cases) EXPECT_FALSE(Accepts(c.stream)) << c.name;

  // Code-length sequences for HLIT 0, HDIST 0 (258 lengths) under a
  // code-length code of four 2-bit codes: 0 -> 00, 1 -> 01, 16 -> 10, 18 -> 11
  // (symbol 1 comes 18th in RFC 1951's order).
  auto lengths = [] {
    Bits b;
    b.Field(1, 1).Field(2, 2).Field(0, 5).Field(0, 5).Field(18 - 4, 4);
    for (unsigned len : {2, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}) b.Field(len, 3);
    return b;
  };
  // Literal 0 and end of block of one bit each, no distance codes.
  auto valid = [&](bool overshoot) {
    Bits b = lengths();
    b.Code(1, 2).Code(3, 2).Field(127, 7).Code(3, 2).Field(106, 7).Code(1, 2);  // 1, 138 + 117 zeros, 1
    if (overshoot) b.Code(2, 2).Field(0, 2);  // repeat 1 three times into the one place left
    else b.Code(0, 2);                        // distance length 0
    return b.Code(1, 1);                      // end of block
  };
  EXPECT_TRUE(Accepts(valid(false).bytes));
  EXPECT_FALSE(Accepts(valid(true).bytes)) << "repeat past the end";
  EXPECT_FALSE(Accepts(lengths().Code(2, 2).Field(0, 2).bytes)) << "repeat with no previous length";
  EXPECT_FALSE(Accepts(lengths().Code(3, 2).Field(127, 7).Code(3, 2).Field(109, 7).Code(0, 1).bytes))
      << "all lengths zero: no end of block";
  // Incomplete codes that the stream never steps into. Literal/length code
  // {0: "0", 256: "10"} (incomplete) or {0: "0", 256: "1"}; code-length code
  // {0: "0", 1: "10"} (incomplete) or {0: "0", 1: "10", 2: "11"}.
  auto incomplete = [](bool literals) {
    Bits b;
    b.Field(1, 1).Field(2, 2).Field(0, 5).Field(0, 5).Field(18 - 4, 4);
    for (unsigned i = 0; i < 18; i++) b.Field(i == 3 ? 1 : i == 15 ? (literals ? 2 : 0) : i == 17 ? 2 : 0, 3);
    b.Code(2, 2);                                 // symbol 0: 1
    for (int i = 0; i < 255; i++) b.Code(0, 1);   // 1-255: 0
    b.Code(literals ? 3 : 2, 2).Code(0, 1);       // 256: 2 or 1; distance 0: 0
    return literals ? b.Code(2, 2) : b.Code(1, 1);  // end of block
  };
  EXPECT_FALSE(Accepts(incomplete(true).bytes)) << "incomplete literal/length code";
  EXPECT_FALSE(Accepts(incomplete(false).bytes)) << "incomplete code-length code";
  Bits oversubscribed;  // three 1-bit code-length codes
  oversubscribed.Field(1, 1).Field(2, 2).Field(0, 5).Field(0, 5).Field(0, 4);
  for (unsigned len : {1, 1, 1, 0}) oversubscribed.Field(len, 3);
  EXPECT_FALSE(Accepts(oversubscribed.Code(0, 1).bytes)) << "over-subscribed code-length code";

  // Every proper prefix of a valid stream is truncated.
  Bytes text = Text("The quick brown fox jumps over the lazy dog; the quick brown fox again.");
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
    for (int level : {0, 9}) {
      Bytes rfc = RawDeflate(text, level, strategy);
      ASSERT_TRUE(Accepts(rfc));
      for (size_t n = 0; n < rfc.size(); n++)
        EXPECT_FALSE(Accepts(Bytes(rfc.begin(), rfc.begin() + n))) << "prefix " << n << " level " << level;
    }
  }
}

TEST(TranscodeRfc1951, ZlibStreamsDecodeToTheSameBytes) {
  std::mt19937 random(1951);
  Bytes mixed;
  for (int i = 0; i < 300000; i++) {
    if (i % 1000 < 700) mixed.push_back(static_cast<uint8_t>('a' + random() % 6));
    else mixed.push_back(static_cast<uint8_t>(random()));
  }
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
    for (int level : {0, 1, 6, 9}) {
      Bytes rfc = RawDeflate(mixed, level, strategy);
      size_t consumed = 0;
      Bytes ours = Transcoded(rfc, &consumed);
      EXPECT_EQ(consumed, rfc.size());
      EXPECT_EQ(Decoded(ours, mixed.size()), mixed) << "level " << level << " strategy " << strategy;
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
  EXPECT_EQ(Decoded(stream, data.size()), data);
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
      Bits rfc;
      rfc.Field(3, 3);
      for (size_t bit = 4; bit < ours.size() * 8; bit++) rfc.Field((ours[bit / 8] >> (bit % 8)) & 1, 1);
      Bytes out(size + 1);
      z_stream zs = {};
      inflateInit2(&zs, -15);
      zs.next_in = rfc.bytes.data();
      zs.avail_in = static_cast<uInt>(rfc.bytes.size());
      zs.next_out = out.data();
      zs.avail_out = static_cast<uInt>(out.size());
      EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END) << size << " " << alphabet;
      out.resize(zs.total_out);
      inflateEnd(&zs);
      EXPECT_EQ(out, data) << size << " " << alphabet;
    }
  }
}

TEST(EncodeStream, RoundTripsAtEveryKindOfLevel) {
  std::mt19937 random(12);
  auto randomBytes = [&](size_t n) {
    Bytes b(n);
    for (uint8_t& x : b) x = static_cast<uint8_t>(random());
    return b;
  };
  std::vector<Bytes> inputs = {{}, {0x42}, Bytes(32767, 'x'), randomBytes(32768), randomBytes(32769),
                               randomBytes(65535), randomBytes(65536), Bytes(200000, 0)};
  std::string text;
  while (text.size() < 100000) text += "Setvik copies file " + std::to_string(random() % 5000) + " into place.\n";
  inputs.push_back(Bytes(text.begin(), text.end()));
  Bytes mixed;  // 10 MB: text, runs, noise, and repeats from far back
  while (mixed.size() < 10000000) {
    switch (random() % 4) {
      case 0: mixed.insert(mixed.end(), text.begin(), text.begin() + random() % 20000); break;
      case 1: mixed.insert(mixed.end(), random() % 5000, static_cast<uint8_t>(random())); break;
      case 2: {
        Bytes noise = randomBytes(random() % 5000);
        mixed.insert(mixed.end(), noise.begin(), noise.end());
        break;
      }
      default: {
        size_t from = mixed.size() - std::min<size_t>(mixed.size(), 32768 + random() % 1000);
        Bytes copy(mixed.begin() + from, mixed.begin() + from + std::min<size_t>(mixed.size() - from, 3000));
        mixed.insert(mixed.end(), copy.begin(), copy.end());
      }
    }
  }
  inputs.push_back(mixed);
  for (int level : {0, 1, 6, 9, 12}) {
    for (const Bytes& input : inputs) {
      Bytes stream = EncodeStream(input.data(), input.size(), level);
      EXPECT_LE(stream.size(), input.size() + 3 * (input.size() / 65535 + 1)) << level;
      EXPECT_EQ(Decoded(stream, input.size()), input) << "level " << level << " size " << input.size();
    }
  }
}
