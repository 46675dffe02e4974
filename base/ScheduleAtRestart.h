// Replacing or deleting a file at the next restart of the system.
#pragma once

// With a target, source replaces target at the next restart; with a null
// target, source is deleted then. The NT family records the operation with
// the system (MoveFileExA); the Windows 95 family gets a [Rename] entry in
// WININIT.INI, a key NUL meaning deletion. Failures are not reported.
void ScheduleAtRestart(const char* target, const char* source);

// True on the NT family, set by FindWindowsFamily, which each program calls
// once at start-up.
extern bool IsNT;
void FindWindowsFamily();
