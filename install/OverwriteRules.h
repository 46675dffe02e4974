// Whether the installation step writes a file over what is already at its
// target: a shared file in use that already holds the record's content is
// left alone, and an existing file whose version resource is newer, or in
// another language, is overwritten only when the user says Yes. Every
// failure to read the existing file counts as no objection (write).
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"

// Results of the write decision.
const int kSkipFile = 0;
const int kWriteFile = 1;
// Unattended only: the target has the record's very version. It is left
// as it is and counts as installed, so the uninstall log lists it as the
// interactive setup's overwrite would.
const int kKeepSameVersion = 2;

// The write decision for record, whose target GetTargetPath has put in
// TargetPath and whose InUse flag it returned.
int ShouldWriteFile(const uint8_t* record, int inUse);

// The version and language questions for TargetPath, as optionFlags asks
// for them (0x02 version, 0x04 language): product version, then file
// version, each compared as an unsigned 64-bit MS:LS number; then the
// first translation's language word against languageId. Text 6/29 or 6/30
// with TargetPath, Yes and No; any answer but Yes skips. Unattended, the
// questions take No, and a target of the same versions is kept.
int CheckVersions(const uint8_t* record);

// ContentChecksum of the open file's content from its current position
// (the start, for every caller) to its end, read in pieces of 16,384
// bytes. 0 for an empty file or when the read buffer cannot be had.
uint32_t ComputeFileChecksum(FileHandle file);
