// Start-up under Wine: the command line, the relaunch copy on the temporary
// folder, and deletion and replacement at the next restart in both of their
// forms (the system's pending rename list and WININIT.INI).
#include <algorithm>

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
      {"-S \"C:\\My Setup\\setup.exe\"", "C:\\My Setup\\setup.exe", false},
      {"   /S   \"C:\\My Setup\\setup.exe\" /DEL", "C:\\My Setup\\setup.exe", true},
      {"/S C:\\My Setup\\setup.exe", "C:\\My", false},
      {"/S\"C:\\open ended", "C:\\open ended", false},
      {"/S", "", false}, {"/S ", "", false}, {"/X /S a.exe", "a.exe", false}, {"/Xyz-S a.exe", "a.exe", false},
      {"word /S a.exe", "", false}, {"/S first.exe /S second.exe", "second.exe", false},
      {"/DEL", "", true}, {"/del", "", true}, {"-Del", "", true}, {"/DELETE", "", true}, {"/X /DEL", "", true},
      {"/S a /DEL", "a", true}, {"/D", "", false}, {"/DX", "", false}, {"/DE", "", false}, {"/D EL", "", false},
      {"DEL", "", false}, {"setup /DEL", "", false}, {"", "", false}, {"/", "", false}, {"-", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parsed(c.text), c.path) << c.text;
    EXPECT_EQ(DeleteSelf, c.del) << c.text;
  }
  ParseCommandLine(nullptr);
  EXPECT_FALSE(DeleteSelf);
  // An overlong path is cut and the rest still parsed.
  const std::string longPath(300, 'p');
  for (const std::string& text : {"/S " + longPath + " /DEL", "/S\"" + longPath + "\" /DEL"}) {
    EXPECT_EQ(Parsed(text), longPath.substr(0, kPathBufferSize - 1));
    EXPECT_TRUE(DeleteSelf);
  }
}

// The unattended switches are whole words in any case; /DIR must be
// absolute and both paths fit a path buffer; anything else is a bad switch.
TEST_F(StartupTest, UnattendedSwitches) {
  Parsed("/quiet -Passive /NORESTART");
  EXPECT_EQ(Mode, kRunQuiet);
  EXPECT_TRUE(NoRestart);
  EXPECT_FALSE(BadSwitch);
  Parsed("-passive /DELETE");
  EXPECT_EQ(Mode, kRunPassive);
  EXPECT_TRUE(DeleteSelf);
  EXPECT_FALSE(BadSwitch);
  EXPECT_EQ(Parsed("/PASSIVE /DIR=\"C:\\Program Files\\X\" /log=setup.log /S a.exe"), "a.exe");
  EXPECT_EQ(std::string(DirArgument), "C:\\Program Files\\X");
  EXPECT_EQ(std::string(LogArgument), "setup.log");
  EXPECT_FALSE(DeleteSelf);  // /DIR= is not /DEL
  EXPECT_FALSE(BadSwitch);
  Parsed("/dir=\\\\server\\share\\x-y /QUIET");
  EXPECT_EQ(std::string(DirArgument), "\\\\server\\share\\x-y");
  EXPECT_EQ(Mode, kRunQuiet);
  for (const std::string& bad : std::vector<std::string>{"/QUIETLY", "/X /QUIET", "/D", "/DIR=relative\\path", "/DIR=C:",
                                                         "/DIR=", "/LOG=\"\"", "/DIR=C:\\" + std::string(300, 'd')}) {
    Parsed(bad);
    EXPECT_TRUE(BadSwitch) << bad;
    EXPECT_EQ(std::string(DirArgument), "") << bad;
  }
}

std::string Upper(std::string text) {
  CharUpperA(&text[0]);
  return text;
}

TEST_F(StartupTest, ScheduleAtRestartInBothForms) {
  const std::string source = WriteTextFile(TempFolder() + "setvik-restart-source.tmp", "new");
  const std::string other = WriteTextFile(TempFolder() + "setvik-restart-other.tmp", "x");
  const std::string target = WriteTextFile(TempFolder() + "setvik-restart-target.dll", "old");
  // The NT form: deletion is the source and an empty new name; replacement
  // the source and the target marked "!" (replace existing).
  const std::string saved = PendingRenames();
  IsNT = true;
  ScheduleAtRestart(nullptr, source.c_str());
  ScheduleAtRestart(target.c_str(), source.c_str());
  std::string pending = PendingRenames();
  RestorePendingRenames(saved);
  std::replace(pending.begin(), pending.end(), '\0', '|');
  pending = Upper(pending);
  EXPECT_NE(pending.find(Upper(source) + "||"), std::string::npos) << pending;
  EXPECT_NE(pending.find(Upper(source) + "|!\\??\\" + Upper(target)), std::string::npos) << pending;

  // WININIT.INI: the 8.3 forms in [Rename], each deletion its own NUL entry.
  const std::string wininit = WindowsFolder() + "\\WININIT.INI";
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

// The relaunch copies exactly the stub's bytes to the first free
// "_inst<n>.exe" and starts it with /S naming the setup file and /DEL.
TEST_F(StartupTest, RunFromTempCopyCopiesTheStubAndStartsIt) {
  const std::string image = ReadTextFile(SystemFolder() + "\\hostname.exe");
  ASSERT_GT(image.size(), 1000u);
  const std::string setup = WriteTextFile(TempFolder() + "setvik relaunch setup.exe", image + "SETUP-DATA");
  lstrcpynA(SetupFilePath, setup.c_str(), kPathBufferSize);
  int free = 0;
  while (FileExists(TempFolder() + "_inst" + std::to_string(free) + ".exe")) ++free;
  const std::string copy = TempFolder() + "_inst" + std::to_string(free) + ".exe";
  const uint32_t savedSize = StubMark.stubSize;
  StubMark.stubSize = static_cast<uint32_t>(image.size());
  ShowCommand = SW_HIDE;
  int exitCode = -5;
  EXPECT_TRUE(RunFromTempCopy(&exitCode));
  StubMark.stubSize = savedSize;
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(std::string(WorkPath), copy);
  EXPECT_TRUE(ReadTextFile(copy) == image);
  // The copy's own path is quoted (the temporary folder may hold blanks),
  // and the unattended switches go with it.
  char command[kRelaunchCommandSize];
  ASSERT_TRUE(BuildRelaunchCommand(command, copy.c_str()));
  EXPECT_EQ(std::string(command), "\"" + copy + "\" /S\"" + setup + "\" /DEL");
  Mode = kRunPassive;
  NoRestart = true;
  lstrcpyA(DirArgument, "C:\\Program Files\\X");
  lstrcpyA(LogArgument, "my log.txt");
  ASSERT_TRUE(BuildRelaunchCommand(command, copy.c_str()));
  EXPECT_EQ(std::string(command), "\"" + copy + "\" /S\"" + setup +
                                      "\" /DEL /PASSIVE /NORESTART /DIR=\"C:\\Program Files\\X\" /LOG=\"my log.txt\"");
  for (int i = 0; i < 50 && !DeleteFileA(copy.c_str()); ++i) Sleep(100);
  DeleteFileA(setup.c_str());
  // An unreadable setup file means no relaunch.
  lstrcpynA(SetupFilePath, (TempFolder() + "setvik-no-such-setup.exe").c_str(), kPathBufferSize);
  EXPECT_FALSE(RunFromTempCopy(&exitCode));
  DeleteFileA(WorkPath);  // the empty copy stays behind
}

}  // namespace
