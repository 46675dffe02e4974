// Start-up under Wine: the command line, the relaunch command, and deletion
// and replacement at the next restart in WININIT.INI (the NT family's pending
// renames are carried out for real in tests/wine/install-busy.sh).
#include "base/FileAccess.h"
#include "base/ScheduleAtRestart.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

using StartupTest = PathBuffersTest;

std::string Parsed(const std::string& text) {
  SetupFilePath[0] = 0;
  PathBuffersTest::ResetSwitches();
  ParseCommandLine(text.c_str());
  return SetupFilePath;
}

// The setup file in any case, quoted or bare: a bare path ends at its first
// blank, an unclosed quote at the end. Unknown options are skipped (a dash
// inside a word starts the next); a first word ends parsing; the last /S
// counts. /DEL needs all three letters.
TEST_F(StartupTest, SetupFileAndDeleteSwitch) {
  const struct {
    const char *text, *path;
    bool del;
  } cases[] = {
      {"/s\"C:\\My Setup\\setup.exe\"", "C:\\My Setup\\setup.exe", false},
      {"   -S   \"C:\\My Setup\\setup.exe\" /DEL", "C:\\My Setup\\setup.exe", true},
      {"/S C:\\My Setup\\setup.exe", "C:\\My", false},
      {"/S\"C:\\open ended", "C:\\open ended", false},
      {"/S", "", false}, {"/Xyz-S a.exe", "a.exe", false}, {"word /S a.exe", "", false},
      {"/S first.exe /S second.exe", "second.exe", false}, {"-Del", "", true}, {"/DELETE", "", true},
      {"/S a /DEL", "a", true}, {"/DE", "", false}, {"/D EL", "", false}, {"setup /DEL", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parsed(c.text), c.path) << c.text;
    EXPECT_EQ(DeleteSelf, c.del) << c.text;
  }
  ParseCommandLine(nullptr);
  EXPECT_FALSE(DeleteSelf);
  // An overlong path is cut and the rest still parsed.
  const std::string longPath(300, 'p');
  EXPECT_EQ(Parsed("/S\"" + longPath + "\" /DEL"), longPath.substr(0, kPathBufferSize - 1));
  EXPECT_TRUE(DeleteSelf);
}

// The unattended switches are whole words in any case; /DIR must be
// absolute and both paths fit a path buffer; anything else is a bad switch.
// (Their effects are shown in tests/wine/install-unattended.sh.)
TEST_F(StartupTest, UnattendedSwitches) {
  EXPECT_EQ(Parsed("-passive /NORESTART /DIR=\"C:\\Program Files\\X\" /log=setup.log /S a.exe"), "a.exe");
  EXPECT_EQ(Mode, kRunPassive);
  EXPECT_TRUE(NoRestart);
  EXPECT_EQ(std::string(DirArgument), "C:\\Program Files\\X");
  EXPECT_EQ(std::string(LogArgument), "setup.log");
  EXPECT_FALSE(DeleteSelf);  // /DIR= is not /DEL
  EXPECT_FALSE(BadSwitch);
  Parsed("/dir=\\\\server\\share\\x-y /QUIET");
  EXPECT_EQ(std::string(DirArgument), "\\\\server\\share\\x-y");
  EXPECT_EQ(Mode, kRunQuiet);
  for (const std::string& bad : std::vector<std::string>{"/QUIETLY", "/X /QUIET", "/DIR=C:", "/LOG=\"\"",
                                                         "/DIR=C:\\" + std::string(300, 'd')}) {
    Parsed(bad);
    EXPECT_TRUE(BadSwitch) << bad;
    EXPECT_EQ(std::string(DirArgument), "") << bad;
  }
}

// WININIT.INI: the 8.3 forms in [Rename], each deletion its own NUL entry.
TEST_F(StartupTest, ScheduleAtRestartInWininit) {
  const std::string source = WriteTextFile(TempFolder() + "setvik-restart-source.tmp", "new");
  const std::string other = WriteTextFile(TempFolder() + "setvik-restart-other.tmp", "x");
  const std::string target = WriteTextFile(TempFolder() + "setvik-restart-target.dll", "old");
  const std::string wininit = SpecialFolder(CSIDL_WINDOWS) + "\\WININIT.INI";
  const std::string before = ReadTextFile(wininit);
  const bool existed = FileExists(wininit);
  IsNT = false;
  ScheduleAtRestart(nullptr, other.c_str());
  ScheduleAtRestart(target.c_str(), source.c_str());
  ScheduleAtRestart(nullptr, source.c_str());
  IsNT = true;
  const std::string after = ReadTextFile(wininit);
  existed ? void(WriteTextFile(wininit, before)) : void(DeleteFileA(wininit.c_str()));
  char shortSource[MAX_PATH], shortOther[MAX_PATH], shortTarget[MAX_PATH];
  GetShortPathNameA(source.c_str(), shortSource, MAX_PATH);
  GetShortPathNameA(other.c_str(), shortOther, MAX_PATH);
  GetShortPathNameA(target.c_str(), shortTarget, MAX_PATH);
  for (const std::string& f : {source, other, target}) DeleteFileA(f.c_str());
  EXPECT_NE(source, shortSource);
  EXPECT_NE(after.find("[Rename]"), std::string::npos) << after;
  EXPECT_NE(after.find(std::string(shortTarget) + "=" + shortSource), std::string::npos) << after;
  EXPECT_NE(after.find(std::string("NUL=") + shortSource), std::string::npos) << after;
  EXPECT_NE(after.find(std::string("NUL=") + shortOther), std::string::npos) << after;
  EXPECT_EQ(after.find("xyz="), std::string::npos) << after;  // no placeholder left
}

// The copy's own path is quoted (the temporary folder may hold blanks), and
// the unattended switches go with it.
TEST_F(StartupTest, RelaunchCommandQuotesThePathsAndCarriesTheSwitches) {
  const std::string copy = "C:\\Temp Folder\\_inst0.exe";
  lstrcpyA(SetupFilePath, "A:\\setup.exe");
  char command[kRelaunchCommandSize];
  ASSERT_TRUE(BuildRelaunchCommand(command, copy.c_str()));
  EXPECT_EQ(std::string(command), "\"" + copy + "\" /S\"A:\\setup.exe\" /DEL");
  Mode = kRunPassive;
  NoRestart = true;
  lstrcpyA(DirArgument, "C:\\Program Files\\X");
  lstrcpyA(LogArgument, "my log.txt");
  ASSERT_TRUE(BuildRelaunchCommand(command, copy.c_str()));
  EXPECT_EQ(std::string(command),
            "\"" + copy + "\" /S\"A:\\setup.exe\" /DEL /PASSIVE /NORESTART /DIR=\"C:\\Program Files\\X\" /LOG=\"my log.txt\"");
}

// The relaunch copies exactly the stub's bytes to the first free
// "_inst<n>.exe"; an unreadable setup file means no relaunch.
TEST_F(StartupTest, RunFromTempCopyCopiesTheStub) {
  const std::string image = ReadTextFile(SpecialFolder(CSIDL_SYSTEM) + "\\hostname.exe");
  ASSERT_GT(image.size(), 1000u);
  const std::string setup = WriteTextFile(TempFolder() + "setvik relaunch setup.exe", image + "SETUP-DATA");
  lstrcpynA(SetupFilePath, setup.c_str(), kPathBufferSize);
  const uint32_t savedSize = StubMark.stubSize;
  StubMark.stubSize = static_cast<uint32_t>(image.size());
  ShowCommand = SW_HIDE;
  int exitCode = -5;
  EXPECT_TRUE(RunFromTempCopy(&exitCode));
  StubMark.stubSize = savedSize;
  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(ReadTextFile(WorkPath) == image);
  for (int i = 0; i < 50 && !DeleteFileA(WorkPath); ++i) Sleep(100);
  DeleteFileA(setup.c_str());
  lstrcpynA(SetupFilePath, (TempFolder() + "setvik-no-such-setup.exe").c_str(), kPathBufferSize);
  EXPECT_FALSE(RunFromTempCopy(&exitCode));
  DeleteFileA(WorkPath);  // the empty copy stays behind
}

}  // namespace
