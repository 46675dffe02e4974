// The background window's painting pieces (wizard/BackgroundWindow.cpp);
// registration, creation and closing are declared in wizard/Wizard.h.
#pragma once

#include <stdint.h>
#include <windows.h>

// The pattern of one gradient band: a 40-byte information header and 8 rows
// of 8 pixels of 3 bytes.
const uint32_t kDitherDibSize = 232;

// Blue of gradient row y (0 at the top) in a client area height rows high:
// 255 - 255 y^2 / height^2, truncated.
uint32_t GradientBlue(int y, int height);
// The 192 pixel bytes (stored rows of 24 bytes, blue, green, red) of the
// band whose top row is bandTop: colour k is that of row bandTop + 8k (at
// most height), placed by the dither matrix, matrix row r in stored row r.
void FillDitherBand(uint8_t* pixels, int bandTop, int height);

// Paints the client area: picture (a whole bitmap file image, pictureSize
// bytes; one that fails its check is not drawn and the gradient shows
// instead), then the title in the font described (60-byte LOGFONTA, may be
// null).
void PaintBackground(HWND window, const uint8_t* picture, uint32_t pictureSize, const char* title,
                     const uint8_t* font);
