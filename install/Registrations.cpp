// Shared-use counts, fonts, screen savers and self-registering modules.
#include "install/Registrations.h"

#include <windows.h>

#include "base/NativeTools.h"
#include "base/RunLog.h"
#include "install/InstallStep.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Paths.h"
#include "uninstlog/UninstallLog.h"

static const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

void AddSharedCount(const char* targetPath) {
  // Other programs count a 64-bit system file under its System32 name.
  char name[kPathBufferSize];
  lstrcpynA(name, targetPath, kPathBufferSize);
  if (Uses64BitView) NativeSystemName(name);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, RegistryAccess(KEY_ALL_ACCESS), &key) != ERROR_SUCCESS)
    return;
  DWORD count = 0, type = REG_DWORD, size = sizeof count;
  // A value that is absent or longer than four bytes starts again at 1.
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) != ERROR_SUCCESS) {
    count = 0;
    type = REG_DWORD;
  }
  ++count;
  if (RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(&count), sizeof count) == ERROR_SUCCESS)
    LogEvent("registry SharedDLLs", name);
  RegCloseKey(key);
}

bool AddFont(const char* targetPath) {
  if (!AddFontResourceA(targetPath)) return false;
  LogEvent("font", targetPath);
  // A per-user font is loaded at the next logon through its value under
  // the user's Fonts key: the file's name, holding its path.
  HKEY key;
  if ((SetupFlags & kPerUserScope) && CreateSetupKey(HKEY_CURRENT_USER, kUserFontsKey, &key) == ERROR_SUCCESS) {
    RegSetValueExA(key, AfterLastBackslash(targetPath), 0, REG_SZ, reinterpret_cast<const BYTE*>(targetPath),
                   lstrlenA(targetPath) + 1);
    RegCloseKey(key);
  }
  SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
  return true;
}

void RegisterModule(const char* targetPath) {
  HMODULE module = LoadLibraryA(targetPath);
  // A 64-bit module cannot load into this 32-bit program: the 64-bit
  // regsvr32 registers it.
  if (!module && Uses64BitView) {
    if (RunNativeRegsvr32("/s", targetPath)) LogEvent("registered", targetPath);
    return;
  }
  if (reinterpret_cast<UINT_PTR>(module) < 32) return;
  typedef HRESULT(__stdcall * RegisterServer)();
  RegisterServer registerServer = reinterpret_cast<RegisterServer>(GetProcAddress(module, "DllRegisterServer"));
  if (registerServer) {
    registerServer();
    LogEvent("registered", targetPath);
  }
  FreeLibrary(module);
}

void RunFollowUpActions(uint8_t* record) {
  const uint8_t destinationKind = record[FileRecordField::destinationKind];
  const uint8_t registerKind = record[FileRecordField::registerKind];
  if (destinationKind != kDestInstallDir && record[FileRecordField::trackShared] == 1) AddSharedCount(TargetPath);
  if (destinationKind == kDestFonts) AddFont(TargetPath);
  if (registerKind == kRegisterScreenSaver) ScreenSaverRecord = record;
  if (registerKind == kRegisterSelf) RegisterModule(TargetPath);
}
