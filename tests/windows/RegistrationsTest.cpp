// Shared-use counts in the registry and the follow-up actions of a record in
// their conditions: the test library's DllRegisterServer
// (selfreg/SelfRegister.cpp) leaves a mark in HKCU.
#include "install/InstallStep.h"
#include "install/Registrations.h"
#include "setupdata/Paths.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

class RegistrationsTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    HKEY key;  // the count is only kept where the key exists
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kSharedKey, &key), ERROR_SUCCESS);
    RegCloseKey(key);
  }
};

TEST_F(RegistrationsTest, SharedCountStartsAtOneAndKeepsTheStoredType) {
  const char* name = "C:\\setvik-test\\counted.dll";
  DeleteSharedCount(name);
  AddSharedCount(name);
  EXPECT_EQ(SharedCount(name), std::make_pair(DWORD{REG_DWORD}, DWORD{1}));
  AddSharedCount(name);
  EXPECT_EQ(SharedCount(name).second, 2u);

  // A count of 3 stored as binary becomes 4, still binary.
  SetRegValue(HKEY_LOCAL_MACHINE, kSharedKey, name, REG_BINARY, std::string("\3\0\0\0", 4));
  AddSharedCount(name);
  EXPECT_EQ(SharedCount(name), std::make_pair(DWORD{REG_BINARY}, DWORD{4}));
  DeleteSharedCount(name);
}

TEST_F(RegistrationsTest, FollowUpActionsRunOnlyUnderTheirConditions) {
  lstrcpyA(TargetPath, "C:\\setvik-test\\followup.dll");
  DeleteSharedCount(TargetPath);
  ScreenSaverRecord = nullptr;
  TestRecord fields = Named("followup.dll");
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
  ScreenSaverRecord = nullptr;
  DeleteSharedCount(TargetPath);

  // Self-registration: the library's export is called; a library without
  // it is passed over.
  const char* mark = "Software\\Setvik Test\\SelfRegister";
  RegDeleteKeyA(HKEY_CURRENT_USER, mark);
  lstrcpyA(TargetPath, (TestProgramFolder() + "wintest\\SelfRegister.dll").c_str());
  ASSERT_TRUE(FileExists(TargetPath));
  fields.destinationKind = kDestInstallDir;
  fields.registerKind = kRegisterSelf;
  record = BuildRecord(fields);
  RunFollowUpActions(record.data());
  EXPECT_STREQ(RegValue(HKEY_CURRENT_USER, mark, "State").c_str(), "registered");
  RegDeleteKeyA(HKEY_CURRENT_USER, mark);
  RegisterModule((TestProgramFolder() + "wintest\\VersionNewer.dll").c_str());
}

}  // namespace
