// Path buffers of kPathBufferSize bytes (at most 259 characters and the
// terminator) and the helpers that fill them without ever writing past
// them: a text that does not fit is cut, and the helpers say so.
#pragma once

#include <stdint.h>

const uint32_t kPathBufferSize = 260;  // at most 259 characters and a NUL

// Replaces the extension of path by extension (which brings its own dot):
// when the path's last dot has no separator after it, the text from that dot
// on is replaced; otherwise the extension is appended. Backslash and slash
// both count as separators. When the result would not fit the buffer, path
// is left unchanged and the result is false.
bool ReplaceExtension(char* path, const char* extension);

// Copies text into out, whose buffer is size bytes, cut so that it stays
// terminated inside the buffer; appends it to the zero-terminated out the
// same way. True when nothing was cut.
bool CopyText(char* out, uint32_t size, const char* text);
bool AppendText(char* out, uint32_t size, const char* text);
// The same for a 260-byte path.
inline void CopyPath(char* path, const char* text) { CopyText(path, kPathBufferSize, text); }
inline bool AppendPath(char* path, const char* text) { return AppendText(path, kPathBufferSize, text); }

// Appends a backslash to a non-empty path that does not end with one (and
// still has room for it); an empty path stays empty.
void AddBackslash(char* path);
// AddBackslash, then AppendPath: name joined to the folder in path (an
// empty path takes the name alone). True when nothing was cut.
bool JoinPath(char* path, const char* name);
// Removes one trailing backslash from a path longer than 3 characters; a
// drive root such as C:\ keeps its backslash.
void RemoveBackslash(char* path);
// The text after the last backslash of path (path itself when it holds
// none).
const char* AfterLastBackslash(const char* path);
