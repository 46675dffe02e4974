// Helpers for the tests that run `setvik` or build setups in a scratch
// folder: the tool run as a user runs it, whole-file reads and writes, a
// fixture whose folder is removed afterwards, and one that builds projects.
#pragma once

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "authoring/Manifest.h"
#include "authoring/Project.h"
#include "authoring/SetupBuilder.h"
#include "authoring/SetupFile.h"
#include "setupdata/Format.h"

struct ToolResult {
  int status;
  std::string out;  // standard output and standard error
};

inline ToolResult RunTool(const std::string& arguments) {
  FILE* pipe = popen((std::string(SETVIK_BIN_DIR) + "/setvik " + arguments + " 2>&1").c_str(), "r");
  ToolResult result{-1, ""};
  char buffer[4096];
  for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, got);
  const int status = pipe ? pclose(pipe) : -1;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Bytes that do not compress, the same for the same seed.
inline std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  return bytes;
}

inline std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void Spit(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter;
    dir = ::testing::TempDir() + "setvik-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    ASSERT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

  // Writes a file under the folder, making its parent folders; returns its path.
  std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    for (size_t at = name.find('/'); at != std::string::npos; at = name.find('/', at + 1))
      mkdir((dir + "/" + name.substr(0, at)).c_str(), 0755);
    Spit(dir + "/" + name, bytes);
    return dir + "/" + name;
  }
  std::string PutText(const std::string& name, const std::string& text) {
    return Put(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  bool Exists(const std::string& name) { return access((dir + "/" + name).c_str(), F_OK) == 0; }

  std::string dir;
};

// A scratch folder with a stub as the build makes it (its own length in the
// stub mark, and a manifest slot) where project texts are built into setups.
class BuildFixture : public ScratchFolder {
 protected:
  void SetUp() override {
    ScratchFolder::SetUp();
    std::vector<uint8_t> stub(1024, 0x90);
    stub[0] = 'M', stub[1] = 'Z';
    memcpy(stub.data() + 128, kStubMarkTag, sizeof(kStubMarkTag));
    WriteU32Le(stub.data() + 128 + sizeof(kStubMarkTag), static_cast<uint32_t>(stub.size()));
    const std::string manifest = ProgramManifest({});
    std::copy(manifest.begin(), manifest.end(), stub.begin() + 200);
    Put("stub.exe", stub);
  }
  void TearDown() override {
    UnloadSetup();
    ScratchFolder::TearDown();
  }

  // Builds project text into output; the error, or "" on success.
  std::string Build(const std::string& toml, const std::string& output = "setup.exe",
                    const std::string& uninstaller = "") {
    Project project;
    BuildReport report;
    std::string error;
    const BuildOptions options{dir + "/stub.exe", dir + "/" + output, false,
                               uninstaller.empty() ? "" : dir + "/" + uninstaller, ""};
    if (!LoadProject(PutText("setup.toml", toml), project, error) || !BuildSetup(project, options, report, error))
      return error;
    volumes = report.volumes.size();
    return "";
  }

  size_t volumes = 0;
};
