// Folder macros, the remembered installation folder and destination paths:
// the machine-independent folder names of the setup data turned into real
// paths on the machine at hand.
//
// Every routine here writes into 260-byte path buffers (at most 259
// characters and the terminator) and never past them. Texts from the setup
// data can be longer than a path buffer; they are cut at 259 characters, so a
// path that does not fit names a file that cannot be the intended one, and the
// file operations that follow fail on it instead of writing elsewhere.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "base/PathText.h"
#include "setupdata/SetupData.h"

// A text that begins with a macro between two number signs ("#Windows#",
// "#System#", "#Program Files#", in any case) becomes the macro's folder, one
// backslash and the rest of the text. An unknown macro has an empty base. A
// text without both number signs is left alone. Uses WorkPath.
void ExpandFolderMacro(char* path);
// Gives each component of an existing folder path its spelling on disk (case,
// long names for short ones); the result has no trailing backslash. A path
// that cannot be looked up component by component is left unchanged.
void NormalizeDirCase(char* path);

// The initial InstallDir: the remembered folder from the registry or the INI
// file, cut back to its longest existing prefix and spelled as on disk; else
// the default text with its macro expanded. Run once, after the setup data is
// loaded; leaves the current directory at a validated remembered folder.
void ResolveDefaultDir();

// Where the installation's own registry entries go (the Uninstall key, the
// shared counts): HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for a setup with
// PerUserScope.
HKEY InstallationRoot();
// True for a setup with ArchitectureX64 on 64-bit Windows: every key the
// setup opens lies in the 64-bit registry view, and the system folder is the
// real one (Sysnative, as a 32-bit program names it). Set by FindWindowsWidth.
extern bool Uses64BitView;
// Asks Windows whether it is 64-bit (IsWow64Process, looked up at run time:
// older systems lack it); sets Uses64BitView. True when the setup can run
// here: false for an ArchitectureX64 setup on 32-bit Windows.
bool FindWindowsWidth();
// access, with KEY_WOW64_64KEY when Uses64BitView.
REGSAM RegistryAccess(REGSAM access);
// Opens or creates path under root for writing, in the setup's view.
LONG CreateSetupKey(HKEY root, const char* path, HKEY* key);

// The registry root that DirRegistryRoot selects (0 classes root, 1 current
// user, 2 local machine, 3 users, any other value current user), as an HKEY.
HKEY FolderMemoryRoot();

// A special folder (0 desktop, 2 Programs, 7 Startup, 11 Start Menu, 20
// Fonts) into the 260-byte folder. When the shell cannot name it, the folder
// is InstallDir: files and shortcuts then land in the installation folder,
// which the user chose and which exists by then, rather than in whatever the
// current directory is. False in that case.
bool GetSpecialFolder(int id, char* folder);

// A per-user setup's Fonts folder (the user's own, in the local application
// data) into the 260-byte folder; false for a machine-wide setup, or when
// the shell cannot name it.
bool UserFontsFolder(char* folder);

// The destination of a file record in TargetPath. Returns 1 only for a
// shared file (destinationKind 2) whose existing copy at the chosen place is
// in use, else 0.
int GetTargetPath(const uint8_t* record);

// The folder of a shortcut group (the record's groupName) into the 260-byte
// folder, without a trailing backslash (a drive root keeps it).
void ShortcutFolder(const char* groupName, char* folder);
