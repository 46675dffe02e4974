// The loader on arbitrary bytes: the input follows a fake stub in an
// in-memory file, LoadSetupData reads it, and everything the loader exposes
// is then walked the way the setup program uses it (every text of every
// group, every body to its guard byte, every record's strings and blocks)
// before ReleaseSetupData. The same bytes also go to the file-table check as
// a table, copied into a block of exactly their size; a table it accepts is
// walked the same way (the seeds table-* are tables). The sanitizers and the
// leak checker do the rest.
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "base/Buffer.h"
#include "setupdata/FileRecord.h"
#include "setupdata/SetupData.h"
#include "tests/support/PlatformDouble.h"

namespace {

const uint32_t kStubLength = 16;
volatile uint32_t Consumed;  // keeps the walk from being optimised away

void Touch(const uint8_t* bytes, uint32_t size) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < size; ++i) sum += bytes[i];
  Consumed = Consumed + sum;
}

void TouchText(const char* text) {
  if (text) Touch(reinterpret_cast<const uint8_t*>(text), static_cast<uint32_t>(strlen(text)) + 1);
}

// The texts of every group, one index past each group's count, and one
// group past the last: the last two must give the empty text. GetText steps
// over the texts before the one asked for, so of a group with thousands of
// texts the first 1024 and the last are enough.
void WalkTexts() {
  for (uint32_t group = 0; group <= kTextGroupCount; ++group) {
    uint32_t count = group < kTextGroupCount && TextGroups[group] ? ReadU16Le(TextGroups[group]) : 0;
    for (uint32_t index = 0; index <= count; ++index) {
      if (index < 1024 || index + 1 >= count) TouchText(GetText(group, index));
    }
  }
}

void WalkBodies() {
  Touch(FramePicture, FramePicture ? FramePictureSize + 1 : 0);
  Touch(BackgroundBitmap, BackgroundBitmap ? BackgroundBitmapSize + 1 : 0);
  Touch(DialogTemplates, DialogTemplates ? DialogTemplatesSize + 1 : 0);
  Touch(BackgroundFont, BackgroundFont ? kBackgroundFontSize : 0);
  for (const char* text :
       {UninstallName, BackgroundTitle, DirRegistryKey, DirRegistryValue, DirIniFile, DirIniSection, DirIniKey})
    TouchText(text);
  TouchText(InstallDir);
}

// Every record of a table the check accepted, each inside the table.
void WalkFileTable(uint8_t* record, uint32_t count, const uint8_t* end) {
  for (; count; --count, record = NextFileRecord(record)) {
    const uint32_t length = ReadU32Le(record);
    if (length < kFileRecordHeadSize || record + length > end) __builtin_trap();
    Touch(record, kFileRecordHeadSize);
    if (const uint8_t* version = RecordVersionBlock(record)) Touch(version, kVersionBlockSize);
    if (const uint8_t* times = RecordTimesBlock(record)) Touch(times, kTimesBlockSize);
    for (uint32_t n = 0; n < kFileRecordStringCount; ++n) {
      const char* text = RecordString(record, n);
      if (reinterpret_cast<const uint8_t*>(text) + strlen(text) >= record + length) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  AllocateZeroed(kPathBufferSize, SetupFilePath);
  AllocateZeroed(kPathBufferSize, DataFilePath);
  AllocateZeroed(kPathBufferSize, InstallDir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = memfd_create("setup", MFD_CLOEXEC);
  if (fd < 0) return 0;
  uint8_t stub[kStubLength] = {'M', 'Z'};
  bool written = write(fd, stub, sizeof stub) == static_cast<ssize_t>(sizeof stub) &&
                 (size == 0 || write(fd, data, size) == static_cast<ssize_t>(size));
  if (written) {
    snprintf(SetupFilePath, kPathBufferSize, "/proc/self/fd/%d", fd);
    StubMark.stubSize = kStubLength;
    InstallDir[0] = 0;
    PlatformDouble::Reset();
    LoadSetupData();
    WalkTexts();
    WalkBodies();
    WalkFileTable(FirstFileRecord, FileRecordCount, FileTable + FileTableSize);
    ReleaseSetupData();
  }
  close(fd);
  std::vector<uint8_t> table(data, data + size);
  if (ValidateFileTable(table.data(), static_cast<uint32_t>(size)))
    WalkFileTable(table.data() + kFileTableCountSize, ReadU32Le(table.data()), table.data() + size);
  return 0;
}
