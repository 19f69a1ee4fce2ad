// The allocator under RapidJSON's string stack: a block for every size but
// zero, and a reallocation to zero that frees the block.
#include "formats/internal/rapidjson_allocator.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zel::formats::internal {
namespace {

TEST(RapidJsonAllocator, GivesBlocksForEverySizeButZero) {
  RapidJsonAllocator allocator;
  EXPECT_EQ(allocator.Malloc(0), nullptr);
  for (std::size_t size : {1u, 2u, 64u}) {
    SCOPED_TRACE(size);
    const std::int64_t live = memory::liveBytes();
    char* block = static_cast<char*>(allocator.Malloc(size));
    ASSERT_NE(block, nullptr);
    std::memset(block, 'x', size);
    // Grown, kept and shrunk to a byte: the contents stay.
    for (std::size_t newSize : {size + 1, size, std::size_t{1}}) {
      block = static_cast<char*>(allocator.Realloc(block, size, newSize));
      ASSERT_NE(block, nullptr) << newSize;
      EXPECT_EQ(block[0], 'x');
    }
    EXPECT_EQ(allocator.Realloc(block, 1, 0), nullptr);
    EXPECT_EQ(memory::liveBytes(), live);
  }
}

}  // namespace
}  // namespace zel::formats::internal
