// Holds a file the way a running program does, for the tests of busy
// targets: setvik-holdfile FILE READY-FLAG [read|delete|load] opens FILE
// without sharing (with "read": others may read it, but not delete or
// rename it; with "delete": others may delete it, but neither read nor
// write it; with "load": FILE is loaded as a library, mapped the way a
// running program's modules are), creates READY-FLAG, and keeps the file
// until READY-FLAG is deleted or two minutes have passed. Exit code 1 when
// FILE does not open or load.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const char* mode = argc > 3 ? argv[3] : "";
  HANDLE held = INVALID_HANDLE_VALUE;
  HMODULE loaded = nullptr;
  if (!lstrcmpiA(mode, "load")) {
    loaded = LoadLibraryExA(argv[1], nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!loaded) return 1;
  } else {
    DWORD share = 0;
    if (!lstrcmpiA(mode, "read")) share = FILE_SHARE_READ;
    if (!lstrcmpiA(mode, "delete")) share = FILE_SHARE_DELETE;
    held = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
  }
  HANDLE flag = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (flag == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(flag);
  for (int i = 0; i < 1200 && GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  if (loaded) FreeLibrary(loaded);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  return 0;
}
