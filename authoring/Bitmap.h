// Pictures for a setup (the frame picture and the background bitmap): a BMP
// file is checked against what the setup program's painting code assumes and
// then stored whole, file header included, as the chunk body.
//
// What the painting code assumes, and so what a picture that passes
// promises: a 40-byte BITMAPINFOHEADER right after the 14-byte file header;
// 1, 4, 8, 16 or 24 bits per pixel, uncompressed (BI_RGB); the colour table
// (colours-used × 4 bytes, or 2^bits × 4 for 1, 4 and 8 bits when
// colours-used is 0, none for 16 and 24 bits then) right after the header;
// the pixel rows right after the colour table, since the file header's pixel
// offset is not read; all rows present, each padded to 4 bytes; width and
// height 1 to 4096 (a negative height, a top-down picture, is allowed). An
// 8-bit picture gets a palette of 256 entries built from the bytes where the
// colour table begins, so such a picture must have at least 1,024 bytes
// there even when its colour table is shorter.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct PictureInfo {
  int32_t width = 0;
  int32_t height = 0;  // negative: rows stored top row first
  uint16_t bitCount = 0;
  uint32_t colourTableSize = 0;  // bytes
  uint32_t pixelOffset = 0;      // 14 + 40 + colourTableSize
  uint32_t pixelSize = 0;        // bytes of pixel rows
};

const uint32_t kPictureMaxSide = 4096;

// Checks a BMP file image held in memory, which then goes into the chunk
// unchanged; false with a message that names the field and its offset when
// the setup could not show it.
bool CheckSetupBitmap(const std::vector<uint8_t>& file, PictureInfo& info, std::string& error);
bool CheckSetupBitmap(const std::vector<uint8_t>& file, std::string& error);
