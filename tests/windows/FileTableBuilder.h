// File records for the Windows tests, laid out as the file table holds
// them: the 26-byte head, the versionBlock when optionFlags & 0x06, a zeroed
// timesBlock when optionFlags & 0x08, and the six strings.
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "setupdata/Format.h"
#include "setupdata/SetupData.h"

struct TestRecord {
  std::string fileName;
  std::string groupName;
  std::string menuName;
  std::string menuArgs;
  std::string desktopName;
  std::string desktopArgs;
  uint32_t fileSize = 0;
  uint16_t iconIndex = 0;
  uint8_t destinationKind = kDestInstallDir;
  uint8_t uninstallMode = kUninstallRemove;
  uint8_t trackShared = 0;
  uint8_t registerKind = kRegisterNone;
  uint8_t optionFlags = 0;
  uint32_t contentChecksum = 0;
  // fileVersionMS, fileVersionLS, productVersionMS, productVersionLS,
  // languageId.
  uint32_t version[5] = {0, 0, 0, 0, 0};
};

inline void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> BuildRecord(const TestRecord& fields) {
  std::vector<uint8_t> out(kFileRecordHeadSize, 0);
  WriteU16Le(&out[FileRecordField::iconIndex], fields.iconIndex);
  out[FileRecordField::destinationKind] = fields.destinationKind;
  out[FileRecordField::uninstallMode] = fields.uninstallMode;
  out[FileRecordField::trackShared] = fields.trackShared;
  out[FileRecordField::registerKind] = fields.registerKind;
  out[FileRecordField::optionFlags] = fields.optionFlags;
  auto put = [&](uint32_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  put(FileRecordField::contentChecksum, fields.contentChecksum);
  put(FileRecordField::fileSize, fields.fileSize);
  if (fields.optionFlags & kOptionVersionBlock) {
    for (uint32_t word : fields.version) PutU32(out, word);
  }
  if (fields.optionFlags & kOptionTimes) out.resize(out.size() + kTimesBlockSize, 0);
  for (const std::string* text : {&fields.fileName, &fields.groupName, &fields.menuName, &fields.menuArgs,
                                  &fields.desktopName, &fields.desktopArgs}) {
    out.insert(out.end(), text->begin(), text->end());
    out.push_back(0);
  }
  put(FileRecordField::recordLength, static_cast<uint32_t>(out.size()));
  return out;
}

// Installs a file table of the given records as the loaded one; Clear puts
// the empty table back.
class TestFileTable {
 public:
  void Set(const std::vector<TestRecord>& records) {
    table.clear();
    PutU32(table, static_cast<uint32_t>(records.size()));
    for (const TestRecord& fields : records) {
      const std::vector<uint8_t> record = BuildRecord(fields);
      table.insert(table.end(), record.begin(), record.end());
    }
    FileTable = table.data();
    FileTableSize = static_cast<uint32_t>(table.size());
    FileRecordCount = static_cast<uint32_t>(records.size());
    FirstFileRecord = table.data() + kFileTableCountSize;
  }
  // Record n of the installed table.
  uint8_t* Record(uint32_t n) {
    uint8_t* record = FirstFileRecord;
    while (n--) record += ReadU32Le(record);
    return record;
  }
  static void Clear() {
    FileTable = FirstFileRecord = nullptr;
    FileTableSize = FileRecordCount = 0;
  }

 private:
  std::vector<uint8_t> table;
};
