// Safe formatting of setup texts: only the first conversion takes the
// argument, hostile percent sequences stay literal, and nothing is written
// past the buffer (volume names and the disk prompt are VolumeReaderTest's).
#include <gtest/gtest.h>

#include <string>

#include "base/TextFormat.h"

namespace {

TEST(TextFormatTest, FormatsWithinTheBuffer) {
  const struct {
    const char* format;
    char kind;  // 'd': the number is the argument, 's': the text
    int32_t number;
    const char* text;
    uint32_t size;
    const char* expected;  // "#": nothing written
  } cases[] = {
      {"%d %d %s %x %n %%d %", 'd', 11, nullptr, 200, "11 %d %s %x %n %d %"},
      {"%%%d%%", 'd', -7, nullptr, 200, "%-7%"},
      {"%d", 'd', INT32_MIN, nullptr, 200, "-2147483648"},
      {"%2.2d %ld", 'd', 5, nullptr, 200, "%2.2d %ld"},
      {nullptr, 'd', 5, nullptr, 200, ""},
      {"disk %d", 'd', 12345, nullptr, 8, "disk 12"},  // 7 characters and the terminator
      {"%d", 'd', 7, nullptr, 0, "#"},
      {"Cannot create %s (%d%%)", 's', 0, "C:\\A B", 200, "Cannot create C:\\A B (%d%)"},
      {"%s and %s", 's', 0, nullptr, 200, " and %s"},
      {"[%s]", 's', 0, "abcdefgh", 6, "[abcd"},
  };
  for (const auto& c : cases) {
    std::string out(c.size + 8, '#');
    const uint32_t length = c.kind == 's' ? FormatTextString(&out[0], c.size, c.format, c.text)
                                   : FormatTextNumber(&out[0], c.size, c.format, c.number);
    EXPECT_EQ(out.substr(c.size), std::string(8, '#')) << c.expected << ": written past the buffer";
    EXPECT_EQ(c.size ? std::string(out.c_str()) : out.substr(0, 1), c.expected);
    if (c.size) EXPECT_EQ(length, strlen(out.c_str())) << c.expected;
  }
}

}  // namespace
