// Locating and checking dialog templates (see DialogTemplate.h).
#include "setupdata/DialogTemplate.h"

#include "setupdata/Format.h"

const uint16_t kDialogSetFont = 0x40;  // DS_SETFONT: the header ends with a font
const uint32_t kHeaderSize = 18;       // style, extended style, item count, x, y, cx, cy
const uint32_t kItemSize = 18;         // style, extended style, x, y, cx, cy, id

uint32_t LocateDialogTemplate(const uint8_t* body, uint32_t bodySize, uint32_t number, uint32_t* start) {
  if (!body || number >= bodySize / 4) return 0;
  const uint32_t offset = ReadU32Le(body + 4 * number);
  if (offset >= bodySize) return 0;
  *start = offset;
  return bodySize - offset;
}

// Steps *at over a zero-terminated UTF-16 string; false when it runs past
// length.
static bool SkipString(const uint8_t* data, uint32_t length, uint32_t* at) {
  for (uint32_t i = *at; i + 2 <= length; i += 2) {
    if (ReadU16Le(data + i) == 0) {
      *at = i + 2;
      return true;
    }
  }
  return false;
}

// A name or an ordinal: 0xFFFF and a u16, or a string (a lone zero is an
// empty string).
static bool SkipNameOrOrdinal(const uint8_t* data, uint32_t length, uint32_t* at) {
  if (*at + 2 > length) return false;
  if (ReadU16Le(data + *at) == 0xFFFF) {
    *at += 4;
    return *at <= length;
  }
  return SkipString(data, length, at);
}

bool IsWholeDialogTemplate(const uint8_t* data, uint32_t length) {
  if (length < kHeaderSize) return false;
  // The extended form starts with version 1 and signature 0xFFFF.
  if (ReadU16Le(data) == 1 && ReadU16Le(data + 2) == 0xFFFF) return false;
  const uint32_t style = ReadU32Le(data);
  const uint32_t items = ReadU16Le(data + 8);
  uint32_t at = kHeaderSize;
  if (!SkipNameOrOrdinal(data, length, &at) || !SkipNameOrOrdinal(data, length, &at) ||
      !SkipString(data, length, &at))
    return false;
  if (style & kDialogSetFont) {
    at += 2;  // point size
    if (!SkipString(data, length, &at)) return false;
  }
  for (uint32_t i = 0; i < items; ++i) {
    at = (at + 3) & ~3u;
    if (at > length || length - at < kItemSize) return false;
    at += kItemSize;
    if (!SkipNameOrOrdinal(data, length, &at) || !SkipNameOrOrdinal(data, length, &at)) return false;
    if (at + 2 > length) return false;
    const uint32_t extra = ReadU16Le(data + at);
    at += 2;
    if (extra > length - at) return false;
    at += extra;
  }
  return true;
}
