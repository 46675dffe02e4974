// Shared-use counts in the registry, a real font added and announced, and
// the follow-up actions of a record in their conditions: the test library's
// DllRegisterServer (selfreg/SelfRegister.cpp) leaves a mark in HKCU.
#include "base/NativeTools.h"
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

// 64-bit programs know the Sysnative alias of a 32-bit one as System32.
TEST(NativeSystemNameTest, SysnativeBecomesSystem32) {
  const char* const cases[][2] = {
      {"C:\\Windows\\Sysnative\\a.dll", "C:\\Windows\\System32\\a.dll"},
      {"C:\\WINDOWS\\SYSNATIVE\\drivers\\b.sys", "C:\\WINDOWS\\System32\\drivers\\b.sys"},
      {"C:\\Windows\\Sysnative", "C:\\Windows\\Sysnative"},  // not a folder on the way
      {"C:\\Apps\\Sysnatives\\c.dll", "C:\\Apps\\Sysnatives\\c.dll"},
  };
  for (const auto& c : cases) {
    char path[kPathBufferSize];
    lstrcpyA(path, c[0]);
    NativeSystemName(path);
    EXPECT_STREQ(path, c[1]);
  }
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
  // it and a file that does not load are passed over.
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
  RegisterModule("C:\\setvik-test\\absent.dll");
}

int FontChanges;
LRESULT CALLBACK CountFontChanges(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_FONTCHANGE) ++FontChanges;
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(FontTest, RealFontIsAddedAndAnnouncedOtherFilesAreNot) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = CountFontChanges;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "SetvikFontListener";
  RegisterClassA(&windowClass);
  HWND listener = CreateWindowA("SetvikFontListener", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  ASSERT_NE(listener, nullptr);
  const std::string folder = MakeScratch("setvik-fonts");
  const std::string font = folder + "SetvikMono.ttf";
  ASSERT_TRUE(CopyFileA("Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSansMono.ttf", font.c_str(), FALSE));

  FontChanges = 0;
  EXPECT_TRUE(AddFont(font.c_str()));
  EXPECT_EQ(FontChanges, 1);
  RemoveFontResourceA(font.c_str());

  const std::string text = folder + "not-a-font.ttf";
  WriteTextFile(text, "plain text, not a font");
  FontChanges = 0;
  EXPECT_FALSE(AddFont(text.c_str()));
  EXPECT_EQ(FontChanges, 0);

  DestroyWindow(listener);
  RemoveTree(folder);
}

}  // namespace
