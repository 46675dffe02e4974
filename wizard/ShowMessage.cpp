// The message box through which the setup reports everything, and the
// running page's result (kept apart from the page mechanics so that the
// portable core's tests can stand in for both).
#include <windows.h>

#include "setupdata/Platform.h"
#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"

int PageResult;

// Caption text 6/0; owned by the frame dialog while it exists, else by the
// background window.
int ShowMessage(const char* text, uint32_t boxType) {
  HWND owner = IsWindow(FrameDialog) ? FrameDialog : BackgroundWindow;
  return MessageBoxA(owner, text, GetText(kTextGroupMessages, 0), boxType);
}
