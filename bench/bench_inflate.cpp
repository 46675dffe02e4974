// Decoder throughput against zlib's raw inflate and libdeflate's decompressor
// on the same content, and compressed sizes of EncodeStream against zlib
// level 9 and libdeflate level 12. Prints figures, asserts nothing.
//
//   bench_inflate CORPUS_DIR [ROUNDS]
//
// Each file of the corpus is compressed once by zlib (raw deflate, level 9);
// zlib and libdeflate decode that stream from memory, and our decoder decodes
// the same stream transcoded into the setup format, so all three walk the same
// Huffman codes and matches. Our streams are stored back to back in one file
// and decoded one after the other from it, as the stub reads its file data;
// every decoder writes into memory. The best of ROUNDS rounds (default 5)
// counts, as MB/s of output.
#include <fcntl.h>
#include <libdeflate.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "authoring/Encoder.h"
#include "base/Message.h"
#include "inflate/Inflater.h"
#include "setupdata/SetupData.h"

namespace fs = std::filesystem;

namespace {

struct Item {
  std::string group;
  std::vector<uint8_t> data;
  std::vector<uint8_t> raw;   // zlib level 9, raw deflate
  std::vector<uint8_t> ours;  // raw transcoded into the setup format
  size_t encodedSize = 0;     // EncodeStream at its default level
  size_t libdeflateSize = 0;  // libdeflate level 12
  uint64_t offset = 0;        // of `ours` in the stream file
};

std::vector<uint8_t> ReadWhole(const fs::path& path) {
  std::vector<uint8_t> data(fs::file_size(path));
  FILE* f = fopen(path.c_str(), "rb");
  if (!f || fread(data.data(), 1, data.size(), f) != data.size()) {
    fprintf(stderr, "cannot read %s\n", path.c_str());
    exit(1);
  }
  fclose(f);
  return data;
}

std::vector<uint8_t> ZlibRaw(const std::vector<uint8_t>& data, int level) {
  z_stream z = {};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(deflateBound(&z, data.size()));
  z.next_in = const_cast<uint8_t*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Totals {
  uint64_t bytes = 0, raw = 0, encoded = 0, zlib9 = 0, libdeflate12 = 0;
  double ours = 1e30, zlib = 1e30, libdeflate = 1e30;  // best seconds
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s CORPUS_DIR [ROUNDS]\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  const int rounds = argc > 2 ? atoi(argv[2]) : 5;

  std::vector<fs::path> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());

  std::vector<Item> items;
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
  for (const fs::path& path : paths) {
    Item item;
    const fs::path relative = fs::relative(path, root);
    item.group = relative.has_parent_path() ? relative.begin()->string() : std::string(".");
    item.data = ReadWhole(path);
    item.raw = ZlibRaw(item.data, 9);
    if (!TranscodeRfc1951(item.raw.data(), item.raw.size(), item.ours)) {
      fprintf(stderr, "transcode failed: %s\n", path.c_str());
      return 1;
    }
    item.encodedSize = EncodeStream(item.data.data(), item.data.size()).size();
    std::vector<uint8_t> buffer(libdeflate_deflate_compress_bound(compressor, item.data.size()));
    item.libdeflateSize =
        libdeflate_deflate_compress(compressor, item.data.data(), item.data.size(), buffer.data(), buffer.size());
    items.push_back(std::move(item));
  }
  libdeflate_free_compressor(compressor);

  char streamPath[] = "/tmp/bench_inflate.XXXXXX";
  const int streamFile = mkstemp(streamPath);
  unlink(streamPath);
  uint64_t offset = 0;
  for (Item& item : items) {
    item.offset = offset;
    offset += item.ours.size();
    if (write(streamFile, item.ours.data(), item.ours.size()) != static_cast<ssize_t>(item.ours.size())) return 1;
  }

  std::map<std::string, Totals> groups;
  for (const Item& item : items) {
    for (Totals* t : {&groups[item.group], &groups["all"]}) {
      t->bytes += item.data.size();
      t->raw += item.ours.size();
      t->encoded += item.encodedSize;
      t->zlib9 += item.raw.size();
      t->libdeflate12 += item.libdeflateSize;
    }
  }

  size_t largest = 0;
  for (const Item& item : items) largest = std::max(largest, item.data.size());
  std::vector<uint8_t> out(largest + 1);
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  size_t mismatches = 0;

  for (int round = 0; round < rounds; ++round) {
    struct Round {
      double ours = 0, zlib = 0, libdeflate = 0;
    };
    std::map<std::string, Round> times;
    // Ours: one file, streams back to back, read in sequence.
    lseek(streamFile, 0, SEEK_SET);
    for (const Item& item : items) {
      auto start = std::chrono::steady_clock::now();
      Inflater inflater;
      bool ok = inflater.DecodeToMemory(out.data(), static_cast<uint32_t>(out.size()), streamFile, 0);
      double s = Seconds(start);
      times[item.group].ours += s;
      times["all"].ours += s;
      if (round == 0 && (!ok || memcmp(out.data(), item.data.data(), item.data.size()) != 0 ||
                         static_cast<uint64_t>(lseek(streamFile, 0, SEEK_CUR)) != item.offset + item.ours.size()))
        ++mismatches;
    }
    for (const Item& item : items) {
      auto start = std::chrono::steady_clock::now();
      z_stream z = {};
      inflateInit2(&z, -15);
      z.next_in = const_cast<uint8_t*>(item.raw.data());
      z.avail_in = static_cast<uInt>(item.raw.size());
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      inflate(&z, Z_FINISH);
      inflateEnd(&z);
      double s = Seconds(start);
      times[item.group].zlib += s;
      times["all"].zlib += s;
    }
    for (const Item& item : items) {
      auto start = std::chrono::steady_clock::now();
      size_t produced = 0;
      libdeflate_deflate_decompress(decompressor, item.raw.data(), item.raw.size(), out.data(), out.size(), &produced);
      double s = Seconds(start);
      times[item.group].libdeflate += s;
      times["all"].libdeflate += s;
    }
    for (auto& [name, t] : times) {
      Totals& best = groups[name];
      best.ours = std::min(best.ours, t.ours);
      best.zlib = std::min(best.zlib, t.zlib);
      best.libdeflate = std::min(best.libdeflate, t.libdeflate);
    }
  }
  libdeflate_free_decompressor(decompressor);
  close(streamFile);

  printf("%zu files, %d rounds; decode errors or position mismatches: %zu\n\n", items.size(), rounds, mismatches);
  printf("%-6s %10s | %9s %9s %11s | %9s %9s %11s\n", "group", "MB", "ours MB/s", "zlib MB/s", "libdeflate", "Encode",
         "zlib -9", "libdefl-12");
  for (const auto& [name, t] : groups) {
    const double mb = t.bytes / 1e6;
    printf("%-6s %10.2f | %9.0f %9.0f %11.0f | %9.2f %9.2f %11.2f\n", name.c_str(), mb, mb / t.ours, mb / t.zlib,
           mb / t.libdeflate, t.encoded / 1e6, t.zlib9 / 1e6, t.libdeflate12 / 1e6);
  }
  printf("\n(Encode, zlib -9, libdefl-12: compressed MB; ours decodes zlib -9's stream transcoded, %.2f MB)\n",
         groups["all"].raw / 1e6);
  return 0;
}
