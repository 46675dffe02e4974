// Buffer routines used everywhere in the program: heap blocks with one
// owner each. A failed allocation compacts the heap and tries once more.
#pragma once

#include <stdint.h>

// Takes size bytes (zero-filled when zeroed is true); the result, possibly
// null, is stored in owner. Returns whether it is non-null.
bool AllocateRaw(uint32_t size, bool zeroed, void*& owner);
// Frees a block; a null block is passed over.
void FreeRaw(void* block);
// The allocated byte size of a block made by AllocateRaw.
uint32_t BufferSize(const void* block);

template <typename T>
inline bool AllocateBuffer(uint32_t size, T*& owner) {
  void* block;
  bool ok = AllocateRaw(size, false, block);
  owner = static_cast<T*>(block);
  return ok;
}

template <typename T>
inline bool AllocateZeroed(uint32_t size, T*& owner) {
  void* block;
  bool ok = AllocateRaw(size, true, block);
  owner = static_cast<T*>(block);
  return ok;
}

// Frees a non-null buffer and sets its owner to null; a null owner is left
// alone.
template <typename T>
inline void ReleaseBuffer(T*& owner) {
  FreeRaw(const_cast<void*>(static_cast<const void*>(owner)));
  owner = nullptr;
}
