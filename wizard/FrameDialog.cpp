// The frame dialog, which holds the Back, Next and Cancel buttons, the
// picture panel and the separator for the whole wizard. Commands go to the
// running page first; only what the page leaves unhandled ends the page
// here, Cancel after the question whether to leave the setup.
#include "wizard/FrameDialog.h"

#include "base/Message.h"
#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"
#include "wizard/Picture.h"
#include "wizard/Wizard.h"

const uint32_t kTextReallyExit = 14;
const uint32_t kTextNotCompleted = 15;

int PlaceFrame(int centre, int outer, int own) {
  const int position = centre - own / 2;
  const int last = outer - own;
  if ((position < last ? position : last) < 0) return 0;
  return position >= last ? last : position;
}

// The frame centred on the screen, kept inside the background window.
static INT_PTR OnFrameInit(HWND dialog) {
  RECT outer, own;
  GetWindowRect(BackgroundWindow, &outer);
  GetWindowRect(dialog, &own);
  const int x = PlaceFrame(ScreenCentreX, outer.right - outer.left, own.right - own.left);
  const int y = PlaceFrame(ScreenCentreY, outer.bottom - outer.top, own.bottom - own.top);
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ApplyDialogFont(dialog);
  // A child window: its caption is drawn active by request.
  PostMessageA(dialog, WM_NCACTIVATE, 1, 0);
  return 1;
}

// Cancel leaves the setup: at once on pages that say so, else after the
// question, and then nothing is launched, run or installed afterwards.
static void CancelSetup() {
  if (!(ButtonMask & kCancelWithoutQuestion)) {
    if (ShowMessage(GetText(kTextGroupMessages, kTextReallyExit), kBoxYesNo, kAnswerYes) != kAnswerYes) return;
    AbandonSetup();
    return;
  }
  PageResult = kPageResultCancel;
}

void AbandonSetup() {
  ShowMessage(GetText(kTextGroupMessages, kTextNotCompleted), kBoxOk, kAnswerOk);
  ForgetLaunchRecords();
  PageResult = kPageResultCancel;
}

// A button acts only while its page has it enabled: the dialog manager
// sends the default button's command for Enter (and Cancel's for Escape)
// even when that button is disabled, which would otherwise end the
// progress page as Next in the middle of the installation.
static INT_PTR OnFrameCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
  if (CurrentPage && SendMessageA(CurrentPage, WM_COMMAND, wParam, lParam)) return MarkHandled(dialog);
  const int id = LOWORD(wParam);
  if (id == kControlNext && (ButtonMask & kButtonNext)) PageResult = kPageResultNext;
  if (id == kControlBack && (ButtonMask & kButtonBack)) PageResult = kPageResultBack;
  if (id == kControlCancel && (ButtonMask & kButtonCancel)) CancelSetup();
  return MarkHandled(dialog);
}

static INT_PTR OnFrameSysCommand(WPARAM wParam) {
  const UINT command = wParam & 0xFFF0;
  if (command == SC_MINIMIZE) {
    ShowWindow(BackgroundWindow, SW_MINIMIZE);
    return 1;
  }
  if (command == SC_CLOSE) {
    PageResult = kPageResultCancel;
    return 1;
  }
  return 0;
}

static INT_PTR OnFramePaint(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  DrawControlEdge(dialog, dc, kControlSeparator, true);
  if (FramePicture) DrawPicturePanel(dialog, dc, kControlPicturePanel, FramePicture, FramePictureSize);
  EndPaint(dialog, &paint);
  return 1;
}

INT_PTR CALLBACK FrameDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnFrameInit(dialog);
    case WM_COMMAND:
      return OnFrameCommand(dialog, wParam, lParam);
    case WM_SYSCOMMAND:
      return OnFrameSysCommand(wParam);
    case WM_PAINT:
      return OnFramePaint(dialog);
  }
  return PageDefaultHandler(dialog, message, wParam, lParam);
}

bool ControlRect(HWND dialog, int id, RECT* rect) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return false;
  GetWindowRect(control, rect);
  ScreenToClient(dialog, reinterpret_cast<POINT*>(&rect->left));
  ScreenToClient(dialog, reinterpret_cast<POINT*>(&rect->right));
  return true;
}

void DrawPicturePanel(HWND dialog, HDC dc, int id, const uint8_t* picture, uint32_t pictureSize) {
  RECT panel;
  if (!ControlRect(dialog, id, &panel)) return;
  IntersectClipRect(dc, panel.left, panel.top, panel.right, panel.bottom);
  Picture checked;
  if (!CheckPicture(picture, pictureSize, &checked)) return;
  const PaletteSelection palette = SelectPicturePalette(dc, checked);
  const int x = panel.left + (panel.right - panel.left - checked.width) / 2;
  const int y = panel.top + (panel.bottom - panel.top - checked.height) / 2;
  DrawPicture(dc, x, y, checked);
  SelectPictureBack(dc, palette);
  RECT frame = {x, y, x + checked.width, y + checked.height};
  DrawSunkenEdge(dc, frame, false);
}

void DrawControlEdge(HWND dialog, HDC dc, int id, bool fill) {
  RECT rect;
  if (ControlRect(dialog, id, &rect)) DrawSunkenEdge(dc, rect, fill);
}

void DrawSunkenEdge(HDC dc, const RECT& rect, bool fill) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (fill) FillSolid(dc, rect.left + 1, rect.top + 1, w - 2, h - 2, GetSysColor(COLOR_BTNFACE));
  // Shadow along the top and the left, highlight along the bottom and the
  // right: x, y, width, height.
  const int lines[4][4] = {{rect.left, rect.top, w - 1, 1},
                           {rect.left, rect.top, 1, h - 1},
                           {rect.left, rect.bottom - 1, w, 1},
                           {rect.right - 1, rect.top, 1, h}};
  for (int i = 0; i < 4; ++i)
    FillSolid(dc, lines[i][0], lines[i][1], lines[i][2], lines[i][3],
              GetSysColor(i < 2 ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT));
}

void FillSolid(HDC dc, int x, int y, int width, int height, COLORREF colour) {
  SetBkColor(dc, colour);
  RECT rect = {x, y, x + width, y + height};
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}
