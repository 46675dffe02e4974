// The directory page (page 2): shows InstallDir in edit 1004 for the user
// to type or browse (when the setup allows it), the megabytes needed and
// available, and on Next makes sure the folder exists and passes the
// destination check before the wizard moves on.
//
// InstallDir carries a trailing backslash everywhere but in the edit; the
// page takes it off to show the folder and puts it back after.
#include "base/Buffer.h"
#include "base/Message.h"
#include "base/TextFormat.h"
#include "install/DestinationCheck.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Paths.h"
#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

const int kControlFolderEdit = 1004;
const int kControlBrowse = 1005;
const int kControlNeeded = 1016;
const int kControlNeededLabel = 1017;
const int kControlAvailableLabel = 1018;
const int kControlAvailable = 1019;

// Texts of group 2 and the messages of group 6 that the page shows.
const uint32_t kTextNeededLabel = 5;
const uint32_t kTextAvailableLabel = 6;
const uint32_t kTextMegabytes = 7;
const uint32_t kMessageChecking = 4;
const uint32_t kMessageInvalidFolder = 5;
const uint32_t kMessageCreateFolder = 6;
const uint32_t kMessageCannotInstall = 8;

const uint32_t kMessageBufferSize = 1024;

uint32_t NeededMegabytes() {
  uint32_t sum = 0;
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i, record = NextFileRecord(record))
    sum += (ReadU32Le(record + FileRecordField::fileSize) + 0x7FFF) & ~0x7FFFu;
  return (sum + 0xFFFFF) >> 20;
}

// Rounded up in 64 bits: a drive reported with 0xFFFFFFFE KiB free (more
// than 4 TiB) would otherwise wrap to 0 megabytes.
uint32_t AvailableMegabytes(const char* folder) {
  uint32_t kilobytes = GetFreeKilobytes(folder);
  if (kilobytes == kFreeSpaceUnknown) kilobytes = 0;
  return static_cast<uint32_t>((static_cast<uint64_t>(kilobytes) + 1023) >> 10);
}

// Text 2/7 with megabytes into control.
static void ShowMegabytes(HWND page, int control, uint32_t megabytes) {
  char text[kMessageBufferSize];
  FormatTextNumber(text, sizeof text, GetText(kPageDirectory, kTextMegabytes), static_cast<int32_t>(megabytes));
  SetDlgItemTextA(page, control, text);
}

// InstallDir = the folder edit's text, at most 259 characters.
static void ReadFolderEdit(HWND page) { GetDlgItemTextA(page, kControlFolderEdit, InstallDir, kPathBufferSize); }

// The folder edit shows InstallDir without its trailing backslash.
static void ShowFolder(HWND page) {
  RemoveBackslash(InstallDir);
  SetDlgItemTextA(page, kControlFolderEdit, InstallDir);
  AddBackslash(InstallDir);
}

// Texts 2/2 to 2/4 in 1001 to 1003, or the checking note and two blanks.
static void ShowParagraphs(HWND page, bool checking) {
  SetDlgItemTextA(page, 1001, checking ? GetText(kTextGroupMessages, kMessageChecking) : GetText(kPageDirectory, 2));
  SetDlgItemTextA(page, 1002, checking ? "" : GetText(kPageDirectory, 3));
  SetDlgItemTextA(page, 1003, checking ? "" : GetText(kPageDirectory, 4));
}

static INT_PTR OnDirectoryInit(HWND page) {
  SetupPage(page, kButtonBack | kButtonNext | kButtonCancel);
  ShowFolder(page);
  SetDlgItemTextA(page, kControlNeededLabel, GetText(kPageDirectory, kTextNeededLabel));
  SetDlgItemTextA(page, kControlAvailableLabel, GetText(kPageDirectory, kTextAvailableLabel));
  ShowMegabytes(page, kControlNeeded, NeededMegabytes());
  ShowMegabytes(page, kControlAvailable, AvailableMegabytes(InstallDir));
  if (SetupFlags & kDirChangeable) {
    SetFocus(GetDlgItem(page, kControlFolderEdit));
    return 0;
  }
  SendDlgItemMessageA(page, kControlFolderEdit, EM_SETREADONLY, 1, 0);
  EnableWindow(GetDlgItem(page, kControlBrowse), FALSE);
  return 1;
}

// InstallDir (here without its trailing backslash) made a full path and
// entered as the current directory; a missing folder is created when the
// user agrees. False when the page is to stay.
static bool EnterFolder() {
  const DWORD length = GetFullPathNameA(InstallDir, kPathBufferSize, TargetPath, nullptr);
  if (length && length < kPathBufferSize && TargetPath[0]) lstrcpynA(InstallDir, TargetPath, kPathBufferSize);
  if (SetCurrentDirectoryA(InstallDir)) return true;
  if (ShowMessage(GetText(kTextGroupMessages, kMessageCreateFolder), kBoxYesNo, kAnswerYes) != kAnswerYes) return false;
  AddBackslash(InstallDir);
  CreateFolderChain(InstallDir);
  RemoveBackslash(InstallDir);
  if (SetCurrentDirectoryA(InstallDir)) return true;
  ShowMessage(GetText(kTextGroupMessages, kMessageInvalidFolder), kBoxOk, kAnswerOk);
  return false;
}

bool EnterInstallDir() {
  RemoveBackslash(InstallDir);
  const bool entered = EnterFolder();
  AddBackslash(InstallDir);
  return entered;
}

int CheckDestinationAsking() {
  int result = CheckDestination();
  if (result == kDestinationFull) {
    if (ShowMessage(GetText(kTextGroupMessages, kDestinationFull), kBoxYesNo, kAnswerNo) == kAnswerYes) result = kDestinationReady;
  } else if (result != kDestinationReady) {
    char* text;
    if (AllocateZeroed(kMessageBufferSize, text)) {
      lstrcpynA(text, GetText(kTextGroupMessages, kMessageCannotInstall), kMessageBufferSize);
      AppendText(text, kMessageBufferSize, "\n\n");
      const uint32_t used = lstrlenA(text);
      FormatMessageText(text + used, kMessageBufferSize - used, result);
      ShowMessage(text, kBoxOk, kAnswerOk);
      ReleaseBuffer(text);
    }
  }
  return result;
}

static INT_PTR OnDirectoryNext(HWND page, UINT message, WPARAM wParam) {
  ReadFolderEdit(page);
  if (!EnterInstallDir()) return MarkHandled(page);
  ShowParagraphs(page, true);
  if (CheckDestinationAsking() == kDestinationReady) return PageDefaultHandler(page, message, wParam, 0);
  ShowParagraphs(page, false);
  return MarkHandled(page);
}

static void OnDirectoryBrowse(HWND page) {
  ReadFolderEdit(page);
  FolderBrowser(page, InstallDir);
  RemoveBackslash(InstallDir);
  SetDlgItemTextA(page, kControlFolderEdit, InstallDir);
}

static INT_PTR OnDirectoryCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  if (id == kControlBrowse) {
    OnDirectoryBrowse(page);
  } else if (SinglePage != kSinglePageAbsent) {
    // A single page ends on Next without checks.
  } else if (id == kControlNext) {
    return OnDirectoryNext(page, WM_COMMAND, wParam);
  } else if (id == kControlFolderEdit) {
    ReadFolderEdit(page);
    ShowMegabytes(page, kControlAvailable, AvailableMegabytes(InstallDir));
  } else if (id == kControlBack && !*GetText(kPageInformation, 1)) {
    GoToPage(kPageWelcome);
    return MarkHandled(page);
  }
  return PageDefaultHandler(page, WM_COMMAND, wParam, lParam);
}

INT_PTR CALLBACK DirectoryPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnDirectoryInit(page);
    case WM_COMMAND:
      return OnDirectoryCommand(page, wParam, lParam);
  }
  return PageDefaultHandler(page, message, wParam, lParam);
}
