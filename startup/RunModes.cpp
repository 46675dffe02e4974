// The command line and the relaunch from removable media.
#include <windows.h>

#include "base/Buffer.h"
#include "base/FileAccess.h"
#include "setupdata/Paths.h"
#include "startup/Startup.h"
#include "wizard/Wizard.h"

static const char* SkipSpaces(const char* text) {
  while (*text == ' ') ++text;
  return text;
}

// Reads a path argument into the 260-byte path after blanks: quoted (to
// the closing quote) or bare (to the next blank). At most 259 characters
// are kept; cut tells whether more were passed over. Returns the text
// after the argument.
static const char* ReadPathArgument(const char* text, char* path, bool* cut) {
  text = SkipSpaces(text);
  const char end = *text == '"' ? '"' : ' ';
  if (end == '"') ++text;
  uint32_t length = 0;
  *cut = false;
  for (; *text && *text != end; ++text) {
    if (length + 1 < kPathBufferSize) path[length++] = *text;
    else *cut = true;
  }
  path[length] = 0;
  if (end == '"' && *text == '"') ++text;
  return text;
}

static char UpperCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The text after word (upper case), when text begins with it in any case;
// with whole, only when the option ends there (blank, '-', '/' or the end).
static const char* MatchWord(const char* text, const char* word, bool whole) {
  for (; *word; ++word, ++text)
    if (UpperCase(*text) != *word) return nullptr;
  if (whole && *text && *text != ' ' && *text != '-' && *text != '/') return nullptr;
  return text;
}

// A drive path (C:\...) or a network path (\server\...).
static bool IsAbsolutePath(const char* path) {
  const char drive = UpperCase(path[0]);
  return (drive >= 'A' && drive <= 'Z' && path[1] == ':' && path[2] == '\\') || (path[0] == '\\' && path[1] == '\\');
}

// The value of /DIR= or /LOG= into path; an empty, overlong or (for /DIR)
// relative one sets BadSwitch and leaves path empty.
static const char* ReadSwitchValue(const char* text, char* path, bool absolute) {
  bool cut;
  text = ReadPathArgument(text, path, &cut);
  if (cut || !path[0] || (absolute && !IsAbsolutePath(path))) {
    BadSwitch = true;
    path[0] = 0;
  }
  return text;
}

// One option, text just after its '/' or '-'; returns the text after what
// it used.
static const char* ParseOption(const char* text) {
  bool cut;
  const char* after;
  if (UpperCase(*text) == 'S') return ReadPathArgument(text + 1, SetupFilePath, &cut);
  if (MatchWord(text, "DEL", false)) {
    DeleteSelf = true;
  } else if ((after = MatchWord(text, "DIR=", false))) {
    return ReadSwitchValue(after, DirArgument, true);
  } else if ((after = MatchWord(text, "LOG=", false))) {
    return ReadSwitchValue(after, LogArgument, false);
  } else if (MatchWord(text, "QUIET", true)) {
    Mode = kRunQuiet;
  } else if (MatchWord(text, "PASSIVE", true)) {
    if (Mode != kRunQuiet) Mode = kRunPassive;
  } else if (MatchWord(text, "NORESTART", true)) {
    NoRestart = true;
  } else {
    BadSwitch = true;
  }
  return text;
}

void ParseCommandLine(const char* text) {
  if (!text) return;
  text = SkipSpaces(text);
  while ((*text == '-' || *text == '/') && text[1]) {
    text = ParseOption(text + 1);
    while (*text && *text != ' ' && *text != '-' && *text != '/') ++text;
    text = SkipSpaces(text);
  }
}

// Creates the first free "_inst<n>.exe" in the temporary folder; its name is
// left in WorkPath.
static FileHandle CreateTempCopy() {
  const DWORD length = GetTempPathA(kPathBufferSize, WorkPath);
  if (!length || length >= kPathBufferSize) return kInvalidFile;
  AddBackslash(WorkPath);
  char* name = WorkPath + lstrlenA(WorkPath);
  if (name - WorkPath + 13 > static_cast<int>(kPathBufferSize)) return kInvalidFile;  // "_inst998.exe"
  for (int i = 0; i < 999; ++i) {
    wsprintfA(name, "_inst%d.exe", i);
    FileHandle existing = FileOpen(WorkPath, kFileRead);
    if (existing != kInvalidFile) {
      FileClose(existing);
      continue;
    }
    FileHandle created = FileCreate(WorkPath);
    if (created != kInvalidFile) return created;
  }
  return kInvalidFile;
}

// Copies the first StubSize bytes of the setup file; true when all arrived.
static bool CopyStub(FileHandle from, FileHandle to) {
  uint8_t* stub;
  if (!AllocateBuffer(StubSize() + 1, stub)) return false;
  const bool copied = !FileRead(from, stub, StubSize()) && !FileWrite(to, stub, StubSize());
  ReleaseBuffer(stub);
  return copied;
}

// Appends a blank, option and, when not empty, the quoted argument.
static bool AppendOption(char* command, const char* option, const char* argument) {
  bool whole = AppendText(command, kRelaunchCommandSize, " ") && AppendText(command, kRelaunchCommandSize, option);
  if (!*argument) return whole;
  return whole && AppendText(command, kRelaunchCommandSize, "\"") &&
         AppendText(command, kRelaunchCommandSize, argument) && AppendText(command, kRelaunchCommandSize, "\"");
}

// The copy's own name is quoted too: a temporary folder may hold blanks.
bool BuildRelaunchCommand(char* command, const char* copy) {
  lstrcpyA(command, "\"");
  bool whole = AppendText(command, kRelaunchCommandSize, copy) && AppendText(command, kRelaunchCommandSize, "\"") &&
               AppendOption(command, "/S", SetupFilePath) && AppendOption(command, "/DEL", "");
  if (Mode != kRunInteractive) whole = whole && AppendOption(command, Mode == kRunQuiet ? "/QUIET" : "/PASSIVE", "");
  if (NoRestart) whole = whole && AppendOption(command, "/NORESTART", "");
  if (*DirArgument) whole = whole && AppendOption(command, "/DIR=", DirArgument);
  if (*LogArgument) whole = whole && AppendOption(command, "/LOG=", LogArgument);
  return whole;
}

// A copy that cannot be written whole or started is deleted again, and the
// program runs on from the removable drive. So does one whose command line
// would not fit: a cut command would name another setup file.
bool RunFromTempCopy(int* exitCode) {
  FileHandle copy = CreateTempCopy();
  if (copy == kInvalidFile) return false;
  FileHandle setup = FileOpen(SetupFilePath, kFileRead);
  if (setup == kInvalidFile) {
    FileClose(copy);
    return false;
  }
  const bool copied = CopyStub(setup, copy);
  FileClose(setup);
  FileClose(copy);
  char command[kRelaunchCommandSize];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(ShowCommand);
  PROCESS_INFORMATION process;
  if (!copied || !BuildRelaunchCommand(command, WorkPath) ||
      !CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    DeleteFileA(WorkPath);
    return false;
  }
  // A deployment tool reads the exit code of the process it started.
  DWORD code = 0;
  if (Mode != kRunInteractive) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
  }
  *exitCode = static_cast<int>(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
