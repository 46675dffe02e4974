// Shortcuts written through the shell-link object and read back through it,
// the desktop shortcut of a record and the start-menu pass with its folders
// and recording.
#include "install/Shortcuts.h"
#include "setupdata/Paths.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

struct LinkFields {
  bool loaded = false;
  std::string path, arguments, folder, iconPath;
  int iconIndex = 0;
};

LinkFields ReadLink(const std::string& linkFile) {
  LinkFields fields;
  IShellLinkA* link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return fields;
  IPersistFile* file;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      char path[MAX_PATH] = "", arguments[MAX_PATH] = "", folder[MAX_PATH] = "", icon[MAX_PATH] = "";
      link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
      link->GetArguments(arguments, MAX_PATH);
      link->GetWorkingDirectory(folder, MAX_PATH);
      link->GetIconLocation(icon, MAX_PATH, &fields.iconIndex);
      fields = {true, path, arguments, folder, icon, fields.iconIndex};
    }
    file->Release();
  }
  link->Release();
  return fields;
}

class ShortcutsTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    CoInitialize(nullptr);
    scratch = MakeScratch("setvik-shortcuts");
    lstrcpyA(InstallDir, (scratch + "App Folder").c_str());
  }
  void TearDown() override {
    SetCurrentDirectoryA("C:\\");
    RemoveTree(scratch);
    CoUninitialize();
    PathBuffersTest::TearDown();
  }
  std::string scratch;
};

std::vector<std::pair<std::string, std::string>> Recorded;
void RecordShortcut(HANDLE, const char* folder, const char* linkName) { Recorded.emplace_back(folder, linkName); }

TEST_F(ShortcutsTest, LinkCarriesTargetFolderArgumentsAndIconOnlyWhenAsked) {
  const std::string target = scratch + "App Folder\\tool.exe";
  ASSERT_EQ(CreateShellLink(target.c_str(), (scratch + "full.lnk").c_str(), "-x \"a b\"", 3), S_OK);
  LinkFields full = ReadLink(scratch + "full.lnk");
  ASSERT_TRUE(full.loaded);
  EXPECT_EQ(full.path, target);
  EXPECT_EQ(full.arguments, "-x \"a b\"");
  EXPECT_EQ(full.folder, scratch + "App Folder");
  EXPECT_EQ(full.iconPath, target);
  EXPECT_EQ(full.iconIndex, 3);

  // Icon index 0 and no arguments: neither is set.
  ASSERT_EQ(CreateShellLink(target.c_str(), (scratch + "plain.lnk").c_str(), "", 0), S_OK);
  LinkFields plain = ReadLink(scratch + "plain.lnk");
  ASSERT_TRUE(plain.loaded);
  EXPECT_EQ(plain.arguments, "");
  EXPECT_EQ(plain.iconPath, "");
  EXPECT_EQ(plain.folder, scratch + "App Folder");

  // A target without a backslash gets no working folder.
  ASSERT_EQ(CreateShellLink("notepad.exe", (scratch + "bare.lnk").c_str(), "", 0), S_OK);
  LinkFields bare = ReadLink(scratch + "bare.lnk");
  ASSERT_TRUE(bare.loaded);
  EXPECT_EQ(bare.folder, "");

  // A link in a folder that does not exist is not written.
  EXPECT_NE(CreateShellLink(target.c_str(), (scratch + "missing\\x.lnk").c_str(), "", 0), S_OK);
  EXPECT_FALSE(FileExists(scratch + "missing\\x.lnk"));
}

TEST_F(ShortcutsTest, DesktopShortcutHasArgumentsButNeverAnIcon) {
  TestRecord fields = Named("tool.exe");
  fields.desktopName = "Setvik Desk Test";
  fields.desktopArgs = "/d";
  fields.iconIndex = 2;
  lstrcpyA(TargetPath, (scratch + "App Folder\\tool.exe").c_str());
  CreateDesktopShortcut(BuildRecord(fields).data());
  const std::string link = SpecialFolder(CSIDL_DESKTOP) + "\\Setvik Desk Test.lnk";
  LinkFields read = ReadLink(link);
  DeleteFileA(link.c_str());
  ASSERT_TRUE(read.loaded);
  EXPECT_EQ(read.path, scratch + "App Folder\\tool.exe");
  EXPECT_EQ(read.arguments, "/d");
  EXPECT_EQ(read.iconPath, "");

  // A name too long for a path buffer gives no shortcut at all, not one
  // with a cut name.
  fields.desktopName = "Setvik " + std::string(300, 'x');
  CreateDesktopShortcut(BuildRecord(fields).data());
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((SpecialFolder(CSIDL_DESKTOP) + "\\Setvik x*").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(ShortcutsTest, MenuPassCreatesGroupsAndRecordsEachShortcut) {
  const std::string programs = SpecialFolder(CSIDL_PROGRAMS);
  const std::string startup = SpecialFolder(CSIDL_STARTUP);
  const std::string group = programs + "\\Setvik Test";
  RemoveTree(group);
  TestRecord tool = Named("tool.exe");
  tool.groupName = "Setvik Test\\Tools\\Utilities";  // two levels, both missing
  tool.menuName = "Tool";
  tool.menuArgs = "-m";
  tool.iconIndex = 1;
  TestRecord noShortcut = Named("data.bin");
  noShortcut.groupName = "Setvik Test";
  TestRecord external = Named("Readme.txt");  // external and never installed: still linked
  external.uninstallMode = kUninstallExternal;
  external.groupName = "#STARTUP#";
  external.menuName = "Setvik Readme";
  TestRecord top = Named("tool.exe");  // no group: straight into Programs
  top.menuName = "Setvik Top Test";
  TestRecord tooLong = Named("long.exe");
  tooLong.groupName = "Setvik Test";
  tooLong.menuName = std::string(300, 'y');
  TestFileTable table;
  table.Set({tool, noShortcut, external, top, tooLong});
  lstrcpyA(SetupFilePath, (scratch + "setup.exe").c_str());

  Recorded.clear();
  CreateMenuShortcuts(reinterpret_cast<HANDLE>(1), RecordShortcut);
  SetCurrentDirectoryA("C:\\");

  const std::string toolLink = group + "\\Tools\\Utilities\\Tool.lnk";
  LinkFields read = ReadLink(toolLink);
  ASSERT_TRUE(read.loaded);
  EXPECT_EQ(read.path, scratch + "App Folder\\tool.exe");
  EXPECT_EQ(read.arguments, "-m");
  EXPECT_EQ(read.iconIndex, 1);
  const std::string readmeLink = startup + "\\Setvik Readme.lnk";
  read = ReadLink(readmeLink);
  ASSERT_TRUE(read.loaded);
  EXPECT_EQ(read.path, scratch + "Readme.txt");

  const std::vector<std::pair<std::string, std::string>> expected = {
      {group + "\\Tools\\Utilities", "Tool.lnk"}, {startup, "Setvik Readme.lnk"}, {programs, "Setvik Top Test.lnk"}};
  EXPECT_EQ(Recorded, expected);
  EXPECT_TRUE(ReadLink(programs + "\\Setvik Top Test.lnk").loaded);

  // The invalid handle: the shortcuts are made again, nothing is recorded.
  DeleteFileA(readmeLink.c_str());
  Recorded.clear();
  CreateMenuShortcuts(INVALID_HANDLE_VALUE, RecordShortcut);
  SetCurrentDirectoryA("C:\\");
  EXPECT_TRUE(FileExists(readmeLink));
  EXPECT_TRUE(Recorded.empty());
  DeleteFileA(readmeLink.c_str());
  DeleteFileA((programs + "\\Setvik Top Test.lnk").c_str());
  RemoveTree(group);
}

}  // namespace
