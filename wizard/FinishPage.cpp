// The finish page: the result of the installation or the reason it
// stopped, the launch button, the run-after check box, and the restart
// button when replaced files wait for a restart. Next and Cancel both end
// the page as Cancel, so the closing page follows.
#include "base/Buffer.h"
#include "base/Message.h"
#include "base/ScheduleAtRestart.h"
#include "base/TextFormat.h"
#include "install/InstallStep.h"
#include "install/Launch.h"
#include "setupdata/FileRecord.h"
#include "setupdata/SetupData.h"
#include "wizard/FrameDialog.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

// Controls of the finish template, top to bottom: 1000, 1001, 1014, 1002,
// 1015, 1003.
uint32_t RunAfterChecked = 1;
bool NoRestart;

const int kControlResult = 1000;
const int kControlLaunchIntro = 1001;
const int kControlRunAfterIntro = 1002;
const int kControlLast = 1003;
const int kControlLaunch = 1014;
const int kControlRunAfter = 1015;
// Texts of the finish page's group.
const uint32_t kTextLaunchIntro = 2;
const uint32_t kTextRunAfterIntro = 3;
const uint32_t kTextFailure = 4;
const uint32_t kTextLaunchButton = 5;
const uint32_t kTextRunAfterBox = 6;
const uint32_t kTextRestartNotice = 7;
const uint32_t kTextRestartButton = 6;  // group 7
const uint32_t kMessageBufferSize = 2048;

static const char* FinishText(uint32_t index) { return GetText(kPageFinish, index); }

// A missing control is passed over (the platform refuses a null window).
static void HideControl(HWND page, int id) { ShowWindow(GetDlgItem(page, id), SW_HIDE); }

// A target that the user would not let go of counts as access denied.
static void FindRefusedReplacement() {
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i, record = NextFileRecord(record)) {
    if (ReadU16Le(record + FileRecordField::installState) == kStateReplacing) {
      InstallError = kInstallErrorAbort;
      return;
    }
  }
}

// Error view: 1000 grows over 1001 and 1002 and says why, in text 5/4.
static void ShowFailure(HWND page) {
  HideControl(page, kControlLaunchIntro);
  HideControl(page, kControlRunAfterIntro);
  RECT result, below;
  if (ControlRect(page, kControlResult, &result) && ControlRect(page, kControlRunAfterIntro, &below))
    SetWindowPos(GetDlgItem(page, kControlResult), nullptr, 0, 0, result.right - result.left,
                 below.bottom - result.top, SWP_NOMOVE | SWP_NOZORDER);
  char* buffer;
  if (AllocateZeroed(kMessageBufferSize, buffer)) {
    char* reason = buffer + kMessageBufferSize / 2;
    FormatMessageText(reason, kMessageBufferSize / 2, static_cast<uint32_t>(InstallError));
    FormatTextString(buffer, kMessageBufferSize / 2, FinishText(kTextFailure), reason);
    SetDlgItemTextA(page, kControlResult, buffer);
    ReleaseBuffer(buffer);
  }
  ForgetLaunchRecords();
}

// The control that receives the restart notice in the success view.
static int RestartNoticeControl(bool launchShown, bool boxShown, bool moved) {
  const bool bareIntro = !launchShown && !*FinishText(kTextLaunchIntro);
  if (boxShown) return moved ? kControlRunAfterIntro : kControlLast;
  if (bareIntro) return kControlLaunchIntro;
  return *FinishText(kTextRunAfterIntro) ? kControlLast : kControlRunAfterIntro;
}

static void ShowSuccess(HWND page) {
  const bool single = SinglePage != kSinglePageAbsent;
  bool launchShown = false;
  if (LaunchRecord || single) {
    if (*FinishText(kTextLaunchButton)) {
      ShowText(page, kControlLaunch, kPageFinish, kTextLaunchButton);
      ShowWindow(GetDlgItem(page, kControlLaunch), SW_SHOW);
      launchShown = true;
    } else {
      LaunchFinishProgram();
    }
  }
  bool moved = false;
  HWND box = GetDlgItem(page, kControlRunAfter);
  const bool boxShown = box && (RunAfterRecord || single) && *FinishText(kTextRunAfterBox);
  if (boxShown) {
    SetWindowTextA(box, FinishText(kTextRunAfterBox));
    ShowWindow(box, SW_SHOW);
    if (!launchShown && !*FinishText(kTextLaunchIntro)) {
      RECT boxRect, launchRect = {0, 0, 0, 0};
      ControlRect(page, kControlRunAfter, &boxRect);
      ControlRect(page, kControlLaunch, &launchRect);
      SetWindowPos(box, nullptr, boxRect.left, launchRect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      ShowText(page, kControlLaunchIntro, kPageFinish, kTextRunAfterIntro);
      SetDlgItemTextA(page, kControlRunAfterIntro, "");
      moved = true;
    }
  }
  if (RestartNeeded)
    ShowText(page, RestartNoticeControl(launchShown, boxShown, moved), kPageFinish, kTextRestartNotice);
}

static INT_PTR OnFinishInit(HWND page) {
  if (InstallError) RestartNeeded = false;
  const bool offerRestart = RestartNeeded && !NoRestart;
  SetupPage(page, kButtonNext | kCancelWithoutQuestion | (offerRestart ? kButtonBack : 0));
  if (offerRestart) SetButtonCaption(kButtonBack, kTextRestartButton);
  HideControl(page, kControlLaunch);
  HWND box = GetDlgItem(page, kControlRunAfter);
  if (box) {
    SendMessageA(box, BM_SETCHECK, RunAfterChecked, 0);
    ShowWindow(box, SW_HIDE);
  }
  if (!InstallError) FindRefusedReplacement();
  // 1003 holds text 5/4 as set up, the bare failure format: emptied in
  // both views.
  SetDlgItemTextA(page, kControlLast, "");
  if (InstallError) ShowFailure(page);
  else ShowSuccess(page);
  SetFocus(GetDlgItem(FrameDialog, kControlNext));
  return 0;
}

// The restart, with the shutdown privilege on the NT family. Without the
// privilege nothing is asked of the system.
static void RestartSystem() {
  if (NoRestart) return;
  if (IsNT) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    const bool found = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    const bool enabled = found && AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                         GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    if (!enabled) return;
  }
  ExitWindowsEx(EWX_REBOOT, 0);
}

static INT_PTR OnFinishCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case kControlNext:
    case kControlCancel:
      PageResult = kPageResultCancel;
      return MarkHandled(page);
    case kControlBack:
      RestartSystem();
      return MarkHandled(page);
    case kControlLaunch:
      LaunchFinishProgram();
      return MarkHandled(page);
    case kControlRunAfter:
      RunAfterChecked = SendMessageA(GetDlgItem(page, kControlRunAfter), BM_GETCHECK, 0, 0) == BST_CHECKED;
      return MarkHandled(page);
  }
  return PageDefaultHandler(page, WM_COMMAND, wParam, lParam);
}

INT_PTR CALLBACK FinishPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnFinishInit(page);
  if (message == WM_COMMAND) return OnFinishCommand(page, wParam, lParam);
  return PageDefaultHandler(page, message, wParam, lParam);
}
