// Start-up under Wine: the command line and the relaunch command, deletion
// and replacement at the next restart in WININIT.INI (the NT family's pending
// renames are carried out for real in tests/wine/wizard-route.sh).
#include "base/FileAccess.h"
#include "base/ScheduleAtRestart.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

using StartupTest = PathBuffersTest;

// The setup file after parsing text, then what the switches set.
std::string Parsed(const std::string& text) {
  SetupFilePath[0] = 0;
  PathBuffersTest::ResetSwitches();
  ParseCommandLine(text.c_str());
  std::string parsed = SetupFilePath;
  if (DeleteSelf) parsed += " del";
  if (Mode != kRunInteractive) parsed += Mode == kRunQuiet ? " quiet" : " passive";
  if (NoRestart) parsed += " norestart";
  if (DirArgument[0]) parsed += std::string(" dir=") + DirArgument;
  if (LogArgument[0]) parsed += std::string(" log=") + LogArgument;
  return parsed + (BadSwitch ? " bad" : "");
}

// The setup file in any case, quoted or bare: a bare path ends at its first
// blank, an unclosed quote at the end, an overlong path is cut and the rest
// still parsed. Unknown options are skipped as bad (a dash inside a word
// starts the next); a first word ends parsing; the last /S counts. /DEL
// needs all three letters. The unattended switches are whole words in any
// case; /DIR must be absolute and both paths fit a path buffer. (Their
// effects are shown in tests/wine/install-unattended.sh.)
TEST_F(StartupTest, CommandLines) {
  const std::string longPath(300, 'p');
  const std::pair<std::string, std::string> cases[] = {
      {"/s\"C:\\My Setup\\setup.exe\"", "C:\\My Setup\\setup.exe"},
      {"   -S   \"C:\\My Setup\\setup.exe\" /DEL", "C:\\My Setup\\setup.exe del"},
      {"/S C:\\My Setup\\setup.exe", "C:\\My"}, {"/S\"C:\\open ended", "C:\\open ended"}, {"/S", ""},
      {"/Xyz-S a.exe", "a.exe bad"}, {"word /S a.exe", ""}, {"/S first.exe /S second.exe", "second.exe"},
      {"-Del", " del"}, {"/DELETE", " del"}, {"/S a /DEL", "a del"}, {"/DE", " bad"}, {"/D EL", " bad"},
      {"setup /DEL", ""}, {"/S\"" + longPath + "\" /DEL", longPath.substr(0, kPathBufferSize - 1) + " del"},
      {"/dir=\\\\server\\share\\x-y /QUIET", " quiet dir=\\\\server\\share\\x-y"},
      {"/QUIETLY", " bad"}, {"/X /QUIET", " quiet bad"}, {"/DIR=C:", " bad"}, {"/LOG=\"\"", " bad"},
      {"/DIR=C:\\" + std::string(300, 'd'), " bad"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.first), c.second) << c.first;
  ParseCommandLine(nullptr);
  EXPECT_FALSE(DeleteSelf);

  // The relaunched copy gets the switches back, /DEL added (its quoted
  // path, /S and /DEL with a setup file from a floppy: tests/wine/startup.sh).
  const std::string switches = " passive norestart dir=C:\\Program Files\\X log=my log.txt";
  ASSERT_EQ(Parsed("/S\"A:\\setup.exe\" -passive /NORESTART /DIR=\"C:\\Program Files\\X\" /log=\"my log.txt\""),
            "A:\\setup.exe" + switches);
  const std::string copy = "\"C:\\Temp Folder\\_inst0.exe\" ";
  char command[kRelaunchCommandSize];
  ASSERT_TRUE(BuildRelaunchCommand(command, "C:\\Temp Folder\\_inst0.exe"));
  EXPECT_EQ(std::string(command).substr(0, copy.size()), copy);
  EXPECT_EQ(Parsed(command + copy.size()), "A:\\setup.exe del" + switches);
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
  for (const std::string& entry : {std::string("[Rename]"), std::string(shortTarget) + "=" + shortSource,
                                   std::string("NUL=") + shortSource, std::string("NUL=") + shortOther})
    EXPECT_NE(after.find(entry), std::string::npos) << entry << " in " << after;
  EXPECT_EQ(after.find("xyz="), std::string::npos) << after;  // no placeholder left
}

}  // namespace
