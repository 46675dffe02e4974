// Opening a document through the registry's open command, observed through
// a copy of the marker program, which notes the command line it was started
// with (the launch button and the run-after box are shown in
// tests/wine/wizard-finish.sh). A test file type ".setviktest" is
// registered in HKEY_CLASSES_ROOT (Wine does not show
// HKCU\Software\Classes there).
#include "install/Launch.h"
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
    SetCurrentDirectoryA("C:\\");
    RemoveTree(scratch);
    PathBuffersTest::TearDown();
  }
  void SetCommand(const std::string& command) { SetDefault(std::string(kType) + "\\shell\\open\\command", command); }
  std::string scratch, marker;
};

TEST_F(LaunchTest, OpenCommandIsCutAtThePlaceholderAndGetsTheQuotedPath) {
  // A name with blanks: the document reaches the program whole, quoted.
  const std::string document = scratch + "my notes.setviktest";
  WriteTextFile(document, "text");
  struct Case {
    std::string command;
    std::string expected;  // the marker's command line
  } cases[] = {
      // The placeholder and all after it dropped: two blanks remain.
      {"\"" + marker + "\" /open %1 /extra", "\"" + marker + "\" /open  \"" + document + "\""},
      {"\"" + marker + "\" -view", "\"" + marker + "\" -view \"" + document + "\""},
  };
  for (const Case& c : cases) {
    DeleteFileA((marker + ".txt").c_str());
    SetCommand(c.command);
    EXPECT_GT(RunOpenCommand(document.c_str(), kExtension), 31) << c.command;
    EXPECT_EQ(WaitForFileText(marker + ".txt"), c.expected) << c.command;
  }
  // A command longer than a path buffer is not taken: nothing starts.
  SetCommand("\"" + marker + "\" " + std::string(400, 'c'));
  EXPECT_LE(RunOpenCommand(document.c_str(), kExtension), 31);
  // No command for the type: the registry's error, nothing started.
  SetDefault(kExtension, "SetvikTest.Untyped");
  EXPECT_EQ(RunOpenCommand(document.c_str(), kExtension), ERROR_FILE_NOT_FOUND);
}

}  // namespace
