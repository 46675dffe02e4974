// setvik-uninst.exe: removes an installation by the uninstall log that the
// setup appended to this program's file, or, when the file is signed, wrote
// into the file beside it (uninstlog/UninstallerFile.h).
//
// Run as installed (optionally with /S), it checks the whole log, asks,
// removes what the log names, starts a copy of itself in the temporary
// folder and ends. The copy (/CLEANUP) waits for the original to end,
// deletes it and the folders that are then empty, and leaves itself to be
// deleted at the next restart.
#pragma once

#include <stdint.h>

#include "uninstlog/UninstallerFile.h"

extern UninstallerMarkRecord UninstallerMark;
// This program's length as the build stamped it.
uint32_t ProgramSize();

// This program's file, read whole at start-up.
struct OwnFile {
  char path[kPathBufferSize];
  uint8_t* bytes;
  uint32_t size;
};
bool ReadOwnFile(OwnFile* file);
// Reads path whole into a fresh heap block; false (and nothing to free)
// when it cannot be read or is larger than kOwnFileLimit.
bool ReadWholeFile(const char* path, uint8_t** bytes, uint32_t* size);
void FreeBytes(uint8_t* bytes);
const uint32_t kOwnFileLimit = 64u << 20;

// What the removal met; a fresh state is all false.
struct Removal {
  const char* base;    // the folder "." stands for, without trailing backslash
  bool restartNeeded;  // something goes only at the next restart
  bool incomplete;     // something could not be removed at all
  bool fontsChanged;   // a font resource was removed
};

// True when the Uninstall key that the log names exists and its
// UninstallString is program itself (the same file, by any path). The log's
// "." is the folder the setup installed the uninstaller in; a copy of the
// program elsewhere, or a log without a key, cannot show that "." is where
// it lies now, so nothing may be removed by it.
bool LogKeyNamesProgram(const uint8_t* log, uint32_t size, const char* program);
// Removes the files, shortcuts and registry key that the log names, then
// the installation's folders that are left empty.
void RemoveInstallation(const uint8_t* log, uint32_t size, Removal* state);
// Removes the installation's folders below state->base that are empty.
void RemoveEmptyFolders(const uint8_t* log, uint32_t size, Removal* state);

// Deletes path at the next restart (ScheduleAtRestart: MoveFileExA on the NT
// family, WININIT.INI on the Windows 95 family); false when the NT family
// refuses. IsNT is set at start-up.
bool DeleteAtRestart(const char* path);

// Starts the temporary copy that deletes this program's file and folder
// once it has ended; when that is impossible, both are scheduled for the
// next restart.
void StartCleanupCopy(const OwnFile& self, const char* base);
// The copy's work; arguments are what follows /CLEANUP.
uint32_t RunCleanup(const char* arguments);
