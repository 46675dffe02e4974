// The RFC 1951 rewriter on zlib's streams. Hand-made and invalid streams
// are the fuzz target's, which holds the rewriter to zlib's own decoder;
// round trips through our decoder are InflaterTest's and the fuzz targets'.
#include <gtest/gtest.h>
#include <zlib.h>

#include "authoring/Encoder.h"
#include "tests/unit/StreamTesting.h"

using namespace streamtest;

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
    const Bytes input = rfc + Bytes{0x77};  // a byte after the stream, not consumed
    Bytes ours;
    size_t consumed = 0;
    ASSERT_TRUE(TranscodeRfc1951(input.data(), input.size(), ours, &consumed));
    EXPECT_EQ(Decode(ours).output, Text(text));
    EXPECT_EQ(consumed, rfc.size());
  }
}
