// The command line and the relaunch from removable media.
#include <windows.h>

#include "base/Buffer.h"
#include "base/FileAccess.h"
#include "setupdata/Paths.h"
#include "startup/Startup.h"

static const char* SkipSpaces(const char* text) {
  while (*text == ' ') ++text;
  return text;
}

// Reads the argument of /S into SetupFilePath and returns the text after it.
static const char* ReadSetupFileArgument(const char* text) {
  text = SkipSpaces(text);
  const char end = *text == '"' ? '"' : ' ';
  if (end == '"') ++text;
  uint32_t length = 0;
  for (; *text && *text != end; ++text)
    if (length + 1 < kPathBufferSize) SetupFilePath[length++] = *text;
  SetupFilePath[length] = 0;
  if (end == '"' && *text == '"') ++text;
  return text;
}

static char UpperCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

void ParseCommandLine(const char* text) {
  if (!text) return;
  text = SkipSpaces(text);
  while (*text == '-' || *text == '/') {
    const char letter = UpperCase(text[1]);
    if (!letter) break;
    text += 2;
    if (letter == 'D' && UpperCase(text[0]) == 'E' && UpperCase(text[1]) == 'L') {
      DeleteSelf = true;
    } else if (letter == 'S') {
      text = ReadSetupFileArgument(text);
    }
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

// A copy that cannot be written whole or started is deleted again, and the
// program runs on from the removable drive. So does one whose command line
// would not fit WorkPath: a cut command would name another setup file.
bool RunFromTempCopy() {
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
  // The copy's own name is quoted too: a temporary folder may hold blanks.
  char copyPath[kPathBufferSize];
  CopyPath(copyPath, WorkPath);
  lstrcpyA(WorkPath, "\"");
  const bool whole = AppendPath(WorkPath, copyPath) && AppendPath(WorkPath, "\" /S\"") &&
                     AppendPath(WorkPath, SetupFilePath) && AppendPath(WorkPath, "\" /DEL");
  if (copied && whole && WinExec(WorkPath, ShowCommand) > 31) return true;
  DeleteFileA(copyPath);
  return false;
}
