// The installation loop against real files: a setup file written by the
// test (some leading bytes, then the file data: u32 size and one stored
// stream per record, 0F LEN-lo LEN-hi bytes), installed into a scratch
// folder. Questions are answered through the message box's script.
#include "base/ScheduleAtRestart.h"
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
    ProgressValues.clear();
    RestartNeeded = false;
    IsNT = true;
  }
  void TearDown() override {
    CloseInput();
    Release();
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
  // "name=content" for a file in the folder, with " (read-only)" when it
  // is; the bare name when there is none.
  std::string Contents(const std::string& name) {
    const DWORD attributes = GetFileAttributesA((folder + name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return name;
    return name + "=" + ReadTextFile(folder + name) + (attributes & FILE_ATTRIBUTE_READONLY ? " (read-only)" : "");
  }
  // Makes a file from its Contents form, and the folder it lies in.
  void MakeFile(const std::string& contents) {
    const size_t equals = contents.find('='), slash = contents.rfind('\\', equals);
    if (slash != std::string::npos) CreateDirectoryA((folder + contents.substr(0, slash)).c_str(), nullptr);
    std::string text = contents.substr(equals + 1);
    const size_t readOnly = text.find(" (read-only)");
    if (readOnly != std::string::npos) text.erase(readOnly);
    WriteTextFile(folder + contents.substr(0, equals), text,
                  readOnly != std::string::npos ? FILE_ATTRIBUTE_READONLY : 0);
  }
  uint16_t State(uint32_t n) { return ReadU16Le(table.Record(n) + FileRecordField::installState); }
  // Holds path open as another program would, sharing only what share says.
  void Hold(const std::string& path, DWORD share) {
    held = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << path;
  }
  void Release() {
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
  }

  std::string folder;
  TestFileTable table;
  HANDLE held = INVALID_HANDLE_VALUE;
};

// Every file in place and counted as replaced or new (a whole tree is
// compared in tests/wine/install-files.sh); the launch records and the
// uninstaller noted; the file data read exactly to its end.
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
  EXPECT_EQ(Contents("old.txt"), "old.txt=new content, longer than the old one");
  EXPECT_EQ(Contents("sub\\deeper\\README"), "sub\\deeper\\README=" + runAfter.content);
  EXPECT_EQ(Contents("empty.txt"), "empty.txt=");
  EXPECT_EQ(Contents("beside.txt"), "beside.txt");
  // Replaced, new, new, new, external, uninstallers.
  const uint16_t states[] = {kStateReplaced, kStateInstalled, kStateInstalled, kStateInstalled,
                             kStateNone,     kStateNone,      kStateNone};
  for (uint32_t n = 0; n < 7; ++n) EXPECT_EQ(State(n), states[n]) << n;
  EXPECT_EQ(std::string(UninstallerPath), folder + "uninstall.exe");
  EXPECT_EQ(LaunchRecord, table.Record(4));
  EXPECT_EQ(RunAfterRecord, table.Record(2));
  EXPECT_EQ(ProgressValues, (std::vector<uint32_t>{14, 28, 42, 57, 71, 85, 100}));
  EXPECT_EQ(FileTell(InputHandle), kLeadingBytes + 4 + FileDataSize);
  EXPECT_FALSE(RestartNeeded);

  // A missing setup file: error 1.
  CloseInput();
  lstrcpynA(SetupFilePath, (folder + "missing.bin").c_str(), kPathBufferSize);
  EXPECT_FALSE(StartInstallation(&kTestView));
  EXPECT_EQ(InstallError, kInstallErrorOpen);
  EXPECT_EQ(std::string(ErrorFileName), folder + "missing.bin");
}

// A failing file stops the installation before the next one and leaves
// its target as it was, without temporary files; taken temporary names are
// stepped over. A busy target is asked about (Abort, Retry, Ignore) unless
// it already holds the content. Files as Contents gives them.
TEST_F(InstallStepTest, FailuresAndCorners) {
  Entry damaged{"d.txt", "content that the checksum expects"};
  damaged.damaged = true;
  Entry damagedNew = damaged;
  damagedNew.fileName = "new.txt";
  const Entry later{"later.txt", "not reached"};
  const struct {
    std::vector<std::string> before;
    const char* held;  // held open by another program, sharing as below
    DWORD share;
    std::vector<int> answers;  // to the busy target's questions
    std::vector<Entry> entries;
    int steps, error;
    const char* errorFile;
    uint16_t firstState;  // when it finished
    std::vector<std::string> after;
  } cases[] = {
      // A folder under the target's name.
      {{"dir.txt\\inside.txt=the user's"}, nullptr, 0, {}, {{"dir.txt", "a file"}, later}, 0, kInstallErrorCreate,
       "dir.txt", kStateNone, {"dir.txt\\inside.txt=the user's", "dir.$$A"}},
      // A damaged stream: the old target stays; a new one, written under
      // its own name, is gone again.
      {{"d.txt=old"}, nullptr, 0, {}, {damaged, later}, 0, kInstallErrorChecksum, "d.txt", kStateNone,
       {"d.txt=old", "d.$$A"}},
      {{}, nullptr, 0, {}, {damagedNew}, 0, kInstallErrorChecksum, "new.txt", kStateNone, {"new.txt", "new.$$A"}},
      // .$$A and .$$B exist: the file goes through .$$C and both stay; the
      // extension is appended after a dotted folder. (A read-only target
      // stays read-only: tests/wine/install-files.sh.)
      {{"tools.new\\README=old", "tools.new\\README.$$A=keep A", "tools.new\\README.$$B=keep B"}, nullptr, 0, {},
       {{"tools.new\\README", "the file"}}, 1, 0, "", kStateReplaced,
       {"tools.new\\README=the file", "tools.new\\README.$$A=keep A", "tools.new\\README.$$B=keep B",
        "tools.new\\README.$$C"}},
      {{"same.txt=same"}, "same.txt", FILE_SHARE_READ, {}, {{"same.txt", "same"}}, 1, 0, "", kStateReplaced,
       {"same.txt=same", "same.$$A"}},
      // Abort stops with error 22; Retry asks again while it is held,
      // Ignore keeps the old file, counted as replaced, and goes on.
      {{"busy.dll=old"}, "busy.dll", 0, {kAnswerAbort}, {{"busy.dll", "new"}, later}, 0, kInstallErrorAbort,
       "busy.dll", kStateNone, {"busy.dll=old", "busy.$$A"}},
      {{"busy.dll=old"}, "busy.dll", 0, {kAnswerRetry, kAnswerIgnore}, {{"busy.dll", "new"}, {"after.txt", "after"}},
       2, 0, "", kStateReplaced, {"busy.dll=old", "busy.$$A", "after.txt=after"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    for (const std::string& file : c.before) MakeFile(file);
    if (c.held) Hold(folder + c.held, c.share);
    Script(c.answers);
    Prepare(c.entries);
    EXPECT_EQ(RunSteps(), c.steps);
    EXPECT_EQ(InstallError, c.error);
    if (c.error) EXPECT_EQ(std::string(ErrorFileName), folder + c.errorFile);
    if (c.steps) EXPECT_EQ(State(0), c.firstState);  // the first file finished
    EXPECT_FALSE(FileExists(folder + later.fileName));
    EXPECT_EQ(Shown().size(), c.answers.size());
    for (const PlatformDouble::ShownMessage& shown : Shown()) EXPECT_EQ(shown.boxType, 2u);  // Abort, Retry, Ignore
    Release();
    for (const std::string& file : c.after) EXPECT_EQ(Contents(file.substr(0, file.find('='))), file);
  }

  // The final rename fails (the temporary file held): the old read-only
  // target is put back as it was.
  MakeFile("keep.txt=the user's file (read-only)");
  MakeFile("keep.$$A=new");
  Hold(folder + "keep.$$A", 0);
  Prepare({{"keep.txt", "new"}});
  lstrcpynA(TargetPath, (folder + "keep.txt").c_str(), kPathBufferSize);
  ReplaceTarget(table.Record(0), (folder + "keep.$$A").c_str());
  EXPECT_EQ(Contents("keep.txt"), "keep.txt=the user's file (read-only)");
  EXPECT_EQ(Contents("keep.$$B"), "keep.$$B");
}

}  // namespace
