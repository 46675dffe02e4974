// The program's entry point and run modes.
#pragma once

#include <windows.h>

// Runs the whole setup; the result is the process's exit code: 0 after a
// normal run, -1 when the setup data cannot be loaded.
int SetupMain(HINSTANCE instance, const char* commandLine, int showCommand);
