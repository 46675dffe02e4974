// Folder macros, the remembered installation folder and destination paths
// (see Paths.h).
#include "setupdata/Paths.h"

#include <shlobj.h>
#include <windows.h>

#include "base/Buffer.h"
#include "base/FileAccess.h"
#include "setupdata/FileRecord.h"

bool Uses64BitView;

HKEY InstallationRoot() { return (SetupFlags & kPerUserScope) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

bool FindWindowsWidth() {
  typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, BOOL*);
  const IsWow64ProcessFunction isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  if (isWow64 && !isWow64(GetCurrentProcess(), &wow64)) wow64 = FALSE;
  Uses64BitView = wow64 && (SetupFlags & kArchitectureX64);
  return wow64 || !(SetupFlags & kArchitectureX64);
}

REGSAM RegistryAccess(REGSAM access) { return Uses64BitView ? access | KEY_WOW64_64KEY : access; }

LONG CreateSetupKey(HKEY root, const char* path, HKEY* key) {
  return RegCreateKeyExA(root, path, 0, nullptr, 0, RegistryAccess(KEY_WRITE), nullptr, key, nullptr);
}

// The Windows folder, or the system folder when system is true, into the
// 260-byte out; empty when it does not fit. A 32-bit program on 64-bit
// Windows sees SysWOW64 under the system folder's name; a 64-bit setup's
// system folder is the real one, which such a program reaches as Sysnative.
static void WindowsFolder(bool system, char* out) {
  const bool native = system && Uses64BitView;
  const UINT length = system && !native ? GetSystemDirectoryA(out, kPathBufferSize) : GetWindowsDirectoryA(out, kPathBufferSize);
  if (length >= kPathBufferSize) out[0] = 0;
  if (native && out[0]) JoinPath(out, "Sysnative");
}

// The text value name of key path under root into the 260-byte out; empty
// when the key or the value cannot be read.
static void ReadRegistryText(HKEY root, const char* path, const char* name, char* out) {
  HKEY key;
  out[0] = 0;
  if (RegOpenKeyExA(root, path, 0, RegistryAccess(KEY_READ), &key)) return;
  DWORD size = kPathBufferSize;
  // A stored value need not be terminated: it ends where its size says.
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size)) size = 0;
  out[size < kPathBufferSize ? size : kPathBufferSize - 1] = 0;
  RegCloseKey(key);
}

// The base folder of a folder macro into the 260-byte base; empty for an
// unknown macro or a value that cannot be read.
static void MacroFolder(const char* macro, char* base) {
  base[0] = 0;
  if (!lstrcmpiA(macro, "#Windows#")) {
    WindowsFolder(false, base);
  } else if (!lstrcmpiA(macro, "#System#")) {
    WindowsFolder(true, base);
  } else if (!lstrcmpiA(macro, "#Program Files#")) {
    // A per-user installation's programs live in the user's own folder.
    if (!(SetupFlags & kPerUserScope))
      ReadRegistryText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", base);
    else if (GetSpecialFolder(CSIDL_LOCAL_APPDATA, base))
      JoinPath(base, "Programs");
    else
      base[0] = 0;
  }
}

void ExpandFolderMacro(char* path) {
  if (path[0] != '#') return;
  char* close = path + 1;
  while (*close && *close != '#') ++close;
  if (!*close) return;
  char* rest = close + 1;
  const char saved = *rest;
  *rest = 0;
  MacroFolder(path, WorkPath);
  *rest = saved;
  if (*rest == '\\') ++rest;
  JoinPath(WorkPath, rest);
  CopyPath(path, WorkPath);
}

// Replaces the last component of result (the text after its last backslash)
// by the name that the file system lists for result. False when the lookup
// fails.
static bool UseListedName(char* result) {
  for (const char* p = result; *p; ++p)
    if (*p == '*' || *p == '?') return false;  // a pattern would match other names
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(result, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  char* component = const_cast<char*>(AfterLastBackslash(result));
  *component = 0;
  AppendPath(result, found.cFileName);
  return true;
}

void NormalizeDirCase(char* path) {
  char result[kPathBufferSize];
  const char* at = path;
  result[0] = 0;
  if (path[0] && path[1] == ':') {
    lstrcpynA(result, path, 3);
    at += 2;
  }
  while (*at == '\\') ++at;
  for (;;) {
    const char* end = at;
    while (*end && *end != '\\') ++end;
    AppendPath(result, "\\");
    uint32_t length = lstrlenA(result);
    uint32_t take = static_cast<uint32_t>(end - at);
    if (length + take >= kPathBufferSize) return;
    lstrcpynA(result + length, at, take + 1);
    if (!*end || !end[1]) break;  // the last component, with or without a trailing backslash
    if (!UseListedName(result)) return;
    at = end + 1;
  }
  RemoveBackslash(result);
  const int length = lstrlenA(result);
  if (length && result[length - 1] == '\\') return;  // a drive root alone
  if (!UseListedName(result)) return;
  CopyPath(path, result);
}

HKEY FolderMemoryRoot() {
  switch (DirRegistryRoot) {
    case 0: return HKEY_CLASSES_ROOT;
    case 2: return HKEY_LOCAL_MACHINE;
    case 3: return HKEY_USERS;
    default: return HKEY_CURRENT_USER;
  }
}

// The remembered folder from the registry or the INI file into WorkPath;
// empty when there is none or it cannot be read.
static void ReadRememberedDir() {
  WorkPath[0] = 0;
  if (DirRegistryKey) {
    ReadRegistryText(FolderMemoryRoot(), DirRegistryKey, DirRegistryValue, WorkPath);
  } else if (DirIniFile && DirIniSection && DirIniKey) {
    GetPrivateProfileStringA(DirIniSection, DirIniKey, "", WorkPath, kPathBufferSize, DirIniFile);
  }
}

void ResolveDefaultDir() {
  ReadRememberedDir();
  if (!WorkPath[0]) {
    ExpandFolderMacro(InstallDir);
    return;
  }
  CopyPath(InstallDir, WorkPath);
  int length = lstrlenA(InstallDir);
  while (length && !SetCurrentDirectoryA(InstallDir)) InstallDir[--length] = 0;
  if (length) NormalizeDirCase(InstallDir);
}

bool UserFontsFolder(char* folder) {
  if (!(SetupFlags & kPerUserScope) || !GetSpecialFolder(CSIDL_LOCAL_APPDATA, folder)) return false;
  JoinPath(folder, "Microsoft\\Windows\\Fonts");
  return true;
}

bool GetSpecialFolder(int id, char* folder) {
  LPITEMIDLIST list;
  bool found = false;
  if (SHGetSpecialFolderLocation(nullptr, id, &list) == S_OK) {
    found = SHGetPathFromIDListA(list, folder) && folder[0];
    CoTaskMemFree(list);
  }
  if (!found) CopyPath(folder, InstallDir);
  return found;
}

// A shared file (destinationKind 2): the folder that the version-installation
// service proposes, else the system folder, joined with the name alone.
// Returns the in-use answer (0 or 1), or -1 without scratch space. Two paths
// are the same file only when their texts are equal without regard to case;
// a short and a long form of one folder count as different.
static int GetSharedTargetPath(const char* fileName) {
  char* scratch;
  if (!AllocateZeroed(3 * kPathBufferSize, scratch)) return -1;
  char* destination = scratch;
  char* current = scratch + kPathBufferSize;
  char* windows = current + kPathBufferSize;
  const char* base = AfterLastBackslash(fileName);
  RemoveBackslash(TargetPath);
  WindowsFolder(false, windows);
  // The service joins the name to the folders in path buffers of its own:
  // a name that cannot fit beside them is not handed over.
  UINT currentLength = kPathBufferSize, destinationLength = kPathBufferSize;
  DWORD answer = 0;
  const int windowsLength = lstrlenA(windows), targetLength = lstrlenA(TargetPath);
  const int folderLength = windowsLength > targetLength ? windowsLength : targetLength;
  // The service answers for this 32-bit program's own system folder; a
  // 64-bit setup's shared files go into the real one.
  if (!Uses64BitView && folderLength + lstrlenA(base) + 2 <= static_cast<int>(kPathBufferSize))
    answer = VerFindFileA(VFFF_ISSHAREDFILE, const_cast<char*>(base), windows, TargetPath, current, &currentLength,
                          destination, &destinationLength);
  destination[kPathBufferSize - 1] = current[kPathBufferSize - 1] = 0;
  const int inUse = (answer & VFF_FILEINUSE) ? 1 : 0;
  if (destination[0]) CopyPath(TargetPath, destination);
  else WindowsFolder(true, TargetPath);
  JoinPath(TargetPath, base);
  int result = 0;
  FileHandle existing = FileOpen(TargetPath, kFileRead);
  if (existing != kInvalidFile) {
    FileClose(existing);
    result = inUse;
  } else if (current[0]) {
    JoinPath(current, base);
    if (!lstrcmpiA(current, TargetPath)) result = inUse;
  }
  ReleaseBuffer(scratch);
  return result;
}

int GetTargetPath(const uint8_t* record) {
  const char* fileName = RecordString(record, kStringFileName);
  if (record[FileRecordField::uninstallMode] == kUninstallExternal) {
    CopyPath(TargetPath, SetupFilePath);
    *const_cast<char*>(AfterLastBackslash(TargetPath)) = 0;
    AppendPath(TargetPath, fileName);
    return 0;
  }
  CopyPath(TargetPath, InstallDir);
  switch (record[FileRecordField::destinationKind]) {
    case kDestWindows:
      WindowsFolder(false, TargetPath);
      break;
    case kDestFonts:
      UserFontsFolder(TargetPath) || GetSpecialFolder(CSIDL_FONTS, TargetPath);
      break;
    case kDestSharedSystem: {
      const int inUse = GetSharedTargetPath(fileName);
      if (inUse >= 0) return inUse;
      CopyPath(TargetPath, InstallDir);
      break;
    }
  }
  JoinPath(TargetPath, fileName);
  return 0;
}

void ShortcutFolder(const char* groupName, char* folder) {
  int id = CSIDL_PROGRAMS;
  if (!lstrcmpiA(groupName, "#Start Menu#")) {
    id = CSIDL_STARTMENU;
    groupName = "";
  } else if (!lstrcmpiA(groupName, "#Startup#")) {
    id = CSIDL_STARTUP;
    groupName = "";
  }
  GetSpecialFolder(id, folder);
  if (*groupName) {
    JoinPath(folder, groupName);
  }
  RemoveBackslash(folder);
}
