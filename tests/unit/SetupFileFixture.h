// A test fixture that writes a setup file to a temporary folder and loads it
// with the stub's loader: path buffers allocated, the stub mark set to the
// fake stub's length, the platform double cleared; everything released
// afterwards, so the leak checker sees whatever the loader forgot.
#pragma once

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "authoring/SetupWriter.h"
#include "base/Buffer.h"
#include "setupdata/SetupData.h"
#include "tests/support/PlatformDouble.h"
#include "tests/unit/ToolTesting.h"

// The loader only skips the stub, so any bytes do.
const uint32_t kFakeStubSize = 40;

inline std::vector<uint8_t> FakeStub() {
  std::vector<uint8_t> stub(kFakeStubSize, 0xCC);
  stub[0] = 'M';
  stub[1] = 'Z';
  return stub;
}

// The fake stub followed by the given chunk-stream bytes.
inline std::vector<uint8_t> WithStub(const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> bytes = FakeStub();
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  return bytes;
}

// Text groups 0-7 whose group 6 carries the caption 6/0 and the invalid-data
// message 6/31.
const char kInvalidDataText[] = "The setup file holds invalid data.";

inline std::vector<std::vector<std::string>> MessageGroups() {
  std::vector<std::vector<std::string>> groups(8, std::vector<std::string>{"title"});
  groups[6].assign(32, "");
  groups[6][0] = "Setvik Test";
  groups[6][31] = kInvalidDataText;
  groups[7] = {"< Back", "Next >", "Cancel"};
  return groups;
}

class SetupFileFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateZeroed(kPathBufferSize, SetupFilePath));
    ASSERT_TRUE(AllocateZeroed(kPathBufferSize, DataFilePath));
    ASSERT_TRUE(AllocateZeroed(kPathBufferSize, InstallDir));
    static int counter;
    path = ::testing::TempDir() + "setvik-setup-" + std::to_string(getpid()) + "-" + std::to_string(++counter) +
           ".exe";
    ASSERT_LT(path.size(), kPathBufferSize);
    StubMark.stubSize = kFakeStubSize;
    PlatformDouble::Reset();
  }

  void TearDown() override {
    ReleaseSetupData();
    ReleaseBuffer(SetupFilePath);
    ReleaseBuffer(DataFilePath);
    ReleaseBuffer(InstallDir);
    StubMark.stubSize = 0;
    unlink(path.c_str());
  }

  // Writes the whole setup file (stub included) and runs the loader on it.
  bool Load(const std::vector<uint8_t>& bytes) {
    Spit(path, bytes);
    strcpy(SetupFilePath, path.c_str());
    return LoadSetupData();
  }
  bool Load(const SetupWriter& writer) { return Load(writer.Bytes()); }

  // A writer that starts with the fake stub; level 1 keeps tests fast.
  static SetupWriter Writer() { return SetupWriter(FakeStub(), 1); }

  // The texts shown through ShowMessage, each checked to be an OK box with
  // an information icon.
  static std::vector<std::string> Shown() {
    std::vector<std::string> texts;
    for (const PlatformDouble::ShownMessage& message : PlatformDouble::Shown()) {
      EXPECT_EQ(message.boxType, 0x40u);
      texts.push_back(message.text);
    }
    return texts;
  }

  // Loads and expects the failure that shows text 6/31 once, after which
  // nothing loaded is left.
  void ExpectInvalid(const std::vector<uint8_t>& bytes) {
    PlatformDouble::Reset();
    EXPECT_FALSE(Load(bytes));
    EXPECT_EQ(Shown(), std::vector<std::string>{kInvalidDataText});
    EXPECT_EQ(TextGroups[kTextGroupMessages], nullptr);
  }
  void ExpectInvalid(const SetupWriter& writer) { ExpectInvalid(writer.Bytes()); }

  // Loads and expects a failure without a message.
  void ExpectSilentFailure(const std::vector<uint8_t>& bytes) {
    PlatformDouble::Reset();
    EXPECT_FALSE(Load(bytes));
    EXPECT_TRUE(Shown().empty());
  }

  std::string path;
};
