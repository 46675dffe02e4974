// The progress page (page 4): runs the installation one file record per
// tick of its timer, draws the progress bar and the percentage, and asks
// before it lets the user stop.
//
// Pacing: the first step starts 100 ms after the page opens; the timer is
// killed while a step runs and set again for 50 ms when it ends, so steps
// never overlap and messages (painting, Cancel) are handled between them.
// While the Cancel question is open, ticks do nothing.
//
// A setup with BatchedSteps runs steps back to back for about 30 ms per
// tick instead, and goes on with the next batch at once while no message
// waits for the page (else after the shortest timer pause). Within a batch
// the current file and the bar are only noted; they are shown when the
// batch ends, or before a question of a step is asked.
#include "base/Message.h"
#include "install/InstallStep.h"
#include "install/UninstallInfo.h"
#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

HWND ProgressWindow;
uint32_t ProgressPercent;
static UINT_PTR ProgressTimerSet;  // what SetTimer returned; 0 = no timer
static uint32_t CancelPending;     // 1 while the Cancel question is open

static bool Batching;                      // within a batch: the view only notes
static char NotedFile[kPathBufferSize];  // the step's target, as last noted

const UINT kFirstStepDelay = 100;
const UINT kNextStepDelay = 50;
const UINT kNextBatchDelay = 1;  // the shortest pause the system allows
const DWORD kBatchMilliseconds = 30;
const int kControlBarArea = 1009;
const int kControlPercent = 1010;
const uint32_t kFileNameShownLimit = 30;

// Text of the progress page's question and of its Cancel button.
const uint32_t kMessageReallyStop = 13;
const uint32_t kCaptionStop = 5;

// The noted file, shortened to about 30 characters, into control 1008.
static void ShowNotedFile() {
  char text[kPathBufferSize];
  lstrcpynA(text, NotedFile, kPathBufferSize);
  AbbreviatePath(text, kFileNameShownLimit);
  SetDlgItemTextA(ProgressWindow, kControlCurrentFile, text);
}

static void ShowCurrentFile(const char* path) {
  lstrcpynA(NotedFile, path, kPathBufferSize);
  if (!Batching) ShowNotedFile();
}

static void SetProgress(uint32_t percent) {
  ProgressPercent = percent > 100 ? 100 : percent;
  if (!Batching) PaintProgressBar(ProgressWindow, nullptr);
}

void ShowNotedProgress() {
  if (!Batching) return;
  ShowNotedFile();
  UpdateWindow(GetDlgItem(ProgressWindow, kControlCurrentFile));
  PaintProgressBar(ProgressWindow, nullptr);
}

// One batch: steps until one returns false or the batch's time is up, the
// view shown at its end. The result is the last step's.
static bool InstallBatch() {
  const DWORD start = GetTickCount();
  Batching = true;
  bool more;
  do more = InstallNextFile();
  while (more && GetTickCount() - start < kBatchMilliseconds);
  ShowNotedProgress();
  Batching = false;
  return more;
}

const InstallView ProgressView = {ShowCurrentFile, SetProgress, AbandonSetup};

// The file loop is over: the uninstall records are written and the wizard
// moves on to the finish page. Not when the user gave up during the last
// step (the disk prompt's Cancel has already ended the page as Cancel):
// that stop is the Cancel button's, which writes nothing and leads to the
// closing page.
static void EndInstallation() {
  if (PageResult == kPageResultCancel) return;
  WriteUninstallInfo();
  if (SinglePage == kSinglePageAbsent) GoToPage(kPageFinish);
}

// Runs the remaining steps inside the current message and ends the
// installation: the fallback for a timer that cannot be set.
static void InstallRemainingFiles() {
  while (InstallNextFile()) {
  }
  EndInstallation();
}

static void ArmProgressTimer(HWND page, UINT delay) {
  ProgressTimerSet = SetTimer(page, kProgressTimer, delay, nullptr);
}

static void KillProgressTimer(HWND page) {
  if (!ProgressTimerSet) return;
  KillTimer(page, kProgressTimer);
  ProgressTimerSet = 0;
}

static INT_PTR OnProgressInit(HWND page) {
  ProgressWindow = page;
  SetupPage(page, kButtonCancel);
  SetButtonCaption(kButtonCancel, kCaptionStop);
  if (StartInstallation(&ProgressView)) {
    ArmProgressTimer(page, kFirstStepDelay);
    CancelPending = 0;
    if (!ProgressTimerSet) InstallRemainingFiles();
  }
  return 1;
}

// Whether the page must go back to its message loop: input, painting or a
// posted message waits. Messages sent from other programs are served here
// on the way (the peek delivers them), so they never wait for the end of
// the installation, and timers wait for the next pause.
static bool MessageWaiting() {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  return HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_POSTMESSAGE)) != 0;
}

// One step per tick, or batches while no message waits; the last step (or a
// failing one) ends the installation.
static void OnProgressTimer(HWND page) {
  if (!InstallRunning || CancelPending) return;
  KillProgressTimer(page);
  bool more;
  if (SetupFlags & kBatchedSteps) {
    do more = InstallBatch();
    while (more && !MessageWaiting());
  } else {
    more = InstallNextFile();
  }
  if (more) {
    ArmProgressTimer(page, (SetupFlags & kBatchedSteps) ? kNextBatchDelay : kNextStepDelay);
    if (ProgressTimerSet) return;
    while (InstallNextFile()) {
    }
  }
  EndInstallation();
}

// Cancel asks first; Yes leaves what was installed so far and launches
// nothing afterwards.
static INT_PTR OnProgressCancel(HWND page) {
  CancelPending = 1;
  if (ShowMessage(GetText(kTextGroupMessages, kMessageReallyStop), kBoxYesNo, kAnswerYes) == kAnswerYes)
    AbandonSetup();
  else
    CancelPending = 0;
  return MarkHandled(page);
}

static void OnProgressPaint(HWND page) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(page, &paint);
  if (dc) PaintProgressBar(page, dc);
  EndPaint(page, &paint);
}

INT_PTR CALLBACK ProgressPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnProgressInit(page);
    case WM_TIMER:
      OnProgressTimer(page);
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == kControlCancel && SinglePage == kSinglePageAbsent) return OnProgressCancel(page);
      break;
    case WM_PAINT:
      OnProgressPaint(page);
      break;
    case WM_DESTROY:
      KillProgressTimer(page);
      break;
  }
  return PageDefaultHandler(page, message, wParam, lParam);
}

// --- The bar -----------------------------------------------------------------

// A one-colour fill of the rectangle at (x, y) of width w and height h.
static void FillBarRectangle(HDC dc, int x, int y, int w, int h, int colourIndex) {
  const RECT area = {x, y, x + w, y + h};
  SetBkColor(dc, GetSysColor(colourIndex));
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
}

// The sunken edge and the blocks, into the w by h memory bitmap of dc.
// Blocks are h / 2 wide with 2-pixel gaps, from x = 1 and y = 2 to h - 2;
// the first always shows, each further one only while its right edge stays
// left of both w and the filled share of w.
static void DrawBar(HDC dc, int w, int h, HBRUSH brush) {
  FillBarRectangle(dc, 0, 0, w, h, COLOR_BTNFACE);
  FillBarRectangle(dc, 0, 0, w, 1, COLOR_BTNSHADOW);
  FillBarRectangle(dc, 0, 0, 1, h, COLOR_BTNSHADOW);
  FillBarRectangle(dc, w - 1, 0, 1, h, COLOR_BTNHIGHLIGHT);
  FillBarRectangle(dc, 0, h - 1, w, 1, COLOR_BTNHIGHLIGHT);
  const int s = h / 2;
  const uint32_t filled = ProgressPercent * static_cast<uint32_t>(w) / 100;
  int left = 1;
  int right = s + 1;
  do {
    const RECT block = {left, 2, right, h - 2};
    FillRect(dc, &block, brush);
    left = left + s + 2;
    right = left + s;
  } while (right < w && static_cast<uint32_t>(right) < filled);
}

// Composes the bar off screen in a w by h bitmap and copies it to (x0, y0)
// of dc in one operation.
static void PaintBarOffScreen(HDC dc, int x0, int y0, int w, int h) {
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, w, h) : nullptr;
  HGDIOBJ previous = bitmap ? SelectObject(memory, bitmap) : nullptr;
  if (previous) {
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_ACTIVECAPTION));
    if (brush) {
      DrawBar(memory, w, h, brush);
      BitBlt(dc, x0, y0, w, h, memory, 0, 0, SRCCOPY);
      DeleteObject(brush);
    }
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
}

void PaintProgressBar(HWND page, HDC dc) {
  HDC own = nullptr;
  if (!dc) {
    dc = own = GetDC(page);
    if (!dc) return;
  }
  char percent[16];
  wsprintfA(percent, "%d%%", static_cast<int>(ProgressPercent));
  SetDlgItemTextA(page, kControlPercent, percent);
  RECT area = {0, 0, 0, 0};
  HWND placeholder = GetDlgItem(page, kControlBarArea);
  if (placeholder && GetWindowRect(placeholder, &area)) {
    const int w = area.right - area.left;
    const int h = area.bottom - area.top;
    ScreenToClient(page, reinterpret_cast<POINT*>(&area));
    if (w > 0 && h > 0) PaintBarOffScreen(dc, area.left, area.top, w, h);
  }
  if (own) ReleaseDC(page, own);
}

// --- The current file --------------------------------------------------------

// Position of the first backslash in text at or after from, or -1.
static int NextBackslash(const char* text, int from) {
  for (int i = from; text[i]; ++i)
    if (text[i] == '\\') return i;
  return -1;
}

void AbbreviatePath(char* text, uint32_t limit) {
  const int length = lstrlenA(text);
  const int first = NextBackslash(text, 0);
  if (static_cast<uint32_t>(length) <= limit || first < 0) return;
  int last = first;
  for (int p = first; p >= 0; p = NextBackslash(text, p + 1)) last = p;
  if (last - first < 4) return;
  const int tail = length - last;
  int head = first + 1;
  for (int p = NextBackslash(text, head); p >= 0 && last - p >= 4 && static_cast<uint32_t>(p + tail) < limit;
       p = NextBackslash(text, head))
    head = p + 1;
  // head + 3 <= last, so the tail moves left (or stays): copy forwards.
  text[head] = text[head + 1] = text[head + 2] = '.';
  for (int i = 0; i <= tail; ++i) text[head + 3 + i] = text[last + i];
}
