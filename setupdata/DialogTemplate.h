// The dialog templates of the setup data: an array of u32 offsets at the
// start of the DialogTemplates body, entry n the offset of template n, and
// the templates packed behind it in the platform's standard (not extended)
// in-memory form. The platform parses a template with no bounds of its own,
// so the stub checks each one before it is used.
#pragma once

#include <stdint.h>

// The bytes of template number inside body: *start is its offset, the
// result the bytes from there to the end of the body (0 when the body has no
// entry for number, or its offset lies outside the body).
uint32_t LocateDialogTemplate(const uint8_t* body, uint32_t bodySize, uint32_t number, uint32_t* start);

// True when the template at data (its first byte 4-aligned as the platform
// sees it) lies whole within length bytes: header, menu, class, title, font
// and every item with its class, title and creation data.
bool IsWholeDialogTemplate(const uint8_t* data, uint32_t length);
