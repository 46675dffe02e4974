// The uninstall log: the chunk sequence that the setup appends to the
// installed uninstaller program and that the uninstaller reads back. One
// definition shared by the stub (which writes it), the authoring tool (which
// prints it) and the tests.
//
// Layout, appended to the uninstaller file (all numbers little-endian; every
// chunk has the 8-byte header of the setup's chunks, flags always 0):
//
//   end - 8 of the    UninstallFiles (0x1235): u32 count, count entries of
//   file as it was    { log string folder, log string name, u8 flags }
//   installed         UninstallShortcuts (0x1236, when the table names a
//                     start-menu shortcut): u32 count, count entries of
//                     { log string folder, log string name }
//                     UninstallRegKey (0x1238, when an entry was made under
//                     the Uninstall key): u32 root, log string key
//   new end of file   UninstallEnd (0x7F7F), body size 0
//
// Log string: u16 length n, then n characters, no terminator. A file's
// folder is "." for the installation folder, ".\" and the sub-folder for one
// below it, else the absolute folder; never with a trailing backslash.
//
// These ids are a stream of their own: 0x1235 here is not the setup's
// DefaultDir chunk.
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"

enum UninstallLogChunk : uint16_t {
  kChunkUninstallFiles = 0x1235,
  kChunkUninstallShortcuts = 0x1236,
  kChunkUninstallRegKey = 0x1238,
  kChunkUninstallEnd = 0x7F7F,
};

// File entry flags.
const uint8_t kLogSharedFile = 0x01;        // its SharedDLLs count was raised
const uint8_t kLogFontFile = 0x02;          // installed as a font
const uint8_t kLogRegisteredModule = 0x04;  // DllRegisterServer was called
const uint8_t kLogKnownFlags = 0x07;

// The root of UninstallRegKey: HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER
// for a per-user installation; with kLogView64 when the installation's keys
// lie in the 64-bit registry view (the value of KEY_WOW64_64KEY, so that
// root & kLogView64 is the view flag to open them with), and kLogUtf8 when
// the log's texts are UTF-8.
const uint32_t kLogRegistryRoot = 0x80000002u;
const uint32_t kLogUserRoot = 0x80000001u;
const uint32_t kLogView64 = 0x100;
const uint32_t kLogUtf8 = 0x200;
// A per-user font's value under HKEY_CURRENT_USER: its file name, holding
// its path. The uninstaller deletes it with the font.
const char kUserFontsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char kUninstallKeyPrefix[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const uint32_t kUninstallKeyPrefixLength = sizeof(kUninstallKeyPrefix) - 1;
// The key is built in a buffer of this many characters (the terminator
// included); a name that would make it longer gets no entry at all.
const uint32_t kUninstallKeyBufferSize = 392;

// The 8 bytes that a fresh uninstaller file ends with: an empty end chunk,
// which the log's first header overwrites.
const uint8_t kFreeLogHeader[8] = {0x7F, 0x7F, 0, 0, 0, 0, 0, 0};

// --- Writing ----------------------------------------------------------------
// Each returns 0 when everything was written, else the failing FileWrite
// result (2 failure, 3 short write).

int WriteLogHeader(FileHandle log, uint16_t id, uint32_t size);
int WriteLogU32(FileHandle log, uint32_t value);
// u16 length, then the characters; a text longer than 65,535 characters is
// refused (2) and nothing is written.
int WriteLogString(FileHandle log, const char* text);

// Splits path into a log folder (into folder, a 260-byte buffer) and a name
// (the returned pointer into path). installDir carries a trailing backslash
// (or is empty); a path that begins with it, compared without regard to
// ASCII case, gets "." or ".\sub-folder"; any other path its absolute folder
// up to the last backslash (an empty installDir contains no path). Null
// when the path cannot be named that way: no backslash outside the
// installation folder, an empty name, or a folder that does not fit.
const char* SplitLogPath(const char* path, const char* installDir, char* folder);

enum LogEntryResult { kLogEntryWritten = 0, kLogEntrySkipped = 1, kLogEntryFailed = 2 };
// One UninstallFiles entry for path; folder is 260 bytes of scratch.
// Skipped (nothing written) when SplitLogPath cannot name the path.
LogEntryResult WriteLogFileEntry(FileHandle log, const char* path, const char* installDir, char* folder,
                                 uint8_t flags);

// --- Reading ----------------------------------------------------------------

// A log string inside the bytes being read; not terminated.
struct LogText {
  const char* text;
  uint32_t length;
};

// What a reader of a log is told, in log order. Any callback may be null.
struct UninstallLogVisitor {
  void* context;
  void (*file)(void* context, LogText folder, LogText name, uint8_t flags);
  void (*shortcut)(void* context, LogText folder, LogText name);
  void (*registryKey)(void* context, uint32_t root, LogText key);
};

enum UninstallLogStatus {
  kLogValid = 0,
  kLogTruncated = 1,      // a header, count, string or chunk body runs past the bytes
  kLogBadChunk = 2,       // unknown id, flags not 0, chunks out of order or repeated,
                          // a body not used exactly, no UninstallFiles first
  kLogBadEntry = 3,       // an empty folder or name, a NUL in a string, a backslash in
                          // a name, unknown flag bits, another root or key
  kLogTrailingBytes = 4,  // bytes after UninstallEnd
};

// Reads the log that occupies exactly the size bytes at data, which must end
// with UninstallEnd. Every count and length is checked against the bytes
// left before it is used. The visitor is called only when the whole log is
// valid, so a caller never acts on part of a damaged log.
UninstallLogStatus ReadUninstallLog(const uint8_t* data, uint32_t size, const UninstallLogVisitor* visitor);

// The log of an installed uninstaller begins where the program's own data
// ends (ReadUninstallerFile, uninstlog/UninstallerFile.h).
