// The installation loop against real files: a setup file written by the
// test (some leading bytes, then the file data: u32 size and one stored
// stream per record, 0F LEN-lo LEN-hi bytes), installed into a scratch
// folder. Questions are answered through the scripted ShowMessage.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/Message.h"
#include "base/ScheduleAtRestart.h"
#include "install/InstallStep.h"
#include "setupdata/FileRecord.h"
#include "setupdata/VolumeReader.h"
#include "tests/windows/FileTableBuilder.h"
#include "tests/windows/InstallTestSupport.h"
#include "tests/windows/MessageScript.h"

namespace {

// The view of the installation: the progress values it was given noted.
std::vector<uint32_t> ProgressValues;
void NoteFile(const char*) {}
void NoteProgress(uint32_t percent) { ProgressValues.push_back(percent); }
const InstallView kTestView = {NoteFile, NoteProgress, nullptr};

struct Entry {
  std::string fileName;
  std::string content;
  uint8_t optionFlags = 0;
  uint8_t destinationKind = kDestInstallDir;
  uint8_t uninstallMode = kUninstallRemove;
  uint8_t launchRole = kLaunchNone;
  bool damaged = false;  // the stream holds other bytes than the checksum says
};

const uint32_t kLeadingBytes = 16;

class InstallStepTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    folder = MakeScratch("setvik-install-step");
    lstrcpynA(InstallDir, folder.c_str(), kPathBufferSize);
    lstrcpynA(SetupFilePath, (folder + "setup.bin").c_str(), kPathBufferSize);
    texts.assign(2, 0);
    for (int i = 0; i <= 22; ++i) {
      const std::string text = i == 22 ? "Busy: %s" : "";
      texts.insert(texts.end(), text.begin(), text.end());
      texts.push_back(0);
    }
    texts[0] = 23;
    TextGroups[kTextGroupMessages] = texts.data();
    TextGroupSizes[kTextGroupMessages] = static_cast<uint32_t>(texts.size());
    ShownMessages.clear();
    ScriptedAnswers.clear();
    ProgressValues.clear();
    LaunchRecord = RunAfterRecord = ScreenSaverRecord = nullptr;
    RestartNeeded = false;
    IsNT = true;
  }
  void TearDown() override {
    if (InputHandle != kInvalidFile) FileClose(InputHandle);
    InputHandle = kInvalidFile;
    Release();
    TextGroups[kTextGroupMessages] = nullptr;
    TextGroupSizes[kTextGroupMessages] = 0;
    LaunchRecord = RunAfterRecord = nullptr;
    ScriptedAnswers.clear();
    TestFileTable::Clear();
    PathBuffersTest::TearDown();
    ClearAttributes(folder);
    RemoveTree(folder.substr(0, folder.size() - 1));
  }
  static void ClearAttributes(const std::string& in) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((in + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        ClearAttributes(in + name + "\\");
      else
        SetFileAttributesA((in + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }

  // The file table and the setup file for entries; the loader's values set
  // as it would set them.
  void Prepare(const std::vector<Entry>& entries) {
    std::vector<TestRecord> records;
    std::string data;
    for (const Entry& entry : entries) {
      TestRecord record;
      record.fileName = entry.fileName;
      record.fileSize = static_cast<uint32_t>(entry.content.size());
      record.optionFlags = entry.optionFlags;
      record.destinationKind = entry.destinationKind;
      record.uninstallMode = entry.uninstallMode;
      record.contentChecksum = CombineIntegrityKey(
          ContentChecksum(0, reinterpret_cast<const uint8_t*>(entry.content.data()), record.fileSize));
      records.push_back(record);
      if (entry.uninstallMode == kUninstallExternal) continue;
      std::string stored = entry.content;
      if (entry.damaged) stored[0] ^= 1;
      data += '\x0F';
      data += static_cast<char>(stored.size() & 0xFF);
      data += static_cast<char>(stored.size() >> 8);
      data += stored;
    }
    table.Set(records);
    for (uint32_t n = 0; n < entries.size(); ++n) {
      uint8_t* record = table.Record(n);
      record[FileRecordField::launchRole] = entries[n].launchRole;
      const bool external = entries[n].uninstallMode == kUninstallExternal;
      WriteU32Le(record + FileRecordField::packedSize,
                 external ? 0 : 3 + static_cast<uint32_t>(entries[n].content.size()));
    }
    std::string setup(kLeadingBytes, 'x');
    for (int i = 0; i < 4; ++i) setup += static_cast<char>(data.size() >> (8 * i));
    WriteTextFile(SetupFilePath, setup + data);
    FileDataOffset = kLeadingBytes;
    FileDataSize = VolumeDataSize = VolumeBytesLeft = static_cast<uint32_t>(data.size());
  }
  // Steps until one returns false; the number of steps that returned true.
  int RunSteps() {
    EXPECT_TRUE(StartInstallation(&kTestView));
    int steps = 0;
    while (InstallNextFile()) ++steps;
    return steps;
  }
  uint16_t State(uint32_t n) { return ReadU16Le(table.Record(n) + FileRecordField::installState); }
  uint32_t StoredChecksum(uint32_t n) { return ReadU32Le(table.Record(n) + FileRecordField::contentChecksum); }
  // Holds path open as another program would, sharing only what share says.
  void Hold(const std::string& path, DWORD share) {
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << path;
    heldFiles.push_back(held);
  }
  // Lets go of the held files (which the test itself could not read).
  void Release() {
    for (HANDLE held : heldFiles) CloseHandle(held);
    heldFiles.clear();
    for (HMODULE module : loadedModules) FreeLibrary(module);
    loadedModules.clear();
  }
  // A target is busy in one of two ways: held open without sharing, or
  // mapped as a program's module, which the NT family lets a program rename
  // but not delete.
  enum BusyWay { kHeldOpen, kLoadedModule };
  void MakeBusy(const std::string& path, BusyWay way) {
    if (way == kHeldOpen) return Hold(path, 0);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(module, nullptr) << path;
    loadedModules.push_back(module);
    ASSERT_FALSE(DeleteFileA(path.c_str())) << "the system deletes a loaded module";
  }
  // A copy of this test program at path, which can be loaded as a module;
  // its bytes.
  std::string WriteProgramCopy(const std::string& path) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    CopyFileA(self, path.c_str(), FALSE);
    return ReadTextFile(path);
  }
  // Names of the files left in in that contain ".$$".
  std::vector<std::string> TemporaryFiles(const std::string& in) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((in + "*.$$?").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
  }

  std::string folder;
  std::vector<uint8_t> texts;
  TestFileTable table;
  std::vector<HANDLE> heldFiles;
  std::vector<HMODULE> loadedModules;
};

// The pending renames that the NT family keeps for the next restart.
const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

std::string PendingRenames() {
  HKEY key;
  std::string value;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key)) return value;
  DWORD size = 0;
  if (!RegQueryValueExA(key, kPendingRenames, nullptr, nullptr, nullptr, &size) && size) {
    value.resize(size);
    RegQueryValueExA(key, kPendingRenames, nullptr, nullptr, reinterpret_cast<BYTE*>(&value[0]), &size);
  }
  RegCloseKey(key);
  return value;
}

void RestorePendingRenames(const std::string& value) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key)) return;
  if (value.empty())
    RegDeleteValueA(key, kPendingRenames);
  else
    RegSetValueExA(key, kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(value.data()),
                   static_cast<DWORD>(value.size()));
  RegCloseKey(key);
}

TEST_F(InstallStepTest, CleanInstallIntoSubFolders) {
  WriteTextFile(folder + "old.txt", "the old content");
  Entry external;
  external.fileName = "beside.txt";
  external.uninstallMode = kUninstallExternal;
  external.launchRole = kLaunchFinishButton;
  // An uninstaller below the installation folder would take its own
  // folder for the log's "."; only the one directly in it gets the log.
  Entry uninstaller;
  uninstaller.fileName = "bin\\uninstall.exe";
  uninstaller.content = "uninstaller";
  uninstaller.optionFlags = kOptionUninstaller;
  Entry logKeeper = uninstaller;
  logKeeper.fileName = "uninstall.exe";
  Entry runAfter;
  runAfter.fileName = "sub\\deeper\\README";
  runAfter.content = std::string(5000, 'r');
  runAfter.launchRole = kLaunchRunAfter;
  Prepare({{"old.txt", "new content, longer than the old one"}, {"sub\\b.dat", "bee"}, runAfter,
           {"tools.new\\README", ""}, external, uninstaller, logKeeper});
  const std::string pending = PendingRenames();

  EXPECT_EQ(RunSteps(), 7);
  EXPECT_EQ(InstallError, 0);
  EXPECT_TRUE(InstallRunning);
  EXPECT_EQ(ReadTextFile(folder + "old.txt"), "new content, longer than the old one");
  EXPECT_EQ(ReadTextFile(folder + "sub\\b.dat"), "bee");
  EXPECT_EQ(ReadTextFile(folder + "sub\\deeper\\README"), runAfter.content);
  EXPECT_TRUE(FileExists(folder + "tools.new\\README"));
  EXPECT_EQ(ReadTextFile(folder + "bin\\uninstall.exe"), "uninstaller");
  EXPECT_FALSE(FileExists(folder + "beside.txt"));
  // Replaced, new, new, new, external, uninstallers.
  const uint16_t states[] = {kStateReplaced, kStateInstalled, kStateInstalled, kStateInstalled,
                             kStateNone,     kStateNone,      kStateNone};
  for (uint32_t n = 0; n < 7; ++n) EXPECT_EQ(State(n), states[n]) << n;
  EXPECT_EQ(StoredChecksum(1), CombineIntegrityKey(ContentChecksum(0, reinterpret_cast<const uint8_t*>("bee"), 3)));
  EXPECT_EQ(std::string(UninstallerPath), folder + "uninstall.exe");
  EXPECT_EQ(LaunchRecord, table.Record(4));
  EXPECT_EQ(RunAfterRecord, table.Record(2));
  EXPECT_EQ(ProgressValues, (std::vector<uint32_t>{14, 28, 42, 57, 71, 85, 100}));
  for (const char* in : {"", "sub\\", "sub\\deeper\\", "tools.new\\", "bin\\"})
    EXPECT_TRUE(TemporaryFiles(folder + in).empty()) << in;
  // The input was read exactly to its end.
  EXPECT_EQ(FileTell(InputHandle), kLeadingBytes + 4 + FileDataSize);
  EXPECT_FALSE(RestartNeeded);
  // Nothing waits for a restart: a new file sets nothing aside.
  EXPECT_EQ(PendingRenames(), pending);
}

TEST_F(InstallStepTest, FolderInTheWayIsAnError) {
  CreateDirectoryA((folder + "dir.txt").c_str(), nullptr);
  WriteTextFile(folder + "dir.txt\\inside.txt", "the user's");
  Prepare({{"dir.txt", "a file"}, {"later.txt", "not reached"}});
  EXPECT_EQ(RunSteps(), 0);
  EXPECT_EQ(InstallError, kInstallErrorCreate);
  EXPECT_EQ(std::string(ErrorFileName), folder + "dir.txt");
  EXPECT_EQ(ReadTextFile(folder + "dir.txt\\inside.txt"), "the user's");
  EXPECT_TRUE(TemporaryFiles(folder).empty());
  EXPECT_FALSE(FileExists(folder + "later.txt"));
}

TEST_F(InstallStepTest, StartAndEmptyTable) {
  Prepare({});
  EXPECT_TRUE(StartInstallation(&kTestView));
  EXPECT_FALSE(InstallNextFile());
  EXPECT_EQ(InstallError, 0);
  FileClose(InputHandle);
  InputHandle = kInvalidFile;

  lstrcpynA(SetupFilePath, (folder + "missing.bin").c_str(), kPathBufferSize);
  EXPECT_FALSE(StartInstallation(&kTestView));
  EXPECT_EQ(InstallError, kInstallErrorOpen);
  EXPECT_EQ(std::string(ErrorFileName), folder + "missing.bin");
}

TEST_F(InstallStepTest, TemporaryNamesAlreadyTaken) {
  // Targets that exist are replaced through a temporary file. .$$A and
  // .$$B exist: the file goes through .$$C and both stay as they were.
  WriteTextFile(folder + "a.txt", "old");
  WriteTextFile(folder + "a.$$A", "keep A");
  WriteTextFile(folder + "a.$$B", "keep B");
  // A locked .$$A counts as free; creating it fails (17). Its name shows
  // the extension rule: appended after a dotted folder. The program that
  // holds it lets others delete it, but the step does not: it is not its
  // file.
  CreateDirectoryA((folder + "tools.new").c_str(), nullptr);
  WriteTextFile(folder + "tools.new\\README", "old");
  WriteTextFile(folder + "tools.new\\README.$$A", "locked");
  Hold(folder + "tools.new\\README.$$A", FILE_SHARE_DELETE);
  Prepare({{"a.txt", "the file"}, {"tools.new\\README", "never"}, {"later.txt", "not reached"}});

  EXPECT_EQ(RunSteps(), 1);
  EXPECT_EQ(ReadTextFile(folder + "a.txt"), "the file");
  EXPECT_EQ(ReadTextFile(folder + "a.$$A"), "keep A");
  EXPECT_EQ(ReadTextFile(folder + "a.$$B"), "keep B");
  EXPECT_FALSE(FileExists(folder + "a.$$C"));
  EXPECT_EQ(InstallError, kInstallErrorCreate);
  EXPECT_EQ(std::string(ErrorFileName), folder + "tools.new\\README.$$A");
  EXPECT_EQ(ReadTextFile(folder + "tools.new\\README"), "old");
  EXPECT_FALSE(FileExists(folder + "later.txt"));
  EXPECT_FALSE(InstallNextFile());
  Release();
  EXPECT_EQ(ReadTextFile(folder + "tools.new\\README.$$A"), "locked");
}

TEST_F(InstallStepTest, TargetPathThatDoesNotFitIsRefused) {
  // The folder leaves room for "some.configuration" but not for ".txt":
  // the cut path would still take a temporary name. The step refuses it
  // (17, the cut path named) and writes nothing.
  const std::string longFolder = folder + std::string(262 - folder.size() - 22, 'p');
  ASSERT_TRUE(CreateDirectoryA(longFolder.c_str(), nullptr));
  lstrcpynA(InstallDir, longFolder.c_str(), kPathBufferSize);
  Prepare({{"some.configuration.txt", "the file"}});
  EXPECT_EQ(RunSteps(), 0);
  EXPECT_EQ(InstallError, kInstallErrorCreate);
  EXPECT_EQ(std::string(ErrorFileName), longFolder + "\\some.configuration");
  EXPECT_FALSE(FileExists(longFolder + "\\some.configuration"));
  EXPECT_TRUE(TemporaryFiles(longFolder + "\\").empty());
  RemoveDirectoryA(longFolder.c_str());
}

TEST_F(InstallStepTest, ReadOnlyTargetIsReplacedAndStaysReadOnly) {
  WriteTextFile(folder + "ro.txt", "old");
  SetFileAttributesA((folder + "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  Prepare({{"ro.txt", "new and read-only"}});
  EXPECT_EQ(RunSteps(), 1);
  EXPECT_EQ(ReadTextFile(folder + "ro.txt"), "new and read-only");
  EXPECT_TRUE(GetFileAttributesA((folder + "ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(State(0), kStateReplaced);
  EXPECT_TRUE(TemporaryFiles(folder).empty());
}

TEST_F(InstallStepTest, DamagedStreamLeavesTargetAlone) {
  WriteTextFile(folder + "d.txt", "old");
  Entry damaged{"d.txt", "content that the checksum expects"};
  damaged.damaged = true;
  Prepare({damaged, {"next.txt", "not reached"}});
  const uint32_t stored = StoredChecksum(0);
  EXPECT_EQ(RunSteps(), 0);
  EXPECT_EQ(InstallError, kInstallErrorChecksum);
  EXPECT_EQ(std::string(ErrorFileName), folder + "d.txt");
  EXPECT_EQ(ReadTextFile(folder + "d.txt"), "old");
  EXPECT_TRUE(TemporaryFiles(folder).empty());
  EXPECT_FALSE(FileExists(folder + "next.txt"));
  EXPECT_EQ(StoredChecksum(0), stored);
  // A new target, written under its own name, is gone again.
  FileClose(InputHandle);
  InputHandle = kInvalidFile;
  damaged.fileName = "new.txt";
  Prepare({damaged});
  EXPECT_EQ(RunSteps(), 0);
  EXPECT_EQ(InstallError, kInstallErrorChecksum);
  EXPECT_FALSE(FileExists(folder + "new.txt"));
}

TEST_F(InstallStepTest, BusyTargetAbortRetryIgnore) {
  const std::string busy = folder + "busy.dll";
  for (BusyWay way : {kHeldOpen, kLoadedModule}) {
    SCOPED_TRACE(way == kHeldOpen ? "held open" : "loaded module");
    const std::string old = WriteProgramCopy(busy);
    MakeBusy(busy, way);
    // Abort: error 22, nothing changed, the temporary file gone.
    ShownMessages.clear();
    ScriptedAnswers = {kAnswerAbort};
    Prepare({{"busy.dll", "new"}});
    EXPECT_EQ(RunSteps(), 0);
    EXPECT_EQ(InstallError, kInstallErrorAbort);
    EXPECT_EQ(std::string(ErrorFileName), busy);
    ASSERT_EQ(ShownMessages.size(), 1u);
    EXPECT_EQ(ShownMessages[0].text, "Busy: " + busy);
    EXPECT_EQ(ShownMessages[0].boxType, 2u);
    EXPECT_TRUE(TemporaryFiles(folder).empty());
    FileClose(InputHandle);
    InputHandle = kInvalidFile;

    // Retry, then Ignore: asked twice, the old file stays, counted as
    // replaced, and the loop goes on.
    ShownMessages.clear();
    ScriptedAnswers = {kAnswerRetry, kAnswerIgnore};
    Prepare({{"busy.dll", "new"}, {"after.txt", "after"}});
    EXPECT_EQ(RunSteps(), 2);
    EXPECT_EQ(ShownMessages.size(), 2u);
    EXPECT_TRUE(ScriptedAnswers.empty());
    EXPECT_EQ(State(0), kStateReplaced);
    EXPECT_EQ(ReadTextFile(folder + "after.txt"), "after");
    EXPECT_TRUE(TemporaryFiles(folder).empty());
    FileClose(InputHandle);
    InputHandle = kInvalidFile;
    Release();
    EXPECT_TRUE(ReadTextFile(busy) == old);
    DeleteFileA(busy.c_str());
  }
}

TEST_F(InstallStepTest, BusyTargetWithTheSameContentAsksNothing) {
  WriteTextFile(folder + "same.txt", "same content");
  Hold(folder + "same.txt", FILE_SHARE_READ);
  Prepare({{"same.txt", "same content"}});
  EXPECT_EQ(RunSteps(), 1);
  EXPECT_TRUE(ShownMessages.empty());
  EXPECT_EQ(State(0), kStateReplaced);
  EXPECT_TRUE(TemporaryFiles(folder).empty());
}

TEST_F(InstallStepTest, BusyWindowsFileIsReplacedAtRestart) {
  const std::string target = folder + "win.dll", temporary = folder + "win.$$A";
  for (BusyWay way : {kHeldOpen, kLoadedModule}) {
    SCOPED_TRACE(way == kHeldOpen ? "held open" : "loaded module");
    const std::string before = PendingRenames();
    const std::string old = WriteProgramCopy(target);
    WriteTextFile(temporary, "new");
    MakeBusy(target, way);
    Entry windowsFile{"win.dll", "new"};
    windowsFile.destinationKind = kDestWindows;
    Prepare({windowsFile});
    RestartNeeded = false;
    lstrcpynA(TargetPath, target.c_str(), kPathBufferSize);
    ReplaceTarget(table.Record(0), temporary.c_str());
    const std::string after = PendingRenames();
    RestorePendingRenames(before);
    EXPECT_TRUE(ShownMessages.empty());
    EXPECT_TRUE(RestartNeeded);
    EXPECT_EQ(State(0), kStateReplaced);
    EXPECT_EQ(ReadTextFile(temporary), "new");  // kept for the rename
    Release();
    EXPECT_TRUE(ReadTextFile(target) == old);
    EXPECT_NE(after.find("win.$$A"), std::string::npos);
    EXPECT_NE(after.find("win.dll"), std::string::npos);
    EXPECT_EQ(after.find("win.$$B"), std::string::npos);
    EXPECT_TRUE(DeleteFileA(target.c_str()) && DeleteFileA(temporary.c_str()));
  }
}

TEST_F(InstallStepTest, FailedFinalRenamePutsTheOldTargetBack) {
  WriteTextFile(folder + "keep.txt", "the user's file");
  SetFileAttributesA((folder + "keep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteTextFile(folder + "keep.$$A", "new");
  Hold(folder + "keep.$$A", 0);  // the rename of the temporary file fails
  Prepare({{"keep.txt", "new"}});
  lstrcpynA(TargetPath, (folder + "keep.txt").c_str(), kPathBufferSize);
  ReplaceTarget(table.Record(0), (folder + "keep.$$A").c_str());
  EXPECT_EQ(ReadTextFile(folder + "keep.txt"), "the user's file");
  EXPECT_TRUE(GetFileAttributesA((folder + "keep.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(FileExists(folder + "keep.$$B"));
  EXPECT_EQ(State(0), kStateReplaced);
}


}  // namespace
