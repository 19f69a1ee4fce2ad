// WorkStack: the explicit stack that lets the tree walks (copy, teardown of
// flat values) run without recursion, whatever the depth of the tree. The
// first entries live inside the object; more spill to zel::memory.
//
//   WorkStack<Task, 32> tasks;
//   if (!tasks.push(task)) { /* memory exhausted */ }
//   while (!tasks.empty()) visit(tasks.pop());
//
// For trivially copyable entries only.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "memory/memory.h"

namespace zel::binding::internal {

template <typename T, std::size_t kInline>
class WorkStack {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  WorkStack() noexcept = default;
  WorkStack(const WorkStack&) = delete;
  WorkStack& operator=(const WorkStack&) = delete;
  ~WorkStack() {
    if (items_ != inline_) memory::release(items_);
  }

  // False when the stack had to grow and memory is exhausted.
  [[nodiscard]] bool push(const T& item) noexcept {
    if (size_ == capacity_ && !grow()) return false;
    items_[size_++] = item;
    return true;
  }
  // Room for `count` more entries; false when memory is exhausted.
  [[nodiscard]] bool reserve(std::size_t count) noexcept {
    while (capacity_ - size_ < count) {
      if (!grow()) return false;
    }
    return true;
  }
  [[nodiscard]] T pop() noexcept { return items_[--size_]; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }

 private:
  bool grow() noexcept {
    const std::size_t capacity = capacity_ * 2;
    void* block = items_ == inline_ ? memory::allocate(capacity * sizeof(T))
                                    : memory::reallocate(items_, capacity * sizeof(T));
    if (block == nullptr) return false;
    if (items_ == inline_) std::memcpy(block, inline_, size_ * sizeof(T));
    items_ = static_cast<T*>(block);
    capacity_ = capacity;
    return true;
  }

  T inline_[kInline];
  T* items_ = inline_;
  std::size_t size_ = 0;
  std::size_t capacity_ = kInline;
};

}  // namespace zel::binding::internal
