// bench_encode [DIR] [LEVEL]: compresses every file under DIR (default
// build/corpus) with EncodeStream and prints sizes against zlib level 9 raw
// deflate (memLevel 8 and 9) and libdeflate level 12 raw deflate, the files
// where we lose to either zlib variant, and the encoding time. Asserts nothing.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <libdeflate.h>

#include "authoring/Encoder.h"

namespace {

size_t ZlibRawSize(const std::vector<uint8_t>& data, int memLevel) {
  z_stream zs;
  memset(&zs, 0, sizeof zs);
  deflateInit2(&zs, 9, Z_DEFLATED, -15, memLevel, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(deflateBound(&zs, data.size()));
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  int result = deflate(&zs, Z_FINISH);
  size_t size = zs.total_out;
  deflateEnd(&zs);
  return result == Z_STREAM_END ? size : 0;
}

size_t LibdeflateRawSize(const std::vector<uint8_t>& data) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
  std::vector<uint8_t> out(libdeflate_deflate_compress_bound(compressor, data.size()));
  size_t size = libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data(), out.size());
  libdeflate_free_compressor(compressor);
  return size;
}

struct Totals {
  size_t files = 0, input = 0, ours = 0, zlib8 = 0, zlib9 = 0, libdeflate = 0;
  size_t lossesZlib8 = 0, lossesZlib9 = 0, winsOverLibdeflate = 0, lossesToLibdeflate = 0;
  long closestToZlib = 1L << 40;  // smallest zlib size minus ours, over the files
  long worstAgainstLibdeflate = 0, bestAgainstLibdeflate = 0;  // ours minus libdeflate's
  double seconds = 0;

  void Add(size_t size, size_t ours, size_t zlib8, size_t zlib9, size_t libdeflate, double time) {
    files++;
    input += size;
    this->ours += ours;
    this->zlib8 += zlib8;
    this->zlib9 += zlib9;
    this->libdeflate += libdeflate;
    lossesZlib8 += ours > zlib8;
    lossesZlib9 += ours > zlib9;
    winsOverLibdeflate += ours < libdeflate;
    lossesToLibdeflate += ours > libdeflate;
    closestToZlib = std::min(closestToZlib, long(std::min(zlib8, zlib9)) - long(ours));
    worstAgainstLibdeflate = std::max(worstAgainstLibdeflate, long(ours) - long(libdeflate));
    bestAgainstLibdeflate = std::min(bestAgainstLibdeflate, long(ours) - long(libdeflate));
    seconds += time;
  }
};

void Report(const std::string& name, const Totals& t) {
  printf("%-5s %5zu files %9zu bytes: ours %9zu  zlib9/ml8 %9zu  zlib9/ml9 %9zu  libdeflate12 %9zu  %6.2f s\n",
         name.c_str(), t.files, t.input, t.ours, t.zlib8, t.zlib9, t.libdeflate, t.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path dir = argc > 1 ? argv[1] : "build/corpus";
  int level = argc > 2 ? atoi(argv[2]) : kEncodeLevelDefault;
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());

  Totals all;
  std::map<std::string, Totals> groups;  // by the first folder under dir
  for (const auto& path : paths) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto start = std::chrono::steady_clock::now();
    size_t ours = EncodeStream(data.data(), data.size(), level).size();
    double time = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    size_t zlib8 = ZlibRawSize(data, 8), zlib9 = ZlibRawSize(data, 9), libdeflate = LibdeflateRawSize(data);
    all.Add(data.size(), ours, zlib8, zlib9, libdeflate, time);
    groups[std::filesystem::relative(path, dir).begin()->string()].Add(data.size(), ours, zlib8, zlib9, libdeflate,
                                                                        time);
    if (ours > zlib8 || ours > zlib9)
      printf("LARGER than zlib -9: %s: %zu bytes, ours %zu, zlib9/ml8 %zu, zlib9/ml9 %zu\n", path.c_str(),
             data.size(), ours, zlib8, zlib9);
  }
  printf("level %d\n", level);
  for (const auto& [name, totals] : groups) Report(name, totals);
  Report("all", all);
  printf("ours vs zlib9/ml8: %+.3f%%, vs zlib9/ml9: %+.3f%%, vs libdeflate12: %+.3f%%\n",
         100.0 * (double(all.ours) / double(all.zlib8) - 1), 100.0 * (double(all.ours) / double(all.zlib9) - 1),
         100.0 * (double(all.ours) / double(all.libdeflate) - 1));
  printf("files larger than zlib9/ml8: %zu, than zlib9/ml9: %zu; smaller than libdeflate12: %zu, larger: %zu\n",
         all.lossesZlib8, all.lossesZlib9, all.winsOverLibdeflate, all.lossesToLibdeflate);
  printf("closest to zlib: %ld bytes smaller; against libdeflate12: from %+ld to %+ld bytes\n", all.closestToZlib,
         all.bestAgainstLibdeflate, all.worstAgainstLibdeflate);
  printf("encoding time %.2f s (%.2f MB/s)\n", all.seconds, double(all.input) / 1e6 / all.seconds);
  return 0;
}
