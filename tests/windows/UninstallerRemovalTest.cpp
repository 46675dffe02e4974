// The uninstaller's removal (uninstaller/Removal.cpp) on logs built here:
// the shared counts in each form the registry may hold them, files that
// resist (read-only, a folder under a file's name), the climb through the
// installation's folders, shortcuts outside a Programs folder, and an
// Uninstall key that cannot go.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "setupdata/Format.h"
#include "uninstaller/Uninstaller.h"

namespace {

const char kSharedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Setvik Removal Test";

// A log in memory, as the setup writes it.
class LogBuilder {
 public:
  LogBuilder& File(const std::string& folder, const std::string& name, uint8_t flags) {
    Text(files, folder);
    Text(files, name);
    files.push_back(flags);
    ++fileCount;
    return *this;
  }
  LogBuilder& Shortcut(const std::string& folder, const std::string& name) {
    Text(shortcuts, folder);
    Text(shortcuts, name);
    ++shortcutCount;
    return *this;
  }
  LogBuilder& Key(const std::string& key) {
    this->key = key;
    return *this;
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> log;
    Chunk(log, kChunkUninstallFiles, Counted(fileCount, files));
    if (shortcutCount) Chunk(log, kChunkUninstallShortcuts, Counted(shortcutCount, shortcuts));
    if (!key.empty()) {
      std::vector<uint8_t> body(4);
      WriteU32Le(body.data(), kLogRegistryRoot);
      Text(body, key);
      Chunk(log, kChunkUninstallRegKey, body);
    }
    Chunk(log, kChunkUninstallEnd, {});
    return log;
  }

 private:
  static void Text(std::vector<uint8_t>& out, const std::string& text) {
    out.push_back(static_cast<uint8_t>(text.size()));
    out.push_back(static_cast<uint8_t>(text.size() >> 8));
    out.insert(out.end(), text.begin(), text.end());
  }
  static std::vector<uint8_t> Counted(uint32_t count, const std::vector<uint8_t>& entries) {
    std::vector<uint8_t> body(4);
    WriteU32Le(body.data(), count);
    body.insert(body.end(), entries.begin(), entries.end());
    return body;
  }
  static void Chunk(std::vector<uint8_t>& log, uint16_t id, const std::vector<uint8_t>& body) {
    uint8_t header[kChunkHeaderSize];
    StoreChunkHeader(header, ChunkHeader{id, 0, static_cast<uint32_t>(body.size())});
    log.insert(log.end(), header, header + kChunkHeaderSize);
    log.insert(log.end(), body.begin(), body.end());
  }
  std::vector<uint8_t> files, shortcuts;
  uint32_t fileCount = 0, shortcutCount = 0;
  std::string key;
};

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  CloseHandle(file);
}

void SetShared(const std::string& name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kSharedKey, &key), ERROR_SUCCESS);
  RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

// The value's type and (when it has four bytes) its count; type 0 when it
// is absent.
std::pair<DWORD, DWORD> GetShared(const std::string& name) {
  HKEY key;
  DWORD type = 0, count = 0, size = sizeof count;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_READ, &key)) return {0, 0};
  const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&count), &size);
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) type = 0;
  RegCloseKey(key);
  return {type, count};
}

class UninstallerRemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root = std::string(temp) + "svk-removal-" + std::to_string(GetCurrentProcessId());
    base = root + "\\App";
    other = root + "\\Other";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(base.c_str(), nullptr);
    CreateDirectoryA(other.c_str(), nullptr);
  }
  void TearDown() override {
    std::string command = "cmd /c rmdir /s /q \"" + root + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                       &info)) {
      WaitForSingleObject(info.hProcess, 10000);
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
  }

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
  for (const std::string* file : {&binary, &text, &wide, &absent, &last, &zero}) Touch(*file);
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
  EXPECT_TRUE(Exists(binary));
  EXPECT_EQ(GetShared(binary), std::make_pair(DWORD{REG_BINARY}, DWORD{2})) << "lowered, its type kept";
  EXPECT_TRUE(Exists(text)) << "a value that is no count keeps the file";
  EXPECT_EQ(GetShared(text).first, DWORD{REG_SZ});
  EXPECT_TRUE(Exists(wide));
  EXPECT_EQ(GetShared(wide).first, DWORD{REG_BINARY});
  EXPECT_TRUE(Exists(absent)) << "no count: nothing says no one else uses it";
  EXPECT_FALSE(Exists(last));
  EXPECT_EQ(GetShared(last).first, DWORD{0});
  EXPECT_FALSE(Exists(zero));
  EXPECT_EQ(GetShared(zero).first, DWORD{0});
  for (const std::string* file : {&binary, &text, &wide}) {
    HKEY key;
    if (!RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_ALL_ACCESS, &key)) {
      RegDeleteValueA(key, file->c_str());
      RegCloseKey(key);
    }
  }
}

TEST_F(UninstallerRemovalTest, FilesAndTheFoldersTheyLeaveEmpty) {
  CreateDirectoryA((base + "\\a").c_str(), nullptr);
  CreateDirectoryA((base + "\\a\\b").c_str(), nullptr);
  CreateDirectoryA((base + "\\a\\b\\c").c_str(), nullptr);
  CreateDirectoryA((base + "\\d").c_str(), nullptr);
  CreateDirectoryA((base + "\\folder.txt").c_str(), nullptr);
  Touch(base + "\\a\\b\\c\\deep.txt");
  Touch(base + "\\a\\user.txt");  // the user's own file: a and the folder stay
  Touch(base + "\\d\\locked.txt");
  SetFileAttributesA((base + "\\d\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  Touch(other + "\\outside.txt");
  const Removal state = Remove(LogBuilder()
                                   .File(".\\a\\b\\c", "deep.txt", 0)
                                   .File(".\\d", "locked.txt", 0)
                                   .File(".", "folder.txt", 0)
                                   .File(".", "gone-already.txt", 0)
                                   .File(other, "outside.txt", 0));
  EXPECT_FALSE(Exists(base + "\\a\\b")) << "b and c went, empty";
  EXPECT_TRUE(Exists(base + "\\a\\user.txt"));
  EXPECT_FALSE(Exists(base + "\\d")) << "the read-only file and then its folder went";
  EXPECT_TRUE(Exists(base + "\\folder.txt")) << "a folder under a file's name is not the file";
  EXPECT_TRUE(state.incomplete);
  EXPECT_FALSE(Exists(other + "\\outside.txt"));
  EXPECT_TRUE(Exists(other)) << "an absolute folder is never removed";
  EXPECT_TRUE(Exists(base));
}

TEST_F(UninstallerRemovalTest, ShortcutsOutsideProgramsAndAKeyThatStays) {
  CreateDirectoryA((other + "\\Menu").c_str(), nullptr);
  Touch(other + "\\Menu\\App.lnk");
  HKEY key, sub;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kUninstallKey, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyA(key, "Child", &sub), ERROR_SUCCESS);  // someone else's subkey keeps it
  RegCloseKey(sub);
  RegCloseKey(key);
  const Removal state = Remove(LogBuilder().Shortcut(other + "\\Menu", "App.lnk").Key(kUninstallKey));
  EXPECT_FALSE(Exists(other + "\\Menu\\App.lnk"));
  EXPECT_TRUE(Exists(other + "\\Menu")) << "only folders below a Programs folder are removed";
  EXPECT_TRUE(state.incomplete) << "the key with a subkey stays and is reported";
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\Child").c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
}

}  // namespace
