// The background window, the stub's one top-level window: full screen it
// paints a tiled picture or a blue gradient with the setup's title and a
// shadow; windowed it is the captioned frame around the wizard and paints
// nothing itself. Its close command ends the running page as Cancel, and
// its destruction ends the run's last message loop.
#include "wizard/Background.h"

#include "base/Message.h"
#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"
#include "wizard/Picture.h"
#include "wizard/Wizard.h"

HINSTANCE Instance;
int ScreenWidth;
int ScreenHeight;
int ScreenCentreX;
int ScreenCentreY;

static const char kClassName[] = "SetvikClass";
const int kIconResource = 800;

// Which of the band's eight colours each pixel of the 8 x 8 pattern takes;
// every value appears eight times.
const uint8_t DitherMatrix[8][8] = {
    {0, 3, 1, 4, 2, 5, 3, 6}, {7, 4, 6, 3, 5, 2, 4, 1}, {2, 5, 3, 6, 4, 7, 5, 0}, {1, 6, 0, 5, 7, 4, 6, 3},
    {4, 7, 5, 0, 6, 1, 7, 2}, {3, 0, 2, 7, 1, 6, 0, 5}, {6, 1, 7, 2, 0, 3, 1, 4}, {5, 2, 4, 1, 3, 0, 2, 7},
};

static bool FullScreen() { return (SetupFlags & kFullScreenBackground) != 0; }

uint32_t GradientBlue(int y, int height) {
  if (height <= 0) return 255;
  // In floating point: 255 y^2 overflows 32 bits on tall screens. Both
  // squares are exact, so the truncated quotient is the integer one.
  const double fade = 255.0 * y * y / (static_cast<double>(height) * height);
  return 255 - static_cast<uint32_t>(fade);
}

void FillDitherBand(uint8_t* pixels, int bandTop, int height) {
  uint8_t blue[8];
  for (int k = 0; k < 8; ++k) {
    const int row = bandTop + 8 * k;
    blue[k] = static_cast<uint8_t>(GradientBlue(row < height ? row : height, height));
  }
  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 8; ++c) {
      uint8_t* pixel = pixels + r * 24 + c * 3;
      pixel[0] = blue[DitherMatrix[r][c]];
      pixel[1] = 0;
      pixel[2] = 0;
    }
  }
}

// More than 8 bits per pixel: bands of 8 rows, each filled with a dithered
// 8 x 8 pattern that mixes the colours of the next eight bands.
static void PaintDitheredGradient(HDC dc, const RECT& client) {
  alignas(4) uint8_t dib[kDitherDibSize];
  *reinterpret_cast<BITMAPINFOHEADER*>(dib) = {sizeof(BITMAPINFOHEADER), 8, 8, 1, 24, BI_RGB, 192, 0, 0, 0, 0};
  const int height = client.bottom - client.top;
  for (int b = 0; b < height; b += 8) {
    FillDitherBand(dib + sizeof(BITMAPINFOHEADER), b, height);
    HBRUSH brush = CreateDIBPatternBrushPt(dib, DIB_RGB_COLORS);  // the brush keeps a copy
    if (!brush) continue;
    RECT band = {client.left, client.top + b, client.right, client.top + b + 8};
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
}

// 8 bits per pixel or fewer: one solid strip per row of the update
// rectangle, a brush made only when the colour changes.
static void PaintSolidGradient(HDC dc, const RECT& update, int height) {
  HBRUSH brush = nullptr;
  uint32_t last = 0x100;
  for (int y = update.top; y <= update.bottom; ++y) {
    const uint32_t blue = GradientBlue(y, height);
    if (blue != last || !brush) {
      if (brush) DeleteObject(brush);
      brush = CreateSolidBrush(RGB(0, 0, blue));
      last = blue;
    }
    RECT strip = {update.left, y, update.right, y + 1};
    if (brush) FillRect(dc, &strip, brush);
  }
  if (brush) DeleteObject(brush);
}

static void TilePicture(HDC dc, const RECT& client, const Picture& picture) {
  const PaletteSelection palette = SelectPicturePalette(dc, picture);
  for (int y = 0; y < client.bottom; y += picture.height)
    for (int x = 0; x < client.right; x += picture.width) DrawPicture(dc, x, y, picture);
  SelectPictureBack(dc, palette);
}

// The title at (10, 10) in white over its black shadow at (14, 14).
static void PaintTitle(HDC dc, const char* title, const uint8_t* font) {
  if (!title || !*title || !font) return;
  LOGFONTA description;
  CopyMemory(&description, font, sizeof description);
  description.lfFaceName[LF_FACESIZE - 1] = 0;
  HFONT created = CreateFontIndirectA(&description);
  HGDIOBJ previous = created ? SelectObject(dc, created) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  const int length = lstrlenA(title);
  SetTextColor(dc, RGB(0, 0, 0));
  ExtTextOutA(dc, 14, 14, 0, nullptr, title, length, nullptr);
  SetTextColor(dc, RGB(255, 255, 255));
  ExtTextOutA(dc, 10, 10, 0, nullptr, title, length, nullptr);
  if (created) {
    SelectObject(dc, previous);
    DeleteObject(created);
  }
}

void PaintBackground(HWND window, const uint8_t* picture, uint32_t pictureSize, const char* title,
                     const uint8_t* font) {
  RECT client;
  GetClientRect(window, &client);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  Picture checked;
  if (CheckPicture(picture, pictureSize, &checked)) {
    TilePicture(dc, client, checked);
  } else if (GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL) > 8) {
    PaintDitheredGradient(dc, client);
  } else {
    PaintSolidGradient(dc, paint.rcPaint, client.bottom - client.top);
  }
  PaintTitle(dc, title, font);
  EndPaint(window, &paint);
}

static LRESULT OnBackgroundSysCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  const UINT command = wParam & 0xFFF0;
  if (command == SC_CLOSE) {
    PageResult = kPageResultCancel;
    return 0;
  }
  if ((command == SC_MAXIMIZE || command == SC_RESTORE) && FrameDialog) ShowWindow(FrameDialog, SW_SHOWNORMAL);
  return DefWindowProcA(window, WM_SYSCOMMAND, wParam, lParam);
}

static LRESULT CALLBACK BackgroundProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_PAINT:
      if (!FullScreen() || IsIconic(window)) break;
      PaintBackground(window, BackgroundBitmap, BackgroundBitmapSize, BackgroundTitle, BackgroundFont);
      if (FrameDialog) RedrawWindow(FrameDialog, nullptr, nullptr, RDW_FRAME);
      return 0;
    case WM_ACTIVATEAPP:
      if (FrameDialog) PostMessageA(FrameDialog, WM_NCACTIVATE, wParam, 0);
      break;
    case WM_SYSCOMMAND:
      return OnBackgroundSysCommand(window, wParam, lParam);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

ATOM RegisterBackgroundClass(HINSTANCE instance) {
  Instance = instance;
  ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
  ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = BackgroundProcedure;
  windowClass.hInstance = Instance;
  windowClass.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(kIconResource));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  windowClass.lpszClassName = kClassName;
  return RegisterClassA(&windowClass);
}

int CreateBackgroundWindow() {
  ScreenCentreX = ScreenWidth / 2;
  ScreenCentreY = ScreenHeight / 2;
  const DWORD style = FullScreen() ? WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN : WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  BackgroundWindow = CreateWindowExA(0, kClassName, GetText(kTextGroupMessages, 0), style, 0, 0, ScreenWidth,
                                     ScreenHeight, nullptr, nullptr, Instance, nullptr);
  return BackgroundWindow != nullptr;
}

void CloseBackgroundWindow() {
  DestroyWindow(BackgroundWindow);
  BackgroundWindow = nullptr;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}
