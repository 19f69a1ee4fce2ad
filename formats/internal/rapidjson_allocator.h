// The allocator RapidJSON's reader grows its string stack with, so that the
// reader's memory goes through the counting allocator like every other
// allocation of the library.
//
//   GenericReader<UTF8<>, UTF8<>, RapidJsonAllocator> reader(&allocator, 256);
//
// Blocks are owned by the reader's stack and released through Free.
#pragma once

#include <cstddef>
#include <new>

#include "memory/memory.h"

namespace zel::formats::internal {

class RapidJsonAllocator {
 public:
  static const bool kNeedFree = true;

  // RapidJSON writes through the block it gets without a check, so running
  // out of memory must not hand it a null pointer.
  void* Malloc(std::size_t size) {
    if (size == 0) return nullptr;
    void* block = memory::allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }

  void* Realloc(void* block, std::size_t /*oldSize*/, std::size_t newSize) {
    if (newSize == 0) {
      memory::release(block);
      return nullptr;
    }
    void* grown = memory::reallocate(block, newSize);
    if (grown == nullptr) throw std::bad_alloc();
    return grown;
  }

  static void Free(void* block) { memory::release(block); }
};

}  // namespace zel::formats::internal
