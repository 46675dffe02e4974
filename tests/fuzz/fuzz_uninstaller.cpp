// The uninstaller's reading of its own file on arbitrary bytes: the first
// two input bytes give the stamped program length, the rest is the file,
// copied into a block of exactly its size so that any read past it is
// caught. Every text it hands out must end inside the file (or be a
// default), and a file it calls installed must hold a log the reader
// accepts, whose every path is then resolved the way the removal does; a
// file it calls signed keeps its free header before the certificate table
// that its PE header declares (the seed "signed" is one). The same bytes
// also go to the log reader as a log, whose every reported text must lie
// inside the input (the seeds log-* are logs).
#include <stddef.h>
#include <string.h>

#include <vector>

#include "setupdata/CertificateTable.h"
#include "uninstlog/UninstallerFile.h"

namespace {

const char* Begin;
const char* End;

bool IsDefault(const char* text) {
  for (const char* d : kDefaultUninstallerTexts)
    if (text == d) return true;
  return false;
}

void CheckText(const char* text) {
  if (IsDefault(text)) return;
  if (text < Begin || text >= End) __builtin_trap();
  if (!memchr(text, 0, End - text)) __builtin_trap();
}

void OnFile(void*, LogText folder, LogText name, uint8_t) {
  char path[kPathBufferSize];
  if (ResolveLogFolder("C:\\Program Files\\App", folder, path) && AppendLogName(path, name) &&
      strlen(path) >= kPathBufferSize)
    __builtin_trap();
}
void OnShortcut(void* context, LogText folder, LogText name) {
  if (IsShortcutName(name)) OnFile(context, folder, name, 0);
}
void OnKey(void*, uint32_t, LogText key) { IsUninstallKeyName(key); }

void Touch(LogText text) {
  if (text.text < Begin || text.text + text.length > End) __builtin_trap();
}
void TouchFile(void*, LogText folder, LogText name, uint8_t flags) {
  if (flags & ~kLogKnownFlags) __builtin_trap();
  Touch(folder);
  Touch(name);
}
void TouchShortcut(void* context, LogText folder, LogText name) { TouchFile(context, folder, name, 0); }
void TouchKey(void*, uint32_t root, LogText key) {
  const uint32_t plain = root & ~(kLogView64 | kLogUtf8);
  if (plain != kLogRegistryRoot && plain != kLogUserRoot) __builtin_trap();
  Touch(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 1 << 16) return 0;
  const uint32_t programSize = data[0] | data[1] << 8;
  std::vector<uint8_t> bytes(data + 2, data + size);
  Begin = reinterpret_cast<const char*>(bytes.data());
  End = Begin + bytes.size();
  const uint32_t length = static_cast<uint32_t>(bytes.size());
  const UninstallLogVisitor touch = {nullptr, TouchFile, TouchShortcut, TouchKey};
  ReadUninstallLog(bytes.data(), length, &touch);
  UninstallerLayout layout;
  const UninstallerFileStatus status = ReadUninstallerFile(bytes.data(), length, programSize, &layout);
  for (const char* text : layout.texts) CheckText(text);
  if (status == kUninstallerInstalled) {
    if (layout.logOffset > length) __builtin_trap();
    const UninstallLogVisitor visitor = {nullptr, OnFile, OnShortcut, OnKey};
    if (ReadUninstallLog(bytes.data() + layout.logOffset, length - layout.logOffset, &visitor) != kLogValid)
      __builtin_trap();
    CheckLogPaths(bytes.data() + layout.logOffset, length - layout.logOffset, "C:\\Program Files\\App");
  }
  // A signed file ends with its certificate table; the header that says
  // so lies in the file's first bytes, and the table inside the file.
  uint32_t tableAt = 0;
  if (FindCertificateTable(bytes.data(), length < kPeHeadSize ? length : kPeHeadSize, length, &tableAt) &&
      (tableAt > length || length - tableAt < 8))
    __builtin_trap();
  if (status == kUninstallerLogBeside && (layout.logOffset > tableAt || tableAt - layout.logOffset < 8))
    __builtin_trap();
  return 0;
}
