// The end of an installation: the uninstall log appended to the installed
// uninstaller, the start-menu shortcuts, the entry in the list of installed
// programs and the remembered folder; then the wizard moves to the finish
// page.
#pragma once

// Called once by the progress page when the file loop has ended, whether it
// finished or failed; clears InstallRunning.
void WriteUninstallInfo();
