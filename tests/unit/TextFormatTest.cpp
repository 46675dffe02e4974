// Safe formatting of setup texts and the extension helper: hostile percent
// sequences stay literal, and nothing is written past the buffer.
#include <gtest/gtest.h>

#include <string>

#include "base/PathText.h"
#include "base/TextFormat.h"
#include "setupdata/SetupData.h"

namespace {

std::string Number(const char* format, int32_t n, uint32_t size = 200) {
  std::string out(size + 8, '#');
  const uint32_t length = FormatTextNumber(&out[0], size, format, n);
  EXPECT_EQ(out.substr(size), std::string(8, '#')) << "written past the buffer";
  if (!size) return out.substr(0, 1);
  EXPECT_EQ(length, strlen(out.c_str()));
  return out.c_str();
}

}  // namespace

TEST(TextFormatTest, OnlyTheFirstConversionTakesTheArgument) {
  EXPECT_EQ(Number("Insert disk %d.", 2), "Insert disk 2.");
  EXPECT_EQ(Number("%d %d %s %x %n %%d %", 11), "11 %d %s %x %n %d %");
  EXPECT_EQ(Number("%%%d%%", -7), "%-7%");
  EXPECT_EQ(Number("%d", INT32_MIN), "-2147483648");
  EXPECT_EQ(Number("no number", 5), "no number");
  EXPECT_EQ(Number("%2.2d %ld", 5), "%2.2d %ld");
  EXPECT_EQ(Number(nullptr, 5), "");

  char out[32];
  EXPECT_EQ(FormatTextString(out, sizeof out, "Cannot create %s (%d%%)", "C:\\A B"), 26u);
  EXPECT_STREQ(out, "Cannot create C:\\A B (%d%)");
  FormatTextString(out, sizeof out, "%s and %s", nullptr);
  EXPECT_STREQ(out, " and %s");
}

TEST(TextFormatTest, OutputIsCutAtTheBufferSize) {
  EXPECT_EQ(Number("disk %d", 12345, 8), "disk 12");  // 7 characters and the terminator
  EXPECT_EQ(Number("%d", 7, 1), "");
  EXPECT_EQ(Number("%d", 7, 0), "#");  // nothing written
  EXPECT_EQ(Number(std::string(300, 'x').c_str(), 1), std::string(199, 'x'));
  char out[6];
  EXPECT_EQ(FormatTextString(out, sizeof out, "[%s]", "abcdefgh"), 5u);
  EXPECT_STREQ(out, "[abcd");
}

TEST(TextFormatTest, ReplaceExtension) {
  struct Case {
    const char* path;
    const char* extension;
    const char* result;
  } cases[] = {
      {"A:\\SETUP.EXE", ".D01", "A:\\SETUP.D01"},
      {"A:\\SETUP.D09", ".D10", "A:\\SETUP.D10"},
      {"A:\\SETUP", ".D01", "A:\\SETUP.D01"},
      {"C:\\DIR.X\\SETUP", ".D01", "C:\\DIR.X\\SETUP.D01"},
      {"/tmp/dir.x/setup", ".D01", "/tmp/dir.x/setup.D01"},
      {"C:\\APP\\PROG.TAR.GZ", ".$$A", "C:\\APP\\PROG.TAR.$$A"},
      {"C:\\APP\\.", ".$$A", "C:\\APP\\.$$A"},
  };
  for (const Case& c : cases) {
    char path[kPathBufferSize];
    strcpy(path, c.path);
    EXPECT_TRUE(ReplaceExtension(path, c.extension));
    EXPECT_STREQ(path, c.result);
  }
  char path[kPathBufferSize];
  std::string longest(255, 'x');
  strcpy(path, longest.c_str());
  EXPECT_TRUE(ReplaceExtension(path, ".D01"));  // 259 characters: fits
  EXPECT_EQ(strlen(path), 259u);
  EXPECT_FALSE(ReplaceExtension(path, ".D100"));  // 260 would not
  EXPECT_EQ(strlen(path), 259u);
}
