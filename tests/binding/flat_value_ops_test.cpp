#include "binding/flat_value_ops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "boundary/host_api.h"
#include "memory/memory.h"

namespace zel {
namespace {

using namespace std::literals;

std::uint64_t freesSoFar() {
  MemoryStats stats{};
  memory::readStats(stats);
  return stats.frees;
}

// A collection of `width` collections nested `depth` deep, each level with an
// owned text and a structure whose one key is owned.
void buildNested(FlatValue& root, std::uint32_t width, std::uint32_t depth) {
  FlatValue* level = &root;
  for (std::uint32_t d = 0; d < depth; ++d) {
    FlatValue* items = setFlatCollection(*level, width + 2);
    setFlatString(items[0], "text");
    FlatEntry* entries = setFlatStructure(items[1], 1);
    setFlatEntryKey(entries[0], "key");
    setFlatBlob(entries[0].value, "ab", 2);
    for (std::uint32_t i = 3; i < width + 2; ++i) setFlatCollection(items[i], 1);
    level = &items[2];
  }
}

TEST(FlatValueTest, KindNames) {
  const struct {
    int line;
    std::uint32_t kind;
    const char* name;
  } rows[] = {
      {__LINE__, 0, ""},           {__LINE__, 1, "bool"},       {__LINE__, 2, "signed"},
      {__LINE__, 3, "unsigned"},   {__LINE__, 4, "float"},      {__LINE__, 5, "string"},
      {__LINE__, 6, "string"},     {__LINE__, 7, "blob"},       {__LINE__, 8, "blob"},
      {__LINE__, 9, "collection"}, {__LINE__, 10, "structure"}, {__LINE__, 11, ""},
      {__LINE__, 0xFFFFFFFFu, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_STREQ(flatKindName(row.kind), row.name);
  }
}

TEST(FlatValueTest, SettersWriteKindAndPayloadAtTheirOffsets) {
  FlatValue value{};
  setFlatBool(value, true);
  unsigned char bytes[sizeof(FlatValue)];
  std::memcpy(bytes, &value, sizeof(value));
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[4], 1);

  setFlatSigned(value, -2);
  EXPECT_EQ(value.kind, 2u);
  std::int64_t number;
  std::memcpy(&number, reinterpret_cast<const unsigned char*>(&value) + 4, sizeof(number));
  EXPECT_EQ(number, -2);

  setFlatUnsigned(value, UINT64_MAX);
  EXPECT_EQ(value.kind, 3u);
  const std::uint64_t unsignedValue = value.payload.unsignedValue;  // packed: read by copy
  EXPECT_EQ(unsignedValue, UINT64_MAX);

  setFlatFloat(value, 2.5);
  EXPECT_EQ(value.kind, 4u);
  const double floatValue = value.payload.floatValue;
  EXPECT_EQ(floatValue, 2.5);

  setFlatString(value, "a\0b"sv);
  EXPECT_EQ(value.kind, 6u);
  EXPECT_EQ(flatText(value), "a\0b"sv);
  EXPECT_EQ(static_cast<const char*>(value.payload.span.pointer)[3], '\0');

  static const char kText[] = "referenced";
  setFlatStringRef(value, kText, 10);
  EXPECT_EQ(value.kind, 5u);
  EXPECT_EQ(flatText(value).data(), kText);

  setFlatBlob(value, "xyz", 3);
  EXPECT_EQ(value.kind, 8u);
  const std::uint32_t count = value.payload.span.count;
  EXPECT_EQ(count, 3u);
  setFlatBlobRef(value, kText, 4);
  EXPECT_EQ(value.kind, 7u);
  EXPECT_EQ(flatText(value), "refe");

  EXPECT_EQ(setFlatCollection(value, 0), nullptr);
  EXPECT_EQ(value.kind, 9u);
  EXPECT_EQ(setFlatStructure(value, 0), nullptr);
  EXPECT_EQ(value.kind, 10u);
  clearFlatValue(value);
  EXPECT_EQ(value.kind, 0u);
}

TEST(FlatValueTest, ClearFreesExactlyWhatIsOwned) {
  const std::int64_t before = memory::liveBytes();
  const std::uint64_t freesBefore = freesSoFar();
  FlatValue value{};
  FlatValue* items = setFlatCollection(value, 2);
  setFlatString(items[0], "first");
  setFlatString(items[1], "second");
  EXPECT_GT(memory::liveBytes(), before);
  clearFlatValue(value);
  EXPECT_EQ(memory::liveBytes(), before);
  EXPECT_EQ(freesSoFar() - freesBefore, 3u) << "two texts and the array";
  const unsigned char zeros[sizeof(FlatValue)] = {};
  EXPECT_EQ(std::memcmp(&value, zeros, sizeof(value)), 0);
}

TEST(FlatValueTest, ReferencedTextsBytesAndKeysAreNotFreed) {
  const std::int64_t before = memory::liveBytes();
  char local[] = "on the stack";  // freeing this would be caught by the sanitizers
  FlatValue value{};
  FlatEntry* entries = setFlatStructure(value, 3);
  setFlatEntryKeyRef(entries[0], local);
  setFlatStringRef(entries[0].value, local, 12);
  setFlatEntryKey(entries[1], "owned");
  setFlatBlobRef(entries[1].value, local, 3);
  setFlatEntryKeyRef(entries[2], "literal");
  setFlatEntryKey(entries[2], "replaces the literal");
  setFlatEntryKey(entries[2], "replaces the owned copy");
  setFlatUnsigned(entries[2].value, 4);
  const std::uint8_t firstOwnsKey = entries[0].ownsKey;
  const std::uint8_t lastOwnsKey = entries[2].ownsKey;
  EXPECT_EQ(firstOwnsKey, 0);
  EXPECT_EQ(lastOwnsKey, 1);
  clearFlatValue(value);
  EXPECT_EQ(memory::liveBytes(), before);
  EXPECT_STREQ(local, "on the stack");
}

TEST(FlatValueTest, EverySetterClearsFirst) {
  const std::int64_t before = memory::liveBytes();
  FlatValue value{};
  buildNested(value, 3, 4);
  setFlatSigned(value, 1);
  EXPECT_EQ(memory::liveBytes(), before);
  setFlatString(value, "x");
  setFlatString(value, "y");
  setFlatBlob(value, "z", 1);
  setFlatCollection(value, 2);
  setFlatStructure(value, 2);
  setFlatBool(value, false);
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(FlatValueTest, DeepAndWideTreesClearWithoutRecursion) {
  const std::int64_t before = memory::liveBytes();
  FlatValue deep{};
  buildNested(deep, 1, 200000);
  clearFlatValue(deep);
  EXPECT_EQ(deep.kind, 0u);
  FlatValue wide{};
  buildNested(wide, 500, 20);
  clearFlatValue(wide);
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(FlatValueTest, ClearStillFreesEverythingWhenMemoryIsExhausted) {
  // More pending containers than the stack holds inline: at once, and after
  // some levels, when the stack that cannot grow already holds entries.
  const std::uint32_t widths[] = {100, 20};
  for (const std::uint32_t width : widths) {
    const std::int64_t before = memory::liveBytes();
    FlatValue value{};
    buildNested(value, width, 30);
    memory::failAllocationForTest(1);
    clearFlatValue(value);
    memory::failAllocationForTest(0);
    EXPECT_EQ(value.kind, 0u);
    EXPECT_EQ(memory::liveBytes(), before) << width;
  }
}

}  // namespace
}  // namespace zel
