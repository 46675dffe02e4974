// EncodeFixedBlock: one fixed-code block holding a whole (small) input, with
// the cheapest parse the match finder allows.
//
// Under the fixed code every literal and every length/distance pair has a
// cost in bits known in advance, so the best parse is a shortest path over
// input positions: from each position, a literal or any match length 3-258
// at the nearest distance that offers it. zlib and libdeflate parse
// greedily or tune the parse for their dynamic codes; on small inputs, where
// the fixed code wins, this parse is usually a few bits shorter than theirs.
//
// The match finder walks hash chains of 3-byte prefixes, nearest position
// first, at most kMaxChain positions per input position; within that reach
// each length gets its smallest distance, which is also its cheapest.
#include <string.h>

#include <algorithm>
#include <vector>

#include "authoring/DeflateCodes.h"

namespace {

const unsigned kHashBits = 15;
const unsigned kMaxChain = 1024;
const uint32_t kNoPosition = 0xFFFFFFFFu;

unsigned LiteralBits(uint8_t byte) { return byte < 144 ? 8 : 9; }

unsigned LengthCode(unsigned length) {  // index into kLengthBase
  unsigned code = kLengthCodes - 1;
  while (kLengthBase[code] > length) code--;
  return code;
}

unsigned DistanceCode(unsigned distance) {  // index into kDistanceBase
  unsigned code = kDistanceCodes - 1;
  while (kDistanceBase[code] > distance) code--;
  return code;
}

// Fixed-code bits of a length symbol (7 bits for 256-279, 8 for 280-287)
// with its extra bits, by length.
struct LengthCosts {
  uint8_t bits[kMaxMatch + 1];
  LengthCosts() {
    for (unsigned length = kMinMatch; length <= kMaxMatch; length++) {
      unsigned code = LengthCode(length);
      bits[length] = static_cast<uint8_t>((257 + code < 280 ? 7 : 8) + kLengthExtra[code]);
    }
  }
};

unsigned DistanceBits(unsigned distance) { return 5 + kDistanceExtra[DistanceCode(distance)]; }

// The longest match for each distance the chain offers, nearest first; only
// those that are longer than every nearer one are kept.
struct MatchFinder {
  const uint8_t* data;
  size_t size;
  std::vector<uint32_t> head, previous;

  MatchFinder(const uint8_t* data, size_t size)
      : data(data), size(size), head(size_t(1) << kHashBits, kNoPosition), previous(size, kNoPosition) {}

  static unsigned Hash(const uint8_t* p) {
    uint32_t v = p[0] | p[1] << 8 | p[2] << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  struct Match {
    unsigned length, distance;
  };

  // Finds the matches at pos (pos + kMinMatch <= size), then enters pos.
  void FindAndInsert(size_t pos, std::vector<Match>& matches) {
    matches.clear();
    unsigned hash = Hash(data + pos);
    unsigned limit = static_cast<unsigned>(std::min<size_t>(kMaxMatch, size - pos));
    unsigned best = kMinMatch - 1;
    uint32_t candidate = head[hash];
    for (unsigned steps = 0; candidate != kNoPosition && steps < kMaxChain; steps++) {
      size_t distance = pos - candidate;
      if (distance > kWindowSize) break;
      if (data[candidate + best] != data[pos + best]) {  // cannot be longer than best
        candidate = previous[candidate];
        continue;
      }
      unsigned length = 0;
      while (length < limit && data[candidate + length] == data[pos + length]) length++;
      if (length > best) {
        best = length;
        matches.push_back({length, static_cast<unsigned>(distance)});
        if (length == limit) break;
      }
      candidate = previous[candidate];
    }
    previous[pos] = head[hash];
    head[hash] = static_cast<uint32_t>(pos);
  }
};

// One step of the chosen path: a literal (length 1) or a match.
struct Step {
  uint16_t length;
  uint16_t distance;
};

void PutLiteralOrLength(OutputBits& out, unsigned symbol) {
  if (symbol < 144) out.PutCode(0x30 + symbol, 8);
  else if (symbol < 256) out.PutCode(0x190 + symbol - 144, 9);
  else if (symbol < 280) out.PutCode(symbol - 256, 7);
  else out.PutCode(0xC0 + symbol - 280, 8);
}

void PutStep(OutputBits& out, const uint8_t* data, size_t pos, Step step) {
  if (step.length == 1) {
    PutLiteralOrLength(out, data[pos]);
    return;
  }
  unsigned code = LengthCode(step.length);
  PutLiteralOrLength(out, 257 + code);
  out.Put(step.length - kLengthBase[code], kLengthExtra[code]);
  code = DistanceCode(step.distance);
  out.PutCode(code, 5);
  out.Put(step.distance - kDistanceBase[code], kDistanceExtra[code]);
}

}  // namespace

std::vector<uint8_t> EncodeFixedBlock(const uint8_t* data, size_t size) {
  static const LengthCosts lengthBits;
  // cost[i]: fewest bits for the first i bytes; reach[i]: the last step there.
  std::vector<uint64_t> cost(size + 1, UINT64_MAX);
  std::vector<Step> reach(size + 1);
  cost[0] = 0;
  MatchFinder finder(data, size);
  std::vector<MatchFinder::Match> matches;
  for (size_t pos = 0; pos < size; pos++) {
    uint64_t here = cost[pos];
    if (here + LiteralBits(data[pos]) < cost[pos + 1]) {
      cost[pos + 1] = here + LiteralBits(data[pos]);
      reach[pos + 1] = {1, 0};
    }
    if (pos + kMinMatch > size) continue;
    finder.FindAndInsert(pos, matches);
    unsigned length = kMinMatch;
    for (const MatchFinder::Match& match : matches) {
      unsigned distanceBits = DistanceBits(match.distance);
      for (; length <= match.length; length++) {
        uint64_t total = here + lengthBits.bits[length] + distanceBits;
        if (total < cost[pos + length]) {
          cost[pos + length] = total;
          reach[pos + length] = {static_cast<uint16_t>(length), static_cast<uint16_t>(match.distance)};
        }
      }
    }
  }

  std::vector<Step> path;
  for (size_t pos = size; pos > 0; pos -= reach[pos].length) path.push_back(reach[pos]);
  std::vector<uint8_t> out;
  out.reserve(cost[size] / 8 + 8);
  OutputBits writer(out);
  writer.Put(kSetupBlockFixed | kSetupLastBlock, 4);
  size_t pos = 0;
  for (auto step = path.rbegin(); step != path.rend(); ++step) {
    PutStep(writer, data, pos, *step);
    pos += step->length;
  }
  PutLiteralOrLength(writer, kEndOfBlock);
  writer.Finish();
  return out;
}
