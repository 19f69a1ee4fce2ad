#include "binding/internal/intern_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "boundary/host_api.h"
#include "memory/memory.h"

namespace zel::binding::internal {
namespace {

TEST(StringHashTest, IsFnv1a32) {
  const struct {
    int line;
    std::string_view text;
    std::uint32_t hash;
  } rows[] = {
      {__LINE__, "", 0x811c9dc5u},
      {__LINE__, "a", 0xe40c292cu},
      {__LINE__, "foobar", 0xbf9cf968u},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(fnv1aHash(row.text), row.hash);
  }
}

TEST(InternTableTest, CountsReferencesAndFreesAtZero) {
  const std::int64_t before = memory::liveBytes();
  {
    InternTable table;
    StringRecord* first = table.intern("text");
    StringRecord* second = table.intern(std::string("text"));
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->references, 2u);
    EXPECT_EQ(first->hash, fnv1aHash("text"));
    EXPECT_EQ(table.sizeForTest(), 1u);
    table.release(first);
    EXPECT_EQ(table.sizeForTest(), 1u);
    table.release(second);
    EXPECT_EQ(table.sizeForTest(), 0u);

    StringRecord* empty = table.intern("");
    EXPECT_EQ(empty, emptyStringRecord());
    EXPECT_EQ(table.sizeForTest(), 0u) << "the empty text is never interned";
    InternTable::retain(empty);
    table.release(empty);
    EXPECT_EQ(emptyStringRecord()->references, 0u);
    EXPECT_STREQ(emptyStringRecord()->text(), "");
    // A text still referenced when the table ends is freed with it.
    (void)table.intern("left");
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(InternTableTest, RecordsStayFindableAcrossGrowthAndRemovals) {
  InternTable table;
  constexpr int kCount = 3000;
  std::vector<StringRecord*> records;
  for (int i = 0; i < kCount; ++i) records.push_back(table.intern("t" + std::to_string(i)));
  // Remove every third record in a scattered order; the runs they leave must
  // still lead to every other record.
  for (int i = 0; i < kCount; ++i) {
    const int n = (i * 1237) % kCount;
    if (n % 3 == 0) table.release(records[n]);
  }
  for (int n = 0; n < kCount; ++n) {
    if (n % 3 == 0) continue;
    StringRecord* again = table.intern("t" + std::to_string(n));
    EXPECT_EQ(again, records[n]) << n;
    table.release(again);
  }
  EXPECT_EQ(table.sizeForTest(), static_cast<std::size_t>(kCount - (kCount + 2) / 3));
  for (int n = 0; n < kCount; ++n) {
    if (n % 3 != 0) table.release(records[n]);
  }
  EXPECT_EQ(table.sizeForTest(), 0u);
}

TEST(InternTableTest, ReleasingAsTheTableEndsFreesEveryRecordOnce) {
  const std::int64_t before = memory::liveBytes();
  MemoryStats statsBefore{};
  memory::readStats(statsBefore);
  {
    InternTable table;
    std::vector<StringRecord*> held;
    for (int i = 0; i < 300; ++i) {
      held.push_back(table.intern("text " + std::to_string(i % 100)));  // three references each
    }
    held.push_back(table.intern(""));  // the shared record is never freed
    memory::ReleaseBatch batch;
    for (StringRecord* record : held) table.releaseAsTableEnds(record, batch);
    batch.flush();
    // Every record is freed already; the table frees only its slots.
  }
  MemoryStats statsAfter{};
  memory::readStats(statsAfter);
  EXPECT_EQ(memory::liveBytes(), before);
  EXPECT_EQ(statsAfter.allocations - statsBefore.allocations, statsAfter.frees - statsBefore.frees);
  EXPECT_EQ(emptyStringRecord()->references, 0u);
}

}  // namespace
}  // namespace zel::binding::internal
