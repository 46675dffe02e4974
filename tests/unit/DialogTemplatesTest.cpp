// Dialog templates: the default templates the tool builds in, the checks a
// project's templates must pass, the DialogTemplates body packer, and the
// stub's own check that a template lies whole within its bytes (its hostile
// inputs are the fuzz target's).
#include "authoring/DialogTemplates.h"

#include "setupdata/DialogTemplate.h"
#include "tests/support/PeTestFiles.h"
#include "tests/unit/ToolTesting.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace PeTestFiles;

const uint32_t kPageStyle = 0x50000440;  // WS_CHILD | WS_VISIBLE | DS_CONTROL | DS_SETFONT
const uint16_t kButton = 0x80, kEdit = 0x81, kStatic = 0x82;

struct Control {
  uint16_t id;
  uint16_t classOrdinal;
  const char16_t* className = nullptr;  // given: the class by name
};

// A standard template, 100 x 50, with a font when DS_SETFONT is set; visible
// child items without titles.
Bytes MakeTemplate(uint32_t style, const std::vector<Control>& controls) {
  Bytes out;
  Put32(out, style);
  Put32(out, 0);
  for (uint16_t v : {uint16_t(controls.size()), uint16_t(0), uint16_t(0), uint16_t(100), uint16_t(50)}) Put16(out, v);
  for (uint16_t v : {0, 0, 0}) Put16(out, v);  // no menu, no class, empty title
  if (style & 0x40) Put16(out, 8), PutText(out, u"MS Shell Dlg");
  for (const Control& c : controls) {
    Pad4(out);
    for (uint32_t v : {0x50000000u, 0u}) Put32(out, v);
    for (uint16_t v : {0, 0, 10, 10}) Put16(out, v);
    Put16(out, c.id);
    if (c.className) PutText(out, c.className);
    else Put16(out, 0xFFFF), Put16(out, c.classOrdinal);
    Put16(out, 0), Put16(out, 0);  // empty title, no creation data
  }
  return out;
}

std::vector<Control> DirectoryControls() {
  return {{1004, kEdit}, {1005, kButton}, {1016, kStatic}, {1017, kStatic}, {1018, kStatic}, {1019, kStatic}};
}

DialogTemplateSet DefaultTemplates() {
  DialogTemplateSet templates;
  std::string error;
  EXPECT_TRUE(ExtractDialogs(DefaultDialogResources(), templates, error)) << error;
  return templates;
}

DialogTemplateInfo Parse(const Bytes& bytes) {
  DialogTemplateInfo info;
  std::string error;
  EXPECT_TRUE(ParseDialogTemplate(bytes, info, error)) << error;
  return info;
}

// What a person would see go wrong: a control outside its dialog, a page
// larger than the frame's page area, overlapping buttons. The stub's check
// accepts each at exactly its length and refuses every shorter one.
TEST(DialogTemplatesTest, DefaultTemplatesPassTheChecksAndFitThePageArea) {
  const DialogTemplateSet templates = DefaultTemplates();
  const DialogTemplateInfo frame = Parse(templates[0]);
  ASSERT_NE(frame.Find(1006), nullptr);
  const DialogItem page = *frame.Find(1006);
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) {
    const Bytes& t = templates[n];
    std::string error;
    EXPECT_TRUE(CheckDialogTemplate(n, t, error)) << error;
    EXPECT_TRUE(IsWholeDialogTemplate(t.data(), static_cast<uint32_t>(t.size()))) << n;
    for (uint32_t cut = 0; cut < t.size(); ++cut)
      ASSERT_FALSE(IsWholeDialogTemplate(Bytes(t.begin(), t.begin() + cut).data(), cut)) << n << " cut at " << cut;
    const DialogTemplateInfo info = Parse(t);
    if (n == 7) continue;  // the folder browser is laid out when it opens
    for (const DialogItem& i : info.items)
      EXPECT_TRUE(i.x >= 0 && i.y >= 0 && i.x + i.cx <= info.cx && i.y + i.cy <= info.cy) << n << " " << i.id;
    if (n >= 2) EXPECT_TRUE(info.cx <= page.cx && info.cy <= page.cy) << n;
    if (n > 1) continue;
    const DialogItem *ok = info.Find(1), *cancel = info.Find(2), *back = info.Find(1007);
    EXPECT_TRUE(back->x + back->cx <= ok->x && ok->x + ok->cx <= cancel->x) << n;
  }
  EXPECT_EQ(Parse(templates[7]).Find(1121)->style & 0x10, 0x10u);  // LBS_OWNERDRAWFIXED, for the folder icons
  EXPECT_NE(Parse(templates[1]).style & 0x00C00000, 0u);            // the full-screen frame shows page titles
  // The finish page may move 1015 up to 1014's top and stretch 1000 down
  // to 1002's bottom: their order from the top.
  const DialogTemplateInfo finish = Parse(templates[6]);
  int lastTop = -1;
  for (uint16_t id : {1000, 1001, 1014, 1002, 1015, 1003}) {
    EXPECT_GT(finish.Find(id)->y, lastTop) << id;
    lastTop = finish.Find(id)->y;
  }
}

TEST(DialogTemplatesTest, RejectsTemplatesTheWizardCannotUse) {
  std::vector<Control> missingEdit = DirectoryControls(), staticEdit = DirectoryControls();
  std::vector<Control> named = DirectoryControls(), namedButtonEdit = DirectoryControls();
  missingEdit.erase(missingEdit.begin());
  staticEdit[0].classOrdinal = kStatic;
  named[0].className = u"Edit", named[1].className = u"bUTTon";  // classes by name, in any case
  namedButtonEdit[0].className = u"button";
  const struct {
    uint32_t number;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {4, {0x40, 0, 0, 0x50}, "template 4: the header runs past the end of the template"},
      {2, {0x01, 0x00, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x00, 0x00, 0x50}, "an extended template (DIALOGEX)"},
      {2, MakeTemplate(kPageStyle, missingEdit), "template 2 (directory page) lacks control 1004 (edit)"},
      {2, MakeTemplate(kPageStyle, staticEdit), "control 1004 is a static, where an edit is needed"},
      {2, MakeTemplate(kPageStyle, namedButtonEdit), "control 1004 is a button, where an edit is needed"},
      {2, MakeTemplate(0x40000440, DirectoryControls()), "template 2 (directory page) is not a visible child"},
      {2, MakeTemplate(0x50C00440, DirectoryControls()), "has both DS_CONTROL and a caption"},
      {7, MakeTemplate(0x50000040, {}), "template 7 (folder browser) is a child dialog"},
      {8, MakeTemplate(kPageStyle, {{1005, kStatic}, {1006, kButton}, {1001, kStatic}}),
       "template 8 (closing page) has control 1001, which would show text 6/2"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(CheckDialogTemplate(c.number, c.bytes, error)) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
  std::string error;
  EXPECT_TRUE(CheckDialogTemplate(2, MakeTemplate(kPageStyle, named), error)) << error;
}

TEST(DialogTemplatesTest, PacksTheChunkBodyWithinTheCopyBlock) {
  DialogTemplateSet templates = DefaultTemplates();
  templates[1] = templates[0];  // identical templates are stored once
  Bytes body;
  std::string error;
  ASSERT_TRUE(PackDialogTemplates(templates, body, error)) << error;
  size_t total = 0;
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) {
    uint32_t start = 0;
    const uint32_t length = LocateDialogTemplate(body.data(), static_cast<uint32_t>(body.size()), n, &start);
    ASSERT_GE(length, templates[n].size()) << n;
    EXPECT_TRUE(std::equal(templates[n].begin(), templates[n].end(), body.begin() + start)) << n;
    EXPECT_LE(length, kDialogTemplateBlockSize) << n;
    if (n != 1) total += templates[n].size();
  }
  EXPECT_EQ(ReadU32Le(body.data() + 4), 36u);
  EXPECT_EQ(body.size(), 36 + total);

  // The wizard copies at most 16,384 bytes from a template's offset, so the
  // bytes from the first template stored to the end of the body must fit.
  for (uint32_t n = 0; n < kDialogTemplateCount; ++n) templates[n] = Bytes(1820, static_cast<uint8_t>(n));
  templates[8].resize(kDialogTemplateBlockSize - 8 * 1820);  // 1,824: exactly 16,384 together
  EXPECT_TRUE(PackDialogTemplates(templates, body, error)) << error;
  templates[8].push_back(0);
  EXPECT_FALSE(PackDialogTemplates(templates, body, error));
  EXPECT_NE(error.find("template 0 starts 16385 bytes before the end"), std::string::npos) << error;
}

}  // namespace
