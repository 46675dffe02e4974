// Shared-use counts in the registry and the follow-up actions of a record in
// their conditions: the test library's DllRegisterServer
// (selfreg/SelfRegister.cpp) leaves a mark in HKCU.
#include "install/InstallStep.h"
#include "install/Registrations.h"
#include "setupdata/Paths.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

// A count starts at 1 and keeps the type it is stored in (an old setup's
// four binary bytes); only a shared file outside the installation folder is
// counted; a screen saver is noted; a library registers itself, and one
// without the export is passed over.
TEST_F(PathBuffersTest, SharedCountsAndFollowUpActions) {
  HKEY key;  // the count is only kept where the key exists
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kSharedKey, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  const char* name = "C:\\setvik-test\\counted.dll";
  DeleteSharedCount(name);
  AddSharedCount(name);
  EXPECT_EQ(SharedCount(name), std::make_pair(DWORD{REG_DWORD}, DWORD{1}));
  SetRegValue(HKEY_LOCAL_MACHINE, kSharedKey, name, REG_BINARY, std::string("\3\0\0\0", 4));
  AddSharedCount(name);
  EXPECT_EQ(SharedCount(name), std::make_pair(DWORD{REG_BINARY}, DWORD{4}));
  DeleteSharedCount(name);

  lstrcpyA(TargetPath, name);
  TestRecord fields = Named("counted.dll");
  fields.trackShared = 1;  // in the installation folder: never counted
  std::vector<uint8_t> record = BuildRecord(fields);
  RunFollowUpActions(record.data());
  EXPECT_EQ(SharedCount(TargetPath).first, 0u);
  EXPECT_EQ(ScreenSaverRecord, nullptr);
  fields.destinationKind = kDestWindows;
  fields.registerKind = kRegisterScreenSaver;
  record = BuildRecord(fields);
  RunFollowUpActions(record.data());
  EXPECT_EQ(SharedCount(TargetPath).second, 1u);
  EXPECT_EQ(ScreenSaverRecord, record.data());
  DeleteSharedCount(TargetPath);

  const char* mark = "Software\\Setvik Test\\SelfRegister";
  RegDeleteKeyA(HKEY_CURRENT_USER, mark);
  lstrcpyA(TargetPath, (TestProgramFolder() + "wintest\\SelfRegister.dll").c_str());
  fields.destinationKind = kDestInstallDir;
  fields.registerKind = kRegisterSelf;
  record = BuildRecord(fields);
  RunFollowUpActions(record.data());
  EXPECT_STREQ(RegValue(HKEY_CURRENT_USER, mark, "State").c_str(), "registered");
  RegDeleteKeyA(HKEY_CURRENT_USER, mark);
  RegisterModule((TestProgramFolder() + "wintest\\VersionNewer.dll").c_str());
}

}  // namespace
