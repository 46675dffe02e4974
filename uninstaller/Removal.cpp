// Removing what the uninstall log names, in log order: files (with their
// shared counts, fonts and registrations), start-menu shortcuts and their
// folders, the Uninstall key; then the installation's empty folders.
//
// Every path is built with the checks of LogFilePath and LogShortcutPath;
// CheckLogPaths (uninstlog/UninstallerFile.h) runs the same checks over the
// whole log first, so a log with one forbidden path removes nothing at all.
#include <windows.h>
#include <shlobj.h>

#include "base/NativeTools.h"
#include "base/ScheduleAtRestart.h"
#include "uninstaller/Uninstaller.h"

static const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

static bool FilePath(const char* base, LogText folder, LogText name, char* path) {
  return LogFilePath(base, folder, name, path);
}

static bool ShortcutPath(LogText folder, LogText name, char* path) { return LogShortcutPath(folder, name, path); }

static bool IsInstallationFolder(LogText folder) { return folder.text[0] == '.'; }

// The root field of the log's UninstallRegKey, found by LogKeyNamesProgram
// before anything is removed: the installation's root (the machine's or
// the user's) and its registry view.
static uint32_t LogRoot = kLogRegistryRoot;

static HKEY LogRootKey() { return (LogRoot & ~(kLogView64 | kLogUtf8)) == kLogUserRoot ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
static REGSAM LogAccess(REGSAM access) { return access | (LogRoot & kLogView64); }

// --- The program's own place ----------------------------------------------------

// Identifies a file by volume and index, whatever name or form of its path
// it was opened by (long or short names, any case).
static bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, info) != FALSE;
  CloseHandle(file);
  return known;
}

struct KeyCheck {
  const char* program;
  bool named;
};

// The log's key as a terminated text in name (kUninstallKeyBufferSize
// bytes); false when it does not fit.
static bool KeyText(LogText key, char* name) {
  if (key.length >= kUninstallKeyBufferSize) return false;
  for (uint32_t i = 0; i < key.length; ++i) name[i] = key.text[i];
  name[key.length] = 0;
  return true;
}

static void CheckKeyNamesProgram(void* context, uint32_t root, LogText key) {
  KeyCheck* check = static_cast<KeyCheck*>(context);
  char name[kUninstallKeyBufferSize];
  LogRoot = root;
  if (!KeyText(key, name)) return;
  HKEY handle;
  if (RegOpenKeyExA(LogRootKey(), name, 0, LogAccess(KEY_QUERY_VALUE), &handle) != ERROR_SUCCESS) return;
  char command[kPathBufferSize + 2];
  DWORD type = 0, length = sizeof command - 1;
  const bool read = RegQueryValueExA(handle, "UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(command),
                                     &length) == ERROR_SUCCESS && type == REG_SZ;
  RegCloseKey(handle);
  command[read ? length : 0] = 0;
  // The setup writes the path in quotes: "C:\Program Files\App\uninstall.exe".
  const int last = lstrlenA(command) - 1;
  if (last < 2 || command[0] != '"' || command[last] != '"') return;
  command[last] = 0;
  BY_HANDLE_FILE_INFORMATION named, self;
  check->named = FileIdentity(command + 1, &named) && FileIdentity(check->program, &self) &&
                 named.dwVolumeSerialNumber == self.dwVolumeSerialNumber &&
                 named.nFileIndexHigh == self.nFileIndexHigh && named.nFileIndexLow == self.nFileIndexLow;
}

bool LogKeyNamesProgram(const uint8_t* log, uint32_t size, const char* program) {
  KeyCheck check = {program, false};
  const UninstallLogVisitor visitor = {&check, nullptr, nullptr, CheckKeyNamesProgram};
  ReadUninstallLog(log, size, &visitor);
  return check.named;
}

// --- Files --------------------------------------------------------------------

bool DeleteAtRestart(const char* path) {
  if (!IsNT) {  // WININIT.INI; it cannot tell whether the entry will work
    ScheduleAtRestart(nullptr, path);
    return true;
  }
  return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

// Deletes a file, or schedules it for the next restart when it is in use.
static void DeleteLoggedFile(const char* path, Removal* state) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;  // already gone
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {         // not the file that was installed
    state->incomplete = true;
    return;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
  if (DeleteFileA(path)) return;
  if (DeleteAtRestart(path)) {
    state->restartNeeded = true;
    return;
  }
  state->incomplete = true;
}

enum SharedUse { kLastUse, kStillUsed, kNoCount };

// Lowers the file's count under SharedDLLs: the value goes when it reaches
// zero. A file without a readable 4-byte count is left alone: nothing says
// that no other program uses it.
static SharedUse LowerSharedCount(const char* file) {
  // Other programs count a 64-bit system file under its System32 name.
  char path[kPathBufferSize];
  lstrcpynA(path, file, kPathBufferSize);
  if (LogRoot & kLogView64) NativeSystemName(path);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, LogAccess(KEY_QUERY_VALUE | KEY_SET_VALUE), &key) !=
      ERROR_SUCCESS)
    return kNoCount;
  DWORD type = 0, count = 0, size = sizeof count;
  SharedUse use = kNoCount;
  if (RegQueryValueExA(key, path, nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) == ERROR_SUCCESS &&
      size == sizeof count && (type == REG_DWORD || type == REG_BINARY)) {
    if (count > 1) {
      --count;
      RegSetValueExA(key, path, 0, type, reinterpret_cast<const BYTE*>(&count), sizeof count);
      use = kStillUsed;
    } else {
      RegDeleteValueA(key, path);
      use = kLastUse;
    }
  }
  RegCloseKey(key);
  return use;
}

static void UnregisterModule(const char* path) {
  HMODULE module = LoadLibraryA(path);
  // A 64-bit module of a 64-bit installation: its own regsvr32 removes it.
  if (!module && (LogRoot & kLogView64)) RunNativeRegsvr32("/u /s", path);
  if (reinterpret_cast<UINT_PTR>(module) < 32) return;
  typedef HRESULT(__stdcall * UnregisterServer)();
  UnregisterServer unregister = reinterpret_cast<UnregisterServer>(GetProcAddress(module, "DllUnregisterServer"));
  if (unregister) unregister();
  FreeLibrary(module);
}

static void RemoveFile(void* context, LogText folder, LogText name, uint8_t flags) {
  Removal* state = static_cast<Removal*>(context);
  char path[kPathBufferSize];
  if (!FilePath(state->base, folder, name, path)) return;
  if ((flags & kLogSharedFile) && LowerSharedCount(path) != kLastUse) return;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  // Only a per-user font has a value (under the user's Fonts key).
  if ((flags & kLogFontFile) && RemoveFontResourceA(path)) state->fontsChanged = true;
  HKEY fonts;
  if ((flags & kLogFontFile) && LogRootKey() == HKEY_CURRENT_USER &&
      RegOpenKeyExA(HKEY_CURRENT_USER, kUserFontsKey, 0, KEY_SET_VALUE, &fonts) == ERROR_SUCCESS) {
    RegDeleteValueA(fonts, AfterLastBackslash(path));
    RegCloseKey(fonts);
  }
  if (flags & kLogRegisteredModule) UnregisterModule(path);
  DeleteLoggedFile(path, state);
}

// --- Folders ------------------------------------------------------------------

// Removes folder and then its parents while they are empty and lie strictly
// below top. A folder that cannot be removed now is scheduled for the next
// restart when files are waiting for it (it may be empty by then);
// otherwise the climb stops there.
static void RemoveFolderChain(char* folder, const char* top, Removal* state) {
  while (IsBelowFolder(folder, top)) {
    if (!RemoveDirectoryA(folder) && GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES) {
      if (!state->restartNeeded) return;
      DeleteAtRestart(folder);
    }
    if (!CutLastPart(folder)) return;
  }
}

static void RemoveFolderOf(void* context, LogText folder, LogText, uint8_t) {
  Removal* state = static_cast<Removal*>(context);
  char path[kPathBufferSize];
  if (!IsInstallationFolder(folder) || !ResolveLogFolder(state->base, folder, path)) return;
  RemoveFolderChain(path, state->base, state);
}

void RemoveEmptyFolders(const uint8_t* log, uint32_t size, Removal* state) {
  const UninstallLogVisitor visitor = {state, RemoveFolderOf, nullptr, nullptr};
  ReadUninstallLog(log, size, &visitor);
}

// --- Shortcuts and the registry -----------------------------------------------

static bool SpecialFolder(int which, char* path) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, which, &list)) || !list) return false;
  const bool found = SHGetPathFromIDListA(list, path) != FALSE;
  CoTaskMemFree(list);
  return found;
}

static void RemoveShortcut(void* context, LogText folder, LogText name) {
  Removal* state = static_cast<Removal*>(context);
  char path[kPathBufferSize];
  if (!ShortcutPath(folder, name, path)) return;
  DeleteLoggedFile(path, state);
  // The shortcut's folder and its parents go while they are empty, but only
  // below a Programs folder: the start menu and the startup folder stay.
  CutLastPart(path);
  static const int kProgramsFolders[] = {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS};
  for (int which : kProgramsFolders) {
    char programs[kPathBufferSize];
    if (SpecialFolder(which, programs) && IsBelowFolder(path, programs)) {
      RemoveFolderChain(path, programs, state);
      return;
    }
  }
}

static void RemoveUninstallKey(void* context, uint32_t, LogText key) {
  Removal* state = static_cast<Removal*>(context);
  char name[kUninstallKeyBufferSize];
  if (!KeyText(key, name)) return;
  // Deleted from its parent opened in the log's view: RegDeleteKeyA alone
  // would reach only this program's own view.
  name[kUninstallKeyPrefixLength - 1] = 0;
  HKEY parent;
  LONG result = RegOpenKeyExA(LogRootKey(), name, 0, LogAccess(KEY_ALL_ACCESS), &parent);
  if (result == ERROR_SUCCESS) {
    result = RegDeleteKeyA(parent, name + kUninstallKeyPrefixLength);
    RegCloseKey(parent);
  }
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) state->incomplete = true;
}

void RemoveInstallation(const uint8_t* log, uint32_t size, Removal* state) {
  const UninstallLogVisitor visitor = {state, RemoveFile, RemoveShortcut, RemoveUninstallKey};
  ReadUninstallLog(log, size, &visitor);
  RemoveEmptyFolders(log, size, state);
  // The folder itself holds this program until its copy deletes it; when
  // files wait for the restart, the folder goes after them (if empty then).
  if (state->restartNeeded && !IsDriveRoot(state->base))
    DeleteAtRestart(state->base);
  if (state->fontsChanged) {
    DWORD_PTR answer;
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
  }
}
