// The stub's dialog-template check on arbitrary bytes, copied into a vector
// of exactly their size so that any read past them is caught: the first
// four bytes choose a template number, the rest is a DialogTemplates body.
#include <string.h>

#include <vector>

#include "setupdata/DialogTemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint32_t number = data[0] % 12;
  std::vector<uint8_t> body(data + 1, data + size);
  uint32_t start = 0;
  const uint32_t length = LocateDialogTemplate(body.data(), static_cast<uint32_t>(body.size()), number, &start);
  if (!length) return 0;
  if (start >= body.size() || length != body.size() - start) __builtin_trap();
  // The check sees the template as the wizard copies it: at the start of a
  // block of its own.
  std::vector<uint8_t> block(body.begin() + start, body.end());
  IsWholeDialogTemplate(block.data(), static_cast<uint32_t>(block.size()));
  return 0;
}
