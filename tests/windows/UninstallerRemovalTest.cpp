// The uninstaller's removal (uninstaller/Removal.cpp) on logs built here:
// the shared counts in each form the registry may hold them, files that
// resist (read-only, a folder under a file's name) and the climb through the
// installation's folders; shortcuts and the Uninstall key are shown in
// tests/wine/uninstall-e2e.sh.
#include "tests/windows/Support.h"
#include "uninstaller/Uninstaller.h"
#include "uninstlog/UninstallLog.h"

namespace {

struct LoggedFile {
  std::string folder, name;
  uint8_t flags;
};

// A log of UninstallFiles entries only, followed by UninstallEnd, written
// into path by the installation's own log writers and read back.
std::vector<uint8_t> FileLog(const std::string& path, const std::vector<LoggedFile>& files) {
  uint32_t size = 4;
  for (const LoggedFile& file : files) size += 2 + file.folder.size() + 2 + file.name.size() + 1;
  const FileHandle log = FileCreate(path.c_str());
  EXPECT_EQ(WriteLogHeader(log, kChunkUninstallFiles, size), 0);
  WriteLogU32(log, static_cast<uint32_t>(files.size()));
  for (const LoggedFile& file : files) {
    WriteLogString(log, file.folder.c_str());
    WriteLogString(log, file.name.c_str());
    FileWrite(log, &file.flags, 1);
  }
  WriteLogHeader(log, kChunkUninstallEnd, 0);
  FileClose(log);
  const std::string bytes = ReadTextFile(path);
  DeleteFileA(path.c_str());
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

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

  Removal Remove(const std::vector<LoggedFile>& files) {
    const std::vector<uint8_t> log = FileLog(root + "\\removal.log", files);
    EXPECT_TRUE(CheckLogPaths(log.data(), static_cast<uint32_t>(log.size()), base.c_str()));
    Removal state = {base.c_str(), false, false, false};
    RemoveInstallation(log.data(), static_cast<uint32_t>(log.size()), &state);
    return state;
  }

  std::string root, base, other;
};

// A shared count is lowered in the type it is stored in; a file goes with its
// last use, or when its count is already at zero; a value that is no count,
// or no count at all, keeps the file.
TEST_F(UninstallerRemovalTest, SharedCountsInEveryForm) {
  const std::string binary = other + "\\binary.dll", text = other + "\\text.dll", absent = other + "\\absent.dll",
                    last = other + "\\last.dll", zero = other + "\\zero.dll";
  for (const std::string* file : {&binary, &text, &absent, &last, &zero}) WriteTextFile(*file, "");
  const DWORD three = 3, one = 1, none = 0;
  SetShared(binary, REG_BINARY, &three, 4);  // counted by an old setup as 4 binary bytes
  SetShared(text, REG_SZ, "1", 2);
  SetShared(last, REG_DWORD, &one, 4);
  SetShared(zero, REG_DWORD, &none, 4);
  std::vector<LoggedFile> log;
  for (const char* name : {"binary.dll", "text.dll", "absent.dll", "last.dll", "zero.dll"})
    log.push_back({other, name, kLogSharedFile});
  const Removal state = Remove(log);
  EXPECT_FALSE(state.incomplete);
  EXPECT_EQ(SharedCount(binary), std::make_pair(DWORD{REG_BINARY}, DWORD{2}));
  EXPECT_EQ(SharedCount(text).first, DWORD{REG_SZ});
  for (const std::string* file : {&binary, &text, &absent}) EXPECT_TRUE(FileExists(*file)) << *file;
  for (const std::string* file : {&last, &zero}) {
    EXPECT_FALSE(FileExists(*file)) << *file;
    EXPECT_EQ(SharedCount(*file).first, DWORD{0}) << *file;
  }
  for (const std::string* file : {&binary, &text}) DeleteSharedCount(*file);
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
  const Removal state = Remove({{".\\a\\b\\c", "deep.txt", 0},
                                {".\\d", "locked.txt", 0},
                                {".", "folder.txt", 0},
                                {".", "gone-already.txt", 0},
                                {other, "outside.txt", 0}});
  EXPECT_FALSE(FileExists(base + "\\a\\b")) << "b and c went, empty";
  EXPECT_TRUE(FileExists(base + "\\a\\user.txt"));
  EXPECT_FALSE(FileExists(base + "\\d")) << "the read-only file and then its folder went";
  EXPECT_TRUE(FileExists(base + "\\folder.txt")) << "a folder under a file's name is not the file";
  EXPECT_TRUE(state.incomplete);
  EXPECT_FALSE(FileExists(other + "\\outside.txt"));
  EXPECT_TRUE(FileExists(other)) << "an absolute folder is never removed";
  EXPECT_TRUE(FileExists(base));
}

}  // namespace
