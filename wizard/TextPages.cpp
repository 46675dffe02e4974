// The pages that mostly show texts: welcome, information, confirmation
// (which asks about write-protected targets) and closing (which names
// itself in the caption and opens the home page).
#include "base/Buffer.h"
#include "base/Message.h"
#include "base/TextFormat.h"
#include "install/DestinationCheck.h"
#include "install/Launch.h"
#include "setupdata/Paths.h"
#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

const int kControlText1 = 1000;
const int kControlText2 = 1001;
const int kControlClosingName = 1005;
const int kControlHomePage = 1006;
const uint32_t kTextOverwriteReadOnly = 7;
const uint32_t kTextInstallButton = 3;
const uint32_t kFormatBufferSize = 1024;
const int kClosingNameLength = 100;  // at most 99 characters

// The home page that the closing page's button opens, and the extension
// whose registered program opens it when the shell cannot.
static const char kHomePage[] = "https://example.com/setvik/";
static const char kHomePageExtension[] = ".htm";

static bool InformationTextEmpty() { return !*GetText(kPageInformation, 1); }

INT_PTR CALLBACK WelcomePage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetupPage(page, kButtonNext | kButtonCancel);
    return 1;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == kControlNext && InformationTextEmpty()) {
    GoToPage(kPageDirectory);
    return MarkHandled(page);
  }
  return PageDefaultHandler(page, message, wParam, lParam);
}

// The text starts with the caret at its beginning rather than selected as
// a whole, which the dialog's own first focus would do: the page sets the
// focus itself and so returns 0 from WM_INITDIALOG, where the other pages
// return 1.
INT_PTR CALLBACK InformationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetupPage(page, kButtonBack | kButtonNext | kButtonCancel);
    HWND text = GetDlgItem(page, kControlText1);  // null: both calls do nothing
    SetFocus(text);
    SendMessageA(text, EM_SETSEL, 0, 0);
    return 0;
  }
  return PageDefaultHandler(page, message, wParam, lParam);
}

// Text 3/2 with the folder, without its trailing backslash, into 1001.
static void ShowDestinationFolder(HWND page) {
  char* sentence;
  if (!AllocateZeroed(kFormatBufferSize, sentence)) return;
  RemoveBackslash(InstallDir);
  FormatTextString(sentence, kFormatBufferSize, GetText(kPageConfirmation, 2), InstallDir);
  AddBackslash(InstallDir);
  SetDlgItemTextA(page, kControlText2, sentence);
  ReleaseBuffer(sentence);
}

INT_PTR CALLBACK ConfirmationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetupPage(page, kButtonBack | kButtonNext | kButtonCancel);
    ShowDestinationFolder(page);
    SetButtonCaption(kButtonNext, kTextInstallButton);
    SetFocus(GetDlgItem(FrameDialog, kControlNext));
    return 0;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == kControlNext && ReadOnlyTargetsFound &&
      ShowMessage(GetText(kTextGroupMessages, kTextOverwriteReadOnly), kBoxYesNo, kAnswerYes) == kAnswerNo)
    return MarkHandled(page);
  return PageDefaultHandler(page, message, wParam, lParam);
}

// The closing page's name (its control 1005) becomes the caption of the
// frame (full screen) or of the background window.
static void ShowClosingName(HWND page) {
  char name[kClosingNameLength];
  name[0] = 0;
  SendMessageA(GetDlgItem(page, kControlClosingName), WM_GETTEXT, kClosingNameLength, reinterpret_cast<LPARAM>(name));
  SetWindowTextA((SetupFlags & kFullScreenBackground) ? FrameDialog : BackgroundWindow, name);
}

INT_PTR CALLBACK ClosingPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetupPage(page, kButtonCancel | kCancelWithoutQuestion);
    ShowClosingName(page);
    return 1;
  }
  if (message == WM_COMMAND) {
    const int id = LOWORD(wParam);
    if (id == kControlHomePage) {
      OpenDocument(kHomePage, kHomePageExtension);
    } else {
      PageResult = id;
      return MarkHandled(page);
    }
  }
  return PageDefaultHandler(page, message, wParam, lParam);
}
