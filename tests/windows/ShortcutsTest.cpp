// Shortcuts written through the shell-link object and read back through it,
// the desktop shortcut of a record and the start-menu pass with its folders
// and recording.
#include "install/Shortcuts.h"
#include "setupdata/Paths.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

// A shortcut read back as "target|arguments|working folder|icon,index";
// empty when it cannot be loaded.
std::string ReadLink(const std::string& linkFile) {
  std::string fields;
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
      int index = 0;
      link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
      link->GetArguments(arguments, MAX_PATH);
      link->GetWorkingDirectory(folder, MAX_PATH);
      link->GetIconLocation(icon, MAX_PATH, &index);
      fields = std::string(path) + "|" + arguments + "|" + folder + "|" + icon + "," + std::to_string(index);
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
  const std::string target = scratch + "App Folder\\tool.exe", folder = scratch + "App Folder";
  ASSERT_EQ(CreateShellLink(target.c_str(), (scratch + "full.lnk").c_str(), "-x \"a b\"", 3), S_OK);
  EXPECT_EQ(ReadLink(scratch + "full.lnk"), target + "|-x \"a b\"|" + folder + "|" + target + ",3");
  // Icon index 0 and no arguments: neither is set.
  ASSERT_EQ(CreateShellLink(target.c_str(), (scratch + "plain.lnk").c_str(), "", 0), S_OK);
  EXPECT_EQ(ReadLink(scratch + "plain.lnk"), target + "||" + folder + "|,0");
  // A target without a backslash gets no working folder.
  ASSERT_EQ(CreateShellLink("notepad.exe", (scratch + "bare.lnk").c_str(), "", 0), S_OK);
  EXPECT_EQ(ReadLink(scratch + "bare.lnk").find("||"), ReadLink(scratch + "bare.lnk").find('|'));
  // A link in a folder that does not exist is not written.
  EXPECT_NE(CreateShellLink(target.c_str(), (scratch + "missing\\x.lnk").c_str(), "", 0), S_OK);
  EXPECT_FALSE(FileExists(scratch + "missing\\x.lnk"));

  // The desktop shortcut of a record has its arguments but never an icon; a
  // name too long for a path buffer gives no shortcut, not one with a cut name.
  TestRecord fields = Named("tool.exe");
  fields.desktopName = "Setvik Desk Test";
  fields.desktopArgs = "/d";
  fields.iconIndex = 2;
  lstrcpyA(TargetPath, target.c_str());
  CreateDesktopShortcut(BuildRecord(fields).data());
  const std::string link = SpecialFolder(CSIDL_DESKTOP) + "\\Setvik Desk Test.lnk";
  EXPECT_EQ(ReadLink(link), target + "|/d|" + folder + "|,0");
  DeleteFileA(link.c_str());
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

  const std::string toolPath = scratch + "App Folder\\tool.exe", readmeLink = startup + "\\Setvik Readme.lnk";
  EXPECT_EQ(ReadLink(group + "\\Tools\\Utilities\\Tool.lnk"), toolPath + "|-m|" + scratch + "App Folder|" + toolPath + ",1");
  EXPECT_EQ(ReadLink(readmeLink).substr(0, scratch.size() + 11), scratch + "Readme.txt|");

  const std::vector<std::pair<std::string, std::string>> expected = {
      {group + "\\Tools\\Utilities", "Tool.lnk"}, {startup, "Setvik Readme.lnk"}, {programs, "Setvik Top Test.lnk"}};
  EXPECT_EQ(Recorded, expected);
  EXPECT_NE(ReadLink(programs + "\\Setvik Top Test.lnk"), "");

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
