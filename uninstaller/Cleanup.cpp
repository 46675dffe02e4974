// The last step: a running program cannot delete its own file, so the
// uninstaller copies itself to the temporary folder and starts the copy
// with /CLEANUP, a handle of its own process and its path:
//
//   "%TEMP%\_uninst<pid>.exe" /CLEANUP <process handle> <original path>
//
// The copy waits for the original to end, deletes it (only when it holds
// the same bytes as the copy itself, so the switch cannot be turned
// against another file), removes the installation's folders that are now
// empty, and schedules its own file for deletion at the next restart.
#include <windows.h>

#include "uninstaller/Uninstaller.h"

static const DWORD kWaitForOriginal = 10 * 60 * 1000;
static const int kDeleteAttempts = 50;  // 100 ms apart

void StartCleanupCopy(const OwnFile& self, const char* base) {
  char temp[kPathBufferSize], copy[kPathBufferSize + 32], command[2 * kPathBufferSize + 64];
  const DWORD length = GetTempPathA(kPathBufferSize, temp);
  bool started = false;
  if (length && length < kPathBufferSize) {
    wsprintfA(copy, "%s%s_uninst%lu.exe", temp, temp[length - 1] == '\\' ? "" : "\\",
              static_cast<unsigned long>(GetCurrentProcessId()));
    HANDLE process;
    if (lstrlenA(copy) < static_cast<int>(kPathBufferSize) && CopyFileA(self.path, copy, FALSE)) {
      if (DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &process, SYNCHRONIZE,
                          TRUE, 0)) {
        wsprintfA(command, "\"%s\" /CLEANUP %lu %s", copy, static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(process)),
                  self.path);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info;
        started = CreateProcessA(copy, command, nullptr, nullptr, TRUE, 0, nullptr, temp, &startup, &info) != FALSE;
        if (started) {
          CloseHandle(info.hThread);
          CloseHandle(info.hProcess);
        }
        CloseHandle(process);
      }
      if (!started) DeleteFileA(copy);
    }
  }
  if (!started) {  // the restart takes both
    DeleteAtRestart(self.path);
    if (!IsDriveRoot(base)) DeleteAtRestart(base);
  }
}

static bool SameBytes(const uint8_t* a, uint32_t aSize, const uint8_t* b, uint32_t bSize) {
  if (aSize != bSize) return false;
  for (uint32_t i = 0; i < aSize; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

static void DeleteOriginal(const char* path) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    if (DeleteFileA(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
    Sleep(100);
  }
  DeleteAtRestart(path);
}

uint32_t RunCleanup(const char* arguments) {
  uint32_t value = 0;
  while (*arguments >= '0' && *arguments <= '9' && value < 0x10000000u) value = value * 10 + (*arguments++ - '0');
  while (*arguments == ' ') ++arguments;
  char original[kPathBufferSize];
  if (lstrlenA(arguments) >= static_cast<int>(kPathBufferSize) || !*arguments) return kExitInvalidArguments;
  lstrcpynA(original, arguments, kPathBufferSize);

  HANDLE process = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(value));
  if (WaitForSingleObject(process, kWaitForOriginal) != WAIT_FAILED) CloseHandle(process);

  OwnFile self;
  uint32_t result = kExitIncomplete;
  if (ReadOwnFile(&self)) {
    uint8_t* bytes;
    uint32_t size;
    if (ReadWholeFile(original, &bytes, &size)) {
      if (SameBytes(self.bytes, self.size, bytes, size)) {
        DeleteOriginal(original);
        UninstallerLayout layout;
        char base[kPathBufferSize];
        lstrcpynA(base, original, kPathBufferSize);
        const UninstallerFileStatus status = ReadUninstallerFile(self.bytes, self.size, ProgramSize(), &layout);
        if ((status == kUninstallerInstalled || status == kUninstallerLogBeside) && CutFileName(base)) {
          // A separate log went with the original's removal, which emptied
          // every folder of it but the one that held the program.
          Removal state = {base, false, false, false};
          if (status == kUninstallerInstalled)
            RemoveEmptyFolders(self.bytes + layout.logOffset, self.size - layout.logOffset, &state);
          if (!IsDriveRoot(base)) RemoveDirectoryA(base);
          result = kExitRemoved;
        }
      }
      FreeBytes(bytes);
    }
    FreeBytes(self.bytes);
  }
  char own[kPathBufferSize];
  const DWORD length = GetModuleFileNameA(nullptr, own, kPathBufferSize);
  if (length && length < kPathBufferSize) DeleteAtRestart(own);
  return result;
}
