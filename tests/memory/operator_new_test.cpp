// The global operator new/delete of memory/operator_new.cpp, every form called
// by name (a new-expression may be elided or merged by the compiler).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <set>
#include <vector>

#include "boundary/host_api.h"
#include "memory/memory.h"

// clang leaves sized deallocation off unless asked (-fsized-deallocation), and
// <new> then leaves out these four; the library defines them all the same.
#if !defined(__cpp_sized_deallocation)
void operator delete(void* block, std::size_t size) noexcept;
void operator delete[](void* block, std::size_t size) noexcept;
void operator delete(void* block, std::size_t size, std::align_val_t alignment) noexcept;
void operator delete[](void* block, std::size_t size, std::align_val_t alignment) noexcept;
#endif

namespace zel::memory {
namespace {

MemoryStats stats() {
  MemoryStats s{};
  readStats(s);
  return s;
}

constexpr std::align_val_t kAlign64{64};
// What the plain forms' blocks are aligned to: malloc's alignment. On glibc
// that is what the compiler takes them to have (__STDCPP_DEFAULT_NEW_ALIGNMENT__,
// 16 on i686 and x86-64). msvcrt's malloc gives two pointers' worth, 8 bytes on
// 32-bit Windows, where mingw's g++ would take 16; the Windows builds tell it 8
// (-faligned-new=8, see CMakeLists.txt), so a type aligned beyond 8 is
// allocated by the aligned forms and never reaches the plain ones.
#if defined(_WIN32)
constexpr std::size_t kDefaultAlignment = 2 * sizeof(void*);
#else
constexpr std::size_t kDefaultAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
#endif

bool alignedTo(const void* block, std::size_t alignment) {
  return reinterpret_cast<std::uintptr_t>(block) % alignment == 0;
}

// One form of new with the delete that goes with it.
struct Form {
  const char* name;
  std::size_t alignment;  // what the address must be a multiple of
  bool nothrow;           // answers null rather than throwing
  void* (*allocate)(std::size_t size);
  void (*release)(void* block, std::size_t size);
};

const Form kForms[] = {
    {"new / delete", kDefaultAlignment, false, [](std::size_t n) { return ::operator new(n); },
     [](void* p, std::size_t) { ::operator delete(p); }},
    {"new / sized delete", kDefaultAlignment, false,
     [](std::size_t n) { return ::operator new(n); },
     [](void* p, std::size_t n) { ::operator delete(p, n); }},
    {"nothrow new / nothrow delete", kDefaultAlignment, true,
     [](std::size_t n) { return ::operator new(n, std::nothrow); },
     [](void* p, std::size_t) { ::operator delete(p, std::nothrow); }},
    {"new[] / delete[]", kDefaultAlignment, false,
     [](std::size_t n) { return ::operator new[](n); },
     [](void* p, std::size_t) { ::operator delete[](p); }},
    {"new[] / sized delete[]", kDefaultAlignment, false,
     [](std::size_t n) { return ::operator new[](n); },
     [](void* p, std::size_t n) { ::operator delete[](p, n); }},
    {"nothrow new[] / nothrow delete[]", kDefaultAlignment, true,
     [](std::size_t n) { return ::operator new[](n, std::nothrow); },
     [](void* p, std::size_t) { ::operator delete[](p, std::nothrow); }},
    {"aligned new / aligned delete", 64, false,
     [](std::size_t n) { return ::operator new(n, kAlign64); },
     [](void* p, std::size_t) { ::operator delete(p, kAlign64); }},
    {"aligned new / sized aligned delete", 64, false,
     [](std::size_t n) { return ::operator new(n, kAlign64); },
     [](void* p, std::size_t n) { ::operator delete(p, n, kAlign64); }},
    {"aligned nothrow new / aligned nothrow delete", 64, true,
     [](std::size_t n) { return ::operator new(n, kAlign64, std::nothrow); },
     [](void* p, std::size_t) { ::operator delete(p, kAlign64, std::nothrow); }},
    {"aligned new[] / aligned delete[]", 64, false,
     [](std::size_t n) { return ::operator new[](n, kAlign64); },
     [](void* p, std::size_t) { ::operator delete[](p, kAlign64); }},
    {"aligned new[] / sized aligned delete[]", 64, false,
     [](std::size_t n) { return ::operator new[](n, kAlign64); },
     [](void* p, std::size_t n) { ::operator delete[](p, n, kAlign64); }},
    {"aligned nothrow new[] / aligned nothrow delete[]", 64, true,
     [](std::size_t n) { return ::operator new[](n, kAlign64, std::nothrow); },
     [](void* p, std::size_t) { ::operator delete[](p, kAlign64, std::nothrow); }},
};

TEST(OperatorNew, EveryFormCountsItsBlockAndItsRelease) {
  constexpr std::size_t kSize = 300;
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.name);
    // Measured first, checked after: a failed check allocates too.
    const std::int64_t live = liveBytes();
    const MemoryStats before = stats();
    auto* block = static_cast<unsigned char*>(form.allocate(kSize));
    const MemoryStats mid = stats();
    ASSERT_NE(block, nullptr);
    const bool aligned = alignedTo(block, form.alignment);
    std::memset(block, 0xA5, kSize);
    form.release(block, kSize);
    const MemoryStats after = stats();
    const std::int64_t liveAfter = liveBytes();

    EXPECT_TRUE(aligned);
    EXPECT_EQ(mid.allocations - before.allocations, 1u);
    EXPECT_EQ(mid.frees, before.frees);
    EXPECT_GE(mid.bytesAllocated - before.bytesAllocated, kSize);
    EXPECT_EQ(after.frees - before.frees, 1u);
    EXPECT_EQ(after.allocations, mid.allocations);
    // The whole block that was counted is the one given back.
    EXPECT_EQ(after.bytesFreed - before.bytesFreed, mid.bytesAllocated - before.bytesAllocated);
    EXPECT_EQ(liveAfter, live);
  }
  // Deleting nothing counts nothing, in every form.
  const MemoryStats before = stats();
  for (const Form& form : kForms) form.release(nullptr, 0);
  EXPECT_EQ(stats().frees, before.frees);
}

TEST(OperatorNew, OverAlignedBlocksAreAlignedWholeAndApart) {
  const std::int64_t live = liveBytes();
  for (std::size_t alignment : {32u, 64u, 256u, 4096u}) {
    for (std::size_t size : {1u, 24u, 1000u, 9000u}) {
      SCOPED_TRACE(testing::Message() << "alignment " << alignment << ", size " << size);
      const std::align_val_t align{alignment};
      // Two blocks alive at once, each filled to its last byte: neither
      // reaches into the other or past its own end.
      auto* first = static_cast<unsigned char*>(::operator new(size, align));
      auto* second = static_cast<unsigned char*>(::operator new[](size, align, std::nothrow));
      ASSERT_NE(second, nullptr);
      EXPECT_TRUE(alignedTo(first, alignment));
      EXPECT_TRUE(alignedTo(second, alignment));
      std::memset(first, 0x11, size);
      std::memset(second, 0x22, size);
      const std::vector<unsigned char> ones(size, 0x11);
      const std::vector<unsigned char> twos(size, 0x22);
      EXPECT_EQ(std::memcmp(first, ones.data(), size), 0);
      EXPECT_EQ(std::memcmp(second, twos.data(), size), 0);
      ::operator delete(first, size, align);
      ::operator delete[](second, align, std::nothrow);
    }
  }
  EXPECT_EQ(liveBytes(), live);
}

// Types aligned beyond 8 bytes, as a type holding an SSE or AVX vector is.
struct alignas(16) Lanes16 {
  float lanes[4];
};
struct alignas(32) Lanes32 {
  double lanes[4];
};

// Every block a new-expression answers is stored here: a block that escapes
// is one the compiler may not elide.
void* volatile escapedBlock = nullptr;

// What allocating and releasing many objects of T showed.
struct NewExpressionRun {
  std::size_t misaligned = 0;  // objects not on a multiple of alignof(T)
  MemoryStats before{};
  MemoryStats mid{};
  MemoryStats after{};
  std::int64_t live = 0;
  std::int64_t liveAfter = 0;
};

template <typename T>
bool onItsAlignment(const T* object) {
  escapedBlock = const_cast<T*>(object);
  return alignedTo(object, alignof(T));
}

// kCount objects by `new T`, kCount arrays by `new T[]` and kCount vectors of
// T, all alive at once, then every one released: 3 * kCount blocks.
constexpr std::size_t kCount = 64;
constexpr std::size_t kLength = 5;

template <typename T>
NewExpressionRun allocateOverAligned() {
  NewExpressionRun run;
  T* objects[kCount];
  T* arrays[kCount];
  std::vector<T> vectors[kCount];
  run.live = liveBytes();
  run.before = stats();
  for (std::size_t i = 0; i < kCount; ++i) {
    objects[i] = new T{};
    arrays[i] = new T[kLength]{};
    vectors[i].resize(kLength);
  }
  run.mid = stats();
  for (std::size_t i = 0; i < kCount; ++i) {
    if (!onItsAlignment(objects[i])) ++run.misaligned;
    for (std::size_t k = 0; k < kLength; ++k) {
      if (!onItsAlignment(&arrays[i][k])) ++run.misaligned;
      if (!onItsAlignment(&vectors[i][k])) ++run.misaligned;
    }
    objects[i]->lanes[0] = 1;
    arrays[i][kLength - 1].lanes[3] = 2;
    vectors[i][kLength - 1].lanes[3] = 3;
  }
  for (std::size_t i = 0; i < kCount; ++i) {
    delete objects[i];
    delete[] arrays[i];
    std::vector<T>().swap(vectors[i]);
  }
  run.after = stats();
  run.liveAfter = liveBytes();
  return run;
}

void expectAlignedAndCounted(const NewExpressionRun& run, std::uint64_t blocks) {
  EXPECT_EQ(run.misaligned, 0u);
  EXPECT_EQ(run.mid.allocations - run.before.allocations, blocks);
  EXPECT_EQ(run.mid.frees, run.before.frees);
  EXPECT_EQ(run.after.frees - run.before.frees, blocks);
  EXPECT_EQ(run.after.allocations, run.mid.allocations);
  EXPECT_EQ(run.after.bytesFreed - run.before.bytesFreed,
            run.mid.bytesAllocated - run.before.bytesAllocated);
  EXPECT_EQ(run.liveAfter, run.live);
}

TEST(OperatorNew, OverAlignedTypesAreAlignedByNewNewArrayAndVector) {
  // The plain forms answer blocks no more aligned than malloc's, so the
  // compiler must send every type aligned beyond that to the aligned forms.
  EXPECT_LE(std::size_t{__STDCPP_DEFAULT_NEW_ALIGNMENT__}, kDefaultAlignment);
  {
    SCOPED_TRACE("alignas(16)");
    expectAlignedAndCounted(allocateOverAligned<Lanes16>(), 3 * kCount);
  }
  {
    SCOPED_TRACE("alignas(32)");
    expectAlignedAndCounted(allocateOverAligned<Lanes32>(), 3 * kCount);
  }
}

// Calls allocate with the next allocation failing; true if it threw
// std::bad_alloc. A block that it answered is kept in `block`.
bool throwsWhenMemoryIsOut(const Form& form, void*& block) {
  block = nullptr;
  bool thrown = false;
  failAllocationForTest(1);
  try {
    block = form.allocate(16);
  } catch (const std::bad_alloc&) {
    thrown = true;
  }
  failAllocationForTest(0);
  return thrown;
}

TEST(OperatorNew, NothrowFormsAnswerNullAndTheOthersThrowWhenMemoryIsOut) {
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.name);
    const std::int64_t live = liveBytes();
    void* block = nullptr;
    const bool thrown = throwsWhenMemoryIsOut(form, block);
    if (block != nullptr) form.release(block, 16);
    EXPECT_EQ(liveBytes(), live);
    EXPECT_EQ(thrown, !form.nothrow);
    EXPECT_EQ(block, nullptr);
    // The failure was that one allocation only.
    block = form.allocate(16);
    EXPECT_NE(block, nullptr);
    form.release(block, 16);
  }
}

TEST(OperatorNew, AlignedFormsRefuseSizesThatWrapWithTheirPadding) {
  // The plain forms pass such a size to malloc, which refuses it (and the
  // sanitizers report it as a fault of the caller); the aligned forms add
  // their padding first, which must not wrap to a small block.
  for (const Form& form : kForms) {
    if (form.alignment <= kDefaultAlignment) continue;
    SCOPED_TRACE(form.name);
    const std::int64_t live = liveBytes();
    void* block = nullptr;
    bool thrown = false;
    try {
      block = form.allocate(SIZE_MAX - 16);
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(thrown, !form.nothrow);
    EXPECT_EQ(liveBytes(), live);
  }
}

TEST(OperatorNew, ZeroSizeRequestsGiveDistinctBlocks) {
  const std::int64_t live = liveBytes();
  const MemoryStats before = stats();
  {
    std::vector<void*> blocks;
    blocks.reserve(2 * std::size(kForms));
    const MemoryStats reserved = stats();
    // Two of each form, all alive at once.
    // Each asks the allocator for a byte at least, not for nothing, whatever
    // a zero-size request of the C library would give.
    for (int round = 0; round < 2; ++round) {
      for (const Form& form : kForms) {
        const std::uint64_t bytes = stats().bytesAllocated;
        blocks.push_back(form.allocate(0));
        EXPECT_GE(stats().bytesAllocated - bytes, 1u) << form.name;
      }
    }
    const MemoryStats mid = stats();
    EXPECT_EQ(mid.allocations - reserved.allocations, blocks.size());
    const std::set<void*> distinct(blocks.begin(), blocks.end());
    EXPECT_EQ(distinct.size(), blocks.size());
    EXPECT_EQ(distinct.count(nullptr), 0u);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      kForms[i % std::size(kForms)].release(blocks[i], 0);
    }
    EXPECT_EQ(stats().frees - mid.frees, blocks.size());
  }
  EXPECT_EQ(liveBytes(), live);
  EXPECT_EQ(stats().allocations - before.allocations, stats().frees - before.frees);
}

}  // namespace
}  // namespace zel::memory
