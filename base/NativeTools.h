// The 64-bit side of 64-bit Windows, as a 32-bit program reaches it.
#pragma once

// Runs the 64-bit regsvr32 (the Windows folder's Sysnative\regsvr32.exe,
// the real system folder as a 32-bit program names it) with switches and
// the quoted path, without a window, and waits for it. True when it ran and
// ended with 0.
// The path is given to it by its native name (NativeSystemName).
bool RunNativeRegsvr32(const char* switches, const char* path);

// The name by which 64-bit programs know a path that a 32-bit program
// reaches through the Windows folder's Sysnative: "\Sysnative\" becomes
// "\System32\", in place. Shared-use counts and the 64-bit regsvr32 take
// this name; Sysnative means nothing to a 64-bit program.
void NativeSystemName(char* path);
