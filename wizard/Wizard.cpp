// The wizard's driver: the page table, the loop over the pages, the runner
// that shows one page, and the copying of templates out of the setup data.
#include "wizard/Wizard.h"

#include "base/Buffer.h"
#include "base/Message.h"
#include "setupdata/DialogTemplate.h"
#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"

struct PageRow {
  uint8_t templateNumber;
  DLGPROC procedure;
};

// Row n is page n; its texts come from group n.
static const PageRow PageTable[kPageCount] = {
    {kTemplateText, WelcomePage},         {kTemplateInformation, InformationPage},
    {kTemplateDirectory, DirectoryPage},  {kTemplateText, ConfirmationPage},
    {kTemplateProgress, ProgressPage},    {kTemplateFinish, FinishPage},
    {kTemplateClosing, ClosingPage},
};

// The bytes of template number that go into its block, or 0 when the body
// has no such template or the template does not lie whole within them (the
// platform would read past the block).
static uint32_t TemplateBytes(uint32_t number, uint32_t* start) {
  uint32_t length = LocateDialogTemplate(DialogTemplates, DialogTemplatesSize, number, start);
  if (length > kDialogTemplateBlockSize) length = kDialogTemplateBlockSize;
  return length && IsWholeDialogTemplate(DialogTemplates + *start, length) ? length : 0;
}

void* LoadDialogTemplate(uint32_t number) {
  uint32_t start = 0;
  const uint32_t length = TemplateBytes(number, &start);
  if (!length) return nullptr;
  uint8_t* block;
  if (!AllocateZeroed(kDialogTemplateBlockSize, block)) return nullptr;
  CopyMemory(block, DialogTemplates + start, length);
  return block;
}

void FreeDialogTemplate(void* block) { FreeRaw(block); }

int RunWizardPage(uint32_t templateNumber, DLGPROC procedure, LPARAM parameter) {
  int result = kPageResultCancel;
  PageResult = kPageResultRunning;
  // A template that is missing or damaged cannot be shown and counts as
  // Cancel; only a lack of memory passes the page over as Next.
  uint32_t start;
  if (!TemplateBytes(templateNumber, &start)) return kPageResultCancel;
  void* block = LoadDialogTemplate(templateNumber);
  if (!block) return kPageResultNext;
  HWND page = CreateDialogIndirectParamA(Instance, static_cast<LPCDLGTEMPLATEA>(block), FrameDialog, procedure,
                                         parameter);
  if (!page) {
    FreeDialogTemplate(block);
    return kPageResultCancel;
  }
  MSG message;
  while (PageResult == kPageResultRunning) {
    if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
      PageResult = kPageResultCancel;
      break;
    }
    if (IsDialogMessageA(FrameDialog, &message) || IsDialogMessageA(page, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  DestroyWindow(page);
  if (PageResult != kPageResultRunning) result = PageResult;
  FreeDialogTemplate(block);
  return result;
}

void EndPageAs(uint32_t kind) {
  if (kind == kButtonBack) PageResult = kPageResultBack;
  else if (kind == kButtonNext) PageResult = kPageResultNext;
  else if (kind == kButtonCancel) PageResult = kPageResultCancel;
}

void GoToPage(int page) {
  PageIndex = page - 1;
  EndPageAs(kButtonNext);
}

int NextPageIndex(int p, int r) {
  const bool closing = p >= kPageClosing;
  if (r == kPageResultNext) return closing ? -1 : p + 1;
  if (r == kPageResultCancel) return closing ? -1 : kPageClosing;
  if (r == kPageResultBack) return closing ? kPageFinish : (p > 0 ? p - 1 : 0);
  return closing ? kPageClosing : p;
}

// In windowed mode the background window becomes the frame's captioned
// parent, just large enough to hold it.
static void FitBackgroundToFrame() {
  RECT frame;
  GetWindowRect(FrameDialog, &frame);
  AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, 0);
  SetWindowPos(BackgroundWindow, nullptr, frame.left, frame.top, frame.right - frame.left,
               frame.bottom - frame.top, SWP_NOZORDER);
  SetWindowPos(FrameDialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void RunWizard(bool progressOnly) {
  const bool fullScreen = (SetupFlags & kFullScreenBackground) != 0;
  void* frameTemplate = LoadDialogTemplate(fullScreen ? kTemplateFrameFullScreen : kTemplateFrameWindowed);
  if (!frameTemplate) return;
  FrameDialog = CreateDialogIndirectParamA(Instance, static_cast<LPCDLGTEMPLATEA>(frameTemplate),
                                           BackgroundWindow, FrameDialogProcedure, 0);
  if (FrameDialog) {
    if (!fullScreen) FitBackgroundToFrame();
    ShowWindow(BackgroundWindow, SW_SHOWNORMAL);
    UpdateWindow(BackgroundWindow);
    const bool single = progressOnly || SinglePage != kSinglePageAbsent;
    // A single page beyond the table shows nothing: there is no such page.
    PageIndex = single ? (SinglePage < kPageCount ? SinglePage : -1) : kPageWelcome;
    if (progressOnly) PageIndex = kPageProgress;
    while (PageIndex >= 0) {
      const PageRow& row = PageTable[PageIndex];
      const int result = RunWizardPage(row.templateNumber, row.procedure, 0);
      if (single) break;
      PageIndex = NextPageIndex(PageIndex, result);
    }
    PageIndex = -1;
    DestroyWindow(FrameDialog);
    FrameDialog = nullptr;
  }
  FreeDialogTemplate(frameTemplate);
}
