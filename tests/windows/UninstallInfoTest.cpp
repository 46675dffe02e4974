// The end of an installation against real files, shortcuts and registry
// keys: the log appended to an uninstaller file that ends with the free
// header, compared byte for byte with what the file table implies; the
// Uninstall key; the remembered folder (saved and proposed for real in
// tests/wine/uninstall-e2e.sh); and what a failed installation, a table
// without uninstaller and an overlong UninstallName leave behind.
#include "install/InstallStep.h"
#include "install/UninstallInfo.h"
#include "setupdata/Paths.h"
#include "setupdata/VolumeReader.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

typedef std::vector<uint8_t> Bytes;

const char kUninstallKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kKeyPath = std::string(kUninstallKeys) + "Setvik Uninstall Test";
const char kGroup[] = "Setvik UI Test";
const char kSavedKey[] = "Software\\Setvik UninstTest";

bool KeyExists(const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

// The bytes as hex pairs, so that a difference shows where it lies.
std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) out += std::string{"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15], ' '};
  return out;
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
    original = std::string("MZ the uninstaller's own bytes") + std::string("\x7F\x7F\0\0\0\0\0\0", 8);
    WriteTextFile(uninstaller, original);
    lstrcpyA(UninstallerPath, uninstaller.c_str());
    InstallError = 0;
    InstallRunning = true;
    SinglePage = kSinglePageAbsent;
    SetupFlags = 0;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyPath.c_str());
  }
  void TearDown() override {
    if (InputHandle != kInvalidFile) FileClose(InputHandle);
    InputHandle = kInvalidFile;
    UninstallName = nullptr;
    SetupFlags = 0;
    SinglePage = kSinglePageAbsent;
    InstallError = 0;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyPath.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kSavedKey);
    SetCurrentDirectoryA("C:\\");
    RemoveTree(SpecialFolder(CSIDL_PROGRAMS) + "\\" + kGroup);
    DeleteFileA((SpecialFolder(CSIDL_STARTUP) + "\\Setvik UI Readme.lnk").c_str());
    RemoveTree(scratch);
    CoUninitialize();
    PathBuffersTest::TearDown();
  }
  // A table of records, each installed in the given state.
  void UseTable(const std::vector<TestRecord>& records, std::vector<uint16_t> states) {
    table.Set(records);
    for (uint32_t n = 0; n < states.size(); ++n) WriteU16Le(table.Record(n) + FileRecordField::installState, states[n]);
  }
  void UseName(const std::string& text) {
    name = text;
    UninstallName = &name[0];
  }
  // The uninstaller as installed, without its free header, then the log.
  std::string WithLog(const LogBuilder& log) {
    const Bytes bytes = log.Bytes();
    return Hex(original.substr(0, original.size() - 8) + std::string(bytes.begin(), bytes.end()));
  }
  std::string Uninstaller() { return Hex(ReadTextFile(uninstaller)); }

  std::string scratch, app, uninstaller, original, name;
  TestFileTable table;
};

TEST_F(UninstallInfoTest, LogHoldsWhatTheTableImpliesAndTheKeyIsMade) {
  TestRecord main = Named("app.exe");  // installed new, with both shortcuts
  main.groupName = kGroup;
  main.menuName = "Setvik UI App";
  main.desktopName = "Setvik UI Desk";
  TestRecord data = Named("Data\\x.dat");  // a self-registering module in a sub-folder
  data.registerKind = kRegisterSelf;
  TestRecord shared = Named("shared.dll");  // a counted file in the Windows folder
  shared.destinationKind = kDestWindows;
  shared.trackShared = 1;
  TestRecord font = Named("font.ttf");  // a counted font
  font.destinationKind = kDestFonts;
  font.trackShared = 1;
  TestRecord kept = Named("keep.txt");  // stays at uninstall
  kept.uninstallMode = kUninstallKeep;
  TestRecord skipped = Named("skipped.txt");  // not written, but its desktop shortcut is recorded
  skipped.desktopName = "Setvik UI Skipped";
  TestRecord self = Named("uninst.exe");  // the uninstaller: state back at 0
  self.optionFlags = kOptionUninstaller;
  TestRecord local = Named("t.dll");  // trackShared in the installation folder: no count
  local.trackShared = 1;
  TestRecord readme = Named("Readme.txt");  // external: only its start-menu shortcut
  readme.uninstallMode = kUninstallExternal;
  readme.groupName = "#Startup#";
  readme.menuName = "Setvik UI Readme";
  UseTable({main, data, shared, font, kept, skipped, self, local, readme}, {25, 23, 23, 25, 25, 0, 0, 25, 0});
  lstrcpyA(SetupFilePath, (scratch + "setup.exe").c_str());
  UseName("Setvik Uninstall Test");

  WriteUninstallInfo();

  const std::string desktop = SpecialFolder(CSIDL_DESKTOP);
  EXPECT_EQ(Uninstaller(), WithLog(LogBuilder()
                                       .File(".", "app.exe", 0)
                                       .File(desktop, "Setvik UI Desk.lnk", 0)
                                       .File(".\\Data", "x.dat", 0x04)
                                       .File(SpecialFolder(CSIDL_WINDOWS), "shared.dll", 0x01)
                                       .File(SpecialFolder(CSIDL_FONTS), "font.ttf", 0x03)
                                       .File(desktop, "Setvik UI Skipped.lnk", 0)
                                       .File(".", "t.dll", 0)
                                       .Shortcut(SpecialFolder(CSIDL_PROGRAMS) + "\\" + kGroup, "Setvik UI App.lnk")
                                       .Shortcut(SpecialFolder(CSIDL_STARTUP), "Setvik UI Readme.lnk")
                                       .Key(kKeyPath)));
  EXPECT_TRUE(FileExists(SpecialFolder(CSIDL_PROGRAMS) + "\\" + kGroup + "\\Setvik UI App.lnk"));
  DWORD type = 0;
  EXPECT_EQ(RegValue(HKEY_LOCAL_MACHINE, kKeyPath, "DisplayName", &type), name + '\0');  // the terminator counted
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(RegValue(HKEY_LOCAL_MACHINE, kKeyPath, "UninstallString"), "\"" + uninstaller + "\"" + '\0');
  EXPECT_EQ(std::string(InstallDir), app + "\\");
  EXPECT_FALSE(InstallRunning);
}

// A failed installation leaves the uninstaller, the key, the remembered
// folder and the shortcuts alone (and closes the setup file); without an
// uninstaller the shortcuts and the folder still come, but no key.
TEST_F(UninstallInfoTest, FailedOrWithoutUninstaller) {
  for (bool failed : {true, false}) {
    SCOPED_TRACE(failed ? "failed" : "no uninstaller");
    InstallRunning = true;
    TestRecord main = Named("app.exe");
    main.groupName = kGroup;
    main.menuName = "Setvik UI App";
    UseTable({main}, {kStateInstalled});
    UseName("Setvik Uninstall Test");
    SetupFlags = kSaveDirToRegistry | kSaveDirToIni;
    std::string key = kSavedKey, ini = scratch + "setvik.ini", section = "Setup", entry = "Dir";
    DirRegistryRoot = 1;
    DirRegistryKey = &key[0];
    DirIniFile = &ini[0];
    DirIniSection = &section[0];
    DirIniKey = &entry[0];
    if (failed) {
      InstallError = kInstallErrorCreate;
      InputHandle = FileOpen(uninstaller.c_str(), kFileRead);
    } else {
      InstallError = 0;
      UninstallerPath[0] = 0;
      SinglePage = 4;
    }
    WriteUninstallInfo();
    EXPECT_EQ(InputHandle, kInvalidFile);
    EXPECT_EQ(Uninstaller(), Hex(original));
    EXPECT_FALSE(KeyExists(kKeyPath));
    EXPECT_EQ(RegValue(HKEY_CURRENT_USER, key, nullptr), failed ? "(absent)" : app + '\0');
    EXPECT_EQ(FileExists(ini), !failed);
    const std::string group = SpecialFolder(CSIDL_PROGRAMS) + "\\" + kGroup;
    EXPECT_EQ(FileExists(failed ? group : group + "\\Setvik UI App.lnk"), !failed);
    EXPECT_FALSE(InstallRunning);
  }
}

TEST_F(UninstallInfoTest, LogsThatStandWithoutKeyShortcutOrFreeHeader) {
  table.Set({});
  // 339 characters make a key of 391, the most the buffer holds; one more
  // is refused rather than cut, and the log then names no key.
  for (size_t length : {340u, 100u}) {
    SCOPED_TRACE(length);
    WriteTextFile(uninstaller, original);
    UseName(std::string(length - 1, 'n') + "x");
    WriteUninstallInfo();
    const std::string key = kUninstallKeys + name;
    const bool made = KeyExists(key);
    EXPECT_EQ(Uninstaller(), WithLog(made ? LogBuilder().Key(key) : LogBuilder()));
    EXPECT_EQ(made, length == 100);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  }
  UninstallName = nullptr;

  // An uninstaller without the free header is not written to; the key is
  // made as when the file cannot be opened.
  UseTable({Named("app.exe")}, {kStateInstalled});
  UseName("Setvik Uninstall Test");
  WriteTextFile(uninstaller, "MZ a program that ends with its own bytes");
  WriteUninstallInfo();
  EXPECT_EQ(ReadTextFile(uninstaller), "MZ a program that ends with its own bytes");
  EXPECT_TRUE(KeyExists(kKeyPath));
}

TEST_F(UninstallInfoTest, FailedLogIsTakenBackToTheFreeHeader) {
  const char partial[] = "\x35\x12\0\0\x20\0\0\0\x03\0\0\0\x01\0.\x07\0app";  // cut inside the first entry
  const FileHandle log = FileOpen(uninstaller.c_str(), kFileReadWrite);
  const uint32_t oldLength = FileSeekEnd(log, 0);
  FileSeekTo(log, oldLength - kChunkHeaderSize);
  FileWrite(log, partial, sizeof partial - 1);
  TakeBackLog(log, oldLength);
  FileClose(log);
  EXPECT_EQ(Uninstaller(), Hex(original));
}

}  // namespace
