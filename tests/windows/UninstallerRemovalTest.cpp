// The uninstaller's removal (uninstaller/Removal.cpp) on logs built here:
// the shared counts in each form the registry may hold them, files that
// resist (read-only, a folder under a file's name), the climb through the
// installation's folders, shortcuts outside a Programs folder, and an
// Uninstall key that cannot go.
#include "tests/windows/Support.h"
#include "uninstaller/Uninstaller.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Setvik Removal Test";
void SetShared(const std::string& name, DWORD type, const void* data, DWORD size) {
  SetRegValue(HKEY_LOCAL_MACHINE, kSharedKey, name.c_str(), type, std::string(static_cast<const char*>(data), size));
}

class UninstallerRemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = TempFolder() + "svk-removal-" + std::to_string(GetCurrentProcessId());
    base = root + "\\App";
    other = root + "\\Other";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(base.c_str(), nullptr);
    CreateDirectoryA(other.c_str(), nullptr);
  }
  void TearDown() override { RemoveTree(root); }

  Removal Remove(const LogBuilder& builder) {
    const std::vector<uint8_t> log = builder.Bytes();
    EXPECT_TRUE(CheckLogPaths(log.data(), static_cast<uint32_t>(log.size()), base.c_str()));
    Removal state = {base.c_str(), false, false, false};
    RemoveInstallation(log.data(), static_cast<uint32_t>(log.size()), &state);
    return state;
  }

  std::string root, base, other;
};

TEST_F(UninstallerRemovalTest, SharedCountsInEveryForm) {
  const std::string binary = other + "\\binary.dll", text = other + "\\text.dll", wide = other + "\\wide.dll",
                    absent = other + "\\absent.dll", last = other + "\\last.dll", zero = other + "\\zero.dll";
  for (const std::string* file : {&binary, &text, &wide, &absent, &last, &zero}) WriteTextFile(*file, "");
  const DWORD three = 3, one = 1, none = 0;
  const DWORD eight[2] = {1, 0};
  SetShared(binary, REG_BINARY, &three, 4);  // counted by an old setup as 4 binary bytes
  SetShared(text, REG_SZ, "1", 2);           // not a count
  SetShared(wide, REG_BINARY, eight, 8);     // not 4 bytes
  SetShared(last, REG_DWORD, &one, 4);
  SetShared(zero, REG_DWORD, &none, 4);      // already at zero: the last use
  const Removal state = Remove(LogBuilder()
                                   .File(other, "binary.dll", kLogSharedFile)
                                   .File(other, "text.dll", kLogSharedFile)
                                   .File(other, "wide.dll", kLogSharedFile)
                                   .File(other, "absent.dll", kLogSharedFile)
                                   .File(other, "last.dll", kLogSharedFile)
                                   .File(other, "zero.dll", kLogSharedFile));
  EXPECT_FALSE(state.incomplete);
  EXPECT_FALSE(state.restartNeeded);
  EXPECT_TRUE(FileExists(binary));
  EXPECT_EQ(SharedCount(binary), std::make_pair(DWORD{REG_BINARY}, DWORD{2})) << "lowered, its type kept";
  EXPECT_TRUE(FileExists(text)) << "a value that is no count keeps the file";
  EXPECT_EQ(SharedCount(text).first, DWORD{REG_SZ});
  EXPECT_TRUE(FileExists(wide));
  EXPECT_EQ(SharedCount(wide).first, DWORD{REG_BINARY});
  EXPECT_TRUE(FileExists(absent)) << "no count: nothing says no one else uses it";
  EXPECT_FALSE(FileExists(last));
  EXPECT_EQ(SharedCount(last).first, DWORD{0});
  EXPECT_FALSE(FileExists(zero));
  EXPECT_EQ(SharedCount(zero).first, DWORD{0});
  for (const std::string* file : {&binary, &text, &wide}) DeleteSharedCount(*file);
}

TEST_F(UninstallerRemovalTest, FilesAndTheFoldersTheyLeaveEmpty) {
  CreateDirectoryA((base + "\\a").c_str(), nullptr);
  CreateDirectoryA((base + "\\a\\b").c_str(), nullptr);
  CreateDirectoryA((base + "\\a\\b\\c").c_str(), nullptr);
  CreateDirectoryA((base + "\\d").c_str(), nullptr);
  CreateDirectoryA((base + "\\folder.txt").c_str(), nullptr);
  WriteTextFile(base + "\\a\\b\\c\\deep.txt", "");
  WriteTextFile(base + "\\a\\user.txt", "");  // the user's own file: a and the folder stay
  WriteTextFile(base + "\\d\\locked.txt", "");
  SetFileAttributesA((base + "\\d\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteTextFile(other + "\\outside.txt", "");
  const Removal state = Remove(LogBuilder()
                                   .File(".\\a\\b\\c", "deep.txt", 0)
                                   .File(".\\d", "locked.txt", 0)
                                   .File(".", "folder.txt", 0)
                                   .File(".", "gone-already.txt", 0)
                                   .File(other, "outside.txt", 0));
  EXPECT_FALSE(FileExists(base + "\\a\\b")) << "b and c went, empty";
  EXPECT_TRUE(FileExists(base + "\\a\\user.txt"));
  EXPECT_FALSE(FileExists(base + "\\d")) << "the read-only file and then its folder went";
  EXPECT_TRUE(FileExists(base + "\\folder.txt")) << "a folder under a file's name is not the file";
  EXPECT_TRUE(state.incomplete);
  EXPECT_FALSE(FileExists(other + "\\outside.txt"));
  EXPECT_TRUE(FileExists(other)) << "an absolute folder is never removed";
  EXPECT_TRUE(FileExists(base));
}

TEST_F(UninstallerRemovalTest, ShortcutsOutsideProgramsAndAKeyThatStays) {
  CreateDirectoryA((other + "\\Menu").c_str(), nullptr);
  WriteTextFile(other + "\\Menu\\App.lnk", "");
  HKEY key, sub;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kUninstallKey, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyA(key, "Child", &sub), ERROR_SUCCESS);  // someone else's subkey keeps it
  RegCloseKey(sub);
  RegCloseKey(key);
  const Removal state = Remove(LogBuilder().Shortcut(other + "\\Menu", "App.lnk").Key(kUninstallKey));
  EXPECT_FALSE(FileExists(other + "\\Menu\\App.lnk"));
  EXPECT_TRUE(FileExists(other + "\\Menu")) << "only folders below a Programs folder are removed";
  EXPECT_TRUE(state.incomplete) << "the key with a subkey stays and is reported";
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\Child").c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
}

}  // namespace
