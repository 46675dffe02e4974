// The uninstall log's encoding (see UninstallLog.h): the writing helpers
// that the stub uses over the file-access layer, and the bounded reader.
//
// No C library here: the stub links none, so lengths and copies are plain
// loops.
#include "uninstlog/UninstallLog.h"

#include "setupdata/Format.h"
#include "setupdata/SetupData.h"

static uint32_t TextLength(const char* text) {
  uint32_t length = 0;
  while (text[length]) ++length;
  return length;
}

static char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// --- Writing ----------------------------------------------------------------

int WriteLogHeader(FileHandle log, uint16_t id, uint32_t size) {
  uint8_t bytes[kChunkHeaderSize];
  StoreChunkHeader(bytes, ChunkHeader{id, 0, size});
  return FileWrite(log, bytes, kChunkHeaderSize);
}

int WriteLogU32(FileHandle log, uint32_t value) {
  uint8_t bytes[4];
  WriteU32Le(bytes, value);
  return FileWrite(log, bytes, 4);
}

int WriteLogString(FileHandle log, const char* text) {
  const uint32_t length = TextLength(text);
  if (length > 0xFFFF) return 2;
  uint8_t prefix[2];
  WriteU16Le(prefix, static_cast<uint16_t>(length));
  const int result = FileWrite(log, prefix, 2);
  if (result || !length) return result;
  return FileWrite(log, text, length);
}

// The position of the last backslash of text, or -1.
static int LastBackslash(const char* text) {
  int last = -1;
  for (int i = 0; text[i]; ++i)
    if (text[i] == '\\') last = i;
  return last;
}

// folder = prefix and the first count characters of text; false when that
// does not fit a path buffer.
static bool CopyFolder(char* folder, const char* prefix, const char* text, int count) {
  uint32_t at = 0;
  for (; *prefix; ++prefix) folder[at++] = *prefix;
  if (at + count >= kPathBufferSize) return false;
  for (int i = 0; i < count; ++i) folder[at++] = text[i];
  folder[at] = 0;
  return true;
}

const char* SplitLogPath(const char* path, const char* installDir, char* folder) {
  uint32_t n = 0;
  while (installDir[n] && FoldAscii(installDir[n]) == FoldAscii(path[n])) ++n;
  const char* name;
  // An empty installation folder contains nothing: taken as a prefix of
  // length 0 it would make every absolute path relative.
  if (installDir[0] && !installDir[n]) {  // inside the installation folder
    const char* rest = path + n;
    const int last = LastBackslash(rest);
    if (last < 0 ? !CopyFolder(folder, ".", rest, 0) : !CopyFolder(folder, ".\\", rest, last)) return nullptr;
    name = rest + last + 1;
  } else {
    const int last = LastBackslash(path);
    if (last < 0 || !CopyFolder(folder, "", path, last)) return nullptr;
    name = path + last + 1;
  }
  return *name ? name : nullptr;
}

LogEntryResult WriteLogFileEntry(FileHandle log, const char* path, const char* installDir, char* folder,
                                 uint8_t flags) {
  const char* name = SplitLogPath(path, installDir, folder);
  if (!name) return kLogEntrySkipped;
  if (WriteLogString(log, folder) || WriteLogString(log, name) || FileWrite(log, &flags, 1)) return kLogEntryFailed;
  return kLogEntryWritten;
}

// --- Reading ----------------------------------------------------------------

namespace {

// The bytes not yet read. Every Take checks what it needs against left
// before it touches a byte.
struct LogCursor {
  const uint8_t* at;
  uint32_t left;
};

bool TakeU32(LogCursor& in, uint32_t& value) {
  if (in.left < 4) return false;
  value = ReadU32Le(in.at);
  in.at += 4;
  in.left -= 4;
  return true;
}

bool TakeText(LogCursor& in, LogText& text) {
  if (in.left < 2) return false;
  const uint32_t length = ReadU16Le(in.at);
  if (length > in.left - 2) return false;
  text.text = reinterpret_cast<const char*>(in.at + 2);
  text.length = length;
  in.at += 2 + length;
  in.left -= 2 + length;
  return true;
}

// A folder: not empty, no NUL. A name: the same and no backslash.
bool IsCleanText(LogText text, bool isName) {
  if (!text.length) return false;
  for (uint32_t i = 0; i < text.length; ++i)
    if (!text.text[i] || (isName && text.text[i] == '\\')) return false;
  return true;
}

// Entry sizes at their smallest: two empty strings (and a flags byte).
const uint32_t kMinFileEntry = 5;
const uint32_t kMinShortcutEntry = 4;

UninstallLogStatus ReadFileEntries(LogCursor body, bool shortcuts, const UninstallLogVisitor* visitor) {
  uint32_t count;
  if (!TakeU32(body, count)) return kLogTruncated;
  if (count > body.left / (shortcuts ? kMinShortcutEntry : kMinFileEntry)) return kLogTruncated;
  for (uint32_t i = 0; i < count; ++i) {
    LogText folder, name;
    if (!TakeText(body, folder) || !TakeText(body, name)) return kLogTruncated;
    if (!IsCleanText(folder, false) || !IsCleanText(name, true)) return kLogBadEntry;
    if (shortcuts) {
      if (visitor && visitor->shortcut) visitor->shortcut(visitor->context, folder, name);
      continue;
    }
    if (!body.left) return kLogTruncated;
    const uint8_t flags = *body.at++;
    --body.left;
    if (flags & ~kLogKnownFlags) return kLogBadEntry;
    if (visitor && visitor->file) visitor->file(visitor->context, folder, name, flags);
  }
  return body.left ? kLogBadChunk : kLogValid;
}

UninstallLogStatus ReadRegistryKey(LogCursor body, const UninstallLogVisitor* visitor) {
  uint32_t root;
  LogText key;
  if (!TakeU32(body, root) || !TakeText(body, key)) return kLogTruncated;
  if (body.left) return kLogBadChunk;
  const uint32_t plainRoot = root & ~(kLogView64 | kLogUtf8);
  if ((plainRoot != kLogRegistryRoot && plainRoot != kLogUserRoot) || !IsCleanText(key, false) ||
      key.length <= kUninstallKeyPrefixLength)
    return kLogBadEntry;
  for (uint32_t i = 0; i < kUninstallKeyPrefixLength; ++i)
    if (key.text[i] != kUninstallKeyPrefix[i]) return kLogBadEntry;
  if (visitor && visitor->registryKey) visitor->registryKey(visitor->context, root, key);
  return kLogValid;
}

// The place of each chunk kind in the log; 0 for an unknown id.
int ChunkRank(uint16_t id) {
  switch (id) {
    case kChunkUninstallFiles: return 1;
    case kChunkUninstallShortcuts: return 2;
    case kChunkUninstallRegKey: return 3;
    case kChunkUninstallEnd: return 4;
  }
  return 0;
}

UninstallLogStatus WalkLog(LogCursor in, const UninstallLogVisitor* visitor) {
  int lastRank = 0;
  for (;;) {
    if (in.left < kChunkHeaderSize) return kLogTruncated;
    const ChunkHeader header = ParseChunkHeader(in.at);
    in.at += kChunkHeaderSize;
    in.left -= kChunkHeaderSize;
    if (header.size > in.left) return kLogTruncated;
    const int rank = ChunkRank(header.id);
    if (!rank || header.flags || rank <= lastRank || (lastRank == 0 && rank != 1)) return kLogBadChunk;
    lastRank = rank;
    const LogCursor body = {in.at, header.size};
    in.at += header.size;
    in.left -= header.size;
    UninstallLogStatus status = kLogValid;
    if (header.id == kChunkUninstallEnd) return header.size ? kLogBadChunk : in.left ? kLogTrailingBytes : kLogValid;
    if (header.id == kChunkUninstallRegKey) status = ReadRegistryKey(body, visitor);
    else status = ReadFileEntries(body, header.id == kChunkUninstallShortcuts, visitor);
    if (status != kLogValid) return status;
  }
}

}  // namespace

UninstallLogStatus ReadUninstallLog(const uint8_t* data, uint32_t size, const UninstallLogVisitor* visitor) {
  const LogCursor all = {data, size};
  const UninstallLogStatus status = WalkLog(all, nullptr);
  if (status == kLogValid && visitor) WalkLog(all, visitor);
  return status;
}
