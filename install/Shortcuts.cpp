// Shortcuts through the shell-link COM object. The GUIDs are spelt out here
// rather than taken from libuuid, which the stub does not link.
//
// Every link path is built in a 260-byte buffer; a folder and name that do
// not fit together give no shortcut rather than one with a cut name.
#include "install/Shortcuts.h"

#include <objidl.h>
#include <shlobj.h>

#include "base/RunLog.h"
#include "install/DestinationCheck.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Paths.h"

static const GUID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kShellLinkAInterface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kPersistFileInterface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

HRESULT CreateShellLink(const char* target, const char* linkFile, const char* arguments, int iconIndex) {
  IShellLinkA* link;
  HRESULT result = CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkAInterface,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(result)) return result;
  link->SetPath(target);
  char folder[kPathBufferSize];
  CopyPath(folder, target);
  char* lastBackslash = nullptr;
  for (char* p = folder; *p; p = CharNextA(p))
    if (*p == '\\') lastBackslash = p;
  if (lastBackslash) {
    *lastBackslash = 0;
    link->SetWorkingDirectory(folder);
  }
  if (*arguments) link->SetArguments(arguments);
  if (iconIndex) link->SetIconLocation(target, iconIndex);
  IPersistFile* file;
  result = link->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(result)) {
    WCHAR widePath[kPathBufferSize];
    if (!MultiByteToWideChar(CP_ACP, 0, linkFile, -1, widePath, kPathBufferSize)) widePath[0] = 0;
    result = file->Save(widePath, TRUE);
    file->Release();
  }
  link->Release();
  LogEvent(SUCCEEDED(result) ? "shortcut" : "shortcut failed", linkFile);
  return result;
}

bool BuildLinkPath(char* link, const char* folder, const char* name) {
  CopyPath(link, folder);
  return JoinPath(link, name) && AppendPath(link, ".lnk");
}

void CreateDesktopShortcut(const uint8_t* record) {
  const char* name = RecordString(record, kStringDesktopShortcutName);
  if (!*name) return;
  char folder[kPathBufferSize];
  char link[kPathBufferSize];
  if (!GetSpecialFolder(CSIDL_DESKTOP, folder)) return;
  if (!BuildLinkPath(link, folder, name)) return;
  CreateShellLink(TargetPath, link, RecordString(record, kStringDesktopShortcutArgs), 0);
}

// The shortcut folder of a group, created when missing; false when it
// cannot be entered even then.
static bool OpenShortcutFolder(const char* groupName, char* folder) {
  ShortcutFolder(groupName, folder);
  if (SetCurrentDirectoryA(folder)) return true;
  char chain[kPathBufferSize];
  CopyPath(chain, folder);
  AddBackslash(chain);
  CreateFolderChain(chain);
  return SetCurrentDirectoryA(folder);
}

void CreateMenuShortcuts(HANDLE log, ShortcutRecorder recorder) {
  char folder[kPathBufferSize];
  char link[kPathBufferSize];
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i, record = NextFileRecord(record)) {
    const char* name = RecordString(record, kStringMenuShortcutName);
    if (!*name) continue;
    GetTargetPath(record);
    if (!OpenShortcutFolder(RecordString(record, kStringGroupName), folder)) continue;
    if (!BuildLinkPath(link, folder, name)) continue;
    CreateShellLink(TargetPath, link, RecordString(record, kStringMenuShortcutArgs),
                    ReadU16Le(record + FileRecordField::iconIndex));
    if (log != INVALID_HANDLE_VALUE && recorder) recorder(log, folder, link + lstrlenA(link) - lstrlenA(name) - 4);
  }
}
