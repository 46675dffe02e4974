// The progress bar as a person sees it in a memory bitmap, the percentage it
// is given, the shortened path and message texts from hostile setup data.
#include "tests/windows/PathBuffersTest.h"
#include "wizard/PageMechanics.h"

namespace {

const COLORREF kBackground = RGB(1, 2, 3);  // what the bar must not touch

// A hidden window holding the bar's placeholder 1009 at (x0, y0), w by h,
// and the percentage static 1010, painted into a memory bitmap.
class ProgressBarTest : public ::testing::Test {
 protected:
  static const int x0 = 10, y0 = 20, w = 100, h = 12;
  void SetUp() override {
    page = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 60, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(page);
    CreateWindowExA(0, "STATIC", "", WS_CHILD, x0, y0, w, h, page, HMENU(1009), nullptr, nullptr);
    CreateWindowExA(0, "STATIC", "", WS_CHILD, 150, 20, 40, 12, page, HMENU(1010), nullptr, nullptr);
  }
  void TearDown() override {
    DestroyWindow(page);
    ProgressPercent = 0;
  }
  COLORREF At(int x, int y) { return canvas.At(x0 + x, y0 + y); }
  // The bar's filled width on its middle row: the right edge of its last
  // block.
  int Filled(uint32_t percent) {
    ProgressPercent = percent;
    PaintProgressBar(page, canvas.dc);
    int right = 0;
    for (int x = 1; x < w - 1; ++x)
      if (At(x, h / 2) == GetSysColor(COLOR_ACTIVECAPTION)) right = x + 1;
    return right;
  }
  std::string PercentText() {
    char text[32];
    GetDlgItemTextA(page, 1010, text, sizeof text);
    return text;
  }
  HWND page = nullptr;
  Canvas canvas{200, 60, kBackground};
};

// The bar grows block by block with the percentage, inside its w by h
// rectangle; SetProgress caps at 100 and draws at once.
TEST_F(ProgressBarTest, BarOfBlocksGrowsWithThePercentage) {
  int last = Filled(0);
  EXPECT_GT(last, 0);  // something shows from the start
  for (uint32_t percent : {50u, 100u}) {
    const int filled = Filled(percent);
    EXPECT_GT(filled, last) << percent;
    last = filled;
  }
  EXPECT_GT(last, w - 12);  // at 100% the blocks reach across the bar
  for (POINT p : {POINT{-1, 5}, POINT{w, 5}, POINT{5, -1}, POINT{5, h}}) EXPECT_EQ(At(p.x, p.y), kBackground);

  ProgressWindow = page;
  ProgressView.setProgress(37);
  EXPECT_EQ(PercentText(), "37%");
  ProgressView.setProgress(0xFFFFFFFFu);  // unsigned: capped, not negative
  EXPECT_EQ(ProgressPercent, 100u);
  EXPECT_EQ(PercentText(), "100%");
  ProgressWindow = nullptr;
}

TEST(AbbreviatePathTest, KeepsHeadAndTail) {
  auto abbreviated = [](const char* text) {
    char buffer[260];
    lstrcpynA(buffer, text, sizeof buffer);
    AbbreviatePath(buffer, 30);
    return std::string(buffer);
  };
  // Head and tail around "..."; within the limit, no backslash, or fewer
  // than 4 characters from the first backslash to the last: unchanged; a
  // long tail keeps the head at the first backslash.
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Program Files\\Some Product\\bin\\file.exe", "C:\\Program Files\\...\\file.exe"},
      {"C:\\A\\B\\C\\D\\E\\F\\G\\H\\I\\J\\K\\name.txt", "C:\\A\\B\\C\\D\\E\\F\\G\\H\\I\\...\\name.txt"},
      {"a-file-name-without-any-backslash.txt", "a-file-name-without-any-backslash.txt"},
      {"C:\\ab\\a-long-file-name-beyond-the-limit.txt", "C:\\ab\\a-long-file-name-beyond-the-limit.txt"},
      {"C:\\abc\\a-long-file-name-beyond-the-limit.txt", "C:\\...\\a-long-file-name-beyond-the-limit.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(abbreviated(c.first), c.second);
}

// Text group 6 made of the given texts, installed for one test.
class MessageTextTest : public ::testing::Test {
 protected:
  void SetTexts(const std::vector<std::string>& texts) { SetTextGroup(kTextGroupMessages, texts); }
  void TearDown() override {
    SetTextGroup(kTextGroupMessages, {});
    ErrorFileName = nullptr;
  }
  std::string Format(uint32_t n, uint32_t size, const char* fileName) {
    std::vector<char> out(size + 8, 'G');
    char name[kPathBufferSize];
    lstrcpynA(name, fileName, kPathBufferSize);
    ErrorFileName = name;
    FormatMessageText(out.data(), size, n);
    for (uint32_t i = size; i < out.size(); ++i) EXPECT_EQ(out[i], 'G') << "written past " << size;
    return size ? std::string(out.data()) : std::string();
  }
};

// Only the first "%s" takes the file name (itself not a format); without
// "%s" the text is copied as it stands; a missing text is empty; all is cut
// at the buffer's size, 0 writing nothing at all.
TEST_F(MessageTextTest, FirstPercentSTakesTheFileNameCutAtTheBufferSize) {
  SetTexts({"Caption", "Cannot write %s (%s) %n %d %x %% %", "100% sure %d %n", "", "%s",
            "no percent-s here, just a long text"});
  const std::string longName(259, 'f');
  const struct {
    uint32_t n, size;
    const char* fileName;
    std::string expected;
  } cases[] = {
      {1, 1024, "C:\\a.dll", "Cannot write C:\\a.dll (%s) %n %d %x % %"}, {2, 1024, "C:\\a.dll", "100% sure %d %n"},
      {9, 1024, "x", ""}, {4, 1024, "%s %n %x", "%s %n %x"}, {1, 8, "C:\\file.dll", "Cannot "},
      {4, 8, "C:\\file.dll", "C:\\file"}, {5, 10, "x", "no percen"}, {1, 0, "x", ""},
      {4, 100, longName.c_str(), longName.substr(0, 99)},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.n, c.size, c.fileName), c.expected) << c.n << " " << c.size;
}

}  // namespace
