// The 64-bit regsvr32 (see NativeTools.h).
#include "base/NativeTools.h"

#include <windows.h>

#include "base/PathText.h"

bool RunNativeRegsvr32(const char* switches, const char* path) {
  char program[kPathBufferSize];
  char command[2 * kPathBufferSize + 16] = "\"";
  const UINT length = GetWindowsDirectoryA(program, kPathBufferSize);
  if (!length || length >= kPathBufferSize || !JoinPath(program, "Sysnative\\regsvr32.exe")) return false;
  AppendText(command, sizeof command, program);
  AppendText(command, sizeof command, "\" ");
  AppendText(command, sizeof command, switches);
  AppendText(command, sizeof command, " \"");
  AppendText(command, sizeof command, path);
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
