// Opening documents and starting programs. Where the stub builds a command
// line from a path, the path is put in quotes: unquoted, a path with blanks
// such as C:\Program Files\Tool\app.exe would start C:\Program.exe when one
// exists.
#include "install/Launch.h"

#include <shellapi.h>

#include "base/FileAccess.h"
#include "install/InstallStep.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Paths.h"

// Template (259 characters), a space, the path in quotes (261) and the NUL.
static const uint32_t kCommandSize = 2 * kPathBufferSize + 4;

// Appends path between quotes; false when that does not fit.
static bool AppendQuoted(char* out, uint32_t size, const char* path) {
  return AppendText(out, size, "\"") && AppendText(out, size, path) && AppendText(out, size, "\"");
}

// The first occurrence of part in text, or null.
static char* FindText(char* text, const char* part) {
  for (; *text; ++text) {
    int i = 0;
    while (part[i] && text[i] == part[i]) ++i;
    if (!part[i]) return text;
  }
  return nullptr;
}

LONG FindOpenCommand(HKEY root, const char* subKey, char* out) {
  HKEY key;
  const LONG error = RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key);
  if (error != ERROR_SUCCESS) return error;
  // At most 260 bytes are read; the value may be stored without its
  // terminator, so one is put after it and the copy is cut to 259.
  char value[kPathBufferSize + 1];
  LONG size = kPathBufferSize;
  if (RegQueryValueA(key, nullptr, value, &size) == ERROR_SUCCESS) {
    value[size] = 0;
    CopyPath(out, value);
  }
  RegCloseKey(key);
  return ERROR_SUCCESS;
}

int RunOpenCommand(const char* file, const char* extension) {
  char command[kCommandSize];
  command[0] = 0;
  LONG error = FindOpenCommand(HKEY_CLASSES_ROOT, extension, command);
  if (error != ERROR_SUCCESS) return error;
  AppendText(command, kCommandSize, "\\shell\\open\\command");
  error = FindOpenCommand(HKEY_CLASSES_ROOT, command, command);
  if (error != ERROR_SUCCESS) return error;
  char* placeholder = FindText(command, "\"%1\"");
  if (!placeholder) placeholder = FindText(command, "%1");
  if (placeholder) *placeholder = 0;
  if (!AppendText(command, kCommandSize, " ") || !AppendQuoted(command, kCommandSize, file)) return 0;
  return WinExec(command, SW_SHOW);
}

int OpenDocument(const char* file, const char* extension) {
  const UINT_PTR shell = reinterpret_cast<UINT_PTR>(ShellExecuteA(nullptr, "open", file, nullptr, nullptr, SW_SHOW));
  if (shell > 32) return static_cast<int>(shell);
  return RunOpenCommand(file, extension);
}

void LaunchFinishProgram() {
  if (!LaunchRecord) return;
  GetTargetPath(LaunchRecord);
  const FileHandle file = FileOpen(TargetPath, kFileRead);
  if (file == kInvalidFile) return;
  FileClose(file);
  const char* extension = ".";
  for (const char* p = TargetPath; *p; ++p)
    if (*p == '.') extension = p;
  OpenDocument(TargetPath, extension);
}

void RunAfterWizard(bool checked) {
  if (!checked || !RunAfterRecord) return;
  GetTargetPath(RunAfterRecord);
  char command[kPathBufferSize + 2];
  command[0] = 0;
  AppendQuoted(command, sizeof command, TargetPath);
  WinExec(command, SW_SHOWNORMAL);
}
