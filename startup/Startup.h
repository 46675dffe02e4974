// The program's entry point, run modes and the process-wide state that
// start-up owns.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "install/ScheduleAtRestart.h"
#include "setupdata/Paths.h"

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
// the program's own module path.
StartupStatus StartupInit(HINSTANCE instance);
// Releases what StartupInit created and the DialogFont.
void Shutdown();

// The options: "/S path" (or -s, quoted or bare) into SetupFilePath, "/DEL"
// sets DeleteSelf. Parsing stops at the first word that is not an option.
void ParseCommandLine(const char* text);
// Copies the stub to "_inst<n>.exe" in the temporary folder and starts it
// with /S naming SetupFilePath and /DEL. True when the copy was started.
bool RunFromTempCopy();

// Process-wide state (startup/ProcessState.cpp).
extern HINSTANCE Instance;
extern int ShowCommand;  // the show-command this process was started with
extern bool DeleteSelf;
extern char* ErrorFileName;
extern char* UninstallerPath;
extern int ScreenWidth;
extern int ScreenHeight;
extern uint32_t RunAfterChecked;  // initially 1; the finish page's check box

// The wizard's windows, called in start-up order (wizard/BackgroundWindow.cpp
// and wizard/Wizard.cpp). The class "SetvikClass" (0 when it cannot be
// registered); the background window, full screen or captioned, titled with
// text 6/0 and not yet shown (0 when it cannot be made); the wizard; and
// the window's destruction with the last message drain.
ATOM RegisterBackgroundClass();
int CreateBackgroundWindow();
void RunWizard();
void CloseBackgroundWindow();
