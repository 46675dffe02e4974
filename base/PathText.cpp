// Name and join helpers over path buffers (see PathText.h).
#include "base/PathText.h"

static uint32_t Length(const char* text) {
  uint32_t length = 0;
  while (text[length]) ++length;
  return length;
}

bool ReplaceExtension(char* path, const char* extension) {
  uint32_t cut = 0, length = 0;
  bool dotted = false;
  for (; path[length]; ++length) {
    const char c = path[length];
    if (c == '.') {
      cut = length;
      dotted = true;
    } else if (c == '\\' || c == '/') {
      dotted = false;
    }
  }
  if (!dotted) cut = length;
  const uint32_t extensionLength = Length(extension);
  if (cut + extensionLength >= kPathBufferSize) return false;
  for (uint32_t i = 0; i <= extensionLength; ++i) path[cut + i] = extension[i];
  return true;
}

bool CopyText(char* out, uint32_t size, const char* text) {
  if (!size) return !*text;
  uint32_t i = 0;
  for (; i + 1 < size && text[i]; ++i) out[i] = text[i];
  out[i] = 0;
  return !text[i];
}

bool AppendText(char* out, uint32_t size, const char* text) {
  const uint32_t length = Length(out);
  if (length + 1 >= size) return !*text;
  return CopyText(out + length, size - length, text);
}

void AddBackslash(char* path) {
  const uint32_t length = Length(path);
  if (length && path[length - 1] != '\\' && length + 1 < kPathBufferSize) {
    path[length] = '\\';
    path[length + 1] = 0;
  }
}

bool JoinPath(char* path, const char* name) {
  AddBackslash(path);
  return AppendPath(path, name);
}

void RemoveBackslash(char* path) {
  const uint32_t length = Length(path);
  if (length > 3 && path[length - 1] == '\\') path[length - 1] = 0;
}

const char* AfterLastBackslash(const char* path) {
  const char* name = path;
  for (; *path; ++path)
    if (*path == '\\') name = path + 1;
  return name;
}
