// Opening an installed file for the user the way the shell would, with a
// fallback that runs the file type's open command itself, and starting the
// program chosen to run after the wizard. Nothing here reports a failure.
#pragma once

#include <stdint.h>
#include <windows.h>

// Opens the file of LaunchRecord when it is set and its file can be opened
// for reading; the extension is the target from its last "." on, or "."
// alone without one.
void LaunchFinishProgram();

// The shell's "open" first; when that answers 32 or less, the open command
// of the extension's file type from HKEY_CLASSES_ROOT. Returns the shell's
// result when above 32, else the error of opening a registry key, else
// WinExec's result.
int OpenDocument(const char* file, const char* extension);

// OpenDocument's fallback when the shell fails: the command template of the
// extension's type,
// cut before its first "\"%1\"" (else its first "%1"), then a space and the
// file in quotes, run with WinExec. Returns the registry error or WinExec's
// result.
int RunOpenCommand(const char* file, const char* extension);

// The default value of root\subKey (read when it fits in 260 bytes) into
// out (260 bytes, so at most 259 characters); a failed read leaves out
// unchanged. 0, or the error of opening the key.
LONG FindOpenCommand(HKEY root, const char* subKey, char* out);

// Starts the RunAfterRecord's file when checked (the finish page's box) is
// true, the path quoted as the whole command line; nothing is tested first.
void RunAfterWizard(bool checked);
