// The destination checks and the folder chain. Sizes are summed in bytes,
// each rounded up to whole allocation units of the drive of InstallDir;
// the sums are kept in 64 bits, so neither a large installation nor a
// large drive wraps, while the rounding and the strict less-than test are
// those of 32-bit sums wherever these do not overflow.
#include "install/DestinationCheck.h"

#include <windows.h>

#include "base/Buffer.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Paths.h"

bool ReadOnlyTargetsFound;

namespace {

// GetDiskFreeSpaceA for the drive of path: a path that begins with two
// backslashes is asked whole, one whose second character is ':' is cut to
// its root (C:\), any other as it is. Bytes of one cluster and free
// clusters; false when the drive cannot be asked.
bool QueryDrive(const char* path, uint32_t& clusterBytes, uint32_t& freeClusters) {
  const char root[4] = {path[0], ':', '\\', 0};
  if (path[0] && path[1] == ':') path = root;
  DWORD sectorsPerCluster, bytesPerSector, freeCount, totalCount;
  const bool known = GetDiskFreeSpaceA(path, &sectorsPerCluster, &bytesPerSector, &freeCount, &totalCount);
  clusterBytes = sectorsPerCluster * bytesPerSector;
  freeClusters = freeCount;
  return known;
}

// Writable in the sense of the C library's access test: the file exists
// and has no read-only attribute.
bool IsWritable(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

// Whether TargetPath, existing and not in use, is writable or can be made
// so: a read-only one sets ReadOnlyTargetsFound and is tried once without
// its attribute, which is then put back as it was.
bool CanWriteTarget() {
  if (IsWritable(TargetPath)) return true;
  ReadOnlyTargetsFound = true;
  const DWORD attributes = GetFileAttributesA(TargetPath);
  SetFileAttributesA(TargetPath, attributes & ~FILE_ATTRIBUTE_READONLY);
  const bool writable = IsWritable(TargetPath);
  SetFileAttributesA(TargetPath, attributes);
  return writable;
}

// Enters folder, creating it when it cannot be entered.
bool EnterOrCreateFolder(const char* folder) {
  if (SetCurrentDirectoryA(folder)) return true;
  return CreateDirectoryA(folder, nullptr) && SetCurrentDirectoryA(folder);
}

char* FindBackslash(char* text) {
  for (; *text; ++text) {
    if (*text == '\\') return text;
  }
  return nullptr;
}

}  // namespace

uint32_t GetFreeKilobytes(const char* path) {
  uint32_t clusterBytes, freeClusters;
  if (!QueryDrive(path, clusterBytes, freeClusters)) return kFreeSpaceUnknown;
  const uint64_t kilobytes = (static_cast<uint64_t>(clusterBytes) * freeClusters) >> 10;
  return kilobytes < kFreeSpaceUnknown ? static_cast<uint32_t>(kilobytes) : kFreeSpaceUnknown - 1;
}

uint32_t GetClusterKilobytes(const char* path) {
  uint32_t clusterBytes, freeClusters;
  if (!QueryDrive(path, clusterBytes, freeClusters)) return kDefaultClusterKilobytes;
  return (clusterBytes + 1023) >> 10;
}

int CheckDestination() {
  return CheckDestinationWith(GetFreeKilobytes(InstallDir), GetClusterKilobytes(InstallDir));
}

int CheckDestinationWith(uint32_t freeKilobytes, uint32_t clusterKilobytes) {
  const uint64_t mask = static_cast<uint64_t>(clusterKilobytes) * 1024 - 1;
  uint64_t need = 0;
  uint64_t largest = 0;
  ReadOnlyTargetsFound = false;
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i, record = NextFileRecord(record)) {
    const int inUse = GetTargetPath(record);
    const uint64_t size = (ReadU32Le(record + FileRecordField::fileSize) + mask) & ~mask;
    if (size > largest) largest = size;
    if (record[FileRecordField::uninstallMode] == kUninstallExternal) continue;
    const FileHandle existing = FileOpen(TargetPath, kFileRead);
    if (existing == kInvalidFile) {
      need += size;
      continue;
    }
    const uint64_t old = (FileSize(existing) + mask) & ~mask;
    if (size > old) need += size - old;
    FileClose(existing);
    if (record[FileRecordField::destinationKind] == kDestFonts) {
      if (record[FileRecordField::uninstallMode] == kUninstallRemove) record[FileRecordField::uninstallMode] = kUninstallKeep;
      continue;
    }
    if (inUse) continue;
    if (!CanWriteTarget()) {
      CopyPath(ErrorFileName, TargetPath);
      return kDestinationReadOnly;
    }
  }
  if (freeKilobytes == kFreeSpaceUnknown) return kDestinationReady;
  // largest is already a whole number of units.
  return ((need + largest) >> 10) < freeKilobytes ? kDestinationReady : kDestinationFull;
}

int CreateFolderChain(const char* path) {
  char* copy;
  const int length = lstrlenA(path);
  if (!AllocateZeroed(length + 4, copy)) return -1;
  lstrcpynA(copy, path, length + 1);
  char* last = nullptr;
  for (char* c = copy; *c; ++c) {
    if (*c == '\\') last = c;
  }
  if (last) last[1] = 0;
  // Files follow one another into the same folder: when the current
  // directory is that folder already there is nothing to do, and when the
  // folder exists one call enters it; only a missing one is walked.
  if (last && last > copy && last[-1] != ':') {
    char current[kPathBufferSize];
    *last = 0;
    const DWORD length = GetCurrentDirectoryA(kPathBufferSize, current);
    const bool entered = (length && length < kPathBufferSize && !lstrcmpiA(current, copy)) ||
                         SetCurrentDirectoryA(copy);
    *last = '\\';
    if (entered) {
      ReleaseBuffer(copy);
      return 0;
    }
  }
  char* separator = copy;
  if (copy[0] == '\\' && copy[1] == '\\') {
    separator += 2;
  } else if (copy[1] == ':' && copy[2] == '\\') {
    separator += 3;
  }
  separator = FindBackslash(separator);
  int failed = 0;
  if (!separator) {
    RemoveBackslash(copy);
    failed = !EnterOrCreateFolder(copy);
  }
  // Each folder of the chain is the copy's text up to a separator,
  // terminated there for the test and given its backslash back after it.
  while (separator) {
    *separator = 0;
    const bool entered = EnterOrCreateFolder(copy);
    *separator = '\\';
    if (!entered) {
      failed = 1;
      break;
    }
    separator = FindBackslash(separator + 1);
  }
  ReleaseBuffer(copy);
  return failed;
}
