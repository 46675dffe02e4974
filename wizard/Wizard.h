// The wizard: the page table and its driver, the seven pages, the frame
// dialog that holds them and the background window behind it. Every page is
// a modeless dialog made from a template of the setup data; the stub holds
// no dialog resources and no wording of its own.
#pragma once

#include <stdint.h>
#include <windows.h>

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

// PageResult values (kPageResultCancel is in setupdata/Platform.h).
const int kPageResultRunning = 0;
const int kPageResultNext = 1;
const int kPageResultBack = 1007;

// --- Driver (wizard/Wizard.cpp) ---------------------------------------------

// Size of the block that each template is copied into.
const uint32_t kTemplateBlockSize = 16384;

// Copies template number from the DialogTemplates body into a fresh
// zero-filled heap block of kTemplateBlockSize bytes (the bytes from its
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

// --- Progress page (wizard/ProgressPage.cpp) ---------------------------------

const UINT_PTR kProgressTimer = 11;
extern uint32_t ProgressPercent;  // 0 to 100
// Draws the sunken bar and its blocks into control 1009's rectangle and the
// percentage into 1010; dc may be null (the page's own is taken then).
void PaintProgressBar(HWND page, HDC dc);
