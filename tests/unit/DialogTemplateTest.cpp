// The stub's own check of dialog templates before the platform parses them:
// locating a template through the offset table, and accepting a template
// only when every part of it lies within the bytes it is given.
#include "setupdata/DialogTemplate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/DialogTemplates.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes DefaultBody() {
  Bytes body;
  std::string error;
  EXPECT_TRUE(DialogTemplatesBody(DefaultDialogResources(), body, error)) << error;
  return body;
}

// Each default template is accepted at exactly its own length and refused
// at every shorter one: no byte of it goes unchecked.
TEST(DialogTemplate, AcceptsWholeTemplatesAndRefusesEveryCut) {
  const Bytes body = DefaultBody();
  DialogTemplateSet templates;
  std::string error;
  ASSERT_TRUE(ExtractDialogs(DefaultDialogResources(), templates, error)) << error;
  for (uint32_t n = 0; n < templates.size(); ++n) {
    const Bytes& t = templates[n];
    ASSERT_TRUE(IsWholeDialogTemplate(t.data(), static_cast<uint32_t>(t.size()))) << "template " << n;
    for (uint32_t cut = 0; cut < t.size(); ++cut) {
      Bytes shorter(t.begin(), t.begin() + cut);
      ASSERT_FALSE(IsWholeDialogTemplate(shorter.data(), cut)) << "template " << n << " cut at " << cut;
    }
    uint32_t start = 0;
    const uint32_t length = LocateDialogTemplate(body.data(), static_cast<uint32_t>(body.size()), n, &start);
    ASSERT_GE(length, t.size());
    EXPECT_TRUE(std::equal(t.begin(), t.end(), body.begin() + start)) << "template " << n;
  }
}

TEST(DialogTemplate, LocateRefusesEntriesAndOffsetsOutsideTheBody) {
  // Offsets 8 and 100 in a body of 12 bytes: entry 0 valid, entry 1 past the
  // end, entry 2 is the body's last four bytes read as an offset (0x04030201),
  // entry 3 does not exist.
  const Bytes body = {0x08, 0, 0, 0, 100, 0, 0, 0, 0x01, 0x02, 0x03, 0x04};
  uint32_t start = 99;
  EXPECT_EQ(LocateDialogTemplate(body.data(), 12, 0, &start), 4u);
  EXPECT_EQ(start, 8u);
  EXPECT_EQ(LocateDialogTemplate(body.data(), 12, 1, &start), 0u);
  EXPECT_EQ(LocateDialogTemplate(body.data(), 12, 2, &start), 0u);
  EXPECT_EQ(LocateDialogTemplate(body.data(), 12, 3, &start), 0u);
  EXPECT_EQ(LocateDialogTemplate(body.data(), 12, 0xFFFFFFFFu, &start), 0u);
  EXPECT_EQ(LocateDialogTemplate(nullptr, 0, 0, &start), 0u);
}

TEST(DialogTemplate, RefusesHostileHeadersAndItems) {
  // Header: style DS_SETFONT, no extended style, 1 item, position and size;
  // no menu, no class, empty title, 8 point "A"; then one item.
  Bytes t = {0x40, 0, 0, 0x50, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 10, 0, 10, 0,
             0, 0, 0, 0, 0, 0, 8, 0, 'A', 0, 0, 0};
  t.resize(32, 0);  // the item starts 4-aligned
  const Bytes item = {0, 0, 0, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 5, 0, 0xE8, 0x03,
                      0xFF, 0xFF, 0x82, 0, 0, 0, 0, 0};  // static, empty title, no data
  t.insert(t.end(), item.begin(), item.end());
  ASSERT_TRUE(IsWholeDialogTemplate(t.data(), static_cast<uint32_t>(t.size())));

  Bytes many = t;
  many[8] = 0xFF;  // 255 items announced, one present
  EXPECT_FALSE(IsWholeDialogTemplate(many.data(), static_cast<uint32_t>(many.size())));
  Bytes data = t;
  data[data.size() - 2] = 0xFF;  // creation data of 255 bytes that are not there
  EXPECT_FALSE(IsWholeDialogTemplate(data.data(), static_cast<uint32_t>(data.size())));
  Bytes title = t;
  title[title.size() - 4] = 'x';  // the title is a string that never ends
  title[title.size() - 3] = 0;
  title[title.size() - 2] = 'y';
  EXPECT_FALSE(IsWholeDialogTemplate(title.data(), static_cast<uint32_t>(title.size())));
  Bytes extended = t;
  extended[0] = 1, extended[1] = 0, extended[2] = 0xFF, extended[3] = 0xFF;
  EXPECT_FALSE(IsWholeDialogTemplate(extended.data(), static_cast<uint32_t>(extended.size())));
  EXPECT_FALSE(IsWholeDialogTemplate(t.data(), 17));
}

}  // namespace
