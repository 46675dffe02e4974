// Folder macros, the remembered folder in the registry, destination paths
// and shortcut folders on a real Windows file system and registry (Wine).
#include "setupdata/Paths.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

std::string Lower(std::string text) {
  CharLowerA(&text[0]);
  return text;
}

TEST(BackslashTest, AddAndRemoveKeepRoots) {
  // One backslash at a time; three characters or fewer stay.
  const char* const cases[][3] = {{"", "", ""}, {"C:", "C:\\", "C:"}, {"C:\\", "C:\\", "C:\\"},
                                  {"C:\\Games\\\\", "C:\\Games\\\\", "C:\\Games\\"}, {"ab\\", "ab\\", "ab\\"}};
  for (const auto& c : cases) {
    char path[kPathBufferSize];
    AddBackslash(lstrcpyA(path, c[0]));
    EXPECT_STREQ(path, c[1]) << c[0];
    RemoveBackslash(lstrcpyA(path, c[0]));
    EXPECT_STREQ(path, c[2]) << c[0];
  }
}

// A folder tree under the temporary folder, made with mixed case.
class PathsTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    root = TempFolder() + "SetvikRemembered";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\Games").c_str(), nullptr);
    CreateDirectoryA((root + "\\Games\\Acme Long Name").c_str(), nullptr);
  }
  void TearDown() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    SetCurrentDirectoryA(TempFolder().c_str());
    RemoveTree(root);
    PathBuffersTest::TearDown();
  }
  std::string Spelled(const std::string& path) {
    char text[kPathBufferSize];
    NormalizeDirCase(lstrcpynA(text, path.c_str(), kPathBufferSize));
    return text;
  }
  // The folder ResolveDefaultDir gives for a remembered folder (in the
  // registry unless null) against the default "#Windows#\Default".
  std::string Resolved(const char* remembered) {
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    if (remembered) SetRegValue(HKEY_CURRENT_USER, kKey, "Dir", REG_SZ, std::string(remembered) + '\0');
    DirRegistryRoot = 1;
    DirRegistryKey = const_cast<char*>(kKey);
    DirRegistryValue = const_cast<char*>("Dir");
    lstrcpyA(InstallDir, "#Windows#\\Default");
    ResolveDefaultDir();
    return InstallDir;
  }
  static constexpr const char* kKey = "Software\\SetvikTests\\RememberedFolder";
  std::string root;
};

TEST_F(PathsTest, MacrosInAnyCaseAndShortcutFolders) {
  const std::pair<const char*, std::string> cases[] = {
      {"#PROGRAM FILES#Acme", SpecialFolder(CSIDL_PROGRAM_FILES) + "\\Acme"},
      {"#windows#", SpecialFolder(CSIDL_WINDOWS) + "\\"},
      {"#System#\\Sub\\Dir", SpecialFolder(CSIDL_SYSTEM) + "\\Sub\\Dir"},
      {"#Nowhere#\\Acme", "Acme"},  // unknown macro: empty base
      {"#Windows", "#Windows"}, {"C:\\Acme #Windows#", "C:\\Acme #Windows#"},  // no closing sign, not first
  };
  for (const auto& c : cases) {
    ExpandFolderMacro(lstrcpyA(InstallDir, c.first));
    EXPECT_EQ(std::string(InstallDir), c.second) << c.first;
  }
  // A rest too long for the buffer is cut inside it.
  lstrcpynA(InstallDir, ("#Windows#\\" + std::string(300, 'r')).c_str(), kPathBufferSize);
  ExpandFolderMacro(InstallDir);
  EXPECT_EQ(strlen(InstallDir), kPathBufferSize - 1);

  // Shortcut folders take their own macros, or lie below Programs.
  const std::pair<const char*, std::string> folders[] = {
      {"#STARTUP#", SpecialFolder(CSIDL_STARTUP)},
      {"Acme\\Tools\\", SpecialFolder(CSIDL_PROGRAMS) + "\\Acme\\Tools"},
  };
  for (const auto& c : folders) {
    char folder[kPathBufferSize];
    ShortcutFolder(c.first, folder);
    EXPECT_EQ(std::string(folder), c.second) << c.first;
  }
}

TEST_F(PathsTest, RememberedFolderTakesTheDiskSpellingOrItsLongestExistingPrefix) {
  // The drive letter keeps the case it was given; the rest is as on disk.
  const std::string disk = Spelled(Lower(root));
  ASSERT_EQ(Lower(disk), Lower(root));
  EXPECT_EQ(Resolved(Lower(root + "\\GAMES\\acme long name\\").c_str()), disk + "\\Games\\Acme Long Name");
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_EQ(Lower(current), Lower(root + "\\Games\\Acme Long Name"));
  EXPECT_EQ(Resolved((root + "\\Games\\Acme\\Data").c_str()), Spelled(root) + "\\Games");
  EXPECT_EQ(Resolved("Q:\\Nowhere\\At\\All"), "");  // no prefix at all: empty, not the default
  // An empty or removed value: the default. (The INI place is shown in
  // tests/wine/uninstall-e2e.sh.)
  EXPECT_EQ(Resolved(""), SpecialFolder(CSIDL_WINDOWS) + "\\Default");
  EXPECT_EQ(Resolved(nullptr), SpecialFolder(CSIDL_WINDOWS) + "\\Default");

  // What cannot be found is left whole, a missing last component too.
  for (const std::string& same : {std::string("C:\\"), std::string("Q:\\Nowhere\\Acme"), std::string("C:\\*"),
                                  Lower(root) + "\\games\\missing"})
    EXPECT_EQ(Spelled(same), same);
}

// A file record with an empty string set but for fileName.
std::vector<uint8_t> Record(uint8_t destinationKind, uint8_t uninstallMode, const std::string& fileName) {
  TestRecord record = Named(fileName);
  record.destinationKind = destinationKind;
  record.uninstallMode = uninstallMode;
  return BuildRecord(record);
}

// By destination kind; an external file sits beside the setup file whatever
// its kind; an overlong name is cut inside the buffer (guard bytes after it).
TEST_F(PathsTest, TargetPathByDestinationKind) {
  std::vector<char> guarded(kPathBufferSize + 64, 'G');
  char* saved = TargetPath;
  TargetPath = guarded.data();
  const struct {
    const char *installDir, *setupFile;
    uint8_t kind, mode;
    std::string expected;
  } cases[] = {
      {"C:\\Acme", "", kDestInstallDir, kUninstallRemove, "C:\\Acme\\bin\\app.exe"},
      {"C:\\Acme\\", "", kDestInstallDir, kUninstallKeep, "C:\\Acme\\bin\\app.exe"},  // not doubled
      {"C:\\Acme", "", kDestFonts, kUninstallRemove, SpecialFolder(CSIDL_FONTS) + "\\bin\\app.exe"},
      {"C:\\Acme", "D:\\Setup\\setup.exe", kDestFonts, kUninstallExternal, "D:\\Setup\\bin\\app.exe"},
      {"C:\\Acme", "setup.exe", kDestInstallDir, kUninstallExternal, "bin\\app.exe"},
  };
  for (const auto& c : cases) {
    lstrcpyA(InstallDir, c.installDir);
    lstrcpyA(SetupFilePath, c.setupFile);
    EXPECT_EQ(GetTargetPath(Record(c.kind, c.mode, "bin\\app.exe").data()), 0);
    EXPECT_EQ(std::string(TargetPath), c.expected) << int(c.kind) << " " << int(c.mode);
    GetTargetPath(Record(c.kind, c.mode, std::string(300, 'n')).data());
    EXPECT_EQ(strlen(TargetPath), kPathBufferSize - 1) << int(c.kind);
    for (size_t i = kPathBufferSize; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 'G') << int(c.kind);
  }
  TargetPath = saved;
  // A shared file drops its sub-folders and goes to the system folder; an
  // existing copy that nobody holds is not in use, and is let go again.
  const std::string existing = SpecialFolder(CSIDL_SYSTEM) + "\\setvik-shared-test.dll";
  for (const char* name : {"sub\\setvik-shared-test.dll", "setvik-shared-test.dll"}) {
    EXPECT_EQ(GetTargetPath(Record(kDestSharedSystem, kUninstallKeep, name).data()), 0);
    EXPECT_EQ(Lower(TargetPath), Lower(existing));
    WriteTextFile(existing, "");
  }
  EXPECT_TRUE(DeleteFileA(existing.c_str()));
}

}  // namespace
