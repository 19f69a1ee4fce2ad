// The platform layer: locks, pages, clocks, the executable's path.
#include "diagnostics/platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace zel::platform {
namespace {

TEST(Platform, LockExcludesOtherThreads) {
  Lock lock;
  {
    std::scoped_lock guard(lock);
    bool taken = true;
    std::thread other([&] { taken = lock.try_lock(); });
    other.join();
    EXPECT_FALSE(taken);
  }
  ASSERT_TRUE(lock.try_lock());
  lock.unlock();

  int counter = 0;
  std::thread threads[4];
  for (std::thread& thread : threads) {
    thread = std::thread([&] {
      for (int i = 0; i < 10000; ++i) {
        std::lock_guard guard(lock);
        ++counter;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, 40000);
}

TEST(Platform, PagesAreWritableAndReleased) {
  EXPECT_EQ(allocatePages(0), nullptr);
  constexpr std::size_t kBytes = 65536;
  for (int round = 0; round < 3; ++round) {
    auto* pages = static_cast<unsigned char*>(allocatePages(kBytes));
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pages) % 4096, 0u);
    EXPECT_EQ(pages[0], 0);  // fresh pages are zero-filled
    std::memset(pages, 0xAB, kBytes);
    EXPECT_EQ(pages[kBytes - 1], 0xAB);
    freePages(pages, kBytes);
  }
  freePages(nullptr, kBytes);
}

TEST(Platform, ClocksAndThreadIds) {
  EXPECT_GT(performanceFrequency(), 0);
  const std::int64_t before = performanceCounter();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::int64_t elapsed = performanceCounter() - before;
  EXPECT_GE(elapsed * 1000 / performanceFrequency(), 15);

  // The calendar fields as the C library gives them, read on either side
  // (the two reads can straddle a change of month).
  const auto calendar = [] {
    const std::time_t seconds = std::time(nullptr);
    const std::tm parts = *std::localtime(&seconds);
    return std::pair{parts.tm_year + 1900, parts.tm_mon + 1};
  };
  const auto first = calendar();
  const LocalTime now = localTime();
  const auto last = calendar();
  EXPECT_TRUE(std::pair(now.year, now.month) == first || std::pair(now.year, now.month) == last)
      << now.year << "-" << now.month;
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
  EXPECT_TRUE(now.millisecond >= 0 && now.millisecond <= 999);

  std::uint32_t otherId = 0;
  std::thread other([&] { otherId = currentThreadId(); });
  other.join();
  EXPECT_NE(currentThreadId(), 0u);
  EXPECT_NE(otherId, currentThreadId());
}

TEST(Platform, ModuleFileNameNamesThisProgram) {
  char path[1024];
  const std::size_t length = moduleFileName(path, sizeof path);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(std::strlen(path), length);
  EXPECT_NE(std::string(path).find("diagnostics_tests"), std::string::npos) << path;

  char tiny[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(moduleFileName(tiny, sizeof tiny), 0u);
  EXPECT_EQ(tiny[0], '\0');
  debuggerOutput("platform test\n");
  debuggerOutput(nullptr);
}

}  // namespace
}  // namespace zel::platform
