// The folder browser of the directory page: the platform's old-style
// save-file dialog with template 7 of the setup data in place of its own.
// The template hides the file controls and adds edit 101, which follows the
// folder the dialog is in (the dialog moves the process's current directory
// as the user goes through folders and drives). OK takes the edit's text
// and ends the dialog with success.
#include <windows.h>
#include <commdlg.h>

#include "base/Buffer.h"
#include "setupdata/Paths.h"
#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

static char* BrowsePath;              // the folder shown, 260 bytes; only while open
static UINT SelectionChangedMessage;  // "commdlg_LBSelChangedNotify"
static bool HookReady;                // set once the dialog is initialised

const int kControlBrowsePath = 101;
const int kControlBrowseLabel = 1009;
const int kControlDriveLabel = 1091;
// Sent to the old-style dialog: ends it reporting success.
const WPARAM kEndWithSuccess = 3;
// Size of the save-file structure of the old dialog.
const DWORD kSaveFileStructureSize = 76;
const DWORD kHookAndTemplateHandle = OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE;

// Texts: caption, folder label and drive label from group 6, OK and Cancel
// from group 7.
const uint32_t kTextBrowserCaption = 1;
const uint32_t kTextBrowserFolderLabel = 2;
const uint32_t kTextBrowserDriveLabel = 3;
const uint32_t kCaptionBrowserOk = 4;
const uint32_t kCaptionBrowserCancel = 5;

// Places dialog over the middle of its parent (of the screen without one),
// never above or left of the screen's corner.
static void CentreOverParent(HWND dialog) {
  RECT own;
  RECT parent = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  GetWindowRect(dialog, &own);
  HWND owner = GetParent(dialog);
  if (owner) GetWindowRect(owner, &parent);
  int x = parent.left + ((parent.right - parent.left) - (own.right - own.left)) / 2;
  int y = parent.top + ((parent.bottom - parent.top) - (own.bottom - own.top)) / 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static void OnBrowserInit(HWND dialog) {
  ApplyDialogFont(dialog);
  SetDlgItemTextA(dialog, kControlBrowsePath, BrowsePath);
  HookReady = true;
  SetWindowTextA(dialog, GetText(kTextGroupMessages, kTextBrowserCaption));
  ShowText(dialog, kControlBrowseLabel, kTextGroupMessages, kTextBrowserFolderLabel);
  ShowText(dialog, kControlDriveLabel, kTextGroupMessages, kTextBrowserDriveLabel);
  ShowText(dialog, IDOK, kTextGroupButtons, kCaptionBrowserOk);
  ShowText(dialog, IDCANCEL, kTextGroupButtons, kCaptionBrowserCancel);
  CentreOverParent(dialog);
}

// The current directory, which the dialog has just changed, into edit 101.
// GetFullPathNameA already answers in the ANSI code page, so the text is
// shown as it comes (an OEM-to-ANSI conversion would garble every
// character outside ASCII).
static void OnBrowserSelectionChanged(HWND dialog) {
  char folder[kPathBufferSize];
  const DWORD length = GetFullPathNameA(".", kPathBufferSize, folder, nullptr);
  if (!length || length >= kPathBufferSize) return;
  CopyPath(BrowsePath, folder);
  SetDlgItemTextA(dialog, kControlBrowsePath, BrowsePath);
}

UINT_PTR CALLBACK FolderBrowserHook(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == SelectionChangedMessage && HookReady) {
    OnBrowserSelectionChanged(dialog);
  } else if (message == WM_INITDIALOG) {
    OnBrowserInit(dialog);
    return 1;
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    GetDlgItemTextA(dialog, kControlBrowsePath, BrowsePath, kPathBufferSize);
    if (BrowsePath[0]) PostMessageA(dialog, WM_COMMAND, kEndWithSuccess, 1);
  }
  return 0;
}

// Runs the dialog over the buffers; true when the user confirmed.
static bool RunBrowser(HWND owner, OPENFILENAMEA* dialog, char* fileName, void* dialogTemplate) {
  static const char kAllFiles[] = "*.*\0*.*\0";
  dialog->lStructSize = kSaveFileStructureSize;
  dialog->hwndOwner = owner;
  dialog->hInstance = static_cast<HINSTANCE>(dialogTemplate);
  dialog->lpstrFilter = kAllFiles;
  dialog->nFilterIndex = 1;
  dialog->lpstrFile = fileName;
  dialog->nMaxFile = kPathBufferSize;
  dialog->lpstrInitialDir = BrowsePath;
  dialog->Flags = kHookAndTemplateHandle;
  dialog->lpfnHook = FolderBrowserHook;
  HookReady = false;
  return GetSaveFileNameA(dialog) != 0;
}

bool FolderBrowser(HWND owner, char* folder) {
  if (!SelectionChangedMessage) SelectionChangedMessage = RegisterWindowMessageA("commdlg_LBSelChangedNotify");
  char* fileName = nullptr;
  OPENFILENAMEA* dialog = nullptr;
  void* dialogTemplate = nullptr;
  bool confirmed = false;
  // Every buffer the dialog and its hook write to must be there.
  if (AllocateZeroed(kPathBufferSize, BrowsePath) && AllocateZeroed(kPathBufferSize, fileName) &&
      AllocateZeroed(sizeof(OPENFILENAMEA), dialog) && (dialogTemplate = LoadDialogTemplate(kTemplateFolderBrowser))) {
    CopyPath(BrowsePath, folder);
    confirmed = RunBrowser(owner, dialog, fileName, dialogTemplate);
    if (confirmed) CopyPath(folder, BrowsePath);
  }
  if (dialogTemplate) FreeDialogTemplate(dialogTemplate);
  ReleaseBuffer(dialog);
  ReleaseBuffer(fileName);
  ReleaseBuffer(BrowsePath);
  return confirmed;
}
