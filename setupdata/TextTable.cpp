// The text table: text g/i is found by stepping over i texts of group g.
// A group the setup did not carry, or an index past the group's count,
// gives the shared empty text, so callers never see a missing text. The
// loader has checked that every group holds its count of terminated texts.
#include "base/PathText.h"
#include "base/TextFormat.h"
#include "setupdata/SetupData.h"

const char* GetText(uint32_t group, uint32_t index) {
  if (group >= kTextGroupCount || !TextGroups[group]) return "";
  const uint8_t* groupBody = TextGroups[group];
  uint16_t wanted = static_cast<uint16_t>(index);  // the index counts as a 16-bit number
  if (wanted >= ReadU16Le(groupBody)) return "";
  const char* text = reinterpret_cast<const char*>(groupBody + 2);
  for (; wanted; --wanted) {
    while (*text) ++text;
    ++text;
  }
  return text;
}

void FormatMessageText(char* out, uint32_t size, uint32_t n) {
  if (!size) return;
  const char* text = GetText(kTextGroupMessages, n);
  for (const char* p = text; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      FormatTextString(out, size, text, ErrorFileName);
      return;
    }
  }
  CopyText(out, size, text);
}

const char* UninstallEntryValue(uint32_t n) {
  if (!UninstallEntry || UninstallEntrySize < 4) return "";
  const char* text = reinterpret_cast<const char*>(UninstallEntry + 4);
  const char* end = reinterpret_cast<const char*>(UninstallEntry + UninstallEntrySize);
  for (; n; --n) {
    while (text < end && *text) ++text;
    if (text++ >= end) return "";
  }
  return text < end ? text : "";  // the guard byte after the body ends the last text
}

uint32_t UninstallEntryIcon() {
  if (!UninstallEntry || UninstallEntrySize < 4) return kNoIconRecord;
  const uint32_t record = ReadU32Le(UninstallEntry);
  return record < FileRecordCount ? record : kNoIconRecord;
}
