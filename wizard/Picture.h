// The pictures of the setup data (the frame picture and the background
// bitmap): whole bitmap file images from an untrusted body. A picture is
// drawn only after CheckPicture has found every byte that the platform will
// read (headers, colour table, pixel rows) inside the body.
#pragma once

#include <stdint.h>
#include <windows.h>

const uint32_t kBitmapFileHeaderSize = 14;
const uint32_t kBitmapInfoHeaderSize = 40;

struct Picture {
  const BITMAPINFO* info;  // the 40-byte information header and colour table
  const uint8_t* pixels;   // the pixel rows, bottom row first
  int width;
  int height;
  uint32_t colours;  // colour-table entries (0 to 256)
};

// True when body (size bytes) is a picture that can be drawn: "BM", a
// 40-byte information header, width and height 1 to 32,767, one plane, 1, 4,
// 8, 16, 24 or 32 bits per pixel, no compression, a colour table of at most
// 2^bits entries (256 for the deeper pictures), and all pixel rows inside
// the body. The colour table holds colours-used entries when that field is
// not 0, else 2^bits entries for 1, 4 and 8 bits and none for 16, 24 and 32.
bool CheckPicture(const uint8_t* body, uint32_t size, Picture* picture);

// A palette for an 8-bit picture (null for other depths, or without
// memory): its colour table, with the first and last ten entries marked not
// to collapse, and on a palette device those twenty taken from the system
// palette.
HPALETTE CreatePicturePalette(HDC dc, const Picture& picture);
// The 256 entries of that palette before any system colours go in: the
// picture's colours (entries past its table black), flags 0 except the
// no-collapse flag on 0-9 and 246-255.
void FillPictureColours(PALETTEENTRY* entries, const Picture& picture);

// Copies the whole picture unscaled to (x, y) of dc.
void DrawPicture(HDC dc, int x, int y, const Picture& picture);

// Selects and realises the picture's palette when it has one (8 bits):
// foreground for the drawing, then SelectPictureBack restores the previous
// one (background) and deletes the created one.
struct PaletteSelection {
  HPALETTE created;
  HPALETTE previous;
};
PaletteSelection SelectPicturePalette(HDC dc, const Picture& picture);
void SelectPictureBack(HDC dc, const PaletteSelection& selection);
