// The frame dialog's placement and drawing pieces (wizard/FrameDialog.cpp);
// its dialog procedure is declared in wizard/Wizard.h.
#pragma once

#include <stdint.h>
#include <windows.h>

// One axis of the frame's position: centred on centre, but 0 when the frame
// (own) is larger than the background (outer) or would start before it, and
// outer - own when it would end past it.
int PlaceFrame(int centre, int outer, int own);

// Control id's rectangle in the dialog's client coordinates; false (rect
// unchanged) when the dialog has no such control.
bool ControlRect(HWND dialog, int id, RECT* rect);

// Draws the picture (a whole bitmap file image of pictureSize bytes)
// unscaled and centred in control id's rectangle, clipped to it, with a
// sunken edge around the picture. Nothing when the control is missing or
// the picture fails its check.
void DrawPicturePanel(HWND dialog, HDC dc, int id, const uint8_t* picture, uint32_t pictureSize);
// A sunken edge around control id's rectangle, filled with the button face
// when fill is set; nothing when the control is missing.
void DrawControlEdge(HWND dialog, HDC dc, int id, bool fill);
// Shadow along the top and left, highlight along the bottom and right, the
// inside filled with the button face when fill is set.
void DrawSunkenEdge(HDC dc, const RECT& rect, bool fill);
// Fills the rectangle with colour (the context's background colour is left
// at it).
void FillSolid(HDC dc, int x, int y, int width, int height, COLORREF colour);
