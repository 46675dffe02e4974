// The uninstall-log reader on arbitrary bytes: the input is copied into a
// block of exactly its size, so any read past it is caught. A log that is
// accepted is walked once more through a visitor that touches every
// reported string, which must lie inside the input.
#include <stddef.h>

#include <vector>

#include "uninstlog/UninstallLog.h"

namespace {

const uint8_t* Begin;
const uint8_t* End;
volatile uint32_t Consumed;

void Touch(LogText text) {
  const uint8_t* at = reinterpret_cast<const uint8_t*>(text.text);
  if (at < Begin || at + text.length > End) __builtin_trap();
  uint32_t sum = 0;
  for (uint32_t i = 0; i < text.length; ++i) sum += at[i];
  Consumed = Consumed + sum;
}

void OnFile(void*, LogText folder, LogText name, uint8_t flags) {
  if (flags & ~kLogKnownFlags) __builtin_trap();
  Touch(folder);
  Touch(name);
}
void OnShortcut(void*, LogText folder, LogText name) {
  Touch(folder);
  Touch(name);
}
void OnKey(void*, uint32_t root, LogText key) {
  const uint32_t plain = root & ~(kLogView64 | kLogUtf8);
  if (plain != kLogRegistryRoot && plain != kLogUserRoot) __builtin_trap();
  Touch(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  Begin = bytes.data();
  End = Begin + size;
  const uint32_t length = static_cast<uint32_t>(size);
  const UninstallLogVisitor visitor = {nullptr, OnFile, OnShortcut, OnKey};
  ReadUninstallLog(bytes.data(), length, &visitor);
  return 0;
}
