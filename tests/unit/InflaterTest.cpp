// The decoder: hand-made streams bit by bit, the sink's write pattern, exact
// consumption of streams stored back to back, and zlib's output transcoded
// as an independent oracle.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <zlib.h>

#include <random>
#include <thread>

#include "authoring/Encoder.h"
#include "tests/unit/StreamTesting.h"

using namespace streamtest;

namespace {

std::vector<uint8_t> Hex(const char* text) {
  std::vector<uint8_t> bytes;
  for (const char* p = text; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return bytes;
}

// A valid stream: decodes to `expected` taking exactly its own bytes (two
// bytes follow it in the file), and every shorter prefix fails with 1.
void ExpectDecodes(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& expected, const char* what) {
  SCOPED_TRACE(what);
  Decoded d = Decode(Concat(stream, {0xA5, 0x5A}));
  EXPECT_EQ(d.result, kInflateOk);
  EXPECT_EQ(d.output, expected);
  EXPECT_EQ(d.position, static_cast<long>(stream.size()));
  const size_t step = stream.size() < 2048 ? 1 : 97;  // long streams: a sample of cuts, and the last bytes
  for (size_t cut = 0; cut < stream.size(); cut += cut + 64 >= stream.size() ? 1 : step)
    ASSERT_EQ(Decode(std::vector<uint8_t>(stream.begin(), stream.begin() + cut)).result, kInflateInvalidData)
        << "prefix of " << cut << " bytes";
}

BitWriter Fixed(bool last) { return std::move(BitWriter().Bits(5, 3).Bits(last, 1)); }

void Literal(BitWriter& w, uint32_t symbol) {
  auto [code, length] = FixedLiteralCode(symbol);
  w.Code(code, length);
}

// Fixed-block pieces: a literal/length symbol, then a distance code with
// its extra bits.
void Match(BitWriter& w, uint32_t lengthSymbol, uint32_t distanceSymbol, uint32_t extra, uint32_t extraBits) {
  Literal(w, lengthSymbol);
  w.Code(distanceSymbol, 5).Bits(extra, extraBits);
}

std::vector<uint8_t> Stored(const std::vector<uint8_t>& data, bool last) {
  std::vector<uint8_t> out;
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(data.size() - at, 65535);
    const bool final = last && at + n == data.size();
    out.push_back(final ? 0x0F : 0x07);  // type 7, last flag, 4 padding bits
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.insert(out.end(), data.begin() + at, data.begin() + at + n);
    at += n;
  } while (at < data.size());
  return out;
}

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Text-like, run-heavy and random pieces, and copies of earlier data from
// near the window's reach (32768 bytes back).
std::vector<uint8_t> Mixed(size_t n, uint32_t seed) {
  static const char* words[] = {"setup ", "file ", "volume ", "the ", "window ", "of ", "Windows\r\n", "disk "};
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    const uint32_t kind = rng() % 5, len = 1 + rng() % 3000;
    for (uint32_t i = 0; i < len && v.size() < n; ++i) {
      if (kind == 0) v.push_back(static_cast<uint8_t>(rng()));
      if (kind == 1) v.push_back(static_cast<uint8_t>(i / 300));
      if (kind == 2) {
        for (const char* w = words[rng() % 8]; *w; ++w) v.push_back(static_cast<uint8_t>(*w));
      }
      if (kind >= 3 && v.size() > 32768) v.push_back(v[v.size() - (kind == 3 ? 32768 : 32700 + rng() % 68)]);
    }
  }
  v.resize(n);
  return v;
}

std::vector<std::vector<uint8_t>> Samples() {
  return {{},
          {'x'},
          Mixed(32767, 1),
          Mixed(32768, 2),
          Mixed(32769, 3),
          Random(70000, 4),
          std::vector<uint8_t>(100000, 0),
          Mixed(300000, 5),
          Bytes(std::string(5000, 'a') + "b")};
}

}  // namespace

TEST(InflaterTest, WorkedExamplesAndValidEdgeStreams) {
  // 0F: type 7 stored, last; padding | 03 00: LEN 3 | 61 62 63
  ExpectDecodes(Hex("0F 03 00 61 62 63"), Bytes("abc"), "stored abc");
  // 9D: 101 fixed, 1 last, then 'a' 10010001 | 'b' 10010010 | 'c' 10010011 | 0000000 end of block
  ExpectDecodes(Hex("9D 98 94 0C 00"), Bytes("abc"), "fixed abc");
  ExpectDecodes(Hex("0D 00"), {}, "fixed, end of block only");
  // 7E C4 68 ...: 110 dynamic, 1 last; HLIT 7, HDIST 2, HCLEN 3; code-length code
  // lengths 2 3 0 3 3 2 3 (18 17 16 0 1 2 3); 18x97, 2 2 2, 18x138, 18x18, 3,
  // 17x6, 3, 0 0 1; data a b c, 263 (length 9), distance code 2 (3), end.
  ExpectDecodes(Hex("7E C4 68 D8 34 AD 80 7F 0F FB 96 14 BB 01"), Bytes("abcabcabcabc"), "dynamic example");
  ExpectDecodes(Hex("0F 00 00"), {}, "stored LEN 0");

  BitWriter w = Fixed(true);
  Literal(w, 'a');
  Match(w, 264, 0, 0, 0);  // length 10, distance 1
  Literal(w, 256);
  ExpectDecodes(w.Bytes(), Bytes(std::string(11, 'a')), "distance 1, length 10");

  w = Fixed(true);
  Literal(w, 'a');
  Match(w, 257, 4, 0, 1);  // length 3, distance 5: before the stream's start
  Literal(w, 256);
  ExpectDecodes(w.Bytes(), {'a', 0, 0, 0}, "distance before the start reads zeros");

  w = BitWriter().Bits(7, 3).Bits(0, 1).Align().Bits(2, 16).Text("AB");  // stored, not last: AB
  w.Bits(5, 3).Bits(1, 1);                                               // fixed, last
  Literal(w, 'C');
  Match(w, 258, 2, 0, 0);  // length 4, distance 3: reaches into the stored block
  Literal(w, 256);
  ExpectDecodes(w.Bytes(), Bytes("ABCABCA"), "match across blocks");

  // Dynamic: a:1, end:2, 257:2; the distance code is one 1-bit code (symbol 0).
  w = BitWriter();
  DynamicHeader(w, true, Lengths(258, {{'a', 1}, {256, 2}, {257, 2}}), {1});
  w.Code(0, 1).Code(3, 2).Code(0, 1).Code(2, 2);  // a, 257 (length 3), distance 1, end
  ExpectDecodes(w.Bytes(), Bytes("aaaa"), "single 1-bit distance code");

  // 16 first repeats length 0; a repeat runs from the literal/length lengths
  // into the distance lengths (HLIT 1, HDIST 3: 258 + 4 lengths).
  w = BitWriter();
  DynamicCounts(w, true, 258, 4);
  CodeLengthSymbol(w, 16);  // lengths 0-2: 0 0 0
  w.Bits(0, 2);
  CodeLengthSymbol(w, 18);  // 3-96: 94 zeros
  w.Bits(83, 7);
  CodeLengthSymbol(w, 1);   // 'a' (97): 1
  CodeLengthSymbol(w, 18);  // 98-235: 138 zeros
  w.Bits(127, 7);
  CodeLengthSymbol(w, 18);  // 236-255: 20 zeros
  w.Bits(9, 7);
  CodeLengthSymbol(w, 2);   // 256: 2
  CodeLengthSymbol(w, 16);  // 257 and distances 0-3: 2
  w.Bits(2, 2);
  w.Code(0, 1).Code(3, 2).Code(0, 2).Code(2, 2);  // a, 257, distance 1, end
  ExpectDecodes(w.Bytes(), Bytes("aaaa"), "repeats at the start and across the two sequences");

  // HLIT 29 and HDIST 29: the largest counts; 285 is length 258.
  std::vector<uint8_t> distances(30, 5);
  distances[0] = distances[1] = 4;
  w = BitWriter();
  DynamicHeader(w, true, Lengths(286, {{'a', 1}, {256, 2}, {285, 2}}), distances);
  w.Code(0, 1).Code(3, 2).Code(0, 4).Code(2, 2);
  ExpectDecodes(w.Bytes(), Bytes(std::string(259, 'a')), "largest counts");

  w = BitWriter();
  DynamicHeader(w, true, Lengths(257, {{'a', 1}, {256, 1}}), {0});
  w.Code(0, 1).Code(1, 1);
  ExpectDecodes(w.Bytes(), Bytes("a"), "no distance code, literals only");

  // End of block of 10 bits among codes of up to 15 bits: the first level is
  // 9 bits, the end-of-block sub-table 1 bit, the longer codes a third level.
  std::vector<uint8_t> lit(257);
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
    ExpectDecodes(w.Bytes(), Bytes(text), "three-level table");
  }
}

TEST(InflaterTest, InvalidStreamsFailWithTheirResult) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int result;
  };
  std::vector<Case> cases = {
      {"raw RFC 1951 (type bits 011)", Hex("4B 4C 4A 06 00"), kInflateBadBlock},
      {"empty input", {}, kInflateInvalidData},
      {"last block missing", Hex("07 01 00 41"), kInflateInvalidData},
  };
  for (uint32_t type = 0; type < 5; ++type)
    cases.push_back({"block type 0-4", BitWriter().Bits(type, 3).Bits(1, 1).Bits(0, 20).Bytes(), kInflateBadBlock});
  auto counts = [](uint32_t hlit, uint32_t hdist) {
    return BitWriter().Bits(6, 3).Bits(1, 1).Bits(hlit, 5).Bits(hdist, 5).Bits(15, 4).Bits(0, 64).Bytes();
  };
  cases.push_back({"HLIT 30", counts(30, 0), kInflateInvalidData});
  cases.push_back({"HDIST 30", counts(0, 30), kInflateInvalidData});
  cases.push_back({"HDIST 31", counts(0, 31), kInflateInvalidData});

  BitWriter w;
  DynamicCounts(w, true, 257, 1);  // 258 lengths
  CodeLengthSymbol(w, 18);
  w.Bits(127, 7);
  CodeLengthSymbol(w, 18);  // 138 + 121 = 259
  w.Bits(110, 7);
  cases.push_back({"repeat past the last length", w.Bytes(), kInflateInvalidData});

  // Code-length code with HCLEN 0: lengths of 18, 17, 16 and 0 only.
  auto codeLengthCode = [](uint32_t a, uint32_t b, uint32_t c) {
    return BitWriter().Bits(6, 3).Bits(1, 1).Bits(0, 14).Bits(a, 3).Bits(b, 3).Bits(c, 3).Bits(0, 3).Bits(0, 40).Bytes();
  };
  cases.push_back({"code-length code over-subscribed", codeLengthCode(1, 1, 1), kInflateBadBlock});
  cases.push_back({"code-length code incomplete", codeLengthCode(2, 2, 2), kInflateInvalidData});
  cases.push_back({"code-length code empty", codeLengthCode(0, 0, 0), kInflateInvalidData});

  auto dynamic = [](std::vector<uint8_t> lit, std::vector<uint8_t> dist,
                    std::initializer_list<std::pair<uint32_t, uint32_t>> data) {
    BitWriter w;
    DynamicHeader(w, true, lit, dist);
    for (auto [code, length] : data) w.Code(code, length);
    return w.Bits(0, 16).Bytes();
  };
  const auto goodLit = Lengths(258, {{'a', 1}, {256, 2}, {257, 2}});
  cases.push_back({"literal/length over-subscribed", dynamic(Lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), {1}, {}),
                   kInflateBadBlock});
  cases.push_back(
      {"literal/length incomplete", dynamic(Lengths(257, {{'a', 1}, {256, 2}}), {1}, {}), kInflateInvalidData});
  cases.push_back({"literal/length empty", dynamic(Lengths(257, {}), {1}, {{0, 1}}), kInflateInvalidData});
  cases.push_back({"distance over-subscribed", dynamic(goodLit, {1, 1, 1}, {}), kInflateBadBlock});
  cases.push_back({"distance incomplete", dynamic(goodLit, {2, 2, 2}, {}), kInflateInvalidData});
  cases.push_back({"length without distance code", dynamic(goodLit, {0}, {{0, 1}, {3, 2}}), kInflateInvalidData});
  cases.push_back({"other code of a 1-bit code", dynamic(goodLit, {1}, {{0, 1}, {3, 2}, {1, 1}}), kInflateInvalidData});
  for (uint32_t symbol : {30u, 31u}) {
    w = Fixed(true);
    Literal(w, 'a');
    Match(w, 257, symbol, 0, 0);
    cases.push_back({"fixed distance code 30/31", w.Bits(0, 16).Bytes(), kInflateInvalidData});
  }
  for (uint32_t symbol : {286u, 287u}) {
    w = Fixed(true);
    Literal(w, symbol);
    cases.push_back({"fixed literal/length 286/287", w.Bits(0, 16).Bytes(), kInflateInvalidData});
  }
  for (const Case& c : cases) EXPECT_EQ(Decode(c.bytes).result, c.result) << c.what;
}

TEST(InflaterTest, SinkGetsWholeWindowsThenOneFinalWrite) {
  for (auto [size, writes] : std::vector<std::pair<size_t, std::vector<uint32_t>>>{
           {32767, {32767}}, {32768, {32768, 0}}, {32769, {32768, 1}}, {100000, {32768, 32768, 32768, 1696}}}) {
    const std::vector<uint8_t> data = Mixed(size, 7);
    for (const auto& stream : {Stored(data, true), EncodeStream(data.data(), data.size(), 6)}) {
      Decoded d = Decode(stream);
      EXPECT_EQ(d.result, kInflateOk);
      EXPECT_EQ(d.writes, writes) << size;
      EXPECT_TRUE(d.output == data);
    }
  }
  // A failure drops the partial window: 40000 bytes, then block type 0.
  Decoded d = Decode(Concat(Stored(Random(40000, 8), false), {0x08, 0, 0, 0}));
  EXPECT_EQ(d.result, kInflateBadBlock);
  EXPECT_EQ(d.writes, std::vector<uint32_t>{32768});

  // Distance 32768 (code 29, extra 8191) while the window wraps around.
  std::vector<uint8_t> expected = Random(40000, 9);
  BitWriter w = BitWriter().Bits(7, 3).Bits(0, 1).Align().Bits(40000, 16);
  for (uint8_t b : expected) w.Byte(b);
  w.Bits(5, 3).Bits(1, 1);
  for (int i = 0; i < 200; ++i) {
    Match(w, 285, 29, 8191, 13);
    for (int k = 0; k < 258; ++k) expected.push_back(expected[expected.size() - 32768]);
  }
  Literal(w, 256);
  ExpectDecodes(w.Bytes(), expected, "distance 32768");
}

TEST(InflaterTest, EntryPointsAndMemoryCapacity) {
  MemoryFile file(Hex("0F 03 00 61 62 63 0D 00"));
  std::vector<uint8_t> buffer(8, 0xEE);
  Inflater inflater;
  EXPECT_FALSE(inflater.DecodeToMemory(nullptr, 3, file.Handle(), 0));  // sink not ready: nothing read
  EXPECT_EQ(file.Position(), 0);
  EXPECT_FALSE(inflater.DecodeToMemory(buffer.data(), 2, file.Handle(), 0));  // one byte too many
  EXPECT_EQ(buffer, std::vector<uint8_t>(8, 0xEE));
  lseek(file.Handle(), 0, SEEK_SET);
  EXPECT_TRUE(inflater.DecodeToMemory(buffer.data(), 3, file.Handle(), 0));
  EXPECT_EQ(buffer[0], 'a');
  EXPECT_EQ(buffer[3], 0xEE);
  EXPECT_TRUE(inflater.DecodeToFile(kInvalidFile, file.Handle(), 0));  // decoded and dropped
  EXPECT_EQ(file.Position(), 8);
  EXPECT_FALSE(inflater.DecodeToFile(kInvalidFile, kInvalidFile, 0));
  inflater.EndInput();
  inflater.EndInput();

  MemoryFile output({});
  lseek(file.Handle(), 0, SEEK_SET);
  EXPECT_TRUE(inflater.DecodeToFile(output.Handle(), file.Handle(), 0));
  EXPECT_EQ(output.Position(), 3);
}

TEST(InflaterTest, ZlibStreamsTranscodedDecodeToTheirInput) {
  for (const auto& data : Samples()) {
    for (int level : {0, 1, 6, 9}) {
      for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
        for (int memLevel : {1, 9}) {
          const std::vector<uint8_t> raw = ZlibRaw(data, level, strategy, memLevel);
          std::vector<uint8_t> ours;
          size_t consumed = 0;
          ASSERT_TRUE(TranscodeRfc1951(raw.data(), raw.size(), ours, &consumed));
          ASSERT_EQ(consumed, raw.size());
          Decoded d = Decode(Concat(ours, {0x33}));
          ASSERT_EQ(d.result, kInflateOk) << data.size() << " " << level << " " << strategy;
          ASSERT_TRUE(d.output == data) << data.size() << " " << level << " " << strategy;
          ASSERT_EQ(d.position, static_cast<long>(ours.size()));
        }
      }
    }
  }
}

TEST(InflaterTest, EncoderRoundTrips) {
  std::vector<std::vector<uint8_t>> samples = Samples();
  samples.push_back(Mixed(10u << 20, 11));
  for (const auto& data : samples) {
    for (int level : {0, 1, 6, 9, 12}) {
      if (data.size() > 1000000 && level != 1 && level != 12) continue;
      const std::vector<uint8_t> stream = EncodeStream(data.data(), data.size(), level);
      ASSERT_LE(stream.size(), data.size() + 3 * (data.size() / 65535 + 1)) << level;  // never above stored
      Decoded d = Decode(Concat(stream, {0x33}));
      ASSERT_EQ(d.result, kInflateOk) << data.size() << " level " << level;
      ASSERT_TRUE(d.output == data) << data.size() << " level " << level;
      ASSERT_EQ(d.position, static_cast<long>(stream.size()));
    }
  }
}

TEST(InflaterTest, InputOneByteAtATime) {
  // A datagram socket as the source, fed by a thread with each byte followed
  // by an empty datagram: every read of the file layer then returns one byte.
  // The streams lie back to back, so any byte read beyond a stream would be
  // missing from the next one.
  const std::vector<uint8_t> data = Mixed(6000, 12);
  std::vector<std::vector<uint8_t>> streams = {Hex("0F 03 00 61 62 63"), EncodeStream(data.data(), data.size(), 12),
                                               Hex("9D 98 94 0C 00"), Hex("7E C4 68 D8 34 AD 80 7F 0F FB 96 14 BB 01"),
                                               Stored(data, true)};
  std::vector<uint8_t> all;
  for (const auto& s : streams) all = Concat(all, s);
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM, 0, pair), 0);
  std::thread feeder([&] {
    for (uint8_t b : Concat(all, {'!'})) {
      send(pair[1], &b, 1, 0);
      send(pair[1], &b, 0, 0);
    }
  });
  for (const auto& s : streams) {
    RecordingSink sink;
    Inflater inflater;
    EXPECT_EQ(inflater.DecodeToSink(sink, pair[0], 0), kInflateOk);
    EXPECT_EQ(sink.output, Decode(s).output);
  }
  uint8_t rest[2] = {};
  EXPECT_EQ(read(pair[0], rest, 2), 1);
  EXPECT_EQ(rest[0], '!');
  feeder.join();
  close(pair[0]);
  close(pair[1]);
}
