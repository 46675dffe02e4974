// The path-buffer joins of PathText.h for the Windows programs: the setup
// and the uninstaller share them.
#include <windows.h>

#include "base/PathText.h"

bool AppendText(char* out, uint32_t size, const char* text) {
  uint32_t length = lstrlenA(out);
  if (length + 1 >= size) return !*text;
  lstrcpynA(out + length, text, size - length);
  return length + lstrlenA(text) < size;
}

void CopyPath(char* path, const char* text) { lstrcpynA(path, text, kPathBufferSize); }

void AddBackslash(char* path) {
  int length = lstrlenA(path);
  if (length && path[length - 1] != '\\' && length + 1 < static_cast<int>(kPathBufferSize)) {
    path[length] = '\\';
    path[length + 1] = 0;
  }
}

bool JoinPath(char* path, const char* name) {
  AddBackslash(path);
  return AppendPath(path, name);
}

void RemoveBackslash(char* path) {
  int length = lstrlenA(path);
  if (length > 3 && path[length - 1] == '\\') path[length - 1] = 0;
}
