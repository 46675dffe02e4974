// The text table: text g/i is found by stepping over i texts of group g.
// A group the setup did not carry, or an index past the group's count,
// gives the shared empty text, so callers never see a missing text. The
// loader has checked that every group holds its count of terminated texts.
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
