// The wizard's chrome: pictures from hostile setup data, the dither and the
// sunken edges read back from a memory device context.
#include <algorithm>

#include "tests/windows/PathBuffersTest.h"
#include "wizard/Background.h"
#include "wizard/FrameDialog.h"
#include "wizard/Picture.h"

namespace {

void Put(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A bitmap file image: file header, 40-byte information header, the colour
// table the header announces and the pixel rows, all bytes 0x11 unless set.
std::vector<uint8_t> Bitmap(int32_t width, int32_t height, uint32_t bits, uint32_t used = 0) {
  const uint32_t table = used ? used : bits <= 8 ? 1u << bits : 0;
  const uint32_t rows = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4 * static_cast<uint32_t>(height);
  std::vector<uint8_t> b(54 + table * 4 + rows, 0x11);
  b[0] = 'B', b[1] = 'M';
  Put(b, 14, 40), Put(b, 18, width), Put(b, 22, height), Put(b, 26, 1, 2), Put(b, 28, bits, 2);
  Put(b, 30, BI_RGB), Put(b, 46, used);
  return b;
}

bool Check(const std::vector<uint8_t>& b, Picture* picture = nullptr) {
  Picture ignored;
  return CheckPicture(b.data(), static_cast<uint32_t>(b.size()), picture ? picture : &ignored);
}

uint64_t Sides(uint32_t width, uint32_t height) { return width | uint64_t{height} << 32; }

// A picture of 5 x 3 at a depth, with one field then changed (offset, size
// in bytes, value): the colours of its table, or -1 when it is refused. An
// accepted picture is refused one byte short of its last row.
TEST(PictureTest, ColourTablesAndHostileHeaders) {
  const struct {
    uint32_t bits, used, at, bytes;
    uint64_t value;
    int colours;
  } cases[] = {
      {1, 0, 0, 0, 0, 2}, {8, 0, 0, 0, 0, 256}, {8, 3, 0, 0, 0, 3}, {16, 0, 0, 0, 0, 0}, {24, 2, 0, 0, 0, 2},
      {8, 0, 0, 2, 'B' | 'A' << 8, -1}, {8, 0, 14, 4, 12, -1}, {8, 0, 14, 4, 124, -1},  // header size
      {24, 0, 28, 2, 2, -1}, {24, 0, 28, 2, 9, -1}, {24, 0, 28, 2, 0xFFFF, -1}, {24, 0, 26, 2, 2, -1},  // depth, planes
      {8, 0, 30, 4, BI_RLE8, -1}, {8, 0, 30, 4, BI_BITFIELDS, -1},
      // Colours used: more than the depth addresses, more than 256, or a table past the body.
      {4, 0, 46, 4, 17, -1}, {8, 0, 46, 4, 257, -1}, {24, 0, 46, 4, 0xFFFFFFFF, -1}, {8, 2, 46, 4, 200, -1},
      // Sides: none, negative (top-down), past 32,767, rows whose bytes would
      // overflow 32 bits, and 32767 x 32767 in a few bytes.
      {32, 0, 18, 8, Sides(0, 3), -1}, {32, 0, 18, 8, Sides(5, -3), -1}, {32, 0, 18, 8, Sides(32768, 1), -1},
      {32, 0, 18, 8, Sides(1, 0x7FFFFFFF), -1}, {32, 0, 18, 8, Sides(32767, 32767), -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, offset " << c.at << " = " << c.value);
    std::vector<uint8_t> b = Bitmap(5, 3, c.bits, c.used);
    Put(b, c.at, static_cast<uint32_t>(c.value), c.bytes < 4 ? c.bytes : 4);
    if (c.bytes == 8) Put(b, c.at + 4, static_cast<uint32_t>(c.value >> 32));
    Picture picture;
    ASSERT_EQ(Check(b, &picture), c.colours >= 0);
    if (c.colours < 0) continue;
    EXPECT_EQ(picture.colours, static_cast<uint32_t>(c.colours));
    EXPECT_EQ(picture.pixels, b.data() + 54 + 4 * c.colours);
    EXPECT_EQ(picture.width, 5);
    EXPECT_EQ(picture.height, 3);
    b.pop_back();
    EXPECT_FALSE(Check(b));
  }
  EXPECT_FALSE(Check(std::vector<uint8_t>(53, 0)));
  EXPECT_FALSE(CheckPicture(nullptr, 100, nullptr));
}

// A dithered band of eight rows mixes the colours of the eight bands below
// its top in equal parts. (The gradient darkening downward from blue is
// read from the screen in tests/wine/wizard-chrome.sh.)
TEST(GradientTest, DitherMixesTheNextBands) {
  for (int top : {0, 80}) {
    uint8_t pixels[192];
    FillDitherBand(pixels, top, 100);
    int count[256] = {};
    for (int i = 0; i < 64; ++i) {
      EXPECT_EQ(pixels[i * 3 + 1] | pixels[i * 3 + 2], 0);  // no green or red
      ++count[pixels[i * 3]];
    }
    // Past the last row the band takes the last row's colour.
    for (int k = 0; k < 8; ++k)
      EXPECT_EQ(count[GradientBlue(std::min(top + 8 * k, 100), 100)], top && k >= 3 ? 40 : 8) << top << " " << k;
  }
}

const COLORREF kPaper = RGB(1, 2, 3);

// Darker at the top-left than at the bottom-right, inside its rectangle only;
// filled with the face colour or left open.
TEST(SunkenEdgeTest, DarkTopLeftLightBottomRight) {
  for (bool fill : {true, false}) {
    Canvas canvas(20, 12, kPaper);
    DrawSunkenEdge(canvas.dc, RECT{2, 2, 12, 8}, fill);
    auto light = [&](int x, int y) { return GetRValue(canvas.At(x, y)) + GetGValue(canvas.At(x, y)); };
    EXPECT_LT(light(2, 4), light(11, 4));
    EXPECT_LT(light(6, 2), light(6, 7));
    for (POINT p : {POINT{6, 4}, POINT{3, 3}})  // filled right up to the edge
      EXPECT_EQ(canvas.At(p.x, p.y), fill ? GetSysColor(COLOR_BTNFACE) : kPaper);
    for (POINT p : {POINT{1, 4}, POINT{12, 4}, POINT{6, 1}, POINT{6, 8}}) EXPECT_EQ(canvas.At(p.x, p.y), kPaper);
  }
}

}  // namespace
