// The wizard: the page table and its driver, the seven pages, the frame
// dialog that holds them and the background window behind it. Every page is
// a modeless dialog made from a template of the setup data; the stub holds
// no dialog resources and no wording of its own.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "install/InstallStep.h"

// Page numbers, which are also the text groups of the pages' texts.
const int kPageWelcome = 0;
const int kPageInformation = 1;
const int kPageDirectory = 2;
const int kPageConfirmation = 3;
const int kPageProgress = 4;
const int kPageFinish = 5;
const int kPageClosing = 6;
const int kPageCount = 7;

// Dialog template numbers in the DialogTemplates body.
const uint32_t kTemplateFrameWindowed = 0;
const uint32_t kTemplateFrameFullScreen = 1;
const uint32_t kTemplateDirectory = 2;
const uint32_t kTemplateInformation = 3;
const uint32_t kTemplateProgress = 4;
const uint32_t kTemplateText = 5;  // welcome and confirmation pages
const uint32_t kTemplateFinish = 6;
const uint32_t kTemplateFolderBrowser = 7;
const uint32_t kTemplateClosing = 8;

// The running page's result: 0 while it runs, then how it ended.
extern int PageResult;
const int kPageResultRunning = 0;
const int kPageResultNext = 1;
const int kPageResultCancel = 2;
const int kPageResultBack = 1007;

// --- Start-up and shutdown, in the order start-up calls them ------------------

// The module's instance, for the window class and the dialogs; set by
// RegisterBackgroundClass.
extern HINSTANCE Instance;
// The screen's size, taken when the background window is made.
extern int ScreenWidth;
extern int ScreenHeight;
// The finish page's run-after box: initially 1, what the user left it at.
extern uint32_t RunAfterChecked;
// /NORESTART: the finish page offers no restart (its notice still shows).
extern bool NoRestart;

// The setup's message box (MessageBoxHandler of the portable core): caption
// text 6/0, owned by the frame dialog while it exists, else by the
// background window.
int WizardMessageBox(const char* text, uint32_t boxType);
// The class "SetvikClass" (0 when it cannot be registered); the background
// window, full screen or captioned, titled with text 6/0 and not yet shown
// (0 when it cannot be made); the wizard; and the window's destruction with
// the last message drain.
ATOM RegisterBackgroundClass(HINSTANCE instance);
int CreateBackgroundWindow();
// The pages from the welcome page on, or with progressOnly (/PASSIVE) the
// progress page alone, which ends by itself when the installation does.
void RunWizard(bool progressOnly);
void CloseBackgroundWindow();

// --- Driver (wizard/Wizard.cpp) ---------------------------------------------

// Copies template number from the DialogTemplates body into a fresh
// zero-filled heap block of kDialogTemplateBlockSize bytes (the bytes from its
// offset to the end of the body, at most the block's size). Null when the
// block cannot be had, or when the body has no such template or its bytes
// do not hold a whole dialog template (number, offset or a string or item
// outside the body).
void* LoadDialogTemplate(uint32_t number);
void FreeDialogTemplate(void* block);

// Shows one page and pumps messages until PageResult is set; returns it.
// 1 (Next) when the template cannot be had for want of memory; 2 (Cancel)
// when the template is invalid or the page cannot be created.
int RunWizardPage(uint32_t templateNumber, DLGPROC procedure, LPARAM parameter);

// Makes the driver's next step land on page: PageIndex = page - 1 and the
// running page ends as Next.
void GoToPage(int page);
// Ends the running page by ButtonMask kind: 1 Back (1007), 2 Next (1),
// 4 Cancel (2); other kinds are ignored.
void EndPageAs(uint32_t kind);

// The page that follows page p when it ended with result r: -1 when the
// wizard is over.
int NextPageIndex(int p, int r);

// --- Pages ------------------------------------------------------------------

INT_PTR CALLBACK WelcomePage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK InformationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DirectoryPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfirmationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ClosingPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// --- Frame dialog (wizard/FrameDialog.cpp) -----------------------------------

// Controls of the frame templates.
const int kControlPicturePanel = 1011;
const int kControlSeparator = 1012;

INT_PTR CALLBACK FrameDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Leaves the setup after the user said so (the Cancel button's question, or
// giving up on a missing disk): text 6/15, nothing launched or run
// afterwards, and the running page ends as Cancel.
void AbandonSetup();

// --- Background window (wizard/BackgroundWindow.cpp) --------------------------

// The screen centre, set when the background window is created; the frame
// dialog centres itself on it.
extern int ScreenCentreX;
extern int ScreenCentreY;

// --- Directory page (wizard/DirectoryPage.cpp, wizard/FolderBrowser.cpp) ------

// The megabytes shown on the directory page: needed, each file rounded up
// to 32 KiB and summed in 32 bits; available on the drive of folder (0 when
// the drive cannot be asked).
uint32_t NeededMegabytes();
uint32_t AvailableMegabytes(const char* folder);
// Shows the folder browser starting at folder (260 bytes); when the user
// confirms, folder receives the chosen folder and the result is true.
bool FolderBrowser(HWND owner, char* folder);
UINT_PTR CALLBACK FolderBrowserHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The directory page's checks on Next, also run before an unattended
// installation. EnterInstallDir: InstallDir made a full path and entered,
// a missing folder created when the user agrees (text 6/6); false, after
// text 6/5 when creating failed, when the folder cannot be used.
// CheckDestinationAsking: CheckDestination with its messages, 0 when the
// installation may go on (too little space only when the user says Yes to
// text 6/11). Both keep InstallDir's trailing backslash.
bool EnterInstallDir();
int CheckDestinationAsking();

// --- Progress page (wizard/ProgressPage.cpp) ---------------------------------

const UINT_PTR kProgressTimer = 11;
extern HWND ProgressWindow;
extern uint32_t ProgressPercent;  // 0 to 100
const int kControlCurrentFile = 1008;
// What the installation shows while it runs: the current file (shortened
// to about 30 characters into control 1008), the bar's percentage (capped
// at 100), and the end of the installation when the user gives up on a
// missing disk.
extern const InstallView ProgressView;

// Within a batch of steps: shows the current file and the bar as noted so
// far (the message box calls it before a step's question); else nothing.
void ShowNotedProgress();

// Shortens text in place to a head ending after a backslash, "..." and the
// tail from the last backslash on, keeping as much head as stays within
// limit. Unchanged when already within limit, without a backslash, or with
// fewer than 4 characters from the first backslash to the last. The result
// can still be longer than limit.
void AbbreviatePath(char* text, uint32_t limit);
// Draws the sunken bar and its blocks into control 1009's rectangle and the
// percentage into 1010; dc may be null (the page's own is taken then).
void PaintProgressBar(HWND page, HDC dc);
