// The setup writer: chunk bodies and the chunk stream, byte for byte what
// the loader (setupdata/SetupLoader.cpp) and the file-table walk
// (setupdata/FileRecord.cpp) read. Layout constants come from
// setupdata/Format.h only.
#include "authoring/SetupWriter.h"

#include "setupdata/FileRecord.h"

namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  uint8_t raw[2];
  WriteU16Le(raw, value);
  out.insert(out.end(), raw, raw + 2);
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t raw[4];
  WriteU32Le(raw, value);
  out.insert(out.end(), raw, raw + 4);
}

void PutFileTime(std::vector<uint8_t>& out, uint64_t value) {
  PutU32(out, static_cast<uint32_t>(value));
  PutU32(out, static_cast<uint32_t>(value >> 32));
}

void PutString(std::vector<uint8_t>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

}  // namespace

SetupFileEntry PackFile(const FileRecordInfo& record, std::span<const uint8_t> content, int level) {
  SetupFileEntry entry{record, {}};
  entry.record.fileSize = static_cast<uint32_t>(content.size());
  entry.record.contentChecksum = ContentChecksum(0, content.data(), static_cast<uint32_t>(content.size()));
  if (record.uninstallMode != kUninstallExternal) entry.stream = EncodeStream(content.data(), content.size(), level);
  entry.record.packedSize = static_cast<uint32_t>(entry.stream.size());
  return entry;
}

// The head through FileRecordField's offsets, as every reader finds it; the
// blocks and strings follow in RecordStringsOffset's order.
std::vector<uint8_t> BuildFileRecord(const FileRecordInfo& record) {
  namespace F = FileRecordField;
  std::vector<uint8_t> out(kFileRecordHeadSize);
  uint8_t* head = out.data();
  WriteU16Le(head + F::installState, record.installState);
  WriteU16Le(head + F::iconIndex, record.iconIndex);
  head[F::destinationKind] = record.destinationKind;
  head[F::launchRole] = record.launchRole;
  head[F::trackShared] = record.trackShared;
  head[F::uninstallMode] = record.uninstallMode;
  head[F::registerKind] = record.registerKind;
  head[F::optionFlags] = record.optionFlags;
  WriteU32Le(head + F::contentChecksum, CombineIntegrityKey(record.contentChecksum));
  WriteU32Le(head + F::fileSize, record.fileSize);
  WriteU32Le(head + F::packedSize, record.packedSize);
  if (record.optionFlags & kOptionVersionBlock) {
    PutU32(out, record.version.fileVersionMS);
    PutU32(out, record.version.fileVersionLS);
    PutU32(out, record.version.productVersionMS);
    PutU32(out, record.version.productVersionLS);
    PutU32(out, record.version.languageId);
  }
  if (record.optionFlags & kOptionTimes) {
    PutFileTime(out, record.times.creationTime);
    PutFileTime(out, record.times.lastAccessTime);
    PutFileTime(out, record.times.lastWriteTime);
  }
  for (const std::string& text : record.strings) PutString(out, text);
  WriteU32Le(out.data() + F::recordLength, static_cast<uint32_t>(out.size()));
  return out;
}

std::vector<uint8_t> BuildFileTable(std::span<const SetupFileEntry> files) {
  std::vector<uint8_t> out;
  PutU32(out, static_cast<uint32_t>(files.size()));
  for (const SetupFileEntry& file : files) {
    std::vector<uint8_t> record = BuildFileRecord(file.record);
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

std::vector<uint8_t> BuildFileData(std::span<const SetupFileEntry> files) {
  std::vector<uint8_t> out;
  PutU32(out, 0);  // FileDataSize, filled in below
  for (const SetupFileEntry& file : files) out.insert(out.end(), file.stream.begin(), file.stream.end());
  WriteU32Le(out.data(), static_cast<uint32_t>(out.size() - kVolumeHeaderSize));
  return out;
}

std::vector<uint8_t> BuildTextGroup(std::span<const std::string> texts) {
  std::vector<uint8_t> out;
  PutU16(out, static_cast<uint16_t>(texts.size()));
  for (const std::string& text : texts) PutString(out, text);
  return out;
}

std::vector<uint8_t> BuildTextsBody(std::span<const std::vector<std::string>> groups, int level) {
  std::vector<uint8_t> out;
  PutU16(out, static_cast<uint16_t>(groups.size()));
  for (const std::vector<std::string>& group : groups) {
    std::vector<uint8_t> body = CompressBody(BuildTextGroup(group), level);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

std::vector<uint8_t> BuildDialogTemplates(std::span<const std::vector<uint8_t>> templates) {
  std::vector<uint8_t> out;
  uint32_t offset = static_cast<uint32_t>(templates.size() * 4);
  for (const std::vector<uint8_t>& dialog : templates) {
    PutU32(out, offset);
    offset += static_cast<uint32_t>(dialog.size());
  }
  for (const std::vector<uint8_t>& dialog : templates) out.insert(out.end(), dialog.begin(), dialog.end());
  return out;
}

std::vector<uint8_t> CompressBody(std::span<const uint8_t> body, int level) {
  std::vector<uint8_t> out;
  PutU32(out, static_cast<uint32_t>(body.size()));
  std::vector<uint8_t> stream = EncodeStream(body.data(), body.size(), level);
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

SetupWriter::SetupWriter(std::span<const uint8_t> stub, int level) : bytes(stub.begin(), stub.end()), level(level) {}

void SetupWriter::AddRawChunk(uint16_t id, uint16_t flags, uint32_t size, std::span<const uint8_t> body) {
  uint8_t header[kChunkHeaderSize];
  StoreChunkHeader(header, ChunkHeader{id, flags, size});
  bytes.insert(bytes.end(), header, header + kChunkHeaderSize);
  bytes.insert(bytes.end(), body.begin(), body.end());
}

void SetupWriter::AddChunk(uint16_t id, std::span<const uint8_t> body, bool compressed) {
  if (!compressed) {
    AddRawChunk(id, 0, static_cast<uint32_t>(body.size()), body);
    return;
  }
  std::vector<uint8_t> packed = CompressBody(body, level);
  AddRawChunk(id, kChunkCompressed, static_cast<uint32_t>(packed.size()), packed);
}

void SetupWriter::AddText(uint16_t id, std::string_view text, bool compressed) {
  std::vector<uint8_t> body(text.begin(), text.end());
  body.push_back(0);
  AddChunk(id, body, compressed);
}

void SetupWriter::AddU32(uint16_t id, uint32_t value) {
  uint8_t raw[4];
  WriteU32Le(raw, value);
  AddRawChunk(id, 0, 4, raw);
}

void SetupWriter::AddU16(uint16_t id, uint16_t value) {
  uint8_t raw[2];
  WriteU16Le(raw, value);
  AddRawChunk(id, 0, 2, raw);
}

void SetupWriter::AddTexts(std::span<const std::vector<std::string>> groups) {
  std::vector<uint8_t> body = BuildTextsBody(groups, level);
  AddRawChunk(kChunkTexts, 0, static_cast<uint32_t>(body.size()), body);
}

void SetupWriter::AddDialogTemplates(std::span<const std::vector<uint8_t>> templates, bool compressed) {
  AddChunk(kChunkDialogTemplates, BuildDialogTemplates(templates), compressed);
}

void SetupWriter::AddFileTable(std::span<const SetupFileEntry> files, bool compressed) {
  AddChunk(kChunkFileTable, BuildFileTable(files), compressed);
}

void SetupWriter::AddFileData(std::span<const SetupFileEntry> files) {
  std::vector<uint8_t> body = BuildFileData(files);
  AddRawChunk(kChunkFileData, 0, static_cast<uint32_t>(body.size()), body);
}

void SetupWriter::AppendBytes(std::span<const uint8_t> more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}
