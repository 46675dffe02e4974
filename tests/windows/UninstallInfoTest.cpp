// The end of an installation against real files, shortcuts and registry
// keys: the log appended to an uninstaller file that ends with the free
// header, read back with the uninstaller's own reader; the Uninstall key;
// the remembered folder (saved and proposed for real in
// tests/wine/uninstall-e2e.sh); what a failed installation leaves behind.
#include "install/InstallStep.h"
#include "install/UninstallInfo.h"
#include "setupdata/Paths.h"
#include "setupdata/VolumeReader.h"
#include "tests/windows/PathBuffersTest.h"
#include "uninstlog/UninstallLog.h"

namespace {

typedef std::vector<std::string> Entries;

const std::string kKeyPath = std::string(kUninstallKeyPrefix) + "Setvik Uninstall Test";
const char kGroup[] = "Setvik UI Test";
const char kSavedKey[] = "Software\\Setvik UninstTest";
const std::string kProgram = "MZ the uninstaller's own bytes";
const std::string kOriginal = kProgram + std::string("\x7F\x7F\0\0\0\0\0\0", 8);
const std::string kKeyEntry = "K " + std::to_string(kLogRegistryRoot) + "|" + kUninstallKeyPrefix;

// An Uninstall key as made: always with its DisplayName.
bool KeyExists(const std::string& key) { return RegValue(HKEY_LOCAL_MACHINE, key, "DisplayName") != "(absent)"; }

std::string Text(LogText text) { return std::string(text.text, text.length); }
void Note(void* entries, const std::string& entry) { static_cast<Entries*>(entries)->push_back(entry); }

// The entries of the log written after the program's bytes, as the
// uninstaller's reader reports them: "F folder|name|flags", "S folder|name",
// "K root|key"; "(free)" for the file as it was installed.
Entries LogEntries(const std::string& file) {
  if (file == kOriginal) return {"(free)"};
  if (file.compare(0, kProgram.size(), kProgram)) return {"(program changed)"};
  Entries entries;
  const UninstallLogVisitor visitor = {
      &entries,
      [](void* to, LogText folder, LogText name, uint8_t flags) {
        Note(to, "F " + Text(folder) + "|" + Text(name) + "|" + std::to_string(flags));
      },
      [](void* to, LogText folder, LogText name) { Note(to, "S " + Text(folder) + "|" + Text(name)); },
      [](void* to, uint32_t root, LogText key) { Note(to, "K " + std::to_string(root) + "|" + Text(key)); }};
  const UninstallLogStatus status = ReadUninstallLog(reinterpret_cast<const uint8_t*>(&file[kProgram.size()]),
                                                     static_cast<uint32_t>(file.size() - kProgram.size()), &visitor);
  return status == kLogValid ? entries : Entries{"(refused " + std::to_string(status) + ")"};
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
    uninstaller = WriteTextFile(app + "\\uninst.exe", kOriginal);
    lstrcpyA(UninstallerPath, uninstaller.c_str());
    InstallError = 0;
    InstallRunning = true;
    SetupFlags = 0;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyPath.c_str());
  }
  void TearDown() override {
    if (InputHandle != kInvalidFile) FileClose(InputHandle);
    InputHandle = kInvalidFile;
    UninstallName = nullptr;
    SetupFlags = 0;
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
  Entries Logged() { return LogEntries(ReadTextFile(uninstaller)); }

  std::string scratch, app, uninstaller, name;
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
  std::string key = kSavedKey;
  DirRegistryRoot = 1;
  DirRegistryKey = &key[0];
  SetupFlags = kSaveDirToRegistry;

  // A failed installation leaves the uninstaller, the key, the remembered
  // folder and the shortcuts alone, and closes the setup file. (Without an
  // uninstaller the shortcuts still come: tests/wine/install-files.sh.)
  InstallError = kInstallErrorCreate;
  InputHandle = FileOpen(uninstaller.c_str(), kFileRead);
  WriteUninstallInfo();
  EXPECT_EQ(InputHandle, kInvalidFile);
  EXPECT_EQ(Logged(), Entries{"(free)"});
  EXPECT_FALSE(KeyExists(kKeyPath) || FileExists(SpecialFolder(CSIDL_PROGRAMS) + "\\" + kGroup));
  EXPECT_EQ(RegValue(HKEY_CURRENT_USER, key, nullptr), "(absent)");
  EXPECT_FALSE(InstallRunning);

  InstallError = 0;
  InstallRunning = true;
  WriteUninstallInfo();

  const std::string desktop = SpecialFolder(CSIDL_DESKTOP);
  EXPECT_EQ(Logged(), (Entries{"F .|app.exe|0", "F " + desktop + "|Setvik UI Desk.lnk|0", "F .\\Data|x.dat|4",
                               "F " + SpecialFolder(CSIDL_WINDOWS) + "|shared.dll|1",
                               "F " + SpecialFolder(CSIDL_FONTS) + "|font.ttf|3",
                               "F " + desktop + "|Setvik UI Skipped.lnk|0", "F .|t.dll|0",
                               "S " + SpecialFolder(CSIDL_PROGRAMS) + "\\" + kGroup + "|Setvik UI App.lnk",
                               "S " + SpecialFolder(CSIDL_STARTUP) + "|Setvik UI Readme.lnk",
                               kKeyEntry + "Setvik Uninstall Test"}));
  EXPECT_TRUE(FileExists(SpecialFolder(CSIDL_PROGRAMS) + "\\" + kGroup + "\\Setvik UI App.lnk"));
  DWORD type = 0;
  EXPECT_EQ(RegValue(HKEY_LOCAL_MACHINE, kKeyPath, "DisplayName", &type), name + '\0');  // the terminator counted
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(RegValue(HKEY_LOCAL_MACHINE, kKeyPath, "UninstallString"), "\"" + uninstaller + "\"" + '\0');
  EXPECT_EQ(RegValue(HKEY_CURRENT_USER, key, nullptr), app + '\0');  // without its backslash
  EXPECT_EQ(std::string(InstallDir), app + "\\");
  EXPECT_FALSE(InstallRunning);
}

// 340 characters would make a key of 392, one more than the buffer holds:
// refused rather than cut, and the log then names no key. An uninstaller
// without the free header is not written to; the key is made all the same.
TEST_F(UninstallInfoTest, KeyOnlyWhenItFitsAndLogOnlyOverTheFreeHeader) {
  table.Set({});
  UseName(std::string(340, 'n'));
  WriteUninstallInfo();
  EXPECT_EQ(Logged(), Entries{});
  EXPECT_FALSE(KeyExists(kUninstallKeyPrefix + name));
  const std::string changed = "MZ a program that ends with its own bytes";
  WriteTextFile(uninstaller, changed);
  UseName("Setvik Uninstall Test");
  WriteUninstallInfo();
  EXPECT_EQ(ReadTextFile(uninstaller), changed);
  EXPECT_TRUE(KeyExists(kKeyPath));
}

}  // namespace
