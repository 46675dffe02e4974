// The setup's message box, and the running page's result.
#include <windows.h>

#include "setupdata/SetupData.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

int PageResult;

// Caption text 6/0; owned by the frame dialog while it exists, else by the
// background window.
int WizardMessageBox(const char* text, uint32_t boxType) {
  ShowNotedProgress();  // a question in a batch names the file it asks about
  HWND owner = IsWindow(FrameDialog) ? FrameDialog : BackgroundWindow;
  return MessageBoxA(owner, text, GetText(kTextGroupMessages, 0), boxType);
}
