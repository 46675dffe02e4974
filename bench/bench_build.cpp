// bench_build [CORPUS] [STUB]: `setvik build` over the benchmark corpus (every
// file below CORPUS, default build/corpus, in one setup) with the stub as
// built (default build/bin/setvik-stub.exe). Prints the packing throughput and
// the setup's size against the sum of the files compressed one by one with
// zlib level 9 (raw deflate). Asserts nothing.
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <string>
#include <vector>

#include "authoring/Project.h"
#include "authoring/SetupBuilder.h"

namespace {

uint64_t ZlibLevel9Size(const std::vector<uint8_t>& data) {
  z_stream zs;
  memset(&zs, 0, sizeof zs);
  deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(deflateBound(&zs, data.size()));
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  uint64_t size = zs.total_out;
  deflateEnd(&zs);
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path corpus = std::filesystem::absolute(argc > 1 ? argv[1] : "build/corpus");
  std::string stub = argc > 2 ? argv[2] : "build/bin/setvik-stub.exe";
  std::string work = "/tmp/setvik-bench-build-" + std::to_string(getpid());
  std::filesystem::create_directories(work);
  std::ofstream(work + "/corpus.toml") << "[setup]\ntitle = \"Benchmark corpus\"\n[[file]]\nsource = \""
                                       << corpus.string() << "\"\n";
  Project project;
  std::string error;
  if (!LoadProject(work + "/corpus.toml", project, error)) {
    fprintf(stderr, "bench_build: %s\n", error.c_str());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  BuildReport report;
  if (!BuildSetup(project, {stub, work + "/corpus.exe", false, "", ""}, report, error)) {
    fprintf(stderr, "bench_build: %s\n", error.c_str());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  uint64_t zlibTotal = 0;
  for (const ProjectFile& file : project.files) {
    std::ifstream in(file.source, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    zlibTotal += ZlibLevel9Size(data);
  }
  printf("corpus: %u files, %llu bytes (%s)\n", report.files, static_cast<unsigned long long>(report.contentBytes),
         corpus.c_str());
  printf("build:  %.2f s, %.2f MB/s of content on %u threads\n", seconds, report.contentBytes / 1e6 / seconds,
         std::thread::hardware_concurrency());
  printf("setup:  %llu bytes (file data %llu, stub and description %llu)\n",
         static_cast<unsigned long long>(report.setupBytes), static_cast<unsigned long long>(report.packedBytes),
         static_cast<unsigned long long>(report.setupBytes - report.packedBytes));
  printf("zlib 9 per file: %llu bytes; the whole setup is %+.2f%% against it\n",
         static_cast<unsigned long long>(zlibTotal), 100.0 * (double(report.setupBytes) / double(zlibTotal) - 1));
  std::filesystem::remove_all(work);
  return 0;
}
