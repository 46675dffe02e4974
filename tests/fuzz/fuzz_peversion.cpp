// The version-resource reader on arbitrary bytes: the input is copied into
// a vector of exactly its size, so any read past it is caught. An accepted
// image must say what it found consistently.
#include <string>
#include <vector>

#include "authoring/PeVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  std::string error;
  std::optional<PeVersionInfo> info = ReadPeVersion(file, error);
  if (!info && error.empty()) __builtin_trap();
  if (info && !info->hasTranslation && info->languageId != 0) __builtin_trap();
  if (info && !info->hasFixedInfo &&
      (info->fileVersionMS | info->fileVersionLS | info->productVersionMS | info->productVersionLS) != 0) {
    __builtin_trap();
  }
  return 0;
}
