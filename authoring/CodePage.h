// Texts and names of a setup are stored in the ANSI code page of the
// machine that installs it; Setvik writes code page 1252 (Western
// European), or UTF-8 for a setup that declares it. The project file is
// UTF-8: every text and name is converted (or checked) here, and a
// character that code page 1252 has no form for is refused.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

struct CodePageProblem {
  size_t offset = 0;          // byte offset in the UTF-8 input
  size_t character = 0;       // the same, counted in characters
  uint32_t codePoint = 0;     // the character refused (0 for bad UTF-8)
  std::string message;        // what is wrong, for the user
};

// utf8 as code page 1252 bytes into out; false with problem filled in when
// it is not valid UTF-8 or holds a character outside the code page (C1
// controls U+0080-U+009F included, which Windows shows as nothing useful).
bool ToCodePage1252(const std::string& utf8, std::string& out, CodePageProblem& problem);

// The same for a setup of either encoding: with keepUtf8 (a setup whose
// texts are UTF-8) the text is only checked: valid UTF-8 without C1
// controls, copied unchanged.
bool ToSetupEncoding(const std::string& utf8, bool keepUtf8, std::string& out, CodePageProblem& problem);

// The line (from 1) and column (from 1, in characters) of a byte offset.
void LineAndColumn(const std::string& utf8, size_t offset, size_t& line, size_t& column);
