// The 64-bit regsvr32 (see NativeTools.h).
#include "base/NativeTools.h"

#include <windows.h>

#include "base/PathText.h"

void NativeSystemName(char* path) {
  static const char kAlias[] = "\\sysnative\\";
  for (char* at = path; *at; ++at) {
    int i = 0;
    while (kAlias[i] && (at[i] | 0x20) == (kAlias[i] | 0x20)) ++i;
    if (kAlias[i]) continue;
    // "\System32" over "\Sysnative", then the rest one place to the left.
    lstrcpynA(at, "\\System32", 10);
    for (char* to = at + 9; (*to = to[1]) != 0; ++to) {
    }
    return;
  }
}

bool RunNativeRegsvr32(const char* switches, const char* path) {
  char program[kPathBufferSize];
  char native[kPathBufferSize];
  lstrcpynA(native, path, kPathBufferSize);
  NativeSystemName(native);
  char command[2 * kPathBufferSize + 16] = "\"";
  const UINT length = GetWindowsDirectoryA(program, kPathBufferSize);
  if (!length || length >= kPathBufferSize || !JoinPath(program, "Sysnative\\regsvr32.exe")) return false;
  AppendText(command, sizeof command, program);
  AppendText(command, sizeof command, "\" ");
  AppendText(command, sizeof command, switches);
  AppendText(command, sizeof command, " \"");
  AppendText(command, sizeof command, native);
  if (!AppendText(command, sizeof command, "\"")) return false;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(program, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process))
    return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code == 0;
}
