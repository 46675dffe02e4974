// Shortcut files (.lnk): the one routine that writes them, the desktop
// shortcut of a file record and the start-menu pass over the file table.
// Nothing here reports a failure: a shortcut that cannot be made is passed
// over.
#pragma once

#include <stdint.h>
#include <windows.h>

// Writes a shell link at linkFile (a path of at most 259 characters) to
// target, with target's folder as working folder, arguments when not empty
// and an icon location (target, iconIndex) when iconIndex is not 0. Returns
// the result of CoCreateInstance on failure, else that of the persist-file
// query or of Save. COM must be initialised.
HRESULT CreateShellLink(const char* target, const char* linkFile, const char* arguments, int iconIndex);

// link (260 bytes) = folder, a backslash, name and ".lnk"; false when that
// does not fit. The uninstall log names desktop shortcuts the same way.
bool BuildLinkPath(char* link, const char* folder, const char* name);

// The desktop shortcut of a record to TargetPath, named by its
// desktopShortcutName and never with an icon location; nothing when the name
// is empty, the desktop folder cannot be had or the link path does not fit.
void CreateDesktopShortcut(const uint8_t* record);

// Told about each start-menu shortcut whose folder exists or was created,
// after CreateShellLink and whatever its result: the folder (no trailing
// backslash) and the link's file name inside it (menuShortcutName + ".lnk").
typedef void (*ShortcutRecorder)(HANDLE log, const char* folder, const char* linkName);

// The start-menu pass: for each record in table order with a
// menuShortcutName, whatever its installState, a shortcut in the folder that
// its groupName selects (created when missing), with menuShortcutArgs and
// iconIndex. Fills TargetPath and changes the current directory. When log
// is a valid handle and recorder is set, each shortcut goes to recorder.
void CreateMenuShortcuts(HANDLE log, ShortcutRecorder recorder);
