// The fixture of the tests that use the path buffers: fresh buffers and
// switches for each test; the process-wide settings, texts, file table,
// records and the message box's script put back after it.
#pragma once

#include "startup/Startup.h"
#include "tests/windows/Support.h"
#include "wizard/Wizard.h"

class PathBuffersTest : public ::testing::Test {
 public:
  static void ResetSwitches() {
    Mode = kRunInteractive;
    BadSwitch = NoRestart = DeleteSelf = false;
    DirArgument[0] = LogArgument[0] = 0;
  }

 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocatePathBuffers());
    ResetSwitches();
    GetCurrentDirectoryA(MAX_PATH, savedDirectory);
    Script({});
  }
  void TearDown() override {
    SetCurrentDirectoryA(savedDirectory);
    ReleasePathBuffers();
    DirRegistryRoot = 0;
    DirRegistryKey = DirRegistryValue = DirIniFile = DirIniSection = DirIniKey = nullptr;
    for (uint32_t n = 0; n < kTextGroupCount; ++n) SetTextGroup(n, {});
    TestFileTable::Clear();
    LaunchRecord = RunAfterRecord = ScreenSaverRecord = nullptr;
    PlatformDouble::Reset();
  }

 private:
  char savedDirectory[MAX_PATH];
};
