// EncodeStream: compresses a buffer into one stream of the setup format.
//
// Level 0 writes stored blocks only. Levels 1-12 let libdeflate compress at
// that level and rewrite its RFC 1951 output into our format
// (TranscodeRfc1951). Several candidates are made and the smallest final
// stream is kept:
//   levels 1-12  libdeflate at the level; stored blocks;
//   levels 9-12  also zlib at level 9 (raw deflate, memLevel 8) and, for
//                inputs up to 4 KiB, one fixed-code block with a cost-optimal
//                parse (EncodeFixedBlock).
//
// Size against zlib -9. At levels 9-12 the result is meant never to be
// larger than zlib's level-9 raw deflate stream. Keeping zlib's own stream as
// a candidate does not promise that by itself, because the rewrite changes
// sizes: every block gains a header bit; a dynamic block's code-length code
// lengths can need more 3-bit fields in our order than in RFC 1951's (or
// fewer); only stored blocks shrink (no NLEN). So a zlib stream of one fixed
// block that fills its last byte exactly grows by one byte. Such streams come
// from small inputs, where the optimal fixed-code parse usually saves a few
// bits over zlib's lazy parse; on larger inputs libdeflate wins by percents.
// No encoder can always match zlib, though: the six bytes 90 91 92 93 94 95
// take 64 bits as one RFC 1951 fixed block, but at least 65 bits (9 bytes)
// in our format, fixed or stored, and a dynamic header alone is larger. The
// benchmark (bench/bench_encode.cpp) checks the promise file by file.
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include <libdeflate.h>

#include "authoring/DeflateCodes.h"
#include "authoring/Encoder.h"

namespace {

const size_t kMaxStoredBlock = 65535;
const int kZlibLevel = 9;
const int kLevelWithZlib = 9;  // from this level on, zlib 9 is a candidate
const size_t kFixedBlockLimit = 4096;  // beyond, the fixed code no longer wins
// A stored block starts on a byte boundary here, so its 4-bit header and
// the padding make one byte.
const uint8_t kStoredHeader = kSetupBlockStored;
const uint8_t kStoredHeaderLast = kSetupBlockStored | kSetupLastBlock;
// A fixed block holding only end of block, the last block: the empty stream.
const uint8_t kEmptyStream[2] = {0x0D, 0x00};

size_t StoredStreamSize(size_t size) {
  if (size == 0) return sizeof kEmptyStream;
  return size + 3 * ((size + kMaxStoredBlock - 1) / kMaxStoredBlock);
}

std::vector<uint8_t> StoreOnly(const uint8_t* data, size_t size) {
  if (size == 0) return std::vector<uint8_t>(kEmptyStream, kEmptyStream + sizeof kEmptyStream);
  std::vector<uint8_t> out;
  out.reserve(StoredStreamSize(size));
  for (size_t at = 0; at < size; at += kMaxStoredBlock) {
    size_t len = std::min(size - at, kMaxStoredBlock);
    out.push_back(at + len == size ? kStoredHeaderLast : kStoredHeader);
    out.push_back(static_cast<uint8_t>(len));
    out.push_back(static_cast<uint8_t>(len >> 8));
    out.insert(out.end(), data + at, data + at + len);
  }
  return out;
}

std::vector<uint8_t> DeflateWithLibdeflate(const uint8_t* data, size_t size, int level) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
  if (!compressor) throw std::bad_alloc();
  std::vector<uint8_t> raw(libdeflate_deflate_compress_bound(compressor, size));
  size_t written = libdeflate_deflate_compress(compressor, data, size, raw.data(), raw.size());
  libdeflate_free_compressor(compressor);
  if (written == 0) throw std::runtime_error("libdeflate: output larger than its bound");
  raw.resize(written);
  return raw;
}

// Raw deflate (no zlib header) through zlib's streaming interface, fed in
// pieces because its counts are 32-bit.
std::vector<uint8_t> DeflateWithZlib(const uint8_t* data, size_t size, int level) {
  const size_t kPiece = size_t(1) << 30;
  z_stream zs;
  memset(&zs, 0, sizeof zs);
  int result = deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) throw std::runtime_error("zlib: deflateInit2 failed");
  std::vector<uint8_t> raw(deflateBound(&zs, size));
  size_t inPos = 0, outPos = 0;
  do {
    if (outPos == raw.size()) raw.resize(raw.size() + raw.size() / 2 + 64);
    size_t inPiece = std::min(size - inPos, kPiece);
    size_t outPiece = std::min(raw.size() - outPos, kPiece);
    zs.next_in = const_cast<Bytef*>(data + inPos);
    zs.avail_in = static_cast<uInt>(inPiece);
    zs.next_out = raw.data() + outPos;
    zs.avail_out = static_cast<uInt>(outPiece);
    result = deflate(&zs, inPiece == size - inPos ? Z_FINISH : Z_NO_FLUSH);
    inPos += inPiece - zs.avail_in;
    outPos += outPiece - zs.avail_out;
  } while (result == Z_OK || result == Z_BUF_ERROR);
  deflateEnd(&zs);
  if (result != Z_STREAM_END) throw std::runtime_error("zlib: deflate failed");
  raw.resize(outPos);
  return raw;
}

std::vector<uint8_t> Transcode(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out;
  size_t consumed = 0;
  if (!TranscodeRfc1951(raw.data(), raw.size(), out, &consumed) || consumed != raw.size())
    throw std::logic_error("deflate output could not be rewritten");
  return out;
}

}  // namespace

std::vector<uint8_t> EncodeStream(const uint8_t* data, size_t size, int level) {
  level = std::clamp(level, 0, kEncodeLevelMax);
  if (level == 0) return StoreOnly(data, size);

  std::vector<uint8_t> best = Transcode(DeflateWithLibdeflate(data, size, level));
  if (level >= kLevelWithZlib) {
    std::vector<uint8_t> fromZlib = Transcode(DeflateWithZlib(data, size, kZlibLevel));
    if (fromZlib.size() < best.size()) best.swap(fromZlib);
    if (size <= kFixedBlockLimit) {
      std::vector<uint8_t> fixed = EncodeFixedBlock(data, size);
      if (fixed.size() < best.size()) best.swap(fixed);
    }
  }
  if (StoredStreamSize(size) <= best.size()) return StoreOnly(data, size);
  return best;
}
