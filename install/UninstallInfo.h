// The end of an installation: the uninstall log appended to the installed
// uninstaller, the start-menu shortcuts, the entry in the list of installed
// programs and the remembered folder.
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"

// Called once by the progress page when the file loop has ended, whether it
// finished or failed: closes the file data, writes what a finished
// installation leaves (nothing after a failure) and clears InstallRunning.
// The page moves on to the finish page itself.
void WriteUninstallInfo();

// Takes a failed log back: the free header goes back 8 bytes before
// oldLength, the uninstaller's length when the installation left it, and
// the file is cut there, so the uninstaller holds its empty log again.
void TakeBackLog(FileHandle log, uint32_t oldLength);
