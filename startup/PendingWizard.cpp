// Stand-ins for the wizard's windows until wizard/ defines them: a hidden
// background window of the class "SetvikClass" (so the single-instance check
// already works), no pages, and the closing message drain. Delete this file
// when the wizard's background window and driver define these.
#include <windows.h>

#include "install/InstallStep.h"
#include "startup/Startup.h"
#include "wizard/PageMechanics.h"

// The progress page's window and bar, which the installation step writes to.
HWND ProgressWindow;
void SetProgress(uint32_t) {}
