// Name helpers over path buffers (see PathText.h).
#include "base/PathText.h"

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
  uint32_t extensionLength = 0;
  while (extension[extensionLength]) ++extensionLength;
  if (cut + extensionLength >= kPathBufferSize) return false;
  for (uint32_t i = 0; i <= extensionLength; ++i) path[cut + i] = extension[i];
  return true;
}
