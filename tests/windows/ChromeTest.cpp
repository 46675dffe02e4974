// The wizard's chrome: pictures from hostile setup data, the gradient and
// its dither pattern, the palette of 8-bit pictures, the sunken edges and
// the picture panel read back from a memory device context, and the frame's
// placement.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "base/Message.h"
#include "setupdata/SetupData.h"
#include "tests/windows/MessageScript.h"
#include "wizard/Background.h"
#include "wizard/FrameDialog.h"
#include "wizard/PageMechanics.h"
#include "wizard/Picture.h"
#include "wizard/Wizard.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A bitmap file image: file header, 40-byte information header, the colour
// table the header announces and the pixel rows, all bytes 0x11 unless set.
std::vector<uint8_t> Bitmap(int32_t width, int32_t height, uint32_t bits, uint32_t used = 0, int32_t trim = 0) {
  const uint32_t table = used ? used : bits <= 8 ? 1u << bits : 0;
  const uint32_t rows = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4 * static_cast<uint32_t>(height);
  std::vector<uint8_t> b(54 + table * 4 + rows - trim, 0x11);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<uint32_t>(width));
  Put32(b, 22, static_cast<uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, bits);
  Put32(b, 30, BI_RGB);
  Put32(b, 46, used);
  return b;
}

bool Check(const std::vector<uint8_t>& b, Picture* picture = nullptr) {
  Picture ignored;
  return CheckPicture(b.data(), static_cast<uint32_t>(b.size()), picture ? picture : &ignored);
}

TEST(PictureTest, ColourTableAndPixelsOfEachDepth) {
  struct Case {
    uint32_t bits, used, colours;
  } cases[] = {{1, 0, 2}, {4, 0, 16}, {8, 0, 256}, {8, 3, 3}, {16, 0, 0}, {24, 0, 0}, {32, 0, 0}, {24, 2, 2}};
  for (const Case& c : cases) {
    std::vector<uint8_t> b = Bitmap(5, 3, c.bits, c.used);
    Picture picture;
    ASSERT_TRUE(Check(b, &picture)) << c.bits << " bits, " << c.used << " used";
    EXPECT_EQ(picture.colours, c.colours);
    EXPECT_EQ(picture.pixels, b.data() + 54 + 4 * c.colours);
    EXPECT_EQ(picture.width, 5);
    EXPECT_EQ(picture.height, 3);
    // One byte short of the last row: refused.
    EXPECT_FALSE(Check(Bitmap(5, 3, c.bits, c.used, 1))) << c.bits << " bits";
  }
}

TEST(PictureTest, HostileHeadersAreRefused) {
  EXPECT_FALSE(Check(std::vector<uint8_t>(53, 0)));
  EXPECT_FALSE(CheckPicture(nullptr, 100, nullptr));
  std::vector<uint8_t> b = Bitmap(4, 4, 8);
  b[1] = 'A';
  EXPECT_FALSE(Check(b));
  for (uint32_t size : {12u, 56u, 108u, 124u}) {
    b = Bitmap(4, 4, 8);
    Put32(b, 14, size);
    EXPECT_FALSE(Check(b)) << "header size " << size;
  }
  for (uint32_t bits : {0u, 2u, 7u, 9u, 48u, 0xFFFFu}) {
    b = Bitmap(4, 4, 24);
    Put16(b, 28, bits);
    EXPECT_FALSE(Check(b)) << bits << " bits";
  }
  b = Bitmap(4, 4, 24);
  Put16(b, 26, 2);
  EXPECT_FALSE(Check(b)) << "two planes";
  for (uint32_t compression : {BI_RLE8, BI_RLE4, BI_BITFIELDS, BI_JPEG, BI_PNG}) {
    b = Bitmap(4, 4, 8);
    Put32(b, 30, compression);
    EXPECT_FALSE(Check(b)) << "compression " << compression;
  }
  // Sizes: none, negative (top-down), past 32,767, and rows whose bytes
  // would overflow 32 bits.
  const int32_t sides[][2] = {{0, 4}, {4, 0}, {-4, 4}, {4, -4}, {32768, 1}, {1, 32768},
                              {0x7FFFFFFF, 1}, {1, 0x7FFFFFFF}, {-0x7FFFFFFF - 1, 4}};
  for (const auto& side : sides) {
    b = Bitmap(4, 4, 32);
    Put32(b, 18, static_cast<uint32_t>(side[0]));
    Put32(b, 22, static_cast<uint32_t>(side[1]));
    EXPECT_FALSE(Check(b)) << side[0] << " x " << side[1];
  }
  b = Bitmap(1, 1, 32);
  Put32(b, 18, 32767);
  Put32(b, 22, 32767);
  EXPECT_FALSE(Check(b)) << "32767 x 32767 in a few bytes";
  // Colours used: more than the depth addresses, more than 256, or a table
  // that runs past the body.
  b = Bitmap(4, 4, 4);
  Put32(b, 46, 17);
  EXPECT_FALSE(Check(b));
  b = Bitmap(4, 4, 8);
  Put32(b, 46, 257);
  EXPECT_FALSE(Check(b));
  b = Bitmap(4, 4, 24);
  Put32(b, 46, 0xFFFFFFFF);
  EXPECT_FALSE(Check(b));
  b = Bitmap(4, 4, 8, 2);
  Put32(b, 46, 200);
  EXPECT_FALSE(Check(b)) << "colour table past the body";
}

TEST(PictureTest, PaletteTakesOnlyTheTableWithNoCollapseAtBothEnds) {
  std::vector<uint8_t> b = Bitmap(2, 2, 8, 12);
  for (int i = 0; i < 12; ++i) {
    b[54 + 4 * i] = static_cast<uint8_t>(i);           // blue
    b[54 + 4 * i + 1] = static_cast<uint8_t>(i + 100);  // green
    b[54 + 4 * i + 2] = static_cast<uint8_t>(i + 200);  // red
  }
  Picture picture;
  ASSERT_TRUE(Check(b, &picture));
  PALETTEENTRY entries[256];
  FillPictureColours(entries, picture);
  for (int i = 0; i < 256; ++i) {
    const bool own = i < 12;
    EXPECT_EQ(entries[i].peRed, own ? i + 200 : 0) << i;
    EXPECT_EQ(entries[i].peGreen, own ? i + 100 : 0) << i;
    EXPECT_EQ(entries[i].peBlue, own ? i : 0) << i;
    EXPECT_EQ(entries[i].peFlags, i < 10 || i >= 246 ? PC_NOCOLLAPSE : 0) << i;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  HPALETTE palette = CreatePicturePalette(dc, picture);
  ASSERT_NE(palette, nullptr);
  PALETTEENTRY read[256];
  EXPECT_EQ(GetPaletteEntries(palette, 0, 256, read), 256u);
  EXPECT_EQ(read[11].peRed, 211);
  DeleteObject(palette);
  b = Bitmap(2, 2, 24);
  ASSERT_TRUE(Check(b, &picture));
  EXPECT_EQ(CreatePicturePalette(dc, picture), nullptr);
  DeleteDC(dc);
}

TEST(GradientTest, RowsFadeFromBlueToBlack) {
  for (int height : {600, 768, 1080, 5000, 40000}) {
    EXPECT_EQ(GradientBlue(0, height), 255u);
    EXPECT_EQ(GradientBlue(height / 2, height), 192u) << height;
    EXPECT_EQ(GradientBlue(height, height), 0u);
    uint32_t last = 255;
    for (int y = 0; y <= height; y += 7) {
      EXPECT_LE(GradientBlue(y, height), last);
      last = GradientBlue(y, height);
    }
  }
  EXPECT_EQ(GradientBlue(1, 3), 255u - 28);  // 255 / 9 = 28.3, truncated
}

TEST(GradientTest, DitherBandMixesTheNextEightBandsColours) {
  const int height = 100;
  uint8_t pixels[192];
  FillDitherBand(pixels, 80, height);
  // Colours of rows 80, 88, 96 and then the last row, 100, for k = 3 to 7.
  const uint8_t c[8] = {static_cast<uint8_t>(GradientBlue(80, height)), static_cast<uint8_t>(GradientBlue(88, height)),
                        static_cast<uint8_t>(GradientBlue(96, height)), 0, 0, 0, 0, 0};
  EXPECT_EQ(c[0], 255 - 163);
  // Stored row 0 follows matrix row 0 (0 3 1 4 2 5 3 6), row 7 matrix row 7
  // (5 2 4 1 3 0 2 7).
  const int row0[8] = {0, 3, 1, 4, 2, 5, 3, 6};
  const int row7[8] = {5, 2, 4, 1, 3, 0, 2, 7};
  for (int col = 0; col < 8; ++col) {
    EXPECT_EQ(pixels[col * 3], c[row0[col]]) << col;
    EXPECT_EQ(pixels[7 * 24 + col * 3], c[row7[col]]) << col;
  }
  FillDitherBand(pixels, 0, height);
  int count[256] = {};
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(pixels[i * 3 + 1], 0);  // green
    EXPECT_EQ(pixels[i * 3 + 2], 0);  // red
    ++count[pixels[i * 3]];
  }
  for (int k = 0; k < 8; ++k) EXPECT_EQ(count[GradientBlue(8 * k, height)], 8) << k;
}

TEST(FramePlacementTest, CentredButKeptInsideTheBackground) {
  EXPECT_EQ(PlaceFrame(512, 1024, 500), 262);
  EXPECT_EQ(PlaceFrame(512, 1024, 501), 262);  // half of 501 is 250
  EXPECT_EQ(PlaceFrame(512, 400, 500), 0);     // larger than the background
  EXPECT_EQ(PlaceFrame(100, 1024, 400), 0);    // would start before it
  EXPECT_EQ(PlaceFrame(1000, 1024, 400), 624); // would end past it
  EXPECT_EQ(PlaceFrame(0, 0, 0), 0);
}

// The frame's buttons with no page to forward to: each acts only while the
// mask enables it, and Cancel asks first unless the mask says not to.
class FrameCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    group.assign(2, 0);
    const char* texts[16] = {"Caption"};
    texts[14] = "Really exit?";
    texts[15] = "Not completed.";
    for (const char* text : texts) {
      const char* t = text ? text : "";
      group.insert(group.end(), t, t + strlen(t) + 1);
    }
    group[0] = 16;
    TextGroups[kTextGroupMessages] = group.data();
    TextGroupSizes[kTextGroupMessages] = static_cast<uint32_t>(group.size());
    CurrentPage = nullptr;
    ShownMessages.clear();
    ScriptedAnswers.clear();
  }
  void TearDown() override {
    TextGroups[kTextGroupMessages] = nullptr;
    TextGroupSizes[kTextGroupMessages] = 0;
    ButtonMask = 0;
  }
  int Press(int id, uint32_t mask) {
    ButtonMask = mask;
    PageResult = 0;
    FrameDialogProcedure(nullptr, WM_COMMAND, static_cast<WPARAM>(id), 0);
    return PageResult;
  }
  std::vector<uint8_t> group;
};

TEST_F(FrameCommandTest, DisabledButtonsDoNothing) {
  EXPECT_EQ(Press(kControlNext, kButtonNext), kPageResultNext);
  EXPECT_EQ(Press(kControlBack, kButtonBack), kPageResultBack);
  // Enter on a page whose Next is disabled (the progress page) still sends
  // the default button's command.
  EXPECT_EQ(Press(kControlNext, kButtonCancel), 0);
  EXPECT_EQ(Press(kControlBack, kButtonNext | kButtonCancel), 0);
  EXPECT_EQ(Press(kControlCancel, kButtonNext | kCancelWithoutQuestion), 0);
  EXPECT_EQ(Press(1234, 0x107), 0);
  EXPECT_TRUE(ShownMessages.empty());
}

TEST_F(FrameCommandTest, CancelAsksAndForgetsWhatWouldRunAfterwards) {
  uint8_t record[4];
  LaunchRecord = RunAfterRecord = ScreenSaverRecord = record;
  EXPECT_EQ(Press(kControlCancel, kButtonCancel | kCancelWithoutQuestion), kPageResultCancel);
  EXPECT_TRUE(ShownMessages.empty());
  EXPECT_EQ(LaunchRecord, record);
  ScriptedAnswers = {kAnswerNo};
  EXPECT_EQ(Press(kControlCancel, 0x007), 0);
  ASSERT_EQ(ShownMessages.size(), 1u);
  EXPECT_EQ(ShownMessages[0].text, "Really exit?");
  EXPECT_EQ(ShownMessages[0].boxType, kBoxYesNo);
  EXPECT_EQ(RunAfterRecord, record);
  ScriptedAnswers = {kAnswerYes, kAnswerOk};
  EXPECT_EQ(Press(kControlCancel, 0x007), kPageResultCancel);
  ASSERT_EQ(ShownMessages.size(), 3u);
  EXPECT_EQ(ShownMessages[2].text, "Not completed.");
  EXPECT_EQ(ShownMessages[2].boxType, kBoxOk);
  EXPECT_EQ(LaunchRecord, nullptr);
  EXPECT_EQ(RunAfterRecord, nullptr);
  EXPECT_EQ(ScreenSaverRecord, nullptr);
}

// A 24-bit memory bitmap filled with one colour, read back pixel by pixel.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill) : dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
  ~Canvas() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  HDC dc;

 private:
  HBITMAP bitmap;
  HGDIOBJ previous;
};

TEST(SunkenEdgeTest, ShadowTopLeftHighlightBottomRight) {
  const COLORREF paper = RGB(1, 2, 3);
  const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW),
                 light = GetSysColor(COLOR_BTNHIGHLIGHT);
  for (bool fill : {true, false}) {
    Canvas canvas(20, 12, paper);
    DrawSunkenEdge(canvas.dc, RECT{2, 2, 12, 8}, fill);
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 20; ++x) {
        COLORREF want = paper;
        if (x >= 2 && x < 12 && y >= 2 && y < 8) {
          if (y == 7 || x == 11) want = light;
          else if (y == 2 || x == 2) want = shadow;
          else if (fill) want = face;
        }
        EXPECT_EQ(canvas.At(x, y), want) << x << "," << y << (fill ? " filled" : "");
      }
    }
  }
}

// A picture larger than the panel is centred on it and cut at its edges.
TEST(PicturePanelTest, CentredAndClippedToThePanel) {
  HWND dialog = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(dialog, nullptr);
  HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD, 10, 20, 50, 40, dialog,
                               reinterpret_cast<HMENU>(1011), nullptr, nullptr);
  ASSERT_NE(panel, nullptr);
  std::vector<uint8_t> picture = Bitmap(80, 60, 24);
  for (size_t i = 54; i < picture.size(); i += 3) {
    picture[i] = 0;         // blue
    picture[i + 1] = 0;     // green
    picture[i + 2] = 0xC0;  // red
  }
  const COLORREF paper = RGB(1, 2, 3);
  Canvas canvas(100, 100, paper);
  DrawPicturePanel(dialog, canvas.dc, 1011, picture.data(), static_cast<uint32_t>(picture.size()));
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      const bool inside = x >= 10 && x < 60 && y >= 20 && y < 60;
      EXPECT_EQ(canvas.At(x, y), inside ? RGB(0xC0, 0, 0) : paper) << x << "," << y;
    }
  }
  // A damaged picture draws nothing; a missing control neither.
  Canvas untouched(100, 100, paper);
  DrawPicturePanel(dialog, untouched.dc, 1011, picture.data(), static_cast<uint32_t>(picture.size() - 1));
  DrawPicturePanel(dialog, untouched.dc, 1012, picture.data(), static_cast<uint32_t>(picture.size()));
  for (int y = 0; y < 100; y += 3)
    for (int x = 0; x < 100; x += 3) EXPECT_EQ(untouched.At(x, y), paper) << x << "," << y;
  DestroyWindow(dialog);
}

}  // namespace
