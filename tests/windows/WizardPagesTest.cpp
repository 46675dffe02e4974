// The progress bar read back pixel by pixel from a memory bitmap, the
// percentage it is given, and the directory page's megabyte figures.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/windows/FileTableBuilder.h"
#include "wizard/Wizard.h"

namespace {

const COLORREF kBackground = RGB(1, 2, 3);  // what the bar must not touch

// A hidden window holding the bar's placeholder 1009 at (x0, y0), w by h,
// and the percentage static 1010, painted into a 32-bit memory bitmap.
class ProgressBarTest : public ::testing::Test {
 protected:
  static const int x0 = 10, y0 = 20, w = 100, h = 12;
  void SetUp() override {
    page = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 60, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(page);
    CreateWindowExA(0, "STATIC", "", WS_CHILD, x0, y0, w, h, page, reinterpret_cast<HMENU>(1009), nullptr, nullptr);
    CreateWindowExA(0, "STATIC", "", WS_CHILD, 150, 20, 40, 12, page, reinterpret_cast<HMENU>(1010), nullptr,
                    nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 200;
    info.bmiHeader.biHeight = -60;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    previous = SelectObject(dc, bitmap);
    const RECT all = {0, 0, 200, 60};
    HBRUSH fill = CreateSolidBrush(kBackground);
    FillRect(dc, &all, fill);
    DeleteObject(fill);
  }
  void TearDown() override {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DestroyWindow(page);
    ProgressPercent = 0;
  }
  void Paint(uint32_t percent) {
    ProgressPercent = percent;
    PaintProgressBar(page, dc);
  }
  // The colour at (x, y) of the bar, relative to its top-left corner.
  COLORREF At(int x, int y) { return GetPixel(dc, x0 + x, y0 + y); }
  bool IsBlock(int x, int y) { return At(x, y) == GetSysColor(COLOR_ACTIVECAPTION); }
  // The number of blocks on the row y = 5, and the right edge of the last.
  int Blocks(int* lastRight) {
    int count = 0;
    for (int x = 0; x < w; ++x) {
      if (IsBlock(x, 5) && !IsBlock(x - 1, 5)) ++count;
      if (IsBlock(x, 5)) *lastRight = x + 1;
    }
    return count;
  }
  std::string PercentText() {
    char text[32];
    GetDlgItemTextA(page, 1010, text, sizeof text);
    return text;
  }
  HWND page = nullptr;
  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ previous = nullptr;
};

TEST_F(ProgressBarTest, SunkenEdgeAndBlocksSixWideAtPitchEight) {
  Paint(50);
  EXPECT_EQ(PercentText(), "50%");
  const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW),
                 light = GetSysColor(COLOR_BTNHIGHLIGHT);
  // Top and left lines in the shadow colour, right and bottom in the
  // highlight colour, drawn last (so the corners they share are light).
  EXPECT_EQ(At(50, 0), shadow);
  EXPECT_EQ(At(0, 5), shadow);
  EXPECT_EQ(At(w - 1, 5), light);
  EXPECT_EQ(At(50, h - 1), light);
  EXPECT_EQ(At(w - 1, 0), light);
  EXPECT_EQ(At(0, h - 1), light);
  // Blocks: x 1..6, 9..14, ...; rows 2 to 9; face around them.
  for (int y = 2; y < 10; ++y) {
    EXPECT_TRUE(IsBlock(1, y) && IsBlock(6, y) && IsBlock(9, y) && IsBlock(14, y)) << y;
    EXPECT_EQ(At(7, y), face) << y;
    EXPECT_EQ(At(8, y), face) << y;
  }
  EXPECT_EQ(At(1, 1), face);
  EXPECT_EQ(At(1, 10), face);
  // At 50 % of 100 pixels: blocks while their right edge stays below 50.
  int lastRight = 0;
  EXPECT_EQ(Blocks(&lastRight), 6);
  EXPECT_EQ(lastRight, 47);
  // Nothing outside the w by h rectangle was touched.
  EXPECT_EQ(GetPixel(dc, x0 - 1, y0 + 5), kBackground);
  EXPECT_EQ(GetPixel(dc, x0 + w, y0 + 5), kBackground);
  EXPECT_EQ(GetPixel(dc, x0 + 5, y0 - 1), kBackground);
  EXPECT_EQ(GetPixel(dc, x0 + 5, y0 + h), kBackground);
}

TEST_F(ProgressBarTest, OneBlockAtZeroAndNoneAtTheRightEdgeAtFull) {
  int lastRight = 0;
  Paint(0);
  EXPECT_EQ(PercentText(), "0%");
  EXPECT_EQ(Blocks(&lastRight), 1);
  EXPECT_EQ(lastRight, 7);
  Paint(100);
  EXPECT_EQ(PercentText(), "100%");
  EXPECT_EQ(Blocks(&lastRight), 12);
  EXPECT_EQ(lastRight, 95);
  for (int y = 1; y < h - 1; ++y) EXPECT_EQ(At(w - 2, y), GetSysColor(COLOR_BTNFACE)) << y;
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
  Paint(20);
  EXPECT_EQ(PercentText(), "20%");
  EXPECT_EQ(At(1, 5), kBackground);
  ProgressWindow = nullptr;
}

TEST(DirectoryPageFigures, NeededRoundsEachFileUpTo32KiBAndTheSumToMegabytes) {
  TestFileTable table;
  auto sizes = [&](std::vector<uint32_t> list) {
    std::vector<TestRecord> records;
    for (uint32_t size : list) {
      TestRecord record;
      record.fileName = "f";
      record.fileSize = size;
      records.push_back(record);
    }
    table.Set(records);
    return NeededMegabytes();
  };
  // 32,768 + 32,768 + 65,536 bytes: 131,072, shown as 1.
  EXPECT_EQ(sizes({1, 32768, 32769}), 1u);
  EXPECT_EQ(sizes({}), 0u);
  EXPECT_EQ(sizes({0, 0}), 0u);
  EXPECT_EQ(sizes(std::vector<uint32_t>(32, 32768)), 1u);  // exactly 1 MiB
  std::vector<uint32_t> justOver(32, 32768);
  justOver.push_back(1);
  EXPECT_EQ(sizes(justOver), 2u);
  EXPECT_EQ(sizes({1048576 * 3 - 5}), 3u);
  TestFileTable::Clear();
}

TEST(DirectoryPageFigures, AvailableIsZeroWhenTheDriveCannotBeAsked) {
  EXPECT_EQ(AvailableMegabytes("Q:\\no such drive"), 0u);
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  ULARGE_INTEGER free;
  ASSERT_TRUE(GetDiskFreeSpaceExA(windows, &free, nullptr, nullptr));
  const uint64_t kilobytes = free.QuadPart >> 10;
  const uint32_t expected = kilobytes >= 0xFFFFFFFFull ? 0x400000u : static_cast<uint32_t>((kilobytes + 1023) >> 10);
  // Free space moves while the test runs; a megabyte or two either way.
  const uint32_t shown = AvailableMegabytes(windows);
  EXPECT_LE(shown, expected + 2);
  EXPECT_GE(shown + 2, expected);
}

}  // namespace

TEST(AbbreviatePathTest, KeepsHeadAndTail) {
  auto abbreviated = [](const char* text, uint32_t limit) {
    char buffer[260];
    lstrcpynA(buffer, text, sizeof buffer);
    AbbreviatePath(buffer, limit);
    return std::string(buffer);
  };
  EXPECT_EQ(abbreviated("C:\\Program Files\\Some Product\\bin\\file.exe", 30), "C:\\Program Files\\...\\file.exe");
  EXPECT_EQ(abbreviated("C:\\A\\B\\C\\D\\E\\F\\G\\H\\I\\J\\K\\name.txt", 30), "C:\\A\\B\\C\\D\\E\\F\\G\\H\\I\\...\\name.txt");
  // Within the limit, no backslash, or fewer than 4 characters from the
  // first backslash to the last: unchanged.
  EXPECT_EQ(abbreviated("C:\\short\\name.txt", 30), "C:\\short\\name.txt");
  EXPECT_EQ(abbreviated("a-file-name-without-any-backslash.txt", 30), "a-file-name-without-any-backslash.txt");
  EXPECT_EQ(abbreviated("C:\\ab\\a-long-file-name-beyond-the-limit.txt", 30),
            "C:\\ab\\a-long-file-name-beyond-the-limit.txt");
  // A long tail: the head stays at the first backslash, the result is
  // longer than the limit.
  EXPECT_EQ(abbreviated("C:\\abcd\\a-long-file-name-beyond-the-limit.txt", 30),
            "C:\\...\\a-long-file-name-beyond-the-limit.txt");
}
