// The file-table check on arbitrary bytes: the input is copied into a block
// of exactly its size, so any read past it is caught; when ValidateFileTable
// accepts the table, every record is walked as the installation walks it.
#include <string.h>

#include <vector>

#include "setupdata/FileRecord.h"

namespace {

volatile uint32_t Consumed;

void Touch(const uint8_t* bytes, uint32_t size) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < size; ++i) sum += bytes[i];
  Consumed = Consumed + sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFF0u) return 0;
  std::vector<uint8_t> table(data, data + size);
  if (!ValidateFileTable(table.data(), static_cast<uint32_t>(size))) return 0;
  const uint8_t* end = table.data() + size;
  uint8_t* record = table.data() + kFileTableCountSize;
  for (uint32_t k = ReadU32Le(table.data()); k; --k, record = NextFileRecord(record)) {
    uint32_t length = ReadU32Le(record);
    if (length < kFileRecordHeadSize || record + length > end) __builtin_trap();
    Touch(record, length);
    if (const uint8_t* version = RecordVersionBlock(record)) Touch(version, kVersionBlockSize);
    if (const uint8_t* times = RecordTimesBlock(record)) Touch(times, kTimesBlockSize);
    for (uint32_t n = 0; n < kFileRecordStringCount; ++n) {
      const char* text = RecordString(record, n);
      size_t textLength = strlen(text);
      if (reinterpret_cast<const uint8_t*>(text) + textLength >= record + length) __builtin_trap();
    }
  }
  return 0;
}
