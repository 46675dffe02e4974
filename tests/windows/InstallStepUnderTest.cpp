// The installation step, compiled into the test program (the rules,
// destination checks, registrations, shortcuts and restart scheduling it
// calls come in through the other *UnderTest.cpp files), with the progress
// page's window and bar: no window, and the values it was given noted.
#include "install/InstallStep.cpp"

#include <vector>

HWND ProgressWindow;
std::vector<uint32_t> ProgressValues;
void SetProgress(uint32_t percent) { ProgressValues.push_back(percent); }
