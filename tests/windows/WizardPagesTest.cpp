// The progress bar as a person sees it in a memory bitmap, the percentage it
// is given, the directory page's megabyte figures and the shortened path.
#include "tests/windows/PathBuffersTest.h"

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
  // The bar's filled width on its middle row (the right edge of the last
  // block), and the number of separate blocks.
  int Filled(uint32_t percent, int* blocks) {
    ProgressPercent = percent;
    PaintProgressBar(page, canvas.dc);
    int right = 0;
    *blocks = 0;
    for (int x = 1; x < w - 1; ++x) {
      const bool block = At(x, h / 2) == GetSysColor(COLOR_ACTIVECAPTION);
      if (block) right = x + 1;
      if (block && At(x - 1, h / 2) != GetSysColor(COLOR_ACTIVECAPTION)) ++*blocks;
    }
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

TEST_F(ProgressBarTest, BarOfBlocksGrowsWithThePercentageInsideItsSunkenEdge) {
  int blocks = 0, last = 0, lastBlocks = 0;
  EXPECT_GT(Filled(0, &blocks), 0);  // something shows from the start
  EXPECT_EQ(blocks, 1);
  EXPECT_EQ(PercentText(), "0%");
  for (uint32_t percent : {25u, 50u, 75u, 100u}) {
    const int filled = Filled(percent, &blocks);
    EXPECT_GT(filled, last) << percent;
    EXPECT_GT(blocks, lastBlocks) << percent;
    EXPECT_EQ(PercentText(), std::to_string(percent) + "%");
    last = filled, lastBlocks = blocks;
  }
  // At 100% the blocks reach across the bar, not a solid fill.
  EXPECT_GT(blocks, 8);
  EXPECT_GT(last, w - 12);
  // Nothing outside the w by h rectangle was touched.
  EXPECT_EQ(At(-1, 5), kBackground);
  EXPECT_EQ(At(w, 5), kBackground);
  EXPECT_EQ(At(5, -1), kBackground);
  EXPECT_EQ(At(5, h), kBackground);
}

TEST_F(ProgressBarTest, SetProgressCapsAtOneHundredAndDrawsAtOnce) {
  ProgressWindow = page;
  ProgressView.setProgress(37);
  EXPECT_EQ(ProgressPercent, 37u);
  EXPECT_EQ(PercentText(), "37%");
  ProgressView.setProgress(150);
  EXPECT_EQ(ProgressPercent, 100u);
  EXPECT_EQ(PercentText(), "100%");
  ProgressView.setProgress(0xFFFFFFFFu);  // unsigned: capped, not negative
  EXPECT_EQ(ProgressPercent, 100u);
  // A page without the placeholder gets its percentage but no bar.
  DestroyWindow(GetDlgItem(page, 1009));
  int blocks;
  Filled(20, &blocks);
  EXPECT_EQ(PercentText(), "20%");
  EXPECT_EQ(At(1, 5), kBackground);
  ProgressWindow = nullptr;
}

TEST(DirectoryPageFigures, NeededAndAvailableMegabytes) {
  TestFileTable table;
  auto needed = [&](std::vector<uint32_t> sizes) {
    std::vector<TestRecord> records;
    for (uint32_t size : sizes) records.push_back(Named("f", size));
    table.Set(records);
    return NeededMegabytes();
  };
  // Each file rounded up to 32 KiB, the sum up to megabytes.
  std::vector<uint32_t> oneMegabyte(32, 32768), more = oneMegabyte;
  more.push_back(1);
  const std::pair<std::vector<uint32_t>, uint32_t> cases[] = {
      {{1, 32768, 32769}, 1}, {{}, 0}, {{0, 0}, 0}, {oneMegabyte, 1}, {more, 2}, {{1048576 * 3 - 5}, 3}};
  for (const auto& c : cases) EXPECT_EQ(needed(c.first), c.second) << c.first.size();

  EXPECT_EQ(AvailableMegabytes("Q:\\no such drive"), 0u);
  ULARGE_INTEGER free;
  ASSERT_TRUE(GetDiskFreeSpaceExA(WindowsFolder().c_str(), &free, nullptr, nullptr));
  const uint64_t kilobytes = free.QuadPart >> 10;
  const uint32_t expected = kilobytes >= 0xFFFFFFFFull ? 0x400000u : static_cast<uint32_t>((kilobytes + 1023) >> 10);
  const uint32_t shown = AvailableMegabytes(WindowsFolder().c_str());  // free space moves meanwhile
  EXPECT_LE(shown, expected + 2);
  EXPECT_GE(shown + 2, expected);
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
      {"C:\\short\\name.txt", "C:\\short\\name.txt"},
      {"a-file-name-without-any-backslash.txt", "a-file-name-without-any-backslash.txt"},
      {"C:\\ab\\a-long-file-name-beyond-the-limit.txt", "C:\\ab\\a-long-file-name-beyond-the-limit.txt"},
      {"C:\\abcd\\a-long-file-name-beyond-the-limit.txt", "C:\\...\\a-long-file-name-beyond-the-limit.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(abbreviated(c.first), c.second);
}

}  // namespace
