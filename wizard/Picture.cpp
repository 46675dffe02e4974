// Checking and drawing the setup's pictures (see Picture.h).
#include "wizard/Picture.h"

#include "base/Buffer.h"
#include "setupdata/Format.h"

const int kLargestSide = 32767;

// Colour-table entries for a picture of bits per pixel with colours-used
// field used; more than 256 (or more than the depth can address) is refused.
static uint32_t ColourTableEntries(uint32_t bits, uint32_t used, bool* valid) {
  const uint32_t addressable = bits <= 8 ? 1u << bits : 256;
  *valid = used <= addressable;
  if (used) return used;
  return bits <= 8 ? addressable : 0;
}

bool CheckPicture(const uint8_t* body, uint32_t size, Picture* picture) {
  if (!body || size < kBitmapFileHeaderSize + kBitmapInfoHeaderSize) return false;
  if (body[0] != 'B' || body[1] != 'M') return false;
  const uint8_t* header = body + kBitmapFileHeaderSize;
  const int32_t width = static_cast<int32_t>(ReadU32Le(header + 4));
  const int32_t height = static_cast<int32_t>(ReadU32Le(header + 8));
  const uint32_t planes = ReadU16Le(header + 12);
  const uint32_t bits = ReadU16Le(header + 14);
  if (ReadU32Le(header) != kBitmapInfoHeaderSize || planes != 1 || ReadU32Le(header + 16) != BI_RGB) return false;
  if (width < 1 || width > kLargestSide || height < 1 || height > kLargestSide) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  bool valid;
  const uint32_t colours = ColourTableEntries(bits, ReadU32Le(header + 32), &valid);
  if (!valid) return false;
  // At most 32,767 x 32 bits rounded to whole u32 = 131,068 bytes a row; the
  // rows need at most about 4.3 GB, so the sum is counted in 64 bits.
  const uint32_t rowBytes = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4;
  const uint32_t pixelStart = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + colours * 4;
  const uint64_t end = pixelStart + static_cast<uint64_t>(rowBytes) * static_cast<uint32_t>(height);
  if (end > size) return false;
  picture->info = reinterpret_cast<const BITMAPINFO*>(header);
  picture->pixels = body + pixelStart;
  picture->width = width;
  picture->height = height;
  picture->colours = colours;
  return true;
}

void FillPictureColours(PALETTEENTRY* entries, const Picture& picture) {
  const uint32_t colours = picture.colours < 256 ? picture.colours : 256;
  const RGBQUAD* table = picture.info->bmiColors;
  for (uint32_t i = 0; i < 256; ++i) {
    PALETTEENTRY entry = {0, 0, 0, 0};
    if (i < colours) entry = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    if (i < 10 || i >= 246) entry.peFlags = PC_NOCOLLAPSE;
    entries[i] = entry;
  }
}

HPALETTE CreatePicturePalette(HDC dc, const Picture& picture) {
  if (picture.info->bmiHeader.biBitCount != 8) return nullptr;
  LOGPALETTE* palette;
  if (!AllocateZeroed(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY), palette)) return nullptr;
  palette->palVersion = 0x300;
  palette->palNumEntries = 256;
  PALETTEENTRY* entries = palette->palPalEntry;
  FillPictureColours(entries, picture);
  const bool paletteDevice =
      GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL) == 8 && (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE);
  if (paletteDevice) {
    GetSystemPaletteEntries(dc, 0, 10, entries);
    GetSystemPaletteEntries(dc, 246, 10, entries + 246);
  }
  HPALETTE created = CreatePalette(palette);
  ReleaseBuffer(palette);
  return created;
}

PaletteSelection SelectPicturePalette(HDC dc, const Picture& picture) {
  PaletteSelection selection = {CreatePicturePalette(dc, picture), nullptr};
  if (selection.created) {
    selection.previous = SelectPalette(dc, selection.created, FALSE);
    RealizePalette(dc);
  }
  return selection;
}

void SelectPictureBack(HDC dc, const PaletteSelection& selection) {
  if (!selection.created) return;
  SelectPalette(dc, selection.previous, TRUE);
  DeleteObject(selection.created);
}

void DrawPicture(HDC dc, int x, int y, const Picture& picture) {
  StretchDIBits(dc, x, y, picture.width, picture.height, 0, 0, picture.width, picture.height, picture.pixels,
                picture.info, DIB_RGB_COLORS, SRCCOPY);
}
