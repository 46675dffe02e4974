// Buffer routines over malloc, for host programs and tests. A block carries
// its size in a header in front of it, so BufferSize is exact.
#include "base/Buffer.h"

#include <stdlib.h>
#include <string.h>

namespace {
struct alignas(16) BlockHead {
  uint32_t size;
};
}  // namespace

bool AllocateRaw(uint32_t size, bool zeroed, void*& owner) {
  BlockHead* head = static_cast<BlockHead*>(zeroed ? calloc(1, sizeof(BlockHead) + size)
                                                   : malloc(sizeof(BlockHead) + size));
  if (!head) {
    owner = nullptr;
    return false;
  }
  head->size = size;
  owner = head + 1;
  return true;
}

void FreeRaw(void* block) {
  if (block) free(static_cast<BlockHead*>(block) - 1);
}

uint32_t BufferSize(const void* block) {
  return block ? (static_cast<const BlockHead*>(block) - 1)->size : 0;
}
