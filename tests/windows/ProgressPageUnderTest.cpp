// The progress page compiled into the test program. The installation
// step's own test already defines SetProgress and ProgressWindow, so the
// page's are renamed here; the end of the installation is counted instead
// of writing uninstall records.
#define SetProgress PageSetProgress
#define ProgressWindow PageProgressWindow
#define WriteUninstallInfo CountedWriteUninstallInfo
#include "wizard/ProgressPage.cpp"

int UninstallInfoWrites;
void CountedWriteUninstallInfo() { ++UninstallInfoWrites; }
