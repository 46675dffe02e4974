// A test fixture that writes a setup file to a temporary folder and loads it
// with the stub's loader: path buffers allocated, the stub mark set to the
// fake stub's length, the platform double cleared; everything released
// afterwards, so the leak checker sees whatever the loader forgot.
#pragma once

#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include "authoring/SetupWriter.h"
#include "base/Buffer.h"
#include "setupdata/SetupData.h"
#include "tests/support/PlatformDouble.h"
#include "tests/unit/ToolTesting.h"

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The loader only skips the stub, so any bytes do.
const uint32_t kFakeStubSize = 40;
inline Bytes WithStub(const Bytes& stream) { return Bytes{'M', 'Z'} + Bytes(kFakeStubSize - 2, 0xCC) + stream; }

// Text groups 0-7 whose group 6 carries the caption 6/0 and the invalid-data
// message 6/31.
const char kInvalidDataText[] = "The setup file holds invalid data.";
inline std::vector<std::vector<std::string>> MessageGroups() {
  std::vector<std::vector<std::string>> groups(8, std::vector<std::string>{"title"});
  groups[6].assign(32, "");
  groups[6][0] = "Setvik Test";
  groups[6][31] = kInvalidDataText;
  return groups;
}

class SetupFileFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    for (char** buffer : {&SetupFilePath, &DataFilePath, &InstallDir})
      ASSERT_TRUE(AllocateZeroed(kPathBufferSize, *buffer));
    static int counter;
    path = ::testing::TempDir() + "setvik-setup-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    StubMark.stubSize = kFakeStubSize;
    PlatformDouble::Reset();
  }
  void TearDown() override {
    ReleaseSetupData();
    for (char** buffer : {&SetupFilePath, &DataFilePath, &InstallDir}) ReleaseBuffer(*buffer);
    StubMark.stubSize = 0;
    unlink(path.c_str());
  }

  // Writes the whole setup file (stub included) and runs the loader on it.
  bool Load(const Bytes& bytes) {
    Spit(path, bytes);
    strcpy(SetupFilePath, path.c_str());
    return LoadSetupData();
  }
  bool Load(const SetupWriter& writer) { return Load(writer.Bytes()); }

  // A writer that starts with the fake stub, with the message texts when
  // asked; level 1 keeps tests fast.
  static SetupWriter Writer(bool messages = false) {
    SetupWriter writer(WithStub({}), 1);
    if (messages) writer.AddTexts(MessageGroups());
    return writer;
  }

  // Loads and expects a failure that shows the given texts (each in an OK
  // box with an information icon), after which no text is left loaded.
  void ExpectFailure(const Bytes& bytes, const std::vector<std::string>& shown = {kInvalidDataText}) {
    PlatformDouble::Reset();
    EXPECT_FALSE(Load(bytes));
    EXPECT_EQ(PlatformDouble::ShownTexts(), shown);
    for (const PlatformDouble::ShownMessage& message : PlatformDouble::Shown()) EXPECT_EQ(message.boxType, kBoxOk);
    EXPECT_EQ(TextGroups[kTextGroupMessages], nullptr);
  }
  void ExpectFailure(const SetupWriter& writer) { ExpectFailure(writer.Bytes()); }
  void ExpectSilentFailure(const Bytes& bytes) { ExpectFailure(bytes, {}); }

  std::string path;
};
