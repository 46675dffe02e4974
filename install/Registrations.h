// The follow-up actions of an installed (or kept) file: its shared-use
// count, its font, its screen saver and its self-registration. None of them
// reports a failure or stops the installation.
#pragma once

#include <stdint.h>

// Adds 1 to the count named by targetPath under HKLM's SharedDLLs key,
// keeping the value's type; an absent value becomes 1 (REG_DWORD). Nothing
// when the key cannot be opened (it is not created).
void AddSharedCount(const char* targetPath);

// Makes the font file available and, when the system took it, broadcasts
// WM_FONTCHANGE. No registry entry is written. True when it was taken.
bool AddFont(const char* targetPath);

// Loads the module and calls its DllRegisterServer export, when it has one;
// a module that does not load is passed over.
void RegisterModule(const char* targetPath);

// The follow-up actions of one record whose target is in TargetPath, in
// their order: shared-use count (destinationKind not 0 and trackShared 1),
// font (destinationKind 3), screen saver (registerKind 1: the record becomes
// ScreenSaverRecord), self-registration (registerKind 2).
void RunFollowUpActions(uint8_t* record);
