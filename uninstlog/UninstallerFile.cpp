// The uninstaller's own file and the paths of log entries (see
// UninstallerFile.h). No C library: the uninstaller links none of it.
#include "uninstlog/UninstallerFile.h"

#include "setupdata/CertificateTable.h"
#include "setupdata/Format.h"
#include "setupdata/SetupData.h"

const char* const kDefaultUninstallerTexts[kUninstallerTextCount] = {
    "Uninstall",
    "Do you want to remove this program and all of its components from your computer?",
    "The program was removed from your computer.",
    ("The program was removed from your computer. Some of its files are in use; they will be removed when "
     "Windows restarts."),
    "Some parts of the program could not be removed. You can delete them yourself.",
    "The uninstall information is damaged. Nothing was removed.",
    "This program holds no uninstall information: it was not installed by a setup. Nothing was removed.",
    "Unknown command-line argument. Use /S to remove the program without questions.",
};

// Reads the texts body into layout->texts; false when it is damaged.
static bool ReadTexts(const uint8_t* body, uint32_t size, UninstallerLayout* layout) {
  if (size < 2) return false;
  const uint32_t count = ReadU16Le(body);
  uint32_t at = 2;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = 0;
    while (at + length < size && body[at + length]) ++length;
    if (at + length >= size || length > kUninstallerTextMaxLength) return false;
    if (i < kUninstallerTextCount && length) layout->texts[i] = reinterpret_cast<const char*>(body + at);
    at += length + 1;
  }
  return at == size;
}

// The free header at data[at], followed by nothing but alignment up to end.
static bool IsFreeHeaderAt(const uint8_t* data, uint32_t at, uint32_t end) {
  if (end - at < kChunkHeaderSize) return false;
  for (uint32_t i = 0; i < kChunkHeaderSize; ++i)
    if (data[at + i] != kFreeLogHeader[i]) return false;
  return at + kChunkHeaderSize == end || IsSignaturePadding(data + at + kChunkHeaderSize, end - at - kChunkHeaderSize);
}

UninstallerFileStatus ReadUninstallerFile(const uint8_t* data, uint32_t size, uint32_t programSize,
                                          UninstallerLayout* layout) {
  for (uint32_t i = 0; i < kUninstallerTextCount; ++i) layout->texts[i] = kDefaultUninstallerTexts[i];
  layout->logOffset = 0;
  layout->logStatus = kLogTruncated;
  // The file's own bytes end where a signature's certificate table begins.
  uint32_t end = size;
  const bool signedFile = FindCertificateTable(data, size < kPeHeadSize ? size : kPeHeadSize, size, &end);
  if (!programSize || programSize > end) return kUninstallerDamaged;
  uint32_t at = programSize;
  if (end - at >= kChunkHeaderSize && ReadU16Le(data + at) == kChunkUninstallerTexts) {
    const ChunkHeader header = ParseChunkHeader(data + at);
    if (header.flags || header.size > end - at - kChunkHeaderSize) return kUninstallerDamaged;
    if (!ReadTexts(data + at + kChunkHeaderSize, header.size, layout)) {
      for (uint32_t i = 0; i < kUninstallerTextCount; ++i) layout->texts[i] = kDefaultUninstallerTexts[i];
      return kUninstallerDamaged;
    }
    at += kChunkHeaderSize + header.size;
  }
  layout->logOffset = at;
  if (signedFile) return IsFreeHeaderAt(data, at, end) ? kUninstallerLogBeside : kUninstallerDamaged;
  if (end - at == kChunkHeaderSize && IsFreeHeaderAt(data, at, end)) return kUninstallerNotInstalled;
  layout->logStatus = ReadUninstallLog(data + at, end - at, nullptr);
  return layout->logStatus == kLogValid ? kUninstallerInstalled : kUninstallerDamaged;
}

bool SeparateLogPath(const char* program, char* out) {
  static const char kExtension[] = ".dat";
  uint32_t length = 0;
  while (program[length]) ++length;
  uint32_t cut = length;
  for (uint32_t i = length; i-- > 0 && program[i] != '\\' && program[i] != '/';) {
    if (program[i] == '.') {
      cut = i;
      break;
    }
  }
  if (cut + sizeof kExtension > kPathBufferSize) return false;
  for (uint32_t i = 0; i < cut; ++i) out[i] = program[i];
  for (uint32_t i = 0; i < sizeof kExtension; ++i) out[cut + i] = kExtension[i];
  return true;
}

bool BuildUninstallerTexts(const char* const* texts, uint32_t count, uint8_t* body, uint32_t capacity,
                           uint32_t* size) {
  if (capacity < 2 || count > 0xFFFF) return false;
  WriteU16Le(body, static_cast<uint16_t>(count));
  uint32_t at = 2;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = 0;
    while (texts[i][length]) ++length;
    if (length > kUninstallerTextMaxLength || length + 1 > capacity - at) return false;
    for (uint32_t c = 0; c <= length; ++c) body[at + c] = static_cast<uint8_t>(texts[i][c]);
    at += length + 1;
  }
  *size = at;
  return true;
}

bool FindUninstallerMark(const uint8_t* data, uint32_t size, uint32_t* markAt) {
  const uint32_t tagSize = sizeof kUninstallerMarkTag;
  for (uint32_t at = 0; size >= sizeof(UninstallerMarkRecord) && at <= size - sizeof(UninstallerMarkRecord); ++at) {
    uint32_t same = 0;
    while (same < tagSize && data[at + same] == static_cast<uint8_t>(kUninstallerMarkTag[same])) ++same;
    if (same == tagSize) {
      *markAt = at;
      return true;
    }
  }
  return false;
}

bool WriteUninstallerFile(const uint8_t* program, uint32_t programSize, const char* const* texts, uint8_t* out,
                          uint32_t capacity, uint32_t* size) {
  if (capacity < programSize + 2 * kChunkHeaderSize) return false;
  for (uint32_t i = 0; i < programSize; ++i) out[i] = program[i];
  uint8_t* body = out + programSize + kChunkHeaderSize;
  uint32_t bodySize = 0;
  if (!BuildUninstallerTexts(texts, kUninstallerTextCount, body, capacity - programSize - 2 * kChunkHeaderSize,
                             &bodySize))
    return false;
  StoreChunkHeader(out + programSize, ChunkHeader{kChunkUninstallerTexts, 0, bodySize});
  uint8_t* end = body + bodySize;
  for (uint32_t i = 0; i < kChunkHeaderSize; ++i) end[i] = kFreeLogHeader[i];
  *size = programSize + 2 * kChunkHeaderSize + bodySize;
  return true;
}

// --- Paths of log entries ------------------------------------------------------

static char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

static uint32_t Length(const char* text) {
  uint32_t n = 0;
  while (text[n]) ++n;
  return n;
}

static bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One path part: not empty, no trailing dot or blank (Windows would drop
// them and so name another file; this also refuses "." and ".."), no
// control character and none of \ / : * ? " < > |.
static bool IsCleanPart(const char* text, uint32_t length) {
  if (!length) return false;
  if (text[length - 1] == '.' || text[length - 1] == ' ') return false;
  for (uint32_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == '/' || c == ':' || c == '\\' || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|')
      return false;
  }
  return true;
}

// Every backslash-separated part of text[0, length) is clean.
static bool AreCleanParts(const char* text, uint32_t length) {
  uint32_t start = 0;
  for (uint32_t i = 0; i <= length; ++i) {
    if (i == length || text[i] == '\\') {
      if (!IsCleanPart(text + start, i - start)) return false;
      start = i + 1;
    }
  }
  return true;
}

bool IsLogName(LogText text, LogNameRule rule) {
  switch (rule) {
    case kLogNamePart: return IsCleanPart(text.text, text.length);
    case kLogNamePath: return AreCleanParts(text.text, text.length);
    case kLogNameKey:
      if (!text.length) return false;
      for (uint32_t i = 0; i < text.length; ++i)
        if (static_cast<unsigned char>(text.text[i]) < 0x20 || text.text[i] == '\\') return false;
      return true;
  }
  return false;
}

// Appends text[0, length) to out at *at; false when it does not fit.
static bool Put(char* out, uint32_t* at, const char* text, uint32_t length) {
  if (length >= kPathBufferSize - *at) return false;
  for (uint32_t i = 0; i < length; ++i) out[(*at)++] = text[i];
  out[*at] = 0;
  return true;
}

bool ResolveLogFolder(const char* base, LogText folder, char* out) {
  const char* text = folder.text;
  const uint32_t length = folder.length;
  uint32_t at = 0;
  out[0] = 0;
  if (length == 1 && text[0] == '.') return Put(out, &at, base, Length(base));
  if (length >= 2 && text[0] == '.' && text[1] == '\\') {
    return IsLogName({text + 2, length - 2}, kLogNamePath) && Put(out, &at, base, Length(base)) && Put(out, &at, "\\", 1) &&
           Put(out, &at, text + 2, length - 2);
  }
  if (length >= 4 && IsDriveLetter(text[0]) && text[1] == ':' && text[2] == '\\')
    return IsLogName({text + 3, length - 3}, kLogNamePath) && Put(out, &at, text, length);
  if (length >= 5 && text[0] == '\\' && text[1] == '\\') {
    // \\server\share and at least the share: two clean parts or more.
    uint32_t parts = 1;
    for (uint32_t i = 2; i < length; ++i) parts += text[i] == '\\';
    return parts >= 2 && IsLogName({text + 2, length - 2}, kLogNamePath) && Put(out, &at, text, length);
  }
  return false;
}

bool AppendLogName(char* path, LogText name) {
  if (!IsLogName(name, kLogNamePart)) return false;
  uint32_t at = Length(path);
  if (name.length + 1 >= kPathBufferSize - at) return false;
  return Put(path, &at, "\\", 1) && Put(path, &at, name.text, name.length);
}

bool LogFilePath(const char* base, LogText folder, LogText name, char* path) {
  return ResolveLogFolder(base, folder, path) && AppendLogName(path, name);
}

bool LogShortcutPath(LogText folder, LogText name, char* path) {
  return folder.text[0] != '.' && IsShortcutName(name) && ResolveLogFolder("", folder, path) &&
         AppendLogName(path, name);
}

namespace {

struct PathCheck {
  const char* base;
  bool refused;
};

void CheckFile(void* context, LogText folder, LogText name, uint8_t) {
  PathCheck* check = static_cast<PathCheck*>(context);
  char path[kPathBufferSize];
  if (!LogFilePath(check->base, folder, name, path)) check->refused = true;
}

void CheckShortcut(void* context, LogText folder, LogText name) {
  char path[kPathBufferSize];
  if (!LogShortcutPath(folder, name, path)) static_cast<PathCheck*>(context)->refused = true;
}

void CheckKey(void* context, uint32_t, LogText key) {
  if (!IsUninstallKeyName(key)) static_cast<PathCheck*>(context)->refused = true;
}

}  // namespace

bool CheckLogPaths(const uint8_t* log, uint32_t size, const char* base) {
  PathCheck check = {base, false};
  const UninstallLogVisitor visitor = {&check, CheckFile, CheckShortcut, CheckKey};
  if (ReadUninstallLog(log, size, &visitor) != kLogValid) return false;
  return !check.refused;
}

bool IsShortcutName(LogText name) {
  static const char kExtension[] = ".LNK";
  if (name.length <= 4) return false;
  for (uint32_t i = 0; i < 4; ++i)
    if (FoldAscii(name.text[name.length - 4 + i]) != kExtension[i]) return false;
  return true;
}

bool IsBelowFolder(const char* path, const char* folder) {
  uint32_t i = 0;
  for (; folder[i]; ++i)
    if (FoldAscii(path[i]) != FoldAscii(folder[i])) return false;
  return path[i] == '\\' && path[i + 1];
}

bool CutLastPart(char* path) {
  int last = -1;
  for (int i = 0; path[i]; ++i)
    if (path[i] == '\\') last = i;
  if (last <= 0) return false;
  if (last == 2 && path[1] == ':') return false;  // would leave "C:"
  path[last] = 0;
  return true;
}

bool CutFileName(char* path) {
  int last = -1;
  for (int i = 0; path[i]; ++i)
    if (path[i] == '\\') last = i;
  if (last <= 0) return false;
  path[last] = 0;
  return true;
}

bool IsDriveRoot(const char* folder) { return folder[0] && folder[1] == ':' && !folder[2]; }

bool IsUninstallKeyName(LogText key) {
  if (key.length <= kUninstallKeyPrefixLength) return false;
  for (uint32_t i = 0; i < kUninstallKeyPrefixLength; ++i)
    if (key.text[i] != kUninstallKeyPrefix[i]) return false;
  const LogText rest = {key.text + kUninstallKeyPrefixLength, key.length - kUninstallKeyPrefixLength};
  return IsLogName(rest, kLogNameKey);
}
