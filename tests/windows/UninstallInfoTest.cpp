// The end of an installation against real files, shortcuts and registry
// keys: the log appended to an uninstaller file that ends with the free
// header, compared byte for byte with what the file table implies; the
// Uninstall key; the remembered folder; and what a failed installation, a
// table without uninstaller and an overlong UninstallName leave behind.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

#include "install/InstallStep.h"
#include "install/UninstallInfo.h"
#include "setupdata/Paths.h"
#include "setupdata/VolumeReader.h"
#include "tests/windows/InstallTestSupport.h"


namespace {

typedef std::vector<uint8_t> Bytes;

const char kProgramBytes[] = "MZ the uninstaller's own bytes";
const char kKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Setvik Uninstall Test";
const char kGroup[] = "Setvik UI Test";

void Put16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
// Log string: u16 length, the characters.
void PutText(Bytes& out, const std::string& text) {
  Put16(out, static_cast<uint16_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}
// Header (id, flags 0, size), then the body.
Bytes Chunk(uint16_t id, const Bytes& body) {
  Bytes out;
  Put16(out, id);
  Put16(out, 0);
  Put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

struct FileEntry {
  std::string folder, name;
  uint8_t flags;
};
Bytes FilesChunk(const std::vector<FileEntry>& entries) {
  Bytes body;
  Put32(body, static_cast<uint32_t>(entries.size()));
  for (const FileEntry& e : entries) {
    PutText(body, e.folder);
    PutText(body, e.name);
    body.push_back(e.flags);
  }
  return Chunk(0x1235, body);
}
Bytes ShortcutsChunk(const std::vector<std::pair<std::string, std::string>>& entries) {
  Bytes body;
  Put32(body, static_cast<uint32_t>(entries.size()));
  for (const auto& e : entries) {
    PutText(body, e.first);
    PutText(body, e.second);
  }
  return Chunk(0x1236, body);
}
Bytes RegKeyChunk(const std::string& key) {
  Bytes body;
  Put32(body, 0x80000002u);
  PutText(body, key);
  return Chunk(0x1238, body);
}
Bytes EndChunk() { return Chunk(0x7F7F, Bytes()); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::string Special(int id) {
  char folder[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, folder, id, FALSE);
  return folder;
}

// The bytes as hex pairs, so that a difference shows where it lies.
std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) out += std::string{kDigits[b >> 4], kDigits[b & 15], ' '};
  return out;
}

std::string ReadBytes(const std::string& path) {
  const std::string text = ReadTextFile(path);
  return Hex(Bytes(text.begin(), text.end()));
}

// A REG_SZ value with its byte count; "(absent)" when it cannot be read.
std::string RegText(HKEY root, const std::string& key, const char* name, DWORD* size = nullptr) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "(absent)";
  char value[1024] = "";
  DWORD type = 0, length = sizeof value - 1;
  LONG result = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &length);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS || type != REG_SZ) return "(absent)";
  if (size) *size = length;
  return value;
}

bool KeyExists(HKEY root, const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

class UninstallInfoTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    CoInitialize(nullptr);
    scratch = MakeScratch("setvik-uninstall");
    app = scratch + "App";
    CreateDirectoryA(app.c_str(), nullptr);
    lstrcpyA(InstallDir, app.c_str());
    uninstaller = app + "\\uninst.exe";
    original = Bytes(kProgramBytes, kProgramBytes + sizeof kProgramBytes - 1);
    original.insert(original.end(), {0x7F, 0x7F, 0, 0, 0, 0, 0, 0});
    WriteTextFile(uninstaller, std::string(original.begin(), original.end()));
    lstrcpyA(UninstallerPath, uninstaller.c_str());
    InstallError = 0;
    InstallRunning = true;
    SinglePage = kSinglePageAbsent;
    SetupFlags = 0;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyPath);
  }
  void TearDown() override {
    if (InputHandle != kInvalidFile) FileClose(InputHandle);
    InputHandle = kInvalidFile;
    ClearFileTable();
    UninstallName = nullptr;
    SetupFlags = 0;
    SinglePage = kSinglePageAbsent;
    InstallError = 0;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyPath);
    SetCurrentDirectoryA("C:\\");
    RemoveTree(Special(CSIDL_PROGRAMS) + "\\" + kGroup);
    DeleteFileA((Special(CSIDL_STARTUP) + "\\Setvik UI Readme.lnk").c_str());
    RemoveTree(scratch.substr(0, scratch.size() - 1));
    CoUninitialize();
    PathBuffersTest::TearDown();
  }
  void SetState(uint32_t n, uint16_t state) {
    WriteU16Le(TestRecordAt(n) + FileRecordField::installState, state);
  }
  uint8_t* TestRecordAt(uint32_t n) {
    uint8_t* record = FirstFileRecord;
    while (n--) record = NextFileRecord(record);
    return record;
  }
  // The uninstaller as installed, without its free header, then the log.
  Bytes WithLog(const Bytes& log) {
    Bytes out(original.begin(), original.end() - 8);
    out.insert(out.end(), log.begin(), log.end());
    return out;
  }

  std::string scratch, app, uninstaller;
  Bytes original;
  std::vector<uint8_t> table;
  std::string name;
};

TEST_F(UninstallInfoTest, LogHoldsWhatTheTableImpliesAndTheKeyIsMade) {
  TestRecord main;  // installed new, with both shortcuts
  main.fileName = "app.exe";
  main.groupName = kGroup;
  main.menuName = "Setvik UI App";
  main.desktopName = "Setvik UI Desk";
  TestRecord data;  // a self-registering module in a sub-folder
  data.fileName = "Data\\x.dat";
  data.registerKind = kRegisterSelf;
  TestRecord shared;  // a counted file in the Windows folder
  shared.fileName = "shared.dll";
  shared.destinationKind = kDestWindows;
  shared.trackShared = 1;
  TestRecord font;  // a counted font
  font.fileName = "font.ttf";
  font.destinationKind = kDestFonts;
  font.trackShared = 1;
  TestRecord kept;  // stays at uninstall
  kept.fileName = "keep.txt";
  kept.uninstallMode = kUninstallKeep;
  TestRecord skipped;  // not written, but its desktop shortcut is recorded
  skipped.fileName = "skipped.txt";
  skipped.desktopName = "Setvik UI Skipped";
  TestRecord self;  // the uninstaller: state back at 0
  self.fileName = "uninst.exe";
  self.optionFlags = kOptionUninstaller;
  TestRecord local;  // trackShared in the installation folder: no count
  local.fileName = "t.dll";
  local.trackShared = 1;
  TestRecord readme;  // external: only its start-menu shortcut
  readme.fileName = "Readme.txt";
  readme.uninstallMode = kUninstallExternal;
  readme.groupName = "#Startup#";
  readme.menuName = "Setvik UI Readme";
  table = UseFileTable({main, data, shared, font, kept, skipped, self, local, readme});
  const uint16_t states[] = {25, 23, 23, 25, 25, 0, 0, 25, 0};
  for (uint32_t n = 0; n < 9; ++n) SetState(n, states[n]);
  lstrcpyA(SetupFilePath, (scratch + "setup.exe").c_str());
  name = "Setvik Uninstall Test";
  UninstallName = &name[0];

  WriteUninstallInfo();

  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string desktop = Special(CSIDL_DESKTOP);
  const Bytes log = Join({FilesChunk({{".", "app.exe", 0},
                                      {desktop, "Setvik UI Desk.lnk", 0},
                                      {".\\Data", "x.dat", 0x04},
                                      {windows, "shared.dll", 0x01},
                                      {Special(CSIDL_FONTS), "font.ttf", 0x03},
                                      {desktop, "Setvik UI Skipped.lnk", 0},
                                      {".", "t.dll", 0}}),
                          ShortcutsChunk({{Special(CSIDL_PROGRAMS) + "\\" + kGroup, "Setvik UI App.lnk"},
                                          {Special(CSIDL_STARTUP), "Setvik UI Readme.lnk"}}),
                          RegKeyChunk(kKeyPath), EndChunk()});
  EXPECT_EQ(ReadBytes(uninstaller), Hex(WithLog(log)));
  EXPECT_TRUE(FileExists(Special(CSIDL_PROGRAMS) + "\\" + kGroup + "\\Setvik UI App.lnk"));

  DWORD size = 0;
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kKeyPath, "DisplayName", &size), name);
  EXPECT_EQ(size, name.size() + 1);  // the terminator counted
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kKeyPath, "UninstallString"), "\"" + uninstaller + "\"");

  EXPECT_EQ(std::string(InstallDir), app + "\\");
  EXPECT_FALSE(InstallRunning);
}

TEST_F(UninstallInfoTest, FailedInstallationLeavesUninstallerKeyAndFolderAlone) {
  TestRecord main;
  main.fileName = "app.exe";
  main.groupName = kGroup;
  main.menuName = "Setvik UI App";
  table = UseFileTable({main});
  SetState(0, 25);
  name = "Setvik Uninstall Test";
  UninstallName = &name[0];
  SetupFlags = kSaveDirToRegistry | kSaveDirToIni;
  std::string key = "Software\\Setvik UninstTest", ini = scratch + "setvik.ini", section = "Setup", entry = "Dir";
  DirRegistryRoot = 1;
  DirRegistryKey = &key[0];
  DirIniFile = &ini[0];
  DirIniSection = &section[0];
  DirIniKey = &entry[0];
  InstallError = kInstallErrorCreate;
  InputHandle = FileOpen(uninstaller.c_str(), kFileRead);

  WriteUninstallInfo();

  EXPECT_EQ(InputHandle, kInvalidFile);
  EXPECT_EQ(ReadBytes(uninstaller), Hex(original));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKeyPath));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
  EXPECT_FALSE(FileExists(ini));
  EXPECT_FALSE(FileExists(Special(CSIDL_PROGRAMS) + "\\" + kGroup));
  EXPECT_FALSE(InstallRunning);
}

TEST_F(UninstallInfoTest, WithoutUninstallerShortcutsAndFolderStillComeButNoKey) {
  TestRecord main;
  main.fileName = "app.exe";
  main.groupName = kGroup;
  main.menuName = "Setvik UI App";
  table = UseFileTable({main});
  SetState(0, 25);
  UninstallerPath[0] = 0;
  name = "Setvik Uninstall Test";
  UninstallName = &name[0];
  SetupFlags = kSaveDirToRegistry;
  std::string key = "Software\\Setvik UninstTest";
  DirRegistryRoot = 1;
  DirRegistryKey = &key[0];
  SinglePage = 4;

  WriteUninstallInfo();

  EXPECT_TRUE(FileExists(Special(CSIDL_PROGRAMS) + "\\" + kGroup + "\\Setvik UI App.lnk"));
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, key, nullptr), app);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKeyPath));
  EXPECT_EQ(ReadBytes(uninstaller), Hex(original));
  EXPECT_FALSE(InstallRunning);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

TEST_F(UninstallInfoTest, FolderIsRememberedUnderEachRootAndInTheIniFile) {
  table = UseFileTable({});
  UninstallerPath[0] = 0;
  lstrcatA(InstallDir, "\\");  // saved without its trailing backslash
  struct Case {
    uint32_t root;
    HKEY expected;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {0, HKEY_CLASSES_ROOT, "Setvik UninstTest", "Folder"},
      {1, HKEY_CURRENT_USER, "Software\\Setvik UninstTest", "Folder"},
      {2, HKEY_LOCAL_MACHINE, "Software\\Setvik UninstTest", nullptr},  // the key's default value
      {3, HKEY_USERS, ".DEFAULT\\Software\\Setvik UninstTest", "Folder"},
      {9, HKEY_CURRENT_USER, "Software\\Setvik UninstTest9", "Folder"},  // any other root
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root);
    std::string key = c.key, value = c.value ? c.value : "";
    SetupFlags = kSaveDirToRegistry;
    DirRegistryRoot = c.root;
    DirRegistryKey = &key[0];
    DirRegistryValue = c.value ? &value[0] : nullptr;
    WriteUninstallInfo();
    DWORD size = 0;
    EXPECT_EQ(RegText(c.expected, key, DirRegistryValue, &size), app);
    EXPECT_EQ(size, app.size() + 1);
    EXPECT_EQ(std::string(InstallDir), app + "\\");
    RegDeleteKeyA(c.expected, key.c_str());
  }
  DirRegistryKey = DirRegistryValue = nullptr;

  std::string ini = scratch + "setvik.ini", section = "Setup", entry = "Dir";
  SetupFlags = kSaveDirToIni;
  DirIniFile = &ini[0];
  DirIniSection = &section[0];
  DirIniKey = nullptr;  // not all three present: nothing written
  WriteUninstallInfo();
  EXPECT_FALSE(FileExists(ini));
  DirIniKey = &entry[0];
  WriteUninstallInfo();
  // On disk at once, not only in the platform's cached copy.
  EXPECT_NE(ReadTextFile(ini).find("Dir=" + app), std::string::npos) << ReadTextFile(ini);
  char read[MAX_PATH] = "";
  GetPrivateProfileStringA("Setup", "Dir", "", read, MAX_PATH, ini.c_str());
  EXPECT_EQ(std::string(read), app);
}

TEST_F(UninstallInfoTest, OverlongNameGetsNeitherKeyNorChunk) {
  table = UseFileTable({});
  // 339 characters make a key of 391, the most the buffer holds; one more
  // is refused rather than cut.
  for (size_t length : {340u, 339u, 100u}) {
    SCOPED_TRACE(length);
    WriteTextFile(uninstaller, std::string(original.begin(), original.end()));
    name = std::string(length - 1, 'n') + "x";
    UninstallName = &name[0];
    WriteUninstallInfo();
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
    const bool made = KeyExists(HKEY_LOCAL_MACHINE, key);
    if (length == 340) EXPECT_FALSE(made);
    if (length == 100) EXPECT_TRUE(made);
    // Whatever the registry allows, the log names the key exactly when it exists.
    const Bytes log = made ? Join({FilesChunk({}), RegKeyChunk(key), EndChunk()}) : Join({FilesChunk({}), EndChunk()});
    EXPECT_EQ(ReadBytes(uninstaller), Hex(WithLog(log)));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  }
}

TEST_F(UninstallInfoTest, ShortcutListStandsWhenTheTableNamesOneThatCannotBeMade) {
  TestRecord main;  // kept at uninstall; its shortcut name does not fit a path
  main.fileName = "app.exe";
  main.uninstallMode = kUninstallKeep;
  main.groupName = kGroup;
  main.menuName = std::string(300, 'm');
  table = UseFileTable({main});
  SetState(0, 25);
  WriteUninstallInfo();
  EXPECT_EQ(ReadBytes(uninstaller), Hex(WithLog(Join({FilesChunk({}), ShortcutsChunk({}), EndChunk()}))));
}

TEST_F(UninstallInfoTest, UninstallerWithoutFreeHeaderIsNotWrittenTo) {
  TestRecord main;
  main.fileName = "app.exe";
  table = UseFileTable({main});
  SetState(0, 25);
  const std::string program = "MZ a program that ends with its own bytes";
  WriteTextFile(uninstaller, program);
  name = "Setvik Uninstall Test";
  UninstallName = &name[0];
  WriteUninstallInfo();
  EXPECT_EQ(ReadTextFile(uninstaller), program);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKeyPath));  // as when the file cannot be opened

  WriteTextFile(uninstaller, "MZ");  // shorter than a header
  WriteUninstallInfo();
  EXPECT_EQ(ReadTextFile(uninstaller), "MZ");
}

TEST_F(UninstallInfoTest, FailedLogIsTakenBackToTheFreeHeader) {
  // A log cut off after part of its first entry.
  const char partial[] = "\x35\x12\0\0\x20\0\0\0\x03\0\0\0\x01\0.\x07\0app";
  const FileHandle log = FileOpen(uninstaller.c_str(), kFileReadWrite);
  const uint32_t oldLength = FileSeekEnd(log, 0);
  FileSeekTo(log, oldLength - kChunkHeaderSize);
  FileWrite(log, partial, sizeof partial - 1);
  TakeBackLog(log, oldLength);
  FileClose(log);
  EXPECT_EQ(ReadBytes(uninstaller), Hex(original));
}

}  // namespace
