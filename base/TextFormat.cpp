// Safe formatting of setup texts (see TextFormat.h).
#include "base/TextFormat.h"

namespace {

// Copies format into out, putting argument in place of the first "%"
// followed by conversion.
uint32_t FormatText(char* out, uint32_t size, const char* format, char conversion, const char* argument) {
  if (!size) return 0;
  uint32_t length = 0;
  const char* pending = nullptr;  // the argument while it is being copied
  bool used = false;
  if (!format) format = "";
  while (length + 1 < size) {
    char c;
    if (pending) {
      c = *pending++;
      if (!c) {
        pending = nullptr;
        continue;
      }
    } else {
      c = *format++;
      if (!c) break;
      if (c == '%' && *format == '%') {
        ++format;
      } else if (c == '%' && *format == conversion && !used) {
        ++format;
        used = true;
        pending = argument ? argument : "";
        continue;
      }
    }
    out[length++] = c;
  }
  out[length] = 0;
  return length;
}

}  // namespace

uint32_t FormatTextNumber(char* out, uint32_t size, const char* format, int32_t n) {
  char digits[12];  // sign, ten digits, terminator
  char* p = digits + sizeof digits;
  *--p = 0;
  uint32_t magnitude = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (n < 0) *--p = '-';
  return FormatText(out, size, format, 'd', p);
}

uint32_t FormatTextString(char* out, uint32_t size, const char* format, const char* s) {
  return FormatText(out, size, format, 's', s);
}
