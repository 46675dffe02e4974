// The program's entry point, run modes and the process-wide state that
// start-up owns.
#pragma once

#include <stdint.h>
#include <windows.h>


// Runs the whole setup; the result is the process's exit code: 0 after a
// normal run, after handing over to another running copy or to a temporary
// copy, and when the window class cannot be registered; -1 when the path
// buffers cannot be had, the setup data cannot be loaded or the background
// window cannot be created.
int SetupMain(HINSTANCE instance, const char* commandLine, int showCommand);

// What StartupInit found.
enum StartupStatus {
  kStartupReady = 0,      // initialised; the run goes on
  kStartupOtherCopy = 1,  // another copy is running and was brought forward
  kStartupNoMemory = 2,   // a path buffer could not be had; nothing is left allocated
};
// Single-instance check through the window class "SetvikClass", OLE, the
// ControlBrush and the seven zero-filled path buffers, SetupFilePath holding
// the program's own module path; the wizard's message box for every message.
StartupStatus StartupInit();
// Releases what StartupInit created and the DialogFont.
void Shutdown();

// The options: "/S path" (or -s, quoted or bare) into SetupFilePath, "/DEL"
// sets DeleteSelf. Parsing stops at the first word that is not an option.
void ParseCommandLine(const char* text);
// Copies the stub to "_inst<n>.exe" in the temporary folder and starts it
// with /S naming SetupFilePath and /DEL. True when the copy was started.
bool RunFromTempCopy();

// Process-wide state of start-up (startup/ProcessState.cpp).
extern int ShowCommand;  // the show-command this process was started with
extern bool DeleteSelf;  // /DEL: the program deletes itself at the next restart
