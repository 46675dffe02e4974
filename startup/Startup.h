// The program's entry point, run modes and the process-wide state that
// start-up owns.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "base/PathText.h"


// Runs the whole setup; the result is the process's exit code.
// Interactively: 0 after a normal run, after handing over to another
// running copy or to a temporary copy, and when the window class cannot be
// registered; -1 when the path buffers cannot be had, the setup data cannot
// be loaded or the background window cannot be created.
// Unattended (/QUIET, /PASSIVE), the codes of the Windows Installer below;
// a relaunch from a removable drive waits for its copy and passes its code on.
int SetupMain(HINSTANCE instance, const char* commandLine, int showCommand);

const int kExitSuccess = 0;
const int kExitInvalidArgument = 87;  // an unknown switch or an invalid value
const int kExitCancelled = 1602;      // Cancel, or the window closed
const int kExitFailure = 1603;        // damaged data, no space, a file not written, ...
const int kExitAnotherSetup = 1618;   // another copy is running
const int kExitRestartNeeded = 3010;  // success; replaced files wait for a restart

// What StartupInit found.
enum StartupStatus {
  kStartupReady = 0,     // initialised; the run goes on
  kStartupNoMemory = 2,  // a path buffer could not be had; nothing is left allocated
};
// OLE, the ControlBrush and the seven zero-filled path buffers,
// SetupFilePath holding the program's own module path; the wizard's message
// box for every message. The single-instance check follows the command
// line, which says how a running copy is to be answered.
StartupStatus StartupInit();
// Releases what StartupInit created and the DialogFont.
void Shutdown();

// The options, each starting with '/' or '-', letters in any case: "/S path"
// (quoted or bare, directly after the letter or after blanks) into
// SetupFilePath; "/DEL" (the first three letters) sets DeleteSelf; the
// whole words /QUIET and /PASSIVE set Mode (quiet wins), /NORESTART sets
// NoRestart; /DIR=path (absolute: "C:\..." or "\\server\...") and
// /LOG=path, quoted or bare, fill DirArgument and LogArgument. An unknown
// option, a path of more than 259 characters after /DIR= or /LOG=, or a
// /DIR that is not absolute sets BadSwitch (and leaves that argument
// empty). Parsing stops at the first word that is not an option.
void ParseCommandLine(const char* text);
// Copies the stub to "_inst<n>.exe" in the temporary folder and starts it
// (BuildRelaunchCommand). True when the copy was started; unattended, the
// copy is waited for and exitCode receives its exit code (else 0).
bool RunFromTempCopy(int* exitCode);
// The copy's command line into command (kRelaunchCommandSize bytes): copy
// quoted, /S naming SetupFilePath, /DEL, and the unattended switches this
// process was given. False when it does not fit.
const uint32_t kRelaunchCommandSize = 4 * kPathBufferSize + 64;
bool BuildRelaunchCommand(char* command, const char* copy);

enum RunMode { kRunInteractive, kRunPassive, kRunQuiet };

// Process-wide state of start-up (startup/ProcessState.cpp).
extern int ShowCommand;  // the show-command this process was started with
extern bool DeleteSelf;  // /DEL: the program deletes itself at the next restart
extern RunMode Mode;     // /QUIET, /PASSIVE or neither
extern bool BadSwitch;   // an unknown option or an invalid value was given
extern char DirArgument[kPathBufferSize];  // /DIR=: the destination folder, or empty
extern char LogArgument[kPathBufferSize];  // /LOG=: the log file, or empty
