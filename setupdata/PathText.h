// Name helpers over path buffers of kPathBufferSize bytes (at most 259
// characters and the terminator).
#pragma once

#include <stdint.h>

// Replaces the extension of path by extension (which brings its own dot):
// when the path's last dot has no separator after it, the text from that dot
// on is replaced; otherwise the extension is appended. Backslash and slash
// both count as separators. When the result would not fit the buffer, path
// is left unchanged and the result is false.
bool ReplaceExtension(char* path, const char* extension);
