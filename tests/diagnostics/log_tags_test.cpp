// The tag table: the fixed tags, mask texts, and registration up to a full
// table from several threads at once.
#include "diagnostics/log_tags.h"
#include "diagnostics/log_names.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace zel {
namespace {

std::string mask(std::uint64_t bits, std::size_t capacity = 512) {
  std::vector<char> buffer(capacity);
  const std::size_t length = renderLogMask(bits, buffer.data(), buffer.size());
  return std::string(buffer.data(), length);
}

TEST(LogTags, FixedTagsAndMasks) {
  EXPECT_EQ(mask(0), "");
  EXPECT_EQ(mask(kTagDbg | kTagNet), "DBG;NET");
  EXPECT_EQ(mask(0x1FF), "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST;LOC");
  EXPECT_EQ(mask(kTagGen | kTagXtr | kTagPrf | kTagMem | kTagDsk | kTagTst | kTagLoc),
            "GEN;XTR;PRF;MEM;DSK;TST;LOC");
  EXPECT_EQ(registerLogTag("LOC"), kTagLoc);
  EXPECT_EQ(registerLogTag("LOC"), kTagLoc);
  EXPECT_EQ(registerLogTag("NETWORK"), kTagNet);  // the first three characters count
  EXPECT_EQ(registerLogTag(""), 0u);
  EXPECT_EQ(registerLogTag(nullptr), 0u);
  EXPECT_EQ(mask(kTagDbg | kTagNet, 5), "DBG;");
  EXPECT_EQ(mask(kTagDbg, 1), "");
}

// The only test that registers new tags: it fills the table.
TEST(LogTags, RegistrationFillsTheTableOnceAndStops) {
  EXPECT_EQ(mask(std::uint64_t{1} << 63), "???");
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) {
    char name[4];
    std::snprintf(name, sizeof name, "Q%02d", i);
    names.push_back(name);
  }
  // Threads registering the same new names agree on every bit.
  constexpr int kThreads = 4;
  std::vector<std::vector<std::uint64_t>> bits(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (const std::string& name : names) bits[t].push_back(registerLogTag(name.c_str()));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(bits[t], bits[0]);

  // Slots 9 to 63 take the first 55 names, in order; the rest get 0.
  const std::size_t firstFree = 9;
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    const std::uint64_t expected =
        firstFree + i < kLogTagSlots ? std::uint64_t{1} << (firstFree + i) : 0;
    EXPECT_EQ(bits[0][i], expected);
  }
  EXPECT_EQ(registerLogTag("ZZZ"), 0u);
  EXPECT_EQ(registerLogTag("Q54"), std::uint64_t{1} << 63);
  EXPECT_EQ(registerLogTag("DBG"), kTagDbg);
  const std::string all = mask(~std::uint64_t{0});
  EXPECT_EQ(all.size(), 64u * 4 - 1);
  EXPECT_EQ(all.substr(all.size() - 7), "Q53;Q54");
}

}  // namespace
}  // namespace zel
