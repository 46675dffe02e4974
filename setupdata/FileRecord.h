// Reading the file table: records addressed in place inside the loaded
// table. The loader validates every record once (ValidateFileTable), so the
// walk below needs no checks of its own.
#pragma once

#include <stdint.h>

#include "setupdata/Format.h"

// First record: the byte after recordCount. Next record: this one's address
// plus its recordLength. Callers count records against FileRecordCount.
inline uint8_t* NextFileRecord(uint8_t* record) {
  return record + ReadU32Le(record + FileRecordField::recordLength);
}

inline uint8_t RecordOptionFlags(const uint8_t* record) {
  return record[FileRecordField::optionFlags];
}

// The plain contentChecksum: the record stores it exclusive-or'd with the
// integrity key, and the table is never changed to read it.
inline uint32_t RecordChecksum(const uint8_t* record) {
  return CombineIntegrityKey(ReadU32Le(record + FileRecordField::contentChecksum));
}

// The offset of the strings: 26, plus 20 with a version block, plus 24 with
// a times block.
inline uint32_t RecordStringsOffset(uint8_t optionFlags) {
  uint32_t offset = kFileRecordHeadSize;
  if (optionFlags & kOptionVersionBlock) offset += kVersionBlockSize;
  if (optionFlags & kOptionTimes) offset += kTimesBlockSize;
  return offset;
}

// versionBlock and timesBlock, or null when optionFlags does not announce
// them.
const uint8_t* RecordVersionBlock(const uint8_t* record);
const uint8_t* RecordTimesBlock(const uint8_t* record);

// String n (0-5) of a record.
const char* RecordString(const uint8_t* record, uint32_t n);

// Checks a file-table body of size bytes: recordCount records, each inside
// the body, each long enough for its head, its blocks and six strings, with
// the six strings terminated inside the record. True when the whole table
// can be walked safely.
bool ValidateFileTable(const uint8_t* table, uint32_t size);

// ContentChecksum: v = rotl(v, 1) + w over each complete little-endian u32
// word, then v = rotl(v, 1) + b over the 1-3 trailing bytes. Feeding a file
// in pieces gives the same value as long as every piece but the last has a
// length that is a multiple of 4.
uint32_t ContentChecksum(uint32_t value, const uint8_t* data, uint32_t length);
