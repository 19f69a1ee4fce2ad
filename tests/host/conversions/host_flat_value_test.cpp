#include "host/conversions/host_flat_value.h"

#include <cstring>
#include <limits>

#include <gtest/gtest.h>

namespace zel::host {
namespace {

HostValue sampleTree() {
  return HostValue::makeStructure({
      {"list",
       HostValue::makeCollection(
           {HostValue::makeString("owned"), HostValue::makeString("borrowed", false),
            HostValue::makeBlob(std::string("\0\1", 2)), HostValue::makeBlob("ref", false)})},
      {"borrowed key", HostValue::makeUnsigned(7), false},
      {"nested", HostValue::makeStructure({{"deep", HostValue::makeCollection({})}})},
  });
}

TEST(HostFlatValueTest, ReadsBackWhatItBuilt) {
  struct Row {
    int line;
    HostValue value;
  };
  const Row rows[] = {
      {__LINE__, HostValue::makeNone()},
      {__LINE__, HostValue::makeBool(true)},
      {__LINE__, HostValue::makeSigned(std::numeric_limits<std::int64_t>::min())},
      {__LINE__, HostValue::makeUnsigned(std::numeric_limits<std::uint64_t>::max())},
      {__LINE__, HostValue::makeFloat(-1.25)},
      {__LINE__, HostValue::makeString("")},
      {__LINE__, HostValue::makeString(std::string("nul\0inside", 10))},
      {__LINE__, HostValue::makeRawKind(11)},
      {__LINE__, HostValue::makeStructure({})},
      {__LINE__, sampleTree()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.value.toText());
    HostFlatValue flat(row.value);
    EXPECT_EQ(readFlatValue(flat.value()), row.value);
  }
}

TEST(HostFlatValueTest, LaysOutTextsZeroTerminatedAndEntriesWithTheirOwnership) {
  // The records are byte-packed: every field is copied out before use.
  HostFlatValue flat(sampleTree());
  const FlatValue& root = flat.value();
  std::uint32_t rootKind = root.kind;
  std::uint32_t rootCount = root.payload.span.count;
  ASSERT_EQ(rootKind, static_cast<std::uint32_t>(FlatKind::Structure));
  ASSERT_EQ(rootCount, 3u);
  const auto* entries = static_cast<const FlatEntry*>(root.payload.span.pointer);
  const char* firstKey = entries[0].key;
  int firstOwnsKey = entries[0].ownsKey;
  int secondOwnsKey = entries[1].ownsKey;
  EXPECT_STREQ(firstKey, "list");
  EXPECT_EQ(firstOwnsKey, 1);
  EXPECT_EQ(secondOwnsKey, 0);

  const auto* elements = static_cast<const FlatValue*>(entries[0].value.payload.span.pointer);
  std::uint32_t ownedKind = elements[0].kind;
  std::uint32_t borrowedKind = elements[1].kind;
  std::uint32_t borrowedLength = elements[1].payload.span.count;
  const char* borrowedText = static_cast<const char*>(elements[1].payload.span.pointer);
  EXPECT_EQ(ownedKind, static_cast<std::uint32_t>(FlatKind::String));
  EXPECT_EQ(borrowedKind, static_cast<std::uint32_t>(FlatKind::StringRef));
  EXPECT_EQ(borrowedLength, 8u);
  EXPECT_STREQ(borrowedText, "borrowed");

  // An empty collection crosses as a null array with count 0.
  const auto* nested = static_cast<const FlatEntry*>(entries[2].value.payload.span.pointer);
  const void* emptyArray = nested[0].value.payload.span.pointer;
  std::uint32_t emptyCount = nested[0].value.payload.span.count;
  EXPECT_EQ(emptyArray, nullptr);
  EXPECT_EQ(emptyCount, 0u);
}

TEST(HostFlatValueTest, MovingHandsOverTheTree) {
  HostFlatValue first(sampleTree());
  HostFlatValue second(std::move(first));
  std::uint32_t movedFromKind = first.value().kind;
  EXPECT_EQ(movedFromKind, 0u);
  EXPECT_EQ(readFlatValue(second.value()), sampleTree());
  HostFlatValue third(HostValue::makeString("replaced"));
  third = std::move(second);
  EXPECT_EQ(readFlatValue(third.value()), sampleTree());
}

TEST(HostFlatValueTest, ReadsNullArraysAsEmpty) {
  FlatValue flat;
  std::memset(&flat, 0, sizeof flat);
  flat.kind = static_cast<std::uint32_t>(FlatKind::String);
  flat.payload.span.count = 5;
  EXPECT_EQ(readFlatValue(flat), HostValue::makeString(""));
  flat.kind = static_cast<std::uint32_t>(FlatKind::Collection);
  EXPECT_EQ(readFlatValue(flat), HostValue::makeCollection({}));
  flat.kind = static_cast<std::uint32_t>(FlatKind::Structure);
  EXPECT_EQ(readFlatValue(flat), HostValue::makeStructure({}));
}

}  // namespace
}  // namespace zel::host
