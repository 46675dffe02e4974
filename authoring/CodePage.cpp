// UTF-8 to code page 1252; see CodePage.h.
#include "authoring/CodePage.h"

#include <stdio.h>

namespace {

// Bytes 0x80-0x9F of code page 1252 and the characters they stand for; 0
// where the byte is unassigned.
const uint16_t kHighBytes[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

// The code page byte of a character, or -1.
int ByteOf(uint32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (kHighBytes[i] && kHighBytes[i] == c) return 0x80 + i;
  return -1;
}

// Decodes one UTF-8 character at s[i]; its length, or 0 when malformed
// (overlong forms, surrogates and values past U+10FFFF included).
size_t Decode(const std::string& s, size_t i, uint32_t& c) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (!length || i + length > s.size()) return 0;
  static const uint32_t kLeadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  c = b & kLeadMask[length];
  for (size_t k = 1; k < length; ++k) {
    const unsigned char t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return 0;
    c = (c << 6) | (t & 0x3F);
  }
  static const uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool ToSetupEncoding(const std::string& utf8, bool keepUtf8, std::string& out, CodePageProblem& problem) {
  out.clear();
  size_t characters = 0;
  for (size_t i = 0; i < utf8.size(); ++characters) {
    uint32_t c = 0;
    const size_t length = Decode(utf8, i, c);
    const int byte = !length ? -1 : keepUtf8 ? (c >= 0x80 && c <= 0x9F ? -1 : 0) : ByteOf(c);
    if (byte < 0) {
      problem.offset = i;
      problem.character = characters;
      problem.codePoint = length ? c : 0;
      char text[96];
      if (length && keepUtf8)
        snprintf(text, sizeof text, "holds the control character U+%04X", c);
      else if (length)
        snprintf(text, sizeof text, "holds U+%04X '%s', which code page 1252 cannot represent", c,
                 utf8.substr(i, length).c_str());
      else
        snprintf(text, sizeof text, "is not valid UTF-8 (byte 0x%02X)", static_cast<unsigned char>(utf8[i]));
      problem.message = text;
      return false;
    }
    if (keepUtf8) out.append(utf8, i, length);
    else out += static_cast<char>(byte);
    i += length;
  }
  return true;
}

bool ToCodePage1252(const std::string& utf8, std::string& out, CodePageProblem& problem) {
  return ToSetupEncoding(utf8, false, out, problem);
}

void LineAndColumn(const std::string& utf8, size_t offset, size_t& line, size_t& column) {
  line = 1;
  column = 1;
  for (size_t i = 0; i < offset && i < utf8.size(); ++i) {
    if (utf8[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
}
