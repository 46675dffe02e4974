// Replacing or deleting a file at the next restart (see ScheduleAtRestart.h).
//
// WININIT.INI cannot hold two entries with one key through the profile
// functions, and a deletion needs the key NUL for every file. So a deletion
// is written under the placeholder key "xyz", and the placeholder is then
// renamed to NUL in the file's bytes, at the first "xyz=" that is followed by
// the short path of the file to delete.
#include "base/ScheduleAtRestart.h"

#include <windows.h>

#include "base/Buffer.h"
#include "base/FileAccess.h"
#include "base/PathText.h"

bool IsNT;

void FindWindowsFamily() { IsNT = (GetVersion() & 0x80000000u) == 0; }

static const char kRenameSection[] = "Rename";
static const char kDeleteKey[] = "xyz";

// Offset of the first "xyz=" + name in text, or -1.
static int FindDeleteEntry(const char* text, uint32_t size, const char* name) {
  const uint32_t nameLength = lstrlenA(name);
  for (uint32_t at = 0; at + 4 + nameLength <= size; ++at) {
    if (text[at] != 'x' || text[at + 1] != 'y' || text[at + 2] != 'z' || text[at + 3] != '=') continue;
    uint32_t i = 0;
    while (i < nameLength && text[at + 4 + i] == name[i]) ++i;
    if (i == nameLength) return static_cast<int>(at);
  }
  return -1;
}

// Turns the placeholder entry of name into a NUL entry in the file.
static void MarkDeleteEntry(const char* iniFile, const char* name) {
  FileHandle file = FileOpen(iniFile, kFileReadWrite);
  if (file == kInvalidFile) return;
  const uint32_t size = FileSize(file);
  char* text;
  if (size != kFileBadPosition && AllocateBuffer(size + 1, text)) {
    if (!FileRead(file, text, size)) {
      const int at = FindDeleteEntry(text, size, name);
      if (at >= 0) {
        text[at] = 'N';
        text[at + 1] = 'U';
        text[at + 2] = 'L';
        if (FileSeekTo(file, 0) == 0) FileWrite(file, text, size);
      }
    }
    ReleaseBuffer(text);
  }
  FileClose(file);
}

// The short form of path into the 260-byte out; the path's own text when it
// has none (a target that does not exist yet) or it does not fit.
static void ShortPathOrSelf(const char* path, char* out) {
  const DWORD length = GetShortPathNameA(path, out, kPathBufferSize);
  if (!length || length >= kPathBufferSize) CopyPath(out, path);
}

static void ScheduleInWininit(const char* target, const char* source) {
  char iniFile[kPathBufferSize], shortSource[kPathBufferSize], shortTarget[kPathBufferSize];
  if (GetWindowsDirectoryA(iniFile, kPathBufferSize) >= kPathBufferSize) return;
  RemoveBackslash(iniFile);
  AppendPath(iniFile, "\\WININIT.INI");
  ShortPathOrSelf(source, shortSource);
  const char* key = kDeleteKey;
  if (target) {
    ShortPathOrSelf(target, shortTarget);
    key = shortTarget;
  }
  WritePrivateProfileStringA(kRenameSection, key, shortSource, iniFile);
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniFile);
  if (!target) MarkDeleteEntry(iniFile, shortSource);
}

void ScheduleAtRestart(const char* target, const char* source) {
  if (IsNT) {
    MoveFileExA(source, target, target ? MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT
                                       : MOVEFILE_DELAY_UNTIL_REBOOT);
  } else {
    ScheduleInWininit(target, source);
  }
}
