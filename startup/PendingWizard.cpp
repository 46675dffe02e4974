// Stand-in for the progress page's window and bar until the progress page
// defines them. Delete this file then.
#include <windows.h>

#include "install/InstallStep.h"
#include "startup/Startup.h"
#include "wizard/PageMechanics.h"

// The progress page's window and bar, which the installation step writes to.
HWND ProgressWindow;
void SetProgress(uint32_t) {}
