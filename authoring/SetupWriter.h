// The setup writer: builds a setup file in memory, the stub's bytes followed
// by the chunk stream that the stub's loader reads (setupdata/Format.h
// defines the layout). `setvik build` and the tests use this one writer.
//
// Chunks go out in the order they are added; a setup ends with AddFileData
// (or an empty FileData header), unless it carries a SinglePage chunk. The
// writer checks nothing the loader checks: AddRawChunk and AppendBytes put
// any bytes at all into the stream, so tests can build damaged setups.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "authoring/Encoder.h"
#include "setupdata/Format.h"

// The versionBlock of a record (written when optionFlags & 0x06).
struct FileVersionInfo {
  uint32_t fileVersionMS = 0;
  uint32_t fileVersionLS = 0;
  uint32_t productVersionMS = 0;
  uint32_t productVersionLS = 0;
  uint32_t languageId = 0;
};

// The timesBlock of a record (written when optionFlags & 0x08): FILETIME
// values, 100-nanosecond units since 1601-01-01 UTC.
struct FileTimes {
  uint64_t creationTime = 0;
  uint64_t lastAccessTime = 0;
  uint64_t lastWriteTime = 0;
};

// One file record as the authoring side describes it. contentChecksum is
// the plain value; the record stores it combined with the IntegrityKey.
struct FileRecordInfo {
  uint16_t installState = kStateNone;
  uint16_t iconIndex = 0;
  uint8_t destinationKind = kDestInstallDir;
  uint8_t launchRole = kLaunchNone;
  uint8_t trackShared = 0;
  uint8_t uninstallMode = kUninstallKeep;
  uint8_t registerKind = kRegisterNone;
  uint8_t optionFlags = 0;
  uint32_t contentChecksum = 0;
  uint32_t fileSize = 0;
  uint32_t packedSize = 0;
  FileVersionInfo version;
  FileTimes times;
  // fileName, groupName, menuShortcutName, menuShortcutArgs,
  // desktopShortcutName, desktopShortcutArgs (FileRecordString indexes).
  std::array<std::string, kFileRecordStringCount> strings;
};

// A record with its compressed stream (empty for an external file).
struct SetupFileEntry {
  FileRecordInfo record;
  std::vector<uint8_t> stream;
};

// Compresses content into the entry's stream and fills fileSize,
// packedSize and contentChecksum. An external file (uninstallMode 2) gets
// no stream: packedSize 0, fileSize and checksum still from the content.
SetupFileEntry PackFile(const FileRecordInfo& record, std::span<const uint8_t> content,
                        int level = kEncodeLevelDefault);

// Bodies, for the writer below and for tests that want a body on its own.
// One record: head, the blocks optionFlags announces, six strings.
std::vector<uint8_t> BuildFileRecord(const FileRecordInfo& record);
// u32 recordCount, then the records.
std::vector<uint8_t> BuildFileTable(std::span<const SetupFileEntry> files);
// A text group: u16 count, then the texts, each NUL-terminated.
std::vector<uint8_t> BuildTextGroup(std::span<const std::string> texts);
// The Texts body: u16 group count, then per group u32 size and a stream.
std::vector<uint8_t> BuildTextsBody(std::span<const std::vector<std::string>> groups,
                                    int level = kEncodeLevelDefault);
// The DialogTemplates body: one u32 offset per template, then the templates.
std::vector<uint8_t> BuildDialogTemplates(std::span<const std::vector<uint8_t>> templates);
// The FileData body: u32 FileDataSize, then the files' streams in table
// order (an external file's stream is empty).
std::vector<uint8_t> BuildFileData(std::span<const SetupFileEntry> files);
// A compressed body: u32 uncompressed size, then one stream.
std::vector<uint8_t> CompressBody(std::span<const uint8_t> body, int level = kEncodeLevelDefault);

class SetupWriter {
 public:
  explicit SetupWriter(std::span<const uint8_t> stub = {}, int level = kEncodeLevelDefault);

  // Any header and any body bytes; size need not match the body.
  void AddRawChunk(uint16_t id, uint16_t flags, uint32_t size, std::span<const uint8_t> body);
  // A body, stored as it is or compressed (CompressBody).
  void AddChunk(uint16_t id, std::span<const uint8_t> body, bool compressed);
  // A text body with its NUL.
  void AddText(uint16_t id, std::string_view text, bool compressed = true);
  // The raw settings: SetupFlags and DirRegistryRoot (u32), SinglePage (u16).
  void AddU32(uint16_t id, uint32_t value);
  void AddU16(uint16_t id, uint16_t value);
  // The Texts chunk (its groups are compressed, the chunk itself is not).
  void AddTexts(std::span<const std::vector<std::string>> groups);
  void AddDialogTemplates(std::span<const std::vector<uint8_t>> templates, bool compressed = true);
  void AddFileTable(std::span<const SetupFileEntry> files, bool compressed = true);
  // The FileData chunk: u32 FileDataSize, then the streams in table order.
  // It ends the stream; the loader reads nothing after it.
  void AddFileData(std::span<const SetupFileEntry> files);
  // Bytes with no framing at all.
  void AppendBytes(std::span<const uint8_t> bytes);

  const std::vector<uint8_t>& Bytes() const { return bytes; }
  size_t Size() const { return bytes.size(); }

 private:
  std::vector<uint8_t> bytes;
  int level;
};
