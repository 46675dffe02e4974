// What every wizard page shares: the set-up run from each page's
// WM_INITDIALOG, the Back/Next/Cancel buttons of the frame dialog, the
// message texts, the control colours and the dialog font; and the wizard's
// process-wide windows and page state.
#pragma once

#include <stdint.h>
#include <windows.h>

// The wizard's windows and page state. The frame dialog must be set back to
// null when it is destroyed, so that message boxes fall back to the
// background window.
extern HWND FrameDialog;
extern HWND BackgroundWindow;
extern HWND CurrentPage;   // the page most recently set up
extern int PageIndex;      // current page number, -1 when the wizard is over
extern uint32_t ButtonMask;
extern HFONT DialogFont;
extern HBRUSH ControlBrush;

// ButtonMask bits, which are also the button kinds of SetButtonCaption.
const uint32_t kButtonBack = 0x001;    // control 1007
const uint32_t kButtonNext = 0x002;    // control 1
const uint32_t kButtonCancel = 0x004;  // control 2
const uint32_t kCancelWithoutQuestion = 0x100;

// Frame dialog controls.
const int kControlNext = 1;
const int kControlCancel = 2;
const int kControlPageArea = 1006;
const int kControlBack = 1007;

// The first call in every page's WM_INITDIALOG: font, position in the page
// area, window captions, texts PageIndex/1-4 into controls 1000-1003, the
// standard button captions 7/0-7/2, and the buttons enabled from mask
// (plus 0x100 when a single page is shown).
void SetupPage(HWND page, uint32_t mask);
// Stores mask in ButtonMask and enables Back, Next and Cancel from its bits.
void SetPageButtons(uint32_t mask);
// Sets the caption of Back (kind 1), Next (2) or Cancel (4) to text 7/index.
void SetButtonCaption(uint32_t kind, uint32_t index);
// Text group/index into control id of dialog (nothing when there is no such
// control).
void ShowText(HWND dialog, int id, uint32_t group, uint32_t index);

// The tail of every page procedure and of the frame dialog: the button-face
// colour and ControlBrush for message boxes, buttons, dialogs and statics;
// 0 (not handled) for everything else.
INT_PTR PageDefaultHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sets the dialog's message result to 1 and returns 1: the command was
// handled, the frame dialog does nothing more with it.
INT_PTR MarkHandled(HWND window);
// Gives every child of window the DialogFont, made on the first call from
// window's own font at normal weight.
void ApplyDialogFont(HWND window);

// ControlBrush: a solid brush of the button-face colour, or the stock light
// grey brush when that cannot be made. Called by start-up.
void CreateControlBrush();
// Deletes ControlBrush (unless it is the stock brush) and DialogFont.
void ReleasePageResources();
