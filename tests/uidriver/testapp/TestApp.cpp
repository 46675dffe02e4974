// The program that the UI driver's own tests drive. It is shaped like the
// setup program: a top-level window of class "SetvikClass", a frame dialog
// (a child dialog) with Back/Next/Cancel, and a modeless page dialog inside
// the frame. Its exit code tells the test what the driver did:
//   Next: 100 + 1 (frame box ticked) + 2 (page box ticked)
//   Cancel confirmed: 2
#include <windows.h>

#include "TestApp.h"

static HWND Background;
static HWND Frame;
static HWND Page;
static const char kCaption[] = "Test Setup";

static void Finish(int code) {
  DestroyWindow(Background);
  PostQuitMessage(code);
}

static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

static INT_PTR CALLBACK PageProc(HWND page, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && LOWORD(wParam) == IDC_PAGEBUTTON) {
    SetDlgItemTextA(page, IDC_PAGETEXT, "Page text changed");
    ShowWindow(GetDlgItem(Frame, IDC_HIDDEN), SW_SHOW);
    return TRUE;
  }
  return FALSE;
}

static INT_PTR CALLBACK FrameProc(HWND frame, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          Finish(100 + (Checked(frame, IDC_CHECK) ? 1 : 0) + (Checked(Page, IDC_PAGECHECK) ? 2 : 0));
          return TRUE;
        case IDCANCEL:
          if (MessageBoxA(Background, "Do you really want to cancel the test setup?", kCaption,
                          MB_YESNO | MB_ICONQUESTION) == IDYES)
            Finish(2);
          else
            SetDlgItemTextA(frame, IDC_TEXT, "Cancel declined");
          return TRUE;
        case IDC_NOTE:
          MessageBoxA(Background, "Line one\nLine two", kCaption, MB_OK | MB_ICONINFORMATION);
          SetDlgItemTextA(frame, IDC_TEXT, "note seen");
          return TRUE;
      }
      break;
  }
  return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "SetvikClass";
  if (!RegisterClassA(&wc)) return 90;
  Background = CreateWindowA("SetvikClass", kCaption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                             40, 40, 640, 460, nullptr, nullptr, instance, nullptr);
  if (!Background) return 91;
  Frame = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_FRAME), Background, FrameProc, 0);
  if (!Frame) return 92;
  Page = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PAGE), Frame, PageProc, 0);
  if (!Page) return 93;
  RECT area;
  GetWindowRect(GetDlgItem(Frame, IDC_PAGEAREA), &area);
  POINT at = {area.left, area.top};
  ScreenToClient(Frame, &at);
  SetWindowPos(Page, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(Background, SW_SHOWNORMAL);
  UpdateWindow(Background);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(Frame, &msg) || IsDialogMessageA(Page, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
