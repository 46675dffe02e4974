// The table of texts: every default fits its own placeholder rule, every
// group is complete up to its last index (a gap would shift the texts after
// it), the documentation names every text, and the placeholder check
// refuses what the setup's formatters would misread.
#include <gtest/gtest.h>

#include "authoring/TextCatalog.h"
#include "tests/unit/ToolTesting.h"

TEST(TextCatalogTest, DefaultsAreCompleteValidAndDocumented) {
  const std::vector<uint8_t> doc = Slurp(std::string(SETVIK_SOURCE_DIR) + "/docs/project-file.md");
  const std::string text(doc.begin(), doc.end());
  std::vector<std::vector<bool>> seen(8);
  for (const TextRole& role : TextRoles()) {
    EXPECT_EQ(CheckTextPlaceholders(role, role.fallback), "") << role.name;
    EXPECT_NE(text.find(std::string("`") + role.name + "`"), std::string::npos) << role.name << " is not documented";
    ASSERT_LT(role.group, 8u);
    if (seen[role.group].size() <= role.index) seen[role.group].resize(role.index + 1);
    EXPECT_FALSE(seen[role.group][role.index]) << role.name << " repeats " << role.group << "/" << role.index;
    seen[role.group][role.index] = true;
  }
  for (size_t g = 0; g < seen.size(); ++g)
    for (size_t i = 0; i < seen[g].size(); ++i) EXPECT_TRUE(seen[g][i]) << "no text " << g << "/" << i;
  EXPECT_EQ(seen[6].size(), 33u);  // the caption and the 32 messages
  EXPECT_EQ(seen[7].size(), 7u);   // the button captions
  EXPECT_EQ(DefaultTextGroups("Demo")[6][0], "Demo Setup");
}

TEST(TextCatalogTest, PlaceholdersMustFitTheRole) {
  const TextRole& file = *FindTextRole("messages.cannot_open");  // %s
  const TextRole& disk = *FindTextRole("messages.insert_disk");  // %d
  for (const char* good : {"Cannot open %s.", "Cannot open the file.", "100%% sure: %s"})
    EXPECT_EQ(CheckTextPlaceholders(file, good), "") << good;
  for (const char* bad : {"%s and %s", "%d", "%n", "50% done %s", "trailing %"})  // "% d" is a conversion to printf
    EXPECT_NE(CheckTextPlaceholders(file, bad), "") << bad;
  EXPECT_EQ(CheckTextPlaceholders(disk, "Insert disk %d."), "");
  EXPECT_NE(CheckTextPlaceholders(disk, "Insert disk %s."), "");
  EXPECT_EQ(CheckTextPlaceholders(*FindTextRole("welcome.paragraph1"), "100% free, %s %d %n"), "");  // shown as it is
  EXPECT_EQ(FindTextRole("welcome.paragraph5"), nullptr);
}
