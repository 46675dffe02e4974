// Holds a file open the way a running program does, for the tests of busy
// targets: setvik-holdfile FILE READY-FLAG [read|delete] opens FILE without
// sharing (with "read": others may read it, but not delete or rename it;
// with "delete": others may delete it, but neither read nor write it),
// creates READY-FLAG, and keeps the file open until READY-FLAG is deleted
// or two minutes have passed. Exit code 1 when FILE does not open.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  DWORD share = 0;
  if (argc > 3 && !lstrcmpiA(argv[3], "read")) share = FILE_SHARE_READ;
  if (argc > 3 && !lstrcmpiA(argv[3], "delete")) share = FILE_SHARE_DELETE;
  HANDLE held = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  HANDLE flag = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (flag == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(flag);
  for (int i = 0; i < 1200 && GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  CloseHandle(held);
  return 0;
}
