// The progress bar as a person sees it in a memory bitmap, the percentage it
// is given, the shortened path and message texts from hostile setup data.
#include "tests/windows/PathBuffersTest.h"
#include "wizard/PageMechanics.h"

namespace {

// The bar's placeholder 1009 at (10, 20), 100 by 12, and the percentage
// static 1010 in a hidden window, painted into a memory bitmap: the bar
// grows block by block with the percentage, inside its rectangle;
// SetProgress caps at 100 and draws at once.
TEST(ProgressBarTest, BarOfBlocksGrowsWithThePercentage) {
  const int x0 = 10, y0 = 20, w = 100, h = 12;
  const COLORREF kBackground = RGB(1, 2, 3);  // what the bar must not touch
  HWND page = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 60, nullptr, nullptr, nullptr, nullptr);
  CreateWindowExA(0, "STATIC", "", WS_CHILD, x0, y0, w, h, page, HMENU(1009), nullptr, nullptr);
  CreateWindowExA(0, "STATIC", "", WS_CHILD, 150, 20, 40, 12, page, HMENU(1010), nullptr, nullptr);
  Canvas canvas(200, 60, kBackground);
  // The filled width on the middle row: the right edge of the last block.
  auto filled = [&](uint32_t percent) {
    ProgressPercent = percent;
    PaintProgressBar(page, canvas.dc);
    int right = 0;
    for (int x = 1; x < w - 1; ++x)
      if (canvas.At(x0 + x, y0 + h / 2) == GetSysColor(COLOR_ACTIVECAPTION)) right = x + 1;
    return right;
  };
  int last = filled(0);
  EXPECT_GT(last, 0);  // something shows from the start
  for (uint32_t percent : {50u, 100u}) {
    EXPECT_GT(filled(percent), last) << percent;
    last = filled(percent);
  }
  EXPECT_GT(last, w - 12);  // at 100% the blocks reach across the bar
  for (POINT p : {POINT{-1, 5}, POINT{w, 5}, POINT{5, -1}, POINT{5, h}})
    EXPECT_EQ(canvas.At(x0 + p.x, y0 + p.y), kBackground);

  ProgressWindow = page;
  char text[32];
  ProgressView.setProgress(37);
  GetDlgItemTextA(page, 1010, text, sizeof text);
  EXPECT_STREQ(text, "37%");
  ProgressView.setProgress(0xFFFFFFFFu);  // unsigned: capped, not negative
  GetDlgItemTextA(page, 1010, text, sizeof text);
  EXPECT_STREQ(text, "100%");
  ProgressWindow = nullptr;
  ProgressPercent = 0;
  DestroyWindow(page);
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

// Only the first "%s" takes the file name (itself not a format); without
// "%s" the text is copied as it stands; a missing text is empty; all is cut
// at the buffer's size, 0 writing nothing at all.
TEST(MessageTextTest, FirstPercentSTakesTheFileNameCutAtTheBufferSize) {
  SetTextGroup(kTextGroupMessages, {"Caption", "Cannot write %s (%s) %n %d %x %% %", "100% sure %d %n", "", "%s",
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
  for (const auto& c : cases) {
    std::vector<char> out(c.size + 8, 'G');  // guard bytes after the buffer
    char name[kPathBufferSize];
    ErrorFileName = lstrcpynA(name, c.fileName, kPathBufferSize);
    FormatMessageText(out.data(), c.size, c.n);
    EXPECT_EQ(c.size ? std::string(out.data()) : std::string(), c.expected) << c.n << " " << c.size;
    EXPECT_EQ(std::string(out.begin() + c.size, out.end()), std::string(8, 'G')) << c.n << " " << c.size;
  }
  SetTextGroup(kTextGroupMessages, {});
  ErrorFileName = nullptr;
}

}  // namespace
