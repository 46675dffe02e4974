// The certificate table a PE header declares; see CertificateTable.h.
#include "setupdata/CertificateTable.h"

#include "setupdata/Format.h"

namespace {

const uint32_t kNewHeaderOffsetAt = 0x3C;  // e_lfanew in the MZ header
const uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
const uint32_t kOptionalHeaderAt = 24;     // after the signature and the COFF header
const uint32_t kOptionalSizeAt = 20;       // SizeOfOptionalHeader, from the signature
const uint16_t kMagicPe32 = 0x10B;
const uint16_t kMagicPe32Plus = 0x20B;
const uint32_t kSecurityDirectory = 4;
const uint32_t kDirectoryEntrySize = 8;  // u32 offset (a file offset for this one), u32 size
const uint32_t kMinTableSize = 8;

}  // namespace

bool FindCertificateTable(const uint8_t* head, uint32_t headSize, uint32_t fileSize, uint32_t* tableAt) {
  if (headSize < kNewHeaderOffsetAt + 4 || head[0] != 'M' || head[1] != 'Z') return false;
  const uint32_t pe = ReadU32Le(head + kNewHeaderOffsetAt);
  if (pe > headSize || headSize - pe < kOptionalHeaderAt + 2 || ReadU32Le(head + pe) != kPeSignature) return false;
  const uint8_t* optional = head + pe + kOptionalHeaderAt;
  const uint16_t magic = ReadU16Le(optional);
  // NumberOfRvaAndSizes, followed by the directories.
  const uint32_t countAt = magic == kMagicPe32 ? 92 : magic == kMagicPe32Plus ? 108 : 0;
  const uint32_t entryAt = countAt + 4 + kSecurityDirectory * kDirectoryEntrySize;
  if (!countAt || ReadU16Le(head + pe + kOptionalSizeAt) < entryAt + kDirectoryEntrySize ||
      headSize - pe - kOptionalHeaderAt < entryAt + kDirectoryEntrySize ||
      ReadU32Le(optional + countAt) <= kSecurityDirectory)
    return false;
  const uint32_t offset = ReadU32Le(optional + entryAt);
  const uint32_t size = ReadU32Le(optional + entryAt + 4);
  if (size < kMinTableSize || offset > fileSize || fileSize - offset != size) return false;
  *tableAt = offset;
  return true;
}

bool FindFileCertificateTable(FileHandle file, uint32_t headLimit, uint32_t* tableAt) {
  uint8_t head[kPeHeadSize];
  const uint32_t size = FileSize(file);
  uint32_t headSize = headLimit < kPeHeadSize ? headLimit : kPeHeadSize;
  if (headSize > size) headSize = size;
  return size != kFileBadPosition && FileSeekTo(file, 0) == 0 && FileRead(file, head, headSize) == 0 &&
         FindCertificateTable(head, headSize, size, tableAt);
}

bool IsSignaturePadding(const uint8_t* gap, uint32_t length) {
  if (length > kMaxSignaturePadding) return false;
  for (uint32_t i = 0; i < length; ++i)
    if (gap[i]) return false;
  return true;
}
