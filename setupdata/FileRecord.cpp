// The file table in place: its optional blocks, its strings, the one check
// that makes the walk safe, and the content checksum of an installed file.
//
// ValidateFileTable runs once, when the table is loaded; afterwards every
// record lies inside the table and holds its six strings, so the accessors
// below walk without checks of their own. Anything that changes the record
// layout changes ValidateFileTable, RecordStringsOffset (FileRecord.h) and
// the writer (authoring/SetupWriter.cpp) together.
#include "setupdata/FileRecord.h"

const uint8_t* RecordVersionBlock(const uint8_t* record) {
  if (!(RecordOptionFlags(record) & kOptionVersionBlock)) return nullptr;
  return record + kFileRecordHeadSize;
}

const uint8_t* RecordTimesBlock(const uint8_t* record) {
  uint8_t flags = RecordOptionFlags(record);
  if (!(flags & kOptionTimes)) return nullptr;
  return record + RecordStringsOffset(flags) - kTimesBlockSize;
}

const char* RecordString(const uint8_t* record, uint32_t n) {
  const char* text = reinterpret_cast<const char*>(record + RecordStringsOffset(RecordOptionFlags(record)));
  while (n--) {
    while (*text) ++text;
    ++text;
  }
  return text;
}

// Where the string that starts at offset ends (the offset after its NUL),
// or 0 when no NUL lies before end.
static uint32_t StringEnd(const uint8_t* record, uint32_t offset, uint32_t end) {
  while (offset < end) {
    if (record[offset++] == 0) return offset;
  }
  return 0;
}

// One record at the start of room bytes: its head inside the room, the
// record inside the room, six strings terminated between the blocks and the
// record's end (which also rejects a length below head + blocks + 6).
// Returns the record's length, or 0 when it cannot be walked.
static uint32_t CheckedRecordLength(const uint8_t* record, uint32_t room) {
  if (room < kFileRecordHeadSize) return 0;
  uint32_t length = ReadU32Le(record + FileRecordField::recordLength);
  if (length > room) return 0;
  uint32_t offset = RecordStringsOffset(RecordOptionFlags(record));
  for (uint32_t n = 0; n < kFileRecordStringCount; ++n) {
    offset = StringEnd(record, offset, length);
    if (offset == 0) return 0;
  }
  return length;
}

bool ValidateFileTable(const uint8_t* table, uint32_t size) {
  if (size < kFileTableCountSize) return false;
  uint32_t count = ReadU32Le(table);
  uint32_t offset = kFileTableCountSize;
  // Every record takes at least 32 bytes, so a count larger than the body
  // can hold fails within size / 32 steps.
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = CheckedRecordLength(table + offset, size - offset);
    if (length == 0) return false;
    offset += length;
  }
  return true;
}

uint32_t ContentChecksum(uint32_t value, const uint8_t* data, uint32_t length) {
  for (; length >= 4; data += 4, length -= 4) value = ((value << 1) | (value >> 31)) + ReadU32Le(data);
  for (; length; ++data, --length) value = ((value << 1) | (value >> 31)) + *data;
  return value;
}
