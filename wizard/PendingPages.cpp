// Stand-ins for the pages and the frame dialog until their own files define
// them: each page sets itself up and leaves the buttons to the frame, and
// the frame forwards commands and ends the page by button. Delete each when
// its real page lands.
#include "setupdata/Platform.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

static INT_PTR PendingPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, uint32_t mask) {
  if (message == WM_INITDIALOG) {
    SetupPage(page, mask);
    return 1;
  }
  return PageDefaultHandler(page, message, wParam, lParam);
}

INT_PTR CALLBACK WelcomePage(HWND p, UINT m, WPARAM w, LPARAM l) { return PendingPage(p, m, w, l, 0x006); }
INT_PTR CALLBACK InformationPage(HWND p, UINT m, WPARAM w, LPARAM l) { return PendingPage(p, m, w, l, 0x007); }
INT_PTR CALLBACK DirectoryPage(HWND p, UINT m, WPARAM w, LPARAM l) { return PendingPage(p, m, w, l, 0x007); }
INT_PTR CALLBACK ConfirmationPage(HWND p, UINT m, WPARAM w, LPARAM l) { return PendingPage(p, m, w, l, 0x007); }
INT_PTR CALLBACK ProgressPage(HWND p, UINT m, WPARAM w, LPARAM l) { return PendingPage(p, m, w, l, 0x006); }
INT_PTR CALLBACK FinishPage(HWND p, UINT m, WPARAM w, LPARAM l) { return PendingPage(p, m, w, l, 0x106); }
INT_PTR CALLBACK ClosingPage(HWND p, UINT m, WPARAM w, LPARAM l) { return PendingPage(p, m, w, l, 0x106); }

INT_PTR CALLBACK FrameDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ApplyDialogFont(dialog);
    return 1;
  }
  if (message == WM_COMMAND) {
    if (CurrentPage && SendMessageA(CurrentPage, WM_COMMAND, wParam, lParam)) return 1;
    const int id = LOWORD(wParam);
    if (id == kControlNext) PageResult = kPageResultNext;
    else if (id == kControlBack) PageResult = kPageResultBack;
    else if (id == kControlCancel) PageResult = kPageResultCancel;
    return 1;
  }
  return PageDefaultHandler(dialog, message, wParam, lParam);
}

