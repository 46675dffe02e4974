// What every wizard page shares (see PageMechanics.h).
#include "wizard/PageMechanics.h"

#include "base/Buffer.h"
#include "base/TextFormat.h"
#include "setupdata/Paths.h"
#include "setupdata/SetupData.h"

HWND FrameDialog;
HWND BackgroundWindow;
HWND CurrentPage;
int PageIndex;
uint32_t ButtonMask;
HFONT DialogFont;
HBRUSH ControlBrush;

const uint32_t kCaptionBufferSize = 1024;

// The frame dialog's buttons by kind: bit i of a ButtonMask is control i.
static const int kButtonControls[3] = {kControlBack, kControlNext, kControlCancel};

// Moves page to the top-left corner of the frame dialog's page area.
static void PlaceInPageArea(HWND page) {
  RECT area = {0, 0, 0, 0};
  GetWindowRect(GetDlgItem(FrameDialog, kControlPageArea), &area);
  ScreenToClient(FrameDialog, reinterpret_cast<POINT*>(&area));
  SetWindowPos(page, nullptr, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// The caption text 6/0 on the background window; a non-empty page title on
// the frame dialog (full screen) or after the caption (windowed).
static void SetPageCaptions() {
  const char* title = GetText(PageIndex, 0);
  const char* caption = GetText(kTextGroupMessages, 0);
  SetWindowTextA(BackgroundWindow, caption);
  if (!*title) return;
  if (SetupFlags & kFullScreenBackground) {
    SetWindowTextA(FrameDialog, title);
    return;
  }
  char* combined;
  if (!AllocateZeroed(kCaptionBufferSize, combined)) return;
  lstrcpynA(combined, caption, kCaptionBufferSize);
  AppendText(combined, kCaptionBufferSize, " - ");
  AppendText(combined, kCaptionBufferSize, title);
  SetWindowTextA(BackgroundWindow, combined);
  ReleaseBuffer(combined);
}

void SetupPage(HWND page, uint32_t mask) {
  CurrentPage = page;
  ApplyDialogFont(page);
  PlaceInPageArea(page);
  SetPageCaptions();
  for (int i = 1; i <= 4; ++i) ShowText(page, 999 + i, PageIndex, i);
  for (int i = 0; i < 3; ++i) ShowText(FrameDialog, kButtonControls[i], kTextGroupButtons, i);
  if (SinglePage != kSinglePageAbsent) mask |= kCancelWithoutQuestion;
  SetPageButtons(mask);
}

void SetPageButtons(uint32_t mask) {
  ButtonMask = mask;
  for (int i = 0; i < 3; ++i) EnableWindow(GetDlgItem(FrameDialog, kButtonControls[i]), (mask >> i) & 1);
}

void SetButtonCaption(uint32_t kind, uint32_t index) {
  for (int i = 0; i < 3; ++i)
    if (kind == 1u << i) ShowText(FrameDialog, kButtonControls[i], kTextGroupButtons, index);
}

void ShowText(HWND dialog, int id, uint32_t group, uint32_t index) {
  SetDlgItemTextA(dialog, id, GetText(group, index));
}

INT_PTR PageDefaultHandler(HWND, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<INT_PTR>(ControlBrush);
  }
  return 0;
}

INT_PTR MarkHandled(HWND window) {
  SetWindowLongA(window, DWL_MSGRESULT, 1);
  return 1;
}

void ApplyDialogFont(HWND window) {
  if (!DialogFont) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    LOGFONTA description;
    if (font && GetObjectA(font, sizeof description, &description) == sizeof description) {
      description.lfWeight = FW_NORMAL;
      DialogFont = CreateFontIndirectA(&description);
    }
    if (!DialogFont) return;
  }
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont), 0);
}

void CreateControlBrush() {
  ControlBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  if (!ControlBrush) ControlBrush = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
}

void ReleasePageResources() {
  if (ControlBrush && ControlBrush != GetStockObject(LTGRAY_BRUSH)) DeleteObject(ControlBrush);
  ControlBrush = nullptr;
  if (DialogFont) DeleteObject(DialogFont);
  DialogFont = nullptr;
}
