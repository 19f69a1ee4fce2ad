#include "binding/field_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "binding/internal/value_context.h"
#include "binding/value_records.h"
#include "memory/memory.h"
#include "tests/formats/value_text.h"

namespace zel::binding::internal {
namespace {

using zel::testing_support::describe;

// One field to append: its key and a scalar (unsigned), an empty value
// (kEmpty), or a one-element structure or collection holding the number.
enum Shape { kNumber, kEmpty, kStructure, kCollection };
struct Entry {
  Entry(std::string k, Shape s = kNumber, std::string in = {}, std::uint64_t n = 0)
      : key(std::move(k)), shape(s), inner(std::move(in)), number(n) {}
  std::string key;
  Shape shape;
  std::string inner;  // the field name inside a structure
  std::uint64_t number;
};

void fill(ValueNode& node, const Entry& entry) {
  switch (entry.shape) {
    case kNumber:
      node.setUnsigned(entry.number);
      break;
    case kEmpty:
      break;
    case kStructure:
      node.field(entry.inner).setUnsigned(entry.number);
      break;
    case kCollection:
      node.append().setUnsigned(entry.number);
      break;
  }
}

BindingValue build(const std::vector<Entry>& entries, RepeatedKey rule) {
  BindingValue value;
  value.makeStructure();
  for (const Entry& entry : entries) fill(appendField(value, entry.key), entry);
  finishFields(value, rule);
  return value;
}

TEST(FieldBuilderTest, PutsFieldsInKeyOrderAndFoldsRepeatedKeys) {
  const struct {
    int line;
    std::vector<Entry> entries;
    RepeatedKey rule;
    std::string expected;
  } rows[] = {
      {__LINE__, {}, RepeatedKey::Merge, "{}"},
      {__LINE__, {{"b"}, {"a"}, {"B"}}, RepeatedKey::Merge, "{B:u0,a:u0,b:u0}"},
      // Prefixes sort first; keys that share their first four bytes still order.
      {__LINE__,
       {{"gameModeName", kNumber, "", 1},
        {"game", kNumber, "", 2},
        {"gameMode", kNumber, "", 3},
        {"gam", kNumber, "", 4},
        {"gameMo", kNumber, "", 5}},
       RepeatedKey::Merge,
       "{gam:u4,game:u2,gameMo:u5,gameMode:u3,gameModeName:u1}"},
      // Bytes above 0x7f order after ASCII (keys are shown unquoted, as they are).
      {__LINE__, {{"\xc3\xa9"}, {"z"}}, RepeatedKey::Merge, "{z:u0,\xc3\xa9:u0}"},
      {__LINE__,
       {{"a", kNumber, "", 1}, {"b", kNumber, "", 2}, {"a", kNumber, "", 3}},
       RepeatedKey::Merge,
       "{a:u3,b:u2}"},
      {__LINE__, {{"a", kNumber, "", 1}, {"a", kEmpty}}, RepeatedKey::Merge, "{a:u1}"},
      {__LINE__, {{"a", kNumber, "", 1}, {"a", kEmpty}}, RepeatedKey::Replace, "{a:~}"},
      {__LINE__,
       {{"a", kStructure, "x", 1}, {"a", kStructure, "y", 2}, {"a", kStructure, "x", 3}},
       RepeatedKey::Merge,
       "{a:{x:u3,y:u2}}"},
      {__LINE__,
       {{"a", kStructure, "x", 1}, {"a", kStructure, "y", 2}},
       RepeatedKey::Replace,
       "{a:{y:u2}}"},
      {__LINE__,
       {{"a", kCollection, "", 1}, {"b"}, {"a", kCollection, "", 2}},
       RepeatedKey::Merge,
       "{a:[u1,u2],b:u0}"},
      {__LINE__,
       {{"a", kCollection, "", 1}, {"a", kStructure, "x", 2}},
       RepeatedKey::Merge,
       "{a:{x:u2}}"},
      {__LINE__, {{"a", kStructure, "x", 1}, {"a", kNumber, "", 3}}, RepeatedKey::Merge, "{a:u3}"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(describe(build(row.entries, row.rule)), row.expected);
  }
}

// Past the insertion-sort size, with repeated keys spread over the whole array.
TEST(FieldBuilderTest, LargeStructuresSortStablyAndFold) {
  std::vector<Entry> entries;
  for (int round = 0; round < 3; ++round) {
    for (int i = 99; i >= 0; --i) {
      entries.push_back({"k" + std::to_string(i), kNumber, "", std::uint64_t(round * 1000 + i)});
    }
  }
  for (const RepeatedKey rule : {RepeatedKey::Merge, RepeatedKey::Replace}) {
    const BindingValue value = build(entries, rule);
    ASSERT_EQ(value.size(), 100u);
    std::vector<std::string> keys;
    for (const Field& field : value.fields()) {
      keys.emplace_back(field.key());
      const int i = std::stoi(keys.back().substr(1));
      EXPECT_EQ(field.value().asUnsigned(0), std::uint64_t(2000 + i)) << keys.back();
    }
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    // Every lookup finds its field again once the order is restored.
    EXPECT_EQ(value.find("k42").asUnsigned(0), 2042u);
  }
}

// A sort that runs out of memory at any of its allocations leaves every field
// where it was and frees its index; the structure sorts once memory is back.
TEST(FieldBuilderTest, ExhaustedMemoryDuringASortLeavesTheFieldsInPlace) {
  const std::int64_t before = memory::liveBytes();
  int failures = 0;
  for (std::uint64_t nth = 1; nth <= 4; ++nth) {
    SCOPED_TRACE(nth);
    BindingValue value;
    value.makeStructure();
    for (int i = 59; i >= 0; --i) appendField(value, "k" + std::to_string(i)).setUnsigned(i);
    const std::int64_t live = memory::liveBytes();
    memory::failAllocationForTest(nth);
    try {
      finishFields(value, RepeatedKey::Replace);
    } catch (const std::bad_alloc&) {
      ++failures;
      memory::failAllocationForTest(0);
      EXPECT_EQ(memory::liveBytes(), live);
      ASSERT_EQ(value.size(), 60u);
      EXPECT_EQ(value.fields().front().key(), "k59");
      EXPECT_EQ(value.fields().back().value().asUnsigned(), 0u);
      finishFields(value, RepeatedKey::Replace);
    }
    memory::failAllocationForTest(0);
    EXPECT_EQ(value.fields().front().key(), "k0");
    EXPECT_EQ(value.find("k42").asUnsigned(), 42u);
  }
  EXPECT_GE(failures, 2) << "the index and the sorted array";
  EXPECT_EQ(memory::liveBytes(), before);
}

// A structure that starts with the first key of a large shape is given the
// shape's room; finished with one field, it gives the room back, and keeps
// room and field when memory refuses the smaller block.
TEST(FieldBuilderTest, FinishedStructuresGiveBackTheRoomOfTheirShape) {
  const std::int64_t before = memory::liveBytes();
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused);
    {
      BindingValue root;
      root.makeCollection();
      KeyShapes shapes;
      const auto build = [&](std::size_t keys) -> ValueNode& {
        ValueNode& node = root.append();
        reserveFields(node, 0);
        ShapeCursor cursor{};
        for (std::size_t i = 0; i < keys; ++i) {
          NodeAccess::value(findOrAppendField(node, "k" + std::to_string(i), shapes, cursor))
              .setUnsigned(i);
        }
        if (keys == 1 && refused) memory::failAllocationForTest(1);
        finishFields(node, RepeatedKey::Replace, shapes, cursor);
        memory::failAllocationForTest(0);
        return node;
      };
      build(kMaxShapeKeys);
      const ValueNode& small = build(1);
      ASSERT_EQ(small.size(), 1u);
      EXPECT_EQ(small.find("k0").asUnsigned(9), 0u);
      EXPECT_EQ(NodeAccess::payload(small).array->capacity, refused ? kMaxShapeKeys : 1u);
      shapes.release();
    }
    EXPECT_EQ(memory::liveBytes(), before);
  }
}

TEST(FieldBuilderTest, PendingFieldsMoveInOnceAndReleaseWhatIsLeft) {
  const std::int64_t before = memory::liveBytes();
  {
    BindingValue value;
    value.makeStructure();
    value.field("m").setUnsigned(1);
    PendingFields pending = noPendingFields();
    for (int i = 0; i < 40; ++i) {
      appendPending(pending, value, "p" + std::to_string(39 - i)).setString("text");
    }
    appendPending(pending, value, "m").setUnsigned(2);
    adoptPending(pending, value, RepeatedKey::Replace);
    EXPECT_EQ(pending.size, 0u);
    EXPECT_EQ(value.size(), 41u);
    EXPECT_EQ(value.find("m").asUnsigned(0), 2u);
    EXPECT_EQ(value.fields().front().key(), "m");
    EXPECT_EQ(value.find("p7").asString(), "text");

    // Fields never moved in, as a failed read leaves them, are released.
    BindingValue other;
    other.makeStructure();
    appendPending(pending, other, "x").field("y").setString("nested text");
    appendPending(pending, other, "z").append().setString("element");
    releasePending(pending);
    EXPECT_EQ(pending.data, nullptr);
    EXPECT_EQ(other.size(), 0u);
    EXPECT_EQ(zel::binding::internal::NodeAccess::context(other)->stringsForTest().sizeForTest(),
              0u);
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(FieldBuilderTest, ElementsAppendWithinAndBeyondTheReservedRoom) {
  const std::int64_t before = memory::liveBytes();
  {
    BindingValue value;
    value.makeCollection();
    value.reserve(2);
    for (std::uint64_t i = 0; i < 9; ++i) {
      ValueNode& element = appendElement(value);
      EXPECT_EQ(element.kind(), ValueKind::Empty);
      if (i % 3 != 2) element.setUnsigned(i);
    }
    appendElement(value).field("k").setString("text");
    EXPECT_EQ(describe(value), "[u0,u1,~,u3,u4,~,u6,u7,~,{k:\"text\"}]");
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(FieldBuilderTest, DroppingATreeFreesItsTextsWithTheContext) {
  const std::int64_t before = memory::liveBytes();
  {
    BindingValue value;
    for (int i = 0; i < 50; ++i) {
      ValueNode& record = value.append();
      record.field("name").setString("shared text");
      record.field("id" + std::to_string(i)).setString("unique " + std::to_string(i));
    }
    // A copy shares nothing with the original and is dropped on its own.
    BindingValue copy(value);
    EXPECT_EQ(copy.at(49).find("id49").asString(), "unique 49");
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

}  // namespace
}  // namespace zel::binding::internal
