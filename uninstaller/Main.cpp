// The uninstaller's entry point and its one road: read this file, check the
// log whole, ask, remove, hand the last step to a temporary copy, report.
//
// Command line: nothing (ask and report in message boxes), /S (silent: no
// message at all, the result is the exit code only), or /CLEANUP, which
// only the program itself gives to its temporary copy. Exit codes are the
// k*Exit values of UninstallerFile.h.
#include <windows.h>

#include "base/CommandLine.h"
#include "base/ScheduleAtRestart.h"
#include "uninstaller/Uninstaller.h"

// True when text begins with the switch word (any case) followed by the end
// or a blank; *rest is then what follows.
static bool IsSwitch(const char* text, const char* word, const char** rest) {
  uint32_t i = 0;
  for (; word[i]; ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != word[i]) return false;
  }
  if (text[i] && text[i] != ' ' && text[i] != '\t') return false;
  *rest = SkipBlanks(text + i);
  return true;
}

void FreeBytes(uint8_t* bytes) { HeapFree(GetProcessHeap(), 0, bytes); }

bool ReadWholeFile(const char* path, uint8_t** bytes, uint32_t* size) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0;
  const DWORD length = GetFileSize(file, &high);
  bool ok = false;
  *bytes = nullptr;
  if (length != INVALID_FILE_SIZE && !high && length <= kOwnFileLimit &&
      (*bytes = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, length ? length : 1))) != nullptr) {
    DWORD got = 0;
    ok = ReadFile(file, *bytes, length, &got, nullptr) && got == length;
    *size = length;
    if (!ok) {
      FreeBytes(*bytes);
      *bytes = nullptr;
    }
  }
  CloseHandle(file);
  return ok;
}

bool ReadOwnFile(OwnFile* file) {
  const DWORD length = GetModuleFileNameA(nullptr, file->path, kPathBufferSize);
  if (!length || length >= kPathBufferSize) return false;
  return ReadWholeFile(file->path, &file->bytes, &file->size);
}

// The log of a signed uninstaller, from the file beside it: installed when
// it holds a valid log, not installed when there is no such file.
static UninstallerFileStatus ReadSeparateLog(const char* program, const uint8_t** log, uint32_t* size) {
  char path[kPathBufferSize];
  uint8_t* bytes;
  if (!SeparateLogPath(program, path)) return kUninstallerDamaged;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return kUninstallerNotInstalled;
  if (!ReadWholeFile(path, &bytes, size)) return kUninstallerDamaged;
  *log = bytes;
  return ReadUninstallLog(bytes, *size, nullptr) == kLogValid ? kUninstallerInstalled : kUninstallerDamaged;
}

static void Tell(bool silent, const UninstallerLayout& layout, UninstallerText text, UINT icon) {
  if (!silent)
    MessageBoxA(nullptr, layout.texts[text], layout.texts[kTextCaption], MB_OK | icon | MB_SETFOREGROUND);
}

static uint32_t Uninstall(bool silent, bool badArguments) {
  OwnFile self;
  UninstallerLayout layout;
  if (!ReadOwnFile(&self)) {
    ReadUninstallerFile(nullptr, 0, 0, &layout);  // the defaults only
    Tell(silent, layout, kTextDamaged, MB_ICONERROR);
    return kExitNoValidLog;
  }
  UninstallerFileStatus status = ReadUninstallerFile(self.bytes, self.size, ProgramSize(), &layout);
  if (badArguments) {
    Tell(silent, layout, kTextBadArguments, MB_ICONERROR);
    return kExitInvalidArguments;
  }
  const uint8_t* log = self.bytes + layout.logOffset;
  uint32_t logSize = self.size - layout.logOffset;
  char base[kPathBufferSize];
  lstrcpynA(base, self.path, kPathBufferSize);
  if (status == kUninstallerLogBeside) status = ReadSeparateLog(self.path, &log, &logSize);
  if (status == kUninstallerNotInstalled) {
    Tell(silent, layout, kTextNoLog, MB_ICONERROR);
    return kExitNoValidLog;
  }
  if (status != kUninstallerInstalled || !CutFileName(base) || !CheckLogPaths(log, logSize, base) ||
      !LogKeyNamesProgram(log, logSize, self.path)) {
    Tell(silent, layout, kTextDamaged, MB_ICONERROR);
    return kExitNoValidLog;
  }
  if (!silent && MessageBoxA(nullptr, layout.texts[kTextConfirm], layout.texts[kTextCaption],
                             MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND) != IDYES)
    return kExitCancelled;

  Removal state = {base, false, false, false};
  RemoveInstallation(log, logSize, &state);
  StartCleanupCopy(self, base);
  if (state.incomplete) {
    Tell(silent, layout, kTextIncomplete, MB_ICONWARNING);
    return kExitIncomplete;
  }
  if (state.restartNeeded) {
    Tell(silent, layout, kTextDoneRestart, MB_ICONINFORMATION);
    return kExitRestartNeeded;
  }
  Tell(silent, layout, kTextDone, MB_ICONINFORMATION);
  return kExitRemoved;
}

static uint32_t UninstallerMain(const char* arguments) {
  FindWindowsFamily();
  // Nothing here may keep a folder of the installation busy.
  char temp[kPathBufferSize];
  const DWORD length = GetTempPathA(kPathBufferSize, temp);
  if (length && length < kPathBufferSize) SetCurrentDirectoryA(temp);

  const char* rest;
  if (IsSwitch(arguments, "/CLEANUP", &rest)) return RunCleanup(rest);
  bool silent = false;
  if (IsSwitch(arguments, "/S", &rest)) {
    silent = true;
    arguments = rest;
  }
  return Uninstall(silent, *arguments != 0);
}

extern "C" void WinMainCRTStartup() {
  ExitProcess(UninstallerMain(SkipProgramName(GetCommandLineA())));
}
