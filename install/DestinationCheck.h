// The checks run when the user confirms the destination folder: the disk
// space the installation needs on the drive of InstallDir against the free
// space there, and whether every existing read-only target can be made
// writable. Also the drive queries behind them and CreateFolderChain.
#pragma once

#include <stdint.h>

// Set by CheckDestination when an existing target was read-only; the
// confirmation page then asks text 6/7.
extern bool ReadOnlyTargetsFound;

const uint32_t kFreeSpaceUnknown = 0xFFFFFFFFu;
const uint32_t kDefaultClusterKilobytes = 32;

// Results of CheckDestination, which are also indexes of group-6 texts.
const int kDestinationReady = 0;
const int kDestinationReadOnly = 9;  // ErrorFileName names the target
const int kDestinationFull = 11;

// Free KiB on the drive of path (its root C:\ for a drive path; a path
// that begins with two backslashes is asked whole); kFreeSpaceUnknown when
// the drive cannot be asked. Computed in 64 bits and held below
// kFreeSpaceUnknown, so a drive with more than 4 TiB free counts as
// 0xFFFFFFFE KiB.
uint32_t GetFreeKilobytes(const char* path);
// One allocation unit of that drive in KiB, rounded up;
// kDefaultClusterKilobytes when unknown.
uint32_t GetClusterKilobytes(const char* path);

// Walks the whole file table once (GetTargetPath for each record, so
// TargetPath is left at the last one looked at): the space needed, each
// file rounded up to whole units of the drive of InstallDir, the growth of
// existing targets only, plus room for one temporary copy of the largest
// file; read-only targets; existing fonts get uninstallMode 0. Returns
// kDestinationReady, kDestinationReadOnly or kDestinationFull.
int CheckDestination();
// The same with the drive figures given: freeKilobytes as GetFreeKilobytes
// reports it and the unit in KiB (a power of two).
int CheckDestinationWith(uint32_t freeKilobytes, uint32_t clusterKilobytes);

// Creates the missing folders of the folder part of path (the text up to
// its last backslash), outermost first. The process's current directory is
// left at the deepest folder that exists. 0 success, 1 a folder could not
// be entered or created (those before it stay), -1 out of memory.
int CreateFolderChain(const char* path);
