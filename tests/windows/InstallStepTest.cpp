// The installation loop against real files: a setup file written by the
// test (some leading bytes, then the file data: u32 size and one stored
// stream per record, 0F LEN-lo LEN-hi bytes), installed into a scratch
// folder. Questions are answered through the scripted message box.
#include "base/ScheduleAtRestart.h"
#include "install/DestinationCheck.h"
#include "install/InstallStep.h"
#include "setupdata/VolumeReader.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

std::vector<uint32_t> ProgressValues;
const InstallView kTestView = {[](const char*) {}, [](uint32_t percent) { ProgressValues.push_back(percent); },
                               nullptr};

struct Entry {
  std::string fileName, content;
  uint8_t optionFlags = 0, destinationKind = kDestInstallDir, uninstallMode = kUninstallRemove,
          launchRole = kLaunchNone;
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
    std::vector<std::string> texts(23);
    texts[22] = "Busy: %s";
    SetTextGroup(kTextGroupMessages, texts);
    ProgressValues.clear();
    LaunchRecord = RunAfterRecord = ScreenSaverRecord = nullptr;
    RestartNeeded = false;
    IsNT = true;
  }
  void TearDown() override {
    CloseInput();
    Release();
    LaunchRecord = RunAfterRecord = nullptr;
    PathBuffersTest::TearDown();
    RemoveTree(folder);
  }
  void CloseInput() {
    if (InputHandle != kInvalidFile) FileClose(InputHandle);
    InputHandle = kInvalidFile;
  }

  // The file table and the setup file for entries; the loader's values set
  // as it would set them.
  void Prepare(const std::vector<Entry>& entries) {
    CloseInput();
    std::vector<TestRecord> records;
    std::string data;
    for (const Entry& entry : entries) {
      TestRecord record = Named(entry.fileName, static_cast<uint32_t>(entry.content.size()));
      record.optionFlags = entry.optionFlags;
      record.destinationKind = entry.destinationKind;
      record.uninstallMode = entry.uninstallMode;
      record.contentChecksum = CombineIntegrityKey(
          ContentChecksum(0, reinterpret_cast<const uint8_t*>(entry.content.data()), record.fileSize));
      records.push_back(record);
      if (entry.uninstallMode == kUninstallExternal) continue;
      std::string stored = entry.content;
      if (entry.damaged) stored[0] ^= 1;
      data += std::string{'\x0F', static_cast<char>(stored.size() & 0xFF), static_cast<char>(stored.size() >> 8)};
      data += stored;
    }
    table.Set(records);
    for (uint32_t n = 0; n < entries.size(); ++n) {
      table.Record(n)[FileRecordField::launchRole] = entries[n].launchRole;
      const bool external = entries[n].uninstallMode == kUninstallExternal;
      WriteU32Le(table.Record(n) + FileRecordField::packedSize,
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
  // Runs entries expecting the first to fail with error on path; nothing
  // after it is written and no temporary file stays.
  void ExpectFailure(const std::vector<Entry>& entries, int error, const std::string& path) {
    Prepare(entries);
    EXPECT_EQ(RunSteps(), 0);
    EXPECT_EQ(InstallError, error);
    EXPECT_EQ(std::string(ErrorFileName), path);
    EXPECT_FALSE(FileExists(folder + "later.txt"));
    EXPECT_TRUE(NoTemporaryFiles(folder));
  }
  uint16_t State(uint32_t n) { return ReadU16Le(table.Record(n) + FileRecordField::installState); }
  uint32_t StoredChecksum(uint32_t n) { return ReadU32Le(table.Record(n) + FileRecordField::contentChecksum); }
  // Holds path open as another program would, sharing only what share says.
  void Hold(const std::string& path, DWORD share) {
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << path;
    heldFiles.push_back(held);
  }
  void Release() {
    for (HANDLE held : heldFiles) CloseHandle(held);
    heldFiles.clear();
  }
  // Whether no file ending in ".$$?" is left in `in`.
  static bool NoTemporaryFiles(const std::string& in) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((in + "*.$$?").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return find == INVALID_HANDLE_VALUE;
  }

  std::string folder;
  TestFileTable table;
  std::vector<HANDLE> heldFiles;
};

TEST_F(InstallStepTest, CleanInstallIntoSubFolders) {
  WriteTextFile(folder + "old.txt", "the old content");
  Entry external{"beside.txt"};
  external.uninstallMode = kUninstallExternal;
  external.launchRole = kLaunchFinishButton;
  // An uninstaller below the installation folder would take its own
  // folder for the log's "."; only the one directly in it gets the log.
  Entry uninstaller{"bin\\uninstall.exe", "uninstaller"};
  uninstaller.optionFlags = kOptionUninstaller;
  Entry logKeeper = uninstaller;
  logKeeper.fileName = "uninstall.exe";
  Entry runAfter{"sub\\deeper\\README", std::string(5000, 'r')};
  runAfter.launchRole = kLaunchRunAfter;
  Prepare({{"old.txt", "new content, longer than the old one"}, {"sub\\b.dat", "bee"}, runAfter,
           {"empty.txt", ""}, external, uninstaller, logKeeper});

  EXPECT_EQ(RunSteps(), 7);
  EXPECT_EQ(InstallError, 0);
  EXPECT_TRUE(InstallRunning);
  EXPECT_EQ(ReadTextFile(folder + "old.txt"), "new content, longer than the old one");
  EXPECT_EQ(ReadTextFile(folder + "sub\\b.dat"), "bee");
  EXPECT_EQ(ReadTextFile(folder + "sub\\deeper\\README"), runAfter.content);
  EXPECT_TRUE(FileExists(folder + "empty.txt"));
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
  for (const char* in : {"", "sub\\", "sub\\deeper\\", "bin\\"})
    EXPECT_TRUE(NoTemporaryFiles(folder + in)) << in;
  EXPECT_EQ(FileTell(InputHandle), kLeadingBytes + 4 + FileDataSize);  // read exactly to its end
  EXPECT_FALSE(RestartNeeded);

  // A missing setup file: error 1.
  CloseInput();
  lstrcpynA(SetupFilePath, (folder + "missing.bin").c_str(), kPathBufferSize);
  EXPECT_FALSE(StartInstallation(&kTestView));
  EXPECT_EQ(InstallError, kInstallErrorOpen);
  EXPECT_EQ(std::string(ErrorFileName), folder + "missing.bin");
}

TEST_F(InstallStepTest, FailuresLeaveTheTargetAlone) {
  // A folder under the target's name.
  CreateDirectoryA((folder + "dir.txt").c_str(), nullptr);
  WriteTextFile(folder + "dir.txt\\inside.txt", "the user's");
  ExpectFailure({{"dir.txt", "a file"}, {"later.txt", "x"}}, kInstallErrorCreate, folder + "dir.txt");
  EXPECT_EQ(ReadTextFile(folder + "dir.txt\\inside.txt"), "the user's");

  // A damaged stream: the old target stays, its stored checksum too; a new
  // target, written under its own name, is gone again.
  WriteTextFile(folder + "d.txt", "old");
  Entry damaged{"d.txt", "content that the checksum expects"};
  damaged.damaged = true;
  ExpectFailure({damaged, {"later.txt", "x"}}, kInstallErrorChecksum, folder + "d.txt");
  EXPECT_EQ(ReadTextFile(folder + "d.txt"), "old");
  EXPECT_EQ(StoredChecksum(0), CombineIntegrityKey(ContentChecksum(
                                   0, reinterpret_cast<const uint8_t*>(damaged.content.data()),
                                   static_cast<uint32_t>(damaged.content.size()))));
  damaged.fileName = "new.txt";
  ExpectFailure({damaged}, kInstallErrorChecksum, folder + "new.txt");
  EXPECT_FALSE(FileExists(folder + "new.txt"));

  // The final rename fails (the temporary file held): the old read-only
  // target is put back as it was.
  WriteTextFile(folder + "keep.txt", "the user's file", FILE_ATTRIBUTE_READONLY);
  WriteTextFile(folder + "keep.$$A", "new");
  Hold(folder + "keep.$$A", 0);
  Prepare({{"keep.txt", "new"}});
  lstrcpynA(TargetPath, (folder + "keep.txt").c_str(), kPathBufferSize);
  ReplaceTarget(table.Record(0), (folder + "keep.$$A").c_str());
  EXPECT_EQ(ReadTextFile(folder + "keep.txt"), "the user's file");
  EXPECT_TRUE(GetFileAttributesA((folder + "keep.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(FileExists(folder + "keep.$$B"));
}

TEST_F(InstallStepTest, TemporaryNamesAlreadyTakenAndReadOnlyTargets) {
  // .$$A and .$$B exist: the file goes through .$$C and both stay.
  WriteTextFile(folder + "a.txt", "old");
  WriteTextFile(folder + "a.$$A", "keep A");
  WriteTextFile(folder + "a.$$B", "keep B");
  WriteTextFile(folder + "ro.txt", "old", FILE_ATTRIBUTE_READONLY);
  // A locked .$$A counts as free; creating it fails (17). Its name shows
  // the extension rule: appended after a dotted folder. Its holder lets
  // others delete it, but the step does not: it is not its file.
  CreateDirectoryA((folder + "tools.new").c_str(), nullptr);
  WriteTextFile(folder + "tools.new\\README", "old");
  WriteTextFile(folder + "tools.new\\README.$$A", "locked");
  Hold(folder + "tools.new\\README.$$A", FILE_SHARE_DELETE);
  Prepare({{"a.txt", "the file"}, {"ro.txt", "new and read-only"}, {"tools.new\\README", "never"},
           {"later.txt", "not reached"}});

  EXPECT_EQ(RunSteps(), 2);
  EXPECT_EQ(ReadTextFile(folder + "a.txt"), "the file");
  EXPECT_EQ(ReadTextFile(folder + "a.$$A"), "keep A");
  EXPECT_EQ(ReadTextFile(folder + "a.$$B"), "keep B");
  EXPECT_FALSE(FileExists(folder + "a.$$C"));
  EXPECT_EQ(ReadTextFile(folder + "ro.txt"), "new and read-only");
  EXPECT_TRUE(GetFileAttributesA((folder + "ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(State(1), kStateReplaced);
  EXPECT_EQ(InstallError, kInstallErrorCreate);
  EXPECT_EQ(std::string(ErrorFileName), folder + "tools.new\\README.$$A");
  EXPECT_EQ(ReadTextFile(folder + "tools.new\\README"), "old");
  EXPECT_FALSE(FileExists(folder + "later.txt"));
  EXPECT_FALSE(InstallNextFile());
  Release();
  EXPECT_EQ(ReadTextFile(folder + "tools.new\\README.$$A"), "locked");
}

// A busy target that already holds the content: nothing asked, counted as
// replaced. (Abort, Retry and Ignore on a held file are shown in
// tests/wine/install-busy.sh.)
TEST_F(InstallStepTest, BusyTargetWithTheSameContentIsLeftAlone) {
  WriteTextFile(folder + "same.txt", "same content");
  Hold(folder + "same.txt", FILE_SHARE_READ);
  Prepare({{"same.txt", "same content"}});
  EXPECT_EQ(RunSteps(), 1);
  EXPECT_TRUE(ShownMessages.empty());
  EXPECT_EQ(State(0), kStateReplaced);
  EXPECT_TRUE(NoTemporaryFiles(folder));
}

// The space needed, in whole units, plus the largest file once more for its
// temporary copy: 4,096 + 8,192 + 4,096 more for the grown file + nothing for
// the shrunk one, and the largest (8,192) again, in 4 KiB units: 24 KiB is
// too little, 25 enough.
TEST_F(InstallStepTest, TooSmallADriveIsRefused) {
  WriteTextFile(folder + "grows.dat", std::string(4096, 'g'));
  WriteTextFile(folder + "shrinks.dat", std::string(10000, 's'));
  table.Set({Named("one.dat", 1), Named("two.dat", 4097), Named("grows.dat", 5000), Named("shrinks.dat", 100)});
  EXPECT_EQ(CheckDestinationWith(25, 4), kDestinationReady);
  EXPECT_EQ(CheckDestinationWith(24, 4), kDestinationFull);
  EXPECT_EQ(CheckDestinationWith(kFreeSpaceUnknown, 4), kDestinationReady);
}

}  // namespace
