// Folder macros, the remembered folder, destination paths and shortcut
// folders on a real Windows file system and registry (Wine).
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

#include "setupdata/Format.h"
#include "setupdata/Paths.h"
#include "tests/windows/StartupTestSupport.h"

namespace {

std::string Lower(std::string text) {
  CharLowerA(&text[0]);
  return text;
}

std::string WindowsFolder() {
  char folder[MAX_PATH];
  GetWindowsDirectoryA(folder, MAX_PATH);
  return folder;
}

std::string SystemFolder() {
  char folder[MAX_PATH];
  GetSystemDirectoryA(folder, MAX_PATH);
  return folder;
}

std::string SpecialFolder(int id) {
  char folder[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, folder, id, FALSE);
  return folder;
}

std::string ProgramFiles() {
  char value[MAX_PATH] = "";
  DWORD size = sizeof value;
  HKEY key;
  if (!RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key)) {
    RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
  }
  return value;
}

TEST(BackslashTest, AddAndRemoveKeepRootsAndEmptyTexts) {
  struct Case {
    const char* in;
    const char* added;
    const char* removed;
  } cases[] = {
      {"", "", ""},
      {"C:", "C:\\", "C:"},
      {"C:\\", "C:\\", "C:\\"},
      {"C:\\Games", "C:\\Games\\", "C:\\Games"},
      {"C:\\Games\\", "C:\\Games\\", "C:\\Games"},
      {"C:\\Games\\\\", "C:\\Games\\\\", "C:\\Games\\"},  // one backslash at a time
      {"ab\\", "ab\\", "ab\\"},                         // three characters or fewer stay
  };
  for (const Case& c : cases) {
    char path[kPathBufferSize];
    lstrcpyA(path, c.in);
    AddBackslash(path);
    EXPECT_STREQ(path, c.added) << c.in;
    lstrcpyA(path, c.in);
    RemoveBackslash(path);
    EXPECT_STREQ(path, c.removed) << c.in;
  }
  // A full buffer gets no backslash rather than an overrun.
  char full[kPathBufferSize + 1];
  memset(full, 'a', kPathBufferSize - 1);
  full[kPathBufferSize - 1] = 0;
  full[kPathBufferSize] = 'Z';
  AddBackslash(full);
  EXPECT_EQ(strlen(full), kPathBufferSize - 1);
  EXPECT_EQ(full[kPathBufferSize], 'Z');
}

using FolderMacroTest = PathBuffersTest;

TEST_F(FolderMacroTest, MacrosInAnyCase) {
  struct Case {
    const char* in;
    std::string out;
  } cases[] = {
      {"#program files#\\Acme Games", ProgramFiles() + "\\Acme Games"},
      {"#PROGRAM FILES#Acme", ProgramFiles() + "\\Acme"},
      {"#Windows#\\", WindowsFolder() + "\\"},
      {"#windows#", WindowsFolder() + "\\"},
      {"#System#\\Sub\\Dir", SystemFolder() + "\\Sub\\Dir"},
      {"#Nowhere#\\Acme", "Acme"},  // unknown macro: empty base
      {"##\\Acme", "Acme"},
      {"#Windows", "#Windows"},  // no closing number sign
      {"C:\\Acme #Windows#", "C:\\Acme #Windows#"},
      {"", ""},
  };
  ASSERT_FALSE(ProgramFiles().empty());
  for (const Case& c : cases) {
    lstrcpyA(InstallDir, c.in);
    ExpandFolderMacro(InstallDir);
    EXPECT_EQ(std::string(InstallDir), c.out) << c.in;
  }
  // A rest too long for the buffer is cut inside it.
  const std::string longRest = "#Windows#\\" + std::string(300, 'r');
  lstrcpynA(InstallDir, longRest.c_str(), kPathBufferSize);
  ExpandFolderMacro(InstallDir);
  EXPECT_EQ(strlen(InstallDir), kPathBufferSize - 1);
  EXPECT_EQ(std::string(InstallDir).substr(0, WindowsFolder().size() + 1), WindowsFolder() + "\\");
}

// A folder tree under the temporary folder, made with mixed case.
class RememberedFolderTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    root = TempFolder() + "SetvikRemembered";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\Games").c_str(), nullptr);
    CreateDirectoryA((root + "\\Games\\Acme Long Name").c_str(), nullptr);
    lstrcpyA(InstallDir, "#Windows#\\Default");
  }
  void TearDown() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    DeleteFileA(ini.c_str());
    SetCurrentDirectoryA(TempFolder().c_str());
    RemoveDirectoryA((root + "\\Games\\Acme Long Name").c_str());
    RemoveDirectoryA((root + "\\Games").c_str());
    RemoveDirectoryA(root.c_str());
    PathBuffersTest::TearDown();
  }
  // The disk spelling of root, as NormalizeDirCase gives it.
  std::string Spelled(const std::string& path) {
    char text[kPathBufferSize];
    lstrcpynA(text, path.c_str(), kPathBufferSize);
    NormalizeDirCase(text);
    return text;
  }
  void Remember(const std::string& folder) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key), 0);
    RegSetValueExA(key, "Dir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(key);
    DirRegistryRoot = 1;
    DirRegistryKey = const_cast<char*>(kKey);
    DirRegistryValue = const_cast<char*>("Dir");
  }
  static constexpr const char* kKey = "Software\\SetvikTests\\RememberedFolder";
  std::string root, ini;
};

TEST_F(RememberedFolderTest, RegistryFolderTakesTheDiskSpelling) {
  // The drive letter keeps the case it was given; the rest is as on disk.
  const std::string disk = Spelled(Lower(root));
  ASSERT_EQ(Lower(disk), Lower(root));
  Remember(Lower(root + "\\GAMES\\acme long name\\"));
  ResolveDefaultDir();
  EXPECT_EQ(std::string(InstallDir), disk + "\\Games\\Acme Long Name");
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_EQ(Lower(current), Lower(root + "\\Games\\Acme Long Name"));
}

TEST_F(RememberedFolderTest, VanishedFolderFallsBackToItsLongestExistingPrefix) {
  Remember(root + "\\Games\\Acme\\Data");
  ResolveDefaultDir();
  EXPECT_EQ(std::string(InstallDir), Spelled(root) + "\\Games");
  // No prefix at all: empty, and the default is not used.
  Remember("Q:\\Nowhere\\At\\All");
  ResolveDefaultDir();
  EXPECT_STREQ(InstallDir, "");
}

TEST_F(RememberedFolderTest, RemovedOrEmptyRegistryValueUsesTheDefault) {
  Remember("");
  ResolveDefaultDir();
  EXPECT_EQ(std::string(InstallDir), WindowsFolder() + "\\Default");
  RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
  lstrcpyA(InstallDir, "#Windows#\\Default");
  ResolveDefaultDir();
  EXPECT_EQ(std::string(InstallDir), WindowsFolder() + "\\Default");
}

TEST_F(RememberedFolderTest, IniFolderAndMissingIniKey) {
  ini = TempFolder() + "setvik-remembered.ini";
  WritePrivateProfileStringA("Acme", "Folder", Lower(root + "\\games").c_str(), ini.c_str());
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
  DirIniFile = const_cast<char*>(ini.c_str());
  DirIniSection = const_cast<char*>("Acme");
  DirIniKey = const_cast<char*>("Folder");
  ResolveDefaultDir();
  EXPECT_EQ(std::string(InstallDir), Spelled(Lower(root)) + "\\Games");

  lstrcpyA(InstallDir, "#Windows#\\Default");
  DirIniKey = const_cast<char*>("Other");
  ResolveDefaultDir();
  EXPECT_EQ(std::string(InstallDir), WindowsFolder() + "\\Default");
  // The INI place counts only with all three texts present.
  lstrcpyA(InstallDir, "#Windows#\\Default");
  DirIniKey = const_cast<char*>("Folder");
  DirIniSection = nullptr;
  ResolveDefaultDir();
  EXPECT_EQ(std::string(InstallDir), WindowsFolder() + "\\Default");
}

TEST_F(RememberedFolderTest, NormalizeDirCaseLeavesWhatItCannotFind) {
  for (const char* unchanged : {"C:\\", "C:", "", "Q:\\Nowhere\\Acme", "C:\\*", "C:\\windows\\syst?m32"}) {
    char text[kPathBufferSize];
    lstrcpyA(text, unchanged);
    NormalizeDirCase(text);
    EXPECT_STREQ(text, unchanged);
  }
  // A missing last component leaves the whole path as it was.
  const std::string missing = Lower(root) + "\\games\\missing";
  char text[kPathBufferSize];
  lstrcpyA(text, missing.c_str());
  NormalizeDirCase(text);
  EXPECT_EQ(std::string(text), missing);
}

// A file record with an empty string set but for fileName.
std::vector<uint8_t> Record(uint8_t destinationKind, uint8_t uninstallMode, const std::string& fileName) {
  std::vector<uint8_t> record(kFileRecordHeadSize, 0);
  record[FileRecordField::destinationKind] = destinationKind;
  record[FileRecordField::uninstallMode] = uninstallMode;
  record.insert(record.end(), fileName.begin(), fileName.end());
  record.insert(record.end(), 6, 0);
  WriteU32Le(record.data(), static_cast<uint32_t>(record.size()));
  return record;
}

using TargetPathTest = PathBuffersTest;

TEST_F(TargetPathTest, BaseFolderByDestinationKind) {
  lstrcpyA(InstallDir, "C:\\Program Files\\Acme");
  struct Case {
    uint8_t kind;
    std::string expected;
  } cases[] = {
      {kDestInstallDir, "C:\\Program Files\\Acme\\bin\\app.exe"},
      {kDestWindows, WindowsFolder() + "\\bin\\app.exe"},
      {kDestFonts, SpecialFolder(CSIDL_FONTS) + "\\bin\\app.exe"},
      {7, "C:\\Program Files\\Acme\\bin\\app.exe"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetTargetPath(Record(c.kind, kUninstallRemove, "bin\\app.exe").data()), 0);
    EXPECT_EQ(std::string(TargetPath), c.expected) << int(c.kind);
  }
  lstrcpyA(InstallDir, "C:\\Acme\\");  // a trailing backslash is not doubled
  GetTargetPath(Record(kDestInstallDir, kUninstallKeep, "a.txt").data());
  EXPECT_STREQ(TargetPath, "C:\\Acme\\a.txt");
}

TEST_F(TargetPathTest, ExternalFileSitsBesideTheSetupFile) {
  lstrcpyA(SetupFilePath, "D:\\Setup\\setup.exe");
  for (uint8_t kind : {kDestInstallDir, kDestWindows, kDestSharedSystem, kDestFonts}) {
    EXPECT_EQ(GetTargetPath(Record(kind, kUninstallExternal, "Readme.txt").data()), 0);
    EXPECT_STREQ(TargetPath, "D:\\Setup\\Readme.txt");
  }
  lstrcpyA(SetupFilePath, "setup.exe");
  GetTargetPath(Record(kDestInstallDir, kUninstallExternal, "Readme.txt").data());
  EXPECT_STREQ(TargetPath, "Readme.txt");
}

TEST_F(TargetPathTest, SharedFileDropsSubfoldersAndGoesToTheProposedFolder) {
  lstrcpyA(InstallDir, "C:\\Program Files\\Acme\\");
  EXPECT_EQ(GetTargetPath(Record(kDestSharedSystem, kUninstallKeep, "sub\\setvik-shared-test.dll").data()), 0);
  const std::string path = TargetPath;
  EXPECT_EQ(Lower(path), Lower(SystemFolder() + "\\setvik-shared-test.dll"));
  // An existing copy that nobody holds is not in use.
  const std::string existing = SystemFolder() + "\\setvik-shared-test.dll";
  HANDLE file = CreateFileA(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(GetTargetPath(Record(kDestSharedSystem, kUninstallKeep, "setvik-shared-test.dll").data()), 0);
  EXPECT_EQ(Lower(TargetPath), Lower(existing));
  DeleteFileA(existing.c_str());
}

TEST_F(TargetPathTest, OverlongNamesAreCutInsideTheBuffer) {
  // TargetPath with guard bytes after its 260 bytes.
  std::vector<char> guarded(kPathBufferSize + 64, 'G');
  char* saved = TargetPath;
  TargetPath = guarded.data();
  lstrcpyA(InstallDir, "C:\\Acme");
  lstrcpyA(SetupFilePath, "D:\\Setup\\setup.exe");
  const std::string longName(300, 'n');
  for (uint8_t mode : {kUninstallRemove, kUninstallExternal}) {
    for (uint8_t kind : {kDestInstallDir, kDestWindows, kDestSharedSystem, kDestFonts}) {
      GetTargetPath(Record(kind, mode, longName).data());
      EXPECT_EQ(strlen(TargetPath), kPathBufferSize - 1) << int(kind);
      for (size_t i = kPathBufferSize; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 'G') << int(kind);
    }
  }
  TargetPath = saved;
}

TEST_F(TargetPathTest, ShortcutFolders) {
  char folder[kPathBufferSize];
  ShortcutFolder("#start menu#", folder);
  EXPECT_EQ(std::string(folder), SpecialFolder(CSIDL_STARTMENU));
  ShortcutFolder("#STARTUP#", folder);
  EXPECT_EQ(std::string(folder), SpecialFolder(CSIDL_STARTUP));
  ShortcutFolder("", folder);
  EXPECT_EQ(std::string(folder), SpecialFolder(CSIDL_PROGRAMS));
  ShortcutFolder("Acme\\Tools\\", folder);
  EXPECT_EQ(std::string(folder), SpecialFolder(CSIDL_PROGRAMS) + "\\Acme\\Tools");
}

}  // namespace
