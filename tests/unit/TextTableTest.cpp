// GetText over text groups loaded from a Texts chunk: stepping over texts,
// and the shared empty text for every group or index that is not there; the
// uninstall entry's values, which never leave their body.
#include "tests/unit/SetupFileFixture.h"

namespace {

class TextTableTest : public SetupFileFixture {
 protected:
  bool LoadTexts(const std::vector<std::vector<std::string>>& groups) {
    SetupWriter writer = Writer();
    writer.AddTexts(groups);
    writer.AddU16(kChunkSinglePage, 0);
    writer.AddRawChunk(kChunkFileData, 0, 0, {});
    return Load(writer);
  }
};

TEST_F(TextTableTest, StepsOverTextsOfAnyLength) {
  const std::vector<std::string> texts = {"Welcome", "", "two\r\nlines", "", "", "last\nline"};
  ASSERT_TRUE(LoadTexts({{}, texts, {"x"}}));
  for (uint32_t i = 0; i < texts.size(); ++i) EXPECT_STREQ(GetText(1, i), texts[i].c_str()) << i;
  EXPECT_STREQ(GetText(1, texts.size()), "");
  EXPECT_STREQ(GetText(0, 0), "");  // a group of no texts
  EXPECT_STREQ(GetText(3, 0), "");  // a group the chunk did not carry
  EXPECT_STREQ(GetText(1, 0x10000 + 2), "two\r\nlines");  // the index counts as a 16-bit number
  EXPECT_STREQ(GetText(1, 0xFFFF), "");
  const uint8_t group[] = {2, 0, 'a', 0, 'b', 0, 'c', 0};
  ASSERT_TRUE(AllocateZeroed(sizeof group + 1, TextGroups[3]));
  memcpy(TextGroups[3], group, sizeof group);
  TextGroupSizes[3] = sizeof group;
  EXPECT_STREQ(GetText(3, 1), "b");
  EXPECT_STREQ(GetText(3, 2), "");  // the count decides, not the texts that happen to follow

  std::vector<std::vector<std::string>> groups(10, std::vector<std::string>{"text"});
  groups[6].assign(32, "message");
  ASSERT_TRUE(LoadTexts(groups));
  EXPECT_STREQ(GetText(6, 31), "message");
  EXPECT_STREQ(GetText(6, 32), "");
  EXPECT_STREQ(GetText(8, 0), "text");
  EXPECT_STREQ(GetText(9, 0), "");  // no tenth group
  EXPECT_STREQ(GetText(0xFFFFFFFFu, 0), "");
  ReleaseSetupData();
  EXPECT_STREQ(GetText(8, 0), "");
}

// A body cut inside its texts gives the texts it holds whole and then empty
// ones; an icon record beyond the table is none.
TEST_F(TextTableTest, UninstallEntryValuesStayInTheirBody) {
  const uint8_t entry[] = {1, 0, 0, 0, 'A', 'c', 'm', 'e', 0, '2', '.', '0', 0, 'h', 't'};
  ASSERT_TRUE(AllocateZeroed(sizeof entry + 1, UninstallEntry));  // the loader's guard byte
  memcpy(UninstallEntry, entry, sizeof entry);
  UninstallEntrySize = sizeof entry;
  EXPECT_STREQ(UninstallEntryValue(kEntryPublisher), "Acme");
  EXPECT_STREQ(UninstallEntryValue(kEntryVersion), "2.0");
  EXPECT_STREQ(UninstallEntryValue(kEntryAboutUrl), "ht");  // ended by the guard byte
  EXPECT_STREQ(UninstallEntryValue(kEntryHelpLink), "");
  EXPECT_EQ(UninstallEntryIcon(), kNoIconRecord);  // no file table: record 1 names nothing
  UninstallEntrySize = 3;
  EXPECT_STREQ(UninstallEntryValue(kEntryPublisher), "");
}

}  // namespace
