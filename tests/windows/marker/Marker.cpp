// A program for the launch tests: writes the command line it was started
// with into a file named after itself plus ".txt", then ends. A test that
// finds the file knows which copy ran and with what.
#include <windows.h>

int main() {
  char path[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (!length || length >= MAX_PATH) return 1;
  lstrcatA(path, ".txt");
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const char* line = GetCommandLineA();
  DWORD written;
  WriteFile(file, line, lstrlenA(line), &written, nullptr);
  CloseHandle(file);
  return 0;
}
