// Buffer routines over the process heap. A refused allocation compacts the
// heap, returning free memory to the system, and tries once more.
#include "base/Buffer.h"

#include <windows.h>

bool AllocateRaw(uint32_t size, bool zeroed, void*& owner) {
  HANDLE heap = GetProcessHeap();
  DWORD flags = zeroed ? HEAP_ZERO_MEMORY : 0;
  void* block = HeapAlloc(heap, flags, size);
  if (!block) {
    HeapCompact(heap, 0);
    block = HeapAlloc(heap, flags, size);
  }
  owner = block;
  return block != nullptr;
}

void FreeRaw(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

uint32_t BufferSize(const void* block) {
  if (!block) return 0;
  SIZE_T size = HeapSize(GetProcessHeap(), 0, block);
  return size == static_cast<SIZE_T>(-1) ? 0 : static_cast<uint32_t>(size);
}
