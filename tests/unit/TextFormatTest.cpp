// Safe formatting of setup texts: hostile percent sequences stay literal, and
// nothing is written past the buffer (volume names and the disk prompt are
// VolumeReaderTest's).
#include <gtest/gtest.h>

#include <string>

#include "base/TextFormat.h"

namespace {

std::string Number(const char* format, int32_t n, uint32_t size = 200) {
  std::string out(size + 8, '#');
  const uint32_t length = FormatTextNumber(&out[0], size, format, n);
  EXPECT_EQ(out.substr(size), std::string(8, '#')) << "written past the buffer";
  if (!size) return out.substr(0, 1);
  EXPECT_EQ(length, strlen(out.c_str()));
  return out.c_str();
}

TEST(TextFormatTest, OnlyTheFirstConversionTakesTheArgumentWithinTheBuffer) {
  EXPECT_EQ(Number("%d %d %s %x %n %%d %", 11), "11 %d %s %x %n %d %");
  EXPECT_EQ(Number("%%%d%%", -7), "%-7%");
  EXPECT_EQ(Number("%d", INT32_MIN), "-2147483648");
  EXPECT_EQ(Number("%2.2d %ld", 5), "%2.2d %ld");
  EXPECT_EQ(Number(nullptr, 5), "");
  EXPECT_EQ(Number("disk %d", 12345, 8), "disk 12");  // 7 characters and the terminator
  EXPECT_EQ(Number("%d", 7, 1), "");
  EXPECT_EQ(Number("%d", 7, 0), "#");  // nothing written

  char out[32];
  EXPECT_EQ(FormatTextString(out, sizeof out, "Cannot create %s (%d%%)", "C:\\A B"), 26u);
  EXPECT_STREQ(out, "Cannot create C:\\A B (%d%)");
  FormatTextString(out, sizeof out, "%s and %s", nullptr);
  EXPECT_STREQ(out, " and %s");
  EXPECT_EQ(FormatTextString(out, 6, "[%s]", "abcdefgh"), 5u);
  EXPECT_STREQ(out, "[abcd");
}

}  // namespace
