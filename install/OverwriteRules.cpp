// The write decision of the installation step and the checksum of an
// existing file. The version data of the existing file is read through the
// version-information functions; the versionBlock of the record (20 bytes:
// fileVersionMS, fileVersionLS, productVersionMS, productVersionLS,
// languageId) is present whenever optionFlags asks for a check.
#include "install/OverwriteRules.h"

#include <windows.h>

#include "base/Buffer.h"
#include "base/Message.h"
#include "base/TextFormat.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Paths.h"

namespace {

const uint32_t kQuestionBufferSize = 2048;
const uint32_t kChecksumPieceSize = 16384;
const uint32_t kTextNewerVersion = 29;
const uint32_t kTextOtherLanguage = 30;

uint64_t Version(uint32_t ms, uint32_t ls) { return (static_cast<uint64_t>(ms) << 32) | ls; }

uint64_t RecordVersion(const uint8_t* block, uint32_t msOffset) {
  return Version(ReadU32Le(block + msOffset), ReadU32Le(block + msOffset + 4));
}

// Text 6/n with TargetPath, asked with Yes and No. True when the answer is
// Yes.
bool AskOverwrite(char* text, uint32_t n) {
  FormatTextString(text, kQuestionBufferSize, GetText(kTextGroupMessages, n), TargetPath);
  return ShowMessage(text, kBoxYesNo, kAnswerNo) == kAnswerYes;
}

// The checks of CheckVersions on the version resource read into resource.
int VersionsAllowWrite(const uint8_t* record, void* resource, char* text) {
  const uint8_t options = RecordOptionFlags(record);
  const uint8_t* block = RecordVersionBlock(record);
  void* value;
  UINT length;
  if ((options & kOptionCheckVersion) && VerQueryValueA(resource, "\\", &value, &length) &&
      length >= sizeof(VS_FIXEDFILEINFO)) {
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const uint64_t product = Version(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    const uint64_t recordProduct = RecordVersion(block, kVersionProductMS);
    const uint64_t file = Version(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    const uint64_t recordFile = RecordVersion(block, kVersionFileMS);
    const bool newer = product > recordProduct || (product == recordProduct && file > recordFile);
    if (newer && !AskOverwrite(text, kTextNewerVersion)) return kSkipFile;
    if (Unattended && product == recordProduct && file == recordFile) return kKeepSameVersion;
  }
  if ((options & kOptionCheckLanguage) && VerQueryValueA(resource, "\\VarFileInfo\\Translation", &value, &length) &&
      length >= 2) {
    const uint32_t language = *static_cast<const uint16_t*>(value);
    if (language != ReadU32Le(block + kVersionLanguageId) && !AskOverwrite(text, kTextOtherLanguage)) return kSkipFile;
  }
  return kWriteFile;
}

}  // namespace

int CheckVersions(const uint8_t* record) {
  char* text;
  if (!AllocateZeroed(kQuestionBufferSize, text)) return kWriteFile;
  int write = kWriteFile;
  DWORD ignored;
  const DWORD size = GetFileVersionInfoSizeA(TargetPath, &ignored);
  uint8_t* resource = nullptr;
  if (size && AllocateBuffer(size, resource) && GetFileVersionInfoA(TargetPath, 0, size, resource)) {
    write = VersionsAllowWrite(record, resource, text);
  }
  ReleaseBuffer(resource);
  ReleaseBuffer(text);
  return write;
}

int ShouldWriteFile(const uint8_t* record, int inUse) {
  if (inUse) {
    uint32_t checksum = 0;
    const FileHandle existing = FileOpen(TargetPath, kFileRead);
    if (existing != kInvalidFile) {
      if (FileSize(existing) == ReadU32Le(record + FileRecordField::fileSize)) checksum = ComputeFileChecksum(existing);
      FileClose(existing);
    }
    if (checksum == RecordChecksum(record)) return kSkipFile;
  }
  if (!(RecordOptionFlags(record) & kOptionVersionBlock)) return kWriteFile;
  return CheckVersions(record);
}

uint32_t ComputeFileChecksum(FileHandle file) {
  uint32_t left = FileSize(file);
  uint8_t* buffer;
  if (!AllocateBuffer(kChecksumPieceSize, buffer)) return 0;
  uint32_t checksum = 0;
  while (left) {
    const uint32_t piece = left < kChecksumPieceSize ? left : kChecksumPieceSize;
    const uint32_t got = FileReadSome(file, buffer, piece);
    if (!got) break;  // a failed read ends the sum; the caller's comparison fails
    checksum = ContentChecksum(checksum, buffer, got);
    left -= got;
  }
  ReleaseBuffer(buffer);
  return checksum;
}
