// Start-up under Wine: the command line, the relaunch copy on the temporary
// folder, and deletion and replacement at the next restart in both of their
// forms (the system's pending rename list and WININIT.INI).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/FileAccess.h"
#include "base/ScheduleAtRestart.h"
#include "startup/Startup.h"
#include "tests/windows/StartupTestSupport.h"

namespace {

using ParseCommandLineTest = PathBuffersTest;

std::string Parsed(const char* text) {
  SetupFilePath[0] = 0;
  DeleteSelf = false;
  PathBuffersTest::ResetSwitches();
  ParseCommandLine(text);
  return SetupFilePath;
}

TEST_F(ParseCommandLineTest, SetupFileInAnyCaseQuotedOrBare) {
  const std::string quoted = "C:\\My Setup\\setup.exe";
  EXPECT_EQ(Parsed("/s\"C:\\My Setup\\setup.exe\""), quoted);
  EXPECT_EQ(Parsed("-S \"C:\\My Setup\\setup.exe\""), quoted);
  EXPECT_EQ(Parsed("   /S   \"C:\\My Setup\\setup.exe\" /DEL"), quoted);
  EXPECT_TRUE(DeleteSelf);
  // A bare path ends at its first blank; an unclosed quote at the end.
  EXPECT_EQ(Parsed("/S C:\\My Setup\\setup.exe"), "C:\\My");
  EXPECT_EQ(Parsed("/S\"C:\\open ended"), "C:\\open ended");
  EXPECT_EQ(Parsed("/S"), "");
  EXPECT_EQ(Parsed("/S "), "");
}

TEST_F(ParseCommandLineTest, DeleteSwitchNeedsAllThreeLetters) {
  for (const char* on : {"/DEL", "/del", "-Del", "/DELETE", "/X /DEL", "/S a /DEL"}) {
    Parsed(on);
    EXPECT_TRUE(DeleteSelf) << on;
  }
  for (const char* off : {"/D", "/DX", "/DE", "/D EL", "DEL", "setup /DEL", "", "/", "-"}) {
    Parsed(off);
    EXPECT_FALSE(DeleteSelf) << off;
  }
  DeleteSelf = false;
  ParseCommandLine(nullptr);
  EXPECT_FALSE(DeleteSelf);
}

TEST_F(ParseCommandLineTest, UnknownOptionsAreSkippedAndAFirstWordEndsParsing) {
  EXPECT_EQ(Parsed("/X /S a.exe"), "a.exe");
  EXPECT_EQ(Parsed("/Xyz-S a.exe"), "a.exe");  // a dash inside a word starts the next option
  EXPECT_EQ(Parsed("word /S a.exe"), "");
  EXPECT_EQ(Parsed("/S first.exe /S second.exe"), "second.exe");
}

// The unattended switches are whole words in any case; /DIR must be
// absolute and both paths fit a path buffer; anything else is a bad switch
// (which only an unattended run refuses).
TEST_F(ParseCommandLineTest, UnattendedSwitches) {
  Parsed("/quiet -Passive /NORESTART");
  EXPECT_EQ(Mode, kRunQuiet);
  EXPECT_TRUE(NoRestart);
  EXPECT_FALSE(BadSwitch);
  Parsed("-passive /DELETE");
  EXPECT_EQ(Mode, kRunPassive);
  EXPECT_TRUE(DeleteSelf);
  EXPECT_FALSE(BadSwitch);

  Parsed("/PASSIVE /DIR=\"C:\\Program Files\\X\" /log=setup.log /S a.exe");
  EXPECT_EQ(std::string(DirArgument), "C:\\Program Files\\X");
  EXPECT_EQ(std::string(LogArgument), "setup.log");
  EXPECT_EQ(std::string(SetupFilePath), "a.exe");
  EXPECT_FALSE(DeleteSelf);  // /DIR= is not /DEL
  EXPECT_FALSE(BadSwitch);
  Parsed("/dir=\\\\server\\share\\x-y /QUIET");
  EXPECT_EQ(std::string(DirArgument), "\\\\server\\share\\x-y");
  EXPECT_EQ(Mode, kRunQuiet);

  const std::string overlong = "/DIR=C:\\" + std::string(300, 'd');
  for (const char* bad : {"/QUIETLY", "/X /QUIET", "/D", "/DIR=relative\\path", "/DIR=C:", "/DIR=",
                          "/LOG=\"\"", overlong.c_str()}) {
    Parsed(bad);
    EXPECT_TRUE(BadSwitch) << bad;
    EXPECT_EQ(std::string(DirArgument), "") << bad;
  }
}

TEST_F(ParseCommandLineTest, OverlongPathIsCutAndTheRestStillParsed) {
  const std::string longPath(300, 'p');
  for (const std::string& text : {"/S " + longPath + " /DEL", "/S\"" + longPath + "\" /DEL"}) {
    EXPECT_EQ(Parsed(text.c_str()), longPath.substr(0, kPathBufferSize - 1));
    EXPECT_TRUE(DeleteSelf);
  }
}

// The REG_MULTI_SZ list of pending renames as one string with '|' between
// the entries; empty when there is none.
std::string PendingRenames(std::vector<char>* raw = nullptr) {
  HKEY key;
  std::string joined;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                    &key))
    return joined;
  DWORD size = 0;
  if (!RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) && size) {
    std::vector<char> bytes(size + 2);
    RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()),
                     &size);
    if (raw) raw->assign(bytes.begin(), bytes.begin() + size);
    for (DWORD i = 0; i < size; ++i) joined += bytes[i] ? bytes[i] : '|';
  }
  RegCloseKey(key);
  return joined;
}

void RestorePendingRenames(const std::vector<char>& raw) {
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                          KEY_SET_VALUE, &key),
            0);
  if (raw.empty())
    RegDeleteValueA(key, "PendingFileRenameOperations");
  else
    RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(raw.data()),
                   static_cast<DWORD>(raw.size()));
  RegCloseKey(key);
}

std::string MakeFile(const std::string& path, const std::string& content) {
  FileHandle file = FileCreate(path.c_str());
  EXPECT_NE(file, kInvalidFile);
  FileWrite(file, content.data(), static_cast<uint32_t>(content.size()));
  FileClose(file);
  return path;
}

std::string ReadFileText(const std::string& path) {
  std::string text;
  FileHandle file = FileOpen(path.c_str(), kFileRead);
  if (file == kInvalidFile) return text;
  text.resize(FileSize(file));
  FileRead(file, &text[0], static_cast<uint32_t>(text.size()));
  FileClose(file);
  return text;
}

std::string Upper(std::string text) {
  CharUpperA(&text[0]);
  return text;
}

std::string ShortForm(const std::string& path) {
  char shortPath[MAX_PATH];
  DWORD n = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  return n && n < MAX_PATH ? shortPath : path;
}

using ScheduleAtRestartTest = PathBuffersTest;

TEST_F(ScheduleAtRestartTest, NtFormRecordsDeletionAndReplacement) {
  std::vector<char> saved;
  PendingRenames(&saved);
  const std::string source = MakeFile(TempFolder() + "setvik-restart-source.tmp", "new");
  const std::string target = MakeFile(TempFolder() + "setvik-restart-target.dll", "old");
  IsNT = true;
  ScheduleAtRestart(nullptr, source.c_str());
  ScheduleAtRestart(target.c_str(), source.c_str());
  const std::string pending = Upper(PendingRenames());
  RestorePendingRenames(saved);
  DeleteFileA(source.c_str());
  DeleteFileA(target.c_str());
  // Deletion: the source and an empty new name. Replacement: the source and
  // the target marked "!" (replace existing).
  const std::string src = Upper(source), dst = Upper(target);
  EXPECT_NE(pending.find(src + "||"), std::string::npos) << pending;
  EXPECT_NE(pending.find(src + "|!\\??\\" + dst), std::string::npos) << pending;
}

TEST_F(ScheduleAtRestartTest, WininitFormWritesRenameAndNulEntries) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string wininit = std::string(windows) + "\\WININIT.INI";
  const std::string before = ReadFileText(wininit);
  const bool existed = GetFileAttributesA(wininit.c_str()) != INVALID_FILE_ATTRIBUTES;
  const std::string source = MakeFile(TempFolder() + "setvik-wininit-source.tmp", "new");
  const std::string other = MakeFile(TempFolder() + "setvik-wininit-other.tmp", "x");
  const std::string target = MakeFile(TempFolder() + "setvik-wininit-target.dll", "old");
  IsNT = false;
  ScheduleAtRestart(nullptr, other.c_str());
  ScheduleAtRestart(target.c_str(), source.c_str());
  ScheduleAtRestart(nullptr, source.c_str());
  IsNT = true;
  const std::string after = ReadFileText(wininit);
  const std::string shortSource = ShortForm(source), shortOther = ShortForm(other), shortTarget = ShortForm(target);
  if (existed)
    MakeFile(wininit, before);
  else
    DeleteFileA(wininit.c_str());
  for (const std::string& f : {source, other, target}) DeleteFileA(f.c_str());

  EXPECT_NE(after.find("[Rename]"), std::string::npos) << after;
  EXPECT_NE(after.find(shortTarget + "=" + shortSource), std::string::npos) << after;
  EXPECT_NE(shortSource, source);  // the 8.3 forms are written
  // Each deletion became its own NUL entry; no placeholder is left.
  EXPECT_NE(after.find("NUL=" + shortSource), std::string::npos) << after;
  EXPECT_NE(after.find("NUL=" + shortOther), std::string::npos) << after;
  EXPECT_EQ(after.find("xyz="), std::string::npos) << after;
}

using RunFromTempCopyTest = PathBuffersTest;

// The relaunch copies exactly the stub's bytes to the first free
// "_inst<n>.exe" and starts it with /S naming the setup file and /DEL.
TEST_F(RunFromTempCopyTest, CopiesTheStubAndStartsIt) {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string program = std::string(system) + "\\hostname.exe";
  const std::string image = ReadFileText(program);
  ASSERT_GT(image.size(), 1000u);
  const std::string setup = MakeFile(TempFolder() + "setvik relaunch setup.exe", image + "SETUP-DATA");
  lstrcpynA(SetupFilePath, setup.c_str(), kPathBufferSize);
  int free = 0;
  while (GetFileAttributesA((TempFolder() + "_inst" + std::to_string(free) + ".exe").c_str()) !=
         INVALID_FILE_ATTRIBUTES)
    ++free;
  const std::string copy = TempFolder() + "_inst" + std::to_string(free) + ".exe";
  const uint32_t savedSize = StubMark.stubSize;
  StubMark.stubSize = static_cast<uint32_t>(image.size());
  ShowCommand = SW_HIDE;
  int exitCode = -5;
  const bool started = RunFromTempCopy(&exitCode);
  StubMark.stubSize = savedSize;

  EXPECT_TRUE(started);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(std::string(WorkPath), copy);
  EXPECT_TRUE(ReadFileText(copy) == image);
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
}

TEST_F(RunFromTempCopyTest, UnreadableSetupFileMeansNoRelaunch) {
  lstrcpynA(SetupFilePath, (TempFolder() + "setvik-no-such-setup.exe").c_str(), kPathBufferSize);
  int exitCode;
  EXPECT_FALSE(RunFromTempCopy(&exitCode));
  DeleteFileA(WorkPath);  // the empty copy stays behind
}

}  // namespace
