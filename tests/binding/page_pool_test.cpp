#include "binding/internal/page_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace zel::binding::internal {
namespace {

TEST(PagePoolTest, AReservationIsReleasedOnceAllSixteenPagesAreBack) {
  PagePool& pool = PagePool::instance();
  const std::size_t reservations = pool.reservationCountForTest();
  const std::size_t freePages = pool.freePageCountForTest();

  std::vector<void*> drained;  // pages already free in reservations others hold
  for (std::size_t i = 0; i < freePages; ++i) drained.push_back(pool.take());
  EXPECT_EQ(pool.freePageCountForTest(), 0u);

  std::vector<void*> pages;
  for (std::size_t i = 0; i < PagePool::kPagesPerReservation; ++i) {
    void* page = pool.take();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(page) % PagePool::kPageBytes, 0u);
    std::memset(page, static_cast<int>(i), PagePool::kPageBytes);
    pages.push_back(page);
  }
  EXPECT_EQ(pool.reservationCountForTest(), reservations + 1);
  EXPECT_EQ(pool.freePageCountForTest(), 0u);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(static_cast<unsigned char*>(pages[i])[PagePool::kPageBytes - 1], i)
        << "pages overlap";
  }

  for (std::size_t i = 1; i < pages.size(); ++i) pool.give(pages[i]);
  EXPECT_EQ(pool.reservationCountForTest(), reservations + 1) << "one page in use keeps it";
  EXPECT_EQ(pool.freePageCountForTest(), PagePool::kPagesPerReservation - 1);
  void* again = pool.take();
  EXPECT_EQ(pool.reservationCountForTest(), reservations + 1) << "free pages are used first";
  pool.give(again);
  pool.give(pages[0]);
  EXPECT_EQ(pool.reservationCountForTest(), reservations);
  EXPECT_EQ(pool.freePageCountForTest(), 0u);

  for (void* page : drained) pool.give(page);
  EXPECT_EQ(pool.freePageCountForTest(), freePages);
  EXPECT_EQ(pool.reservationCountForTest(), reservations);
}

TEST(PagePoolTest, ThreadsShareThePool) {
  PagePool& pool = PagePool::instance();
  const std::size_t reservations = pool.reservationCountForTest();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&pool, t] {
      std::vector<void*> held;
      for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 20; ++i) {
          void* page = pool.take();
          if (page == nullptr) continue;
          std::memset(page, t, 64);
          held.push_back(page);
        }
        for (void* page : held) {
          if (*static_cast<unsigned char*>(page) != t) std::abort();  // handed out twice
          pool.give(page);
        }
        held.clear();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(pool.reservationCountForTest(), reservations);
}

}  // namespace
}  // namespace zel::binding::internal
