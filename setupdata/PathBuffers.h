// The seven path buffers of a setup run, each kPathBufferSize bytes (at
// most 259 characters and the terminator), allocated once at start-up and
// released at shutdown. The setup data's loader, the destination paths and
// the installation write into them; host programs and tests may point them
// at buffers of their own instead.
#pragma once

#include <stdint.h>

#include "base/PathText.h"

extern char* SetupFilePath;    // the file that holds the setup data
extern char* DataFilePath;     // the file being read: the setup file, then each volume
extern char* InstallDir;       // the destination folder; the directory page edits it
extern char* TargetPath;       // GetTargetPath's result: the current record's target
extern char* WorkPath;         // the current step's temporary file; elsewhere scratch
extern char* ErrorFileName;    // the path that an error text's "%s" names
extern char* UninstallerPath;  // the target of the uninstaller that receives the log

// Allocates all seven, zero-filled. False, with none left allocated, when
// one cannot be had.
bool AllocatePathBuffers();
void ReleasePathBuffers();
