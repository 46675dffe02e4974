// Opening documents and starting programs, observed through copies of the
// marker program, which note the command line they were started with. A
// test file type ".setviktest" is registered in HKEY_CLASSES_ROOT (Wine
// does not show HKCU\Software\Classes there).
#include "install/InstallStep.h"
#include "install/Launch.h"
#include "setupdata/Paths.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

const char kExtension[] = ".setviktest";
const char kType[] = "SetvikTest.Document";

void SetDefault(const std::string& subKey, const std::string& value) {
  SetRegValue(HKEY_CLASSES_ROOT, subKey, nullptr, REG_SZ, value + '\0');
}

void DeleteClassKeys() {
  const std::string type = std::string(kType);
  for (const char* part : {"\\shell\\open\\command", "\\shell\\open", "\\shell", ""})
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (type + part).c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, kExtension);
}

class LaunchTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    scratch = MakeScratch("setvik-launch");
    marker = scratch + "marker.exe";
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "wintest\\setvik-marker.exe").c_str(), marker.c_str(), FALSE));
    DeleteClassKeys();
    SetDefault(kExtension, kType);
  }
  void TearDown() override {
    DeleteClassKeys();
    LaunchRecord = RunAfterRecord = nullptr;
    SetCurrentDirectoryA("C:\\");
    RemoveTree(scratch);
    PathBuffersTest::TearDown();
  }
  void SetCommand(const std::string& command) { SetDefault(std::string(kType) + "\\shell\\open\\command", command); }
  std::string scratch, marker;
};

TEST_F(LaunchTest, OpenCommandIsCutAtThePlaceholderAndGetsTheQuotedPath) {
  const std::string document = scratch + "my notes.setviktest";
  WriteTextFile(document, "text");
  struct Case {
    std::string command;
    std::string expected;  // the marker's command line
  } cases[] = {
      // The quoted placeholder and all after it dropped: two blanks remain.
      {"\"" + marker + "\" \"%1\" /extra", "\"" + marker + "\"  \"" + document + "\""},
      {"\"" + marker + "\" /open %1 /extra", "\"" + marker + "\" /open  \"" + document + "\""},
      {"\"" + marker + "\" -view", "\"" + marker + "\" -view \"" + document + "\""},
  };
  for (const Case& c : cases) {
    DeleteFileA((marker + ".txt").c_str());
    SetCommand(c.command);
    EXPECT_GT(RunOpenCommand(document.c_str(), kExtension), 31) << c.command;
    EXPECT_EQ(WaitForFileText(marker + ".txt"), c.expected) << c.command;
  }
  // No type for the extension, or no command for the type: the registry's
  // error, nothing started.
  EXPECT_EQ(RunOpenCommand(document.c_str(), ".setvik-absent"), ERROR_FILE_NOT_FOUND);
  // A command longer than a path buffer is not taken: nothing starts.
  SetCommand("\"" + marker + "\" " + std::string(400, 'c'));
  EXPECT_LE(RunOpenCommand(document.c_str(), kExtension), 31);
  SetDefault(kExtension, "SetvikTest.Untyped");
  EXPECT_EQ(RunOpenCommand(document.c_str(), kExtension), ERROR_FILE_NOT_FOUND);
}

TEST_F(LaunchTest, FinishProgramOpensAnExistingFileThroughTheShellOnly) {
  SetCommand("\"" + marker + "\" \"%1\"");
  lstrcpyA(InstallDir, scratch.c_str());
  TestRecord fields = Named("Read Me.setviktest");
  std::vector<uint8_t> record = BuildRecord(fields);
  LaunchRecord = record.data();

  LaunchFinishProgram();  // the file is not there yet: nothing
  Sleep(300);
  EXPECT_FALSE(FileExists(marker + ".txt"));

  WriteTextFile(scratch + "Read Me.setviktest", "text");
  LaunchFinishProgram();
  // One blank: the shell filled in the placeholder; the registry fallback
  // would have left two.
  EXPECT_EQ(WaitForFileText(marker + ".txt"), "\"" + marker + "\" \"" + scratch + "Read Me.setviktest\"");
}

TEST_F(LaunchTest, RunAfterProgramWithBlanksInItsPathStartsOnlyItself) {
  // Unquoted, "<scratch>My Tool\app.exe" would start "<scratch>My.exe".
  CreateDirectoryA((scratch + "My Tool").c_str(), nullptr);
  const std::string app = scratch + "My Tool\\app.exe";
  const std::string decoy = scratch + "My.exe";
  ASSERT_TRUE(CopyFileA(marker.c_str(), app.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(marker.c_str(), decoy.c_str(), FALSE));
  lstrcpyA(InstallDir, scratch.c_str());
  TestRecord fields = Named("My Tool\\app.exe");
  std::vector<uint8_t> record = BuildRecord(fields);
  RunAfterRecord = record.data();

  RunAfterWizard(false);  // the box was cleared: nothing starts
  Sleep(300);
  EXPECT_FALSE(FileExists(app + ".txt"));

  RunAfterWizard(true);
  EXPECT_EQ(WaitForFileText(app + ".txt"), "\"" + app + "\"");
  EXPECT_FALSE(FileExists(decoy + ".txt"));

  // The registry's command with a program path in quotes and a document
  // whose folder has blanks: the document reaches the program whole.
  SetCommand("\"" + app + "\" %1");
  DeleteFileA((app + ".txt").c_str());
  const std::string document = scratch + "My Tool\\a b.setviktest";
  WriteTextFile(document, "text");
  RunOpenCommand(document.c_str(), kExtension);
  EXPECT_EQ(WaitForFileText(app + ".txt"), "\"" + app + "\"  \"" + document + "\"");
  EXPECT_FALSE(FileExists(decoy + ".txt"));
}

}  // namespace
