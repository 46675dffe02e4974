// Shared by the start-up and path tests: the seven path buffers, allocated
// zero-filled for each test and released after it, and the process-wide
// settings they touch put back to their initial values.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/Buffer.h"
#include "setupdata/SetupData.h"
#include "startup/Startup.h"
#include "wizard/Wizard.h"

class PathBuffersTest : public ::testing::Test {
 public:
  // The unattended switches as before any command line.
  static void ResetSwitches() {
    Mode = kRunInteractive;
    BadSwitch = NoRestart = false;
    DirArgument[0] = LogArgument[0] = 0;
  }

 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocatePathBuffers());
    DeleteSelf = false;
    ResetSwitches();
    GetCurrentDirectoryA(MAX_PATH, savedDirectory);
  }
  void TearDown() override {
    SetCurrentDirectoryA(savedDirectory);
    ReleasePathBuffers();
    DirRegistryRoot = 0;
    DirRegistryKey = DirRegistryValue = DirIniFile = DirIniSection = DirIniKey = nullptr;
  }
  static std::string TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return temp;
  }

 private:
  char savedDirectory[MAX_PATH];
};
