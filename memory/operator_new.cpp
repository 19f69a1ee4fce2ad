// The library's global allocation operators: every `new` and every standard
// container of the library allocates through the counting allocator. In the
// plugin library they bind to the library itself (hidden visibility and
// -Bsymbolic on Linux, static linking on Windows), never to the host's.
#include <cstddef>
#include <cstdint>
#include <new>

#include "memory/memory.h"

namespace {

// A zero-size request still takes a byte, so that every `new` gives a block
// of its own whatever the C library answers for zero bytes.
void* allocateSome(std::size_t size) noexcept {
  return zel::memory::allocate(size == 0 ? 1 : size);
}

void* allocateOrThrow(std::size_t size) {
  void* block = allocateSome(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

// Over-aligned blocks keep the address of the underlying block just in front
// of the aligned address. A size that would wrap around with that padding
// (near the top of a 32-bit size_t) is refused, not served by a small block.
void* allocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  const std::size_t align = static_cast<std::size_t>(alignment);
  if (size > SIZE_MAX - align - sizeof(void*)) return nullptr;
  void* raw = zel::memory::allocate(size + align + sizeof(void*));
  if (raw == nullptr) return nullptr;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
  const std::uintptr_t aligned = (start + align - 1) & ~(static_cast<std::uintptr_t>(align) - 1);
  reinterpret_cast<void**>(aligned)[-1] = raw;
  return reinterpret_cast<void*>(aligned);
}

void releaseAligned(void* block) noexcept {
  if (block != nullptr) zel::memory::release(static_cast<void**>(block)[-1]);
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocateSome(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocateSome(size);
}
void operator delete(void* block) noexcept { zel::memory::release(block); }
void operator delete[](void* block) noexcept { zel::memory::release(block); }
void operator delete(void* block, std::size_t) noexcept { zel::memory::release(block); }
void operator delete[](void* block, std::size_t) noexcept { zel::memory::release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { zel::memory::release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { zel::memory::release(block); }

void* operator new(std::size_t size, std::align_val_t alignment) {
  void* block = allocateAligned(size, alignment);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return operator new(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateAligned(size, alignment);
}
void operator delete(void* block, std::align_val_t) noexcept { releaseAligned(block); }
void operator delete[](void* block, std::align_val_t) noexcept { releaseAligned(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { releaseAligned(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { releaseAligned(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  releaseAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  releaseAligned(block);
}
