#include "host/description/api_description_view.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace zel::host {
namespace {

// An array of byte-packed records of the given size, each linking to the
// next by its first word, the way the plugin lays them out.
class PackedRecords {
 public:
  PackedRecords(std::size_t count, std::size_t recordSize)
      : bytes_(count * recordSize + 1), size_(recordSize), count_(count) {
    for (std::size_t i = 0; i + 1 < count; ++i) link(i, record(i + 1));
  }
  // Starts one byte in, so that no record is aligned.
  const void* record(std::size_t index) const { return bytes_.data() + 1 + index * size_; }
  void link(std::size_t index, const void* next) {
    std::memcpy(bytes_.data() + 1 + index * size_, &next, sizeof next);
  }
  const void* first() const { return count_ == 0 ? nullptr : record(0); }

 private:
  std::vector<unsigned char> bytes_;
  std::size_t size_;
  std::size_t count_;
};

TEST(ApiDescriptionViewTest, CountsTheLinkedRecordsOfEachArray) {
  PackedRecords functions(6, 90);
  PackedRecords types(9, 40);
  PackedRecords events(0, 28);
  ApiDescriptionWords words{functions.first(), 6, types.first(), 9, events.first(), 0};
  ApiDescriptionView view =
      ApiDescriptionView::read(reinterpret_cast<const ApiDescription*>(&words));
  EXPECT_EQ(view.functionCount(), 6u);
  EXPECT_EQ(view.typeCount(), 9u);
  EXPECT_EQ(view.eventCount(), 0u);
  EXPECT_EQ(view.linkedFunctions, 6u);
  EXPECT_EQ(view.linkedTypes, 9u);
  EXPECT_TRUE(view.linksMatchCounts());

  // A plugin that gives no description has nothing to link.
  const ApiDescriptionView none = ApiDescriptionView::read(nullptr);
  EXPECT_EQ(none.functionCount() + none.typeCount() + none.eventCount(), 0u);
  EXPECT_TRUE(none.linksMatchCounts());
}

TEST(ApiDescriptionViewTest, NoticesChainsThatDisagreeWithTheirCount) {
  struct Row {
    int line;
    std::size_t records;
    std::uint32_t announced;
    int breakAt;  // -1: none; else the record whose link is cut (or looped with loop)
    bool loop;
    std::uint32_t expectedLinked;
  };
  const Row rows[] = {
      {__LINE__, 3, 3, -1, false, 3},
      {__LINE__, 3, 3, 1, false, 2},   // the second record ends the chain early
      {__LINE__, 3, 2, -1, false, 3},  // more records than announced
      {__LINE__, 3, 3, 2, true, 4},    // a cycle stops one past the count
      {__LINE__, 0, 0, -1, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    PackedRecords events(row.records, 28);
    if (row.breakAt >= 0) {
      events.link(static_cast<std::size_t>(row.breakAt), row.loop ? events.record(0) : nullptr);
    }
    ApiDescriptionWords words{nullptr, 0, nullptr, 0, events.first(), row.announced};
    ApiDescriptionView view =
        ApiDescriptionView::read(reinterpret_cast<const ApiDescription*>(&words));
    EXPECT_EQ(view.linkedEvents, row.expectedLinked);
    EXPECT_EQ(view.linksMatchCounts(), row.expectedLinked == row.announced);
  }
}

}  // namespace
}  // namespace zel::host
