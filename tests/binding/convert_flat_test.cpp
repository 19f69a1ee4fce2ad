#include "binding/convert_flat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/type_registry.h"
#include "binding/value.h"
#include "memory/memory.h"

namespace zel {
namespace {

enum class Mode : std::int32_t { Off = 0, On = 1 };

// A FlatValue that clears itself.
struct OwnedFlat {
  FlatValue value{};
  ~OwnedFlat() { clearFlatValue(value); }
};

std::string keyOf(const FlatEntry& entry) {
  return entry.key;
}

// Fields of the packed boundary records are read by value: a reference to
// one may be misaligned.
template <typename T>
T byValue(T value) {
  return value;
}

TEST(ConvertFlatTest, ValueToFlatByKind) {
  TypeRegistry registry;
  registry.registerEnum<Mode>("Mode").enumerator("On", Mode::On);

  BindingValue value;
  value.field("b").setBool(true);
  value.field("s").setSigned(-5);
  value.field("u").setUnsigned(5);
  value.field("f").setFloat(0.5);
  value.field("t").setString("text");
  value.field("e");
  const std::uint8_t bytes[] = {1, 2, 3};
  value.field("blob").setBlob(bytes, 3);
  value.field("named").setEnum(1, typeIdentity<Mode>().id());
  value.field("unnamed").setEnum(-3, typeIdentity<Mode>().id());
  value.field("list").element(1).setString("x");

  OwnedFlat flat;
  ASSERT_TRUE(valueToFlat(flat.value, value, &registry));
  ASSERT_EQ(byValue(flat.value.kind), 10u);
  ASSERT_EQ(byValue(flat.value.payload.span.count), 10u);
  const FlatEntry* entries = flatEntries(flat.value);
  struct {
    int line;
    std::size_t index;
    std::string key;
    std::uint32_t kind;
  } rows[] = {
      {__LINE__, 0, "b", 1},       {__LINE__, 1, "blob", 8}, {__LINE__, 2, "e", 0},
      {__LINE__, 3, "f", 4},       {__LINE__, 4, "list", 9}, {__LINE__, 5, "named", 6},
      {__LINE__, 6, "s", 2},       {__LINE__, 7, "t", 6},    {__LINE__, 8, "u", 3},
      {__LINE__, 9, "unnamed", 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(keyOf(entries[row.index]), row.key);
    EXPECT_EQ(byValue(entries[row.index].ownsKey), 1);
    EXPECT_EQ(byValue(entries[row.index].value.kind), row.kind);
  }
  EXPECT_EQ(byValue(entries[0].value.payload.boolean), 1);
  EXPECT_EQ(byValue(entries[1].value.payload.span.count), 3u);
  EXPECT_EQ(byValue(entries[3].value.payload.floatValue), 0.5);
  EXPECT_EQ(flatText(entries[5].value), "On");
  EXPECT_EQ(byValue(entries[6].value.payload.signedValue), -5);
  EXPECT_EQ(flatText(entries[7].value), "text");
  EXPECT_EQ(byValue(entries[9].value.payload.signedValue), -3)
      << "an unnamed number is sign-extended";
  const FlatValue* list = flatElements(entries[4].value);
  EXPECT_EQ(byValue(entries[4].value.payload.span.count), 2u);
  EXPECT_EQ(byValue(list[0].kind), 0u);
  EXPECT_EQ(flatText(list[1]), "x");

  OwnedFlat withoutRegistry;
  ASSERT_TRUE(valueToFlat(withoutRegistry.value, value.find("named"), nullptr));
  EXPECT_EQ(byValue(withoutRegistry.value.kind), 2u);
  EXPECT_EQ(byValue(withoutRegistry.value.payload.signedValue), 1);
}

TEST(ConvertFlatTest, RoundTripAndOwnership) {
  const std::int64_t live = memory::liveBytes();
  {
    BindingValue value;
    value.element(0).field("name").setString("a");
    value.element(0).field("tags").element(0).setString("b");
    value.element(1).setFloat(-0.25);
    value.element(2).setUnsigned(UINT64_MAX);
    OwnedFlat flat;
    ASSERT_TRUE(valueToFlat(flat.value, value, nullptr));
    ASSERT_TRUE(valueToFlat(flat.value, value, nullptr)) << "the output is cleared first";

    BindingValue back;
    const FlatConversion read = flatToValue(back, flat.value, "<result>");
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.errorMessage(), "");
    EXPECT_TRUE(back.ok());
    ASSERT_EQ(back.kind(), ValueKind::Collection);
    EXPECT_EQ(back.at(0).find("name").asString(), "a");
    EXPECT_EQ(back.at(0).find("tags").at(0).asString(), "b");
    EXPECT_EQ(back.at(1).asFloat(), -0.25);
    EXPECT_EQ(back.at(2).asUnsigned(), UINT64_MAX);
  }
  EXPECT_EQ(memory::liveBytes(), live);
}

TEST(ConvertFlatTest, FlatReferencesAndTexts) {
  // Host-made values: texts and bytes by reference, a text read up to its zero.
  const char host[] = "ab\0cd";
  const std::uint8_t raw[] = {9, 8};
  FlatEntry entries[3]{};
  entries[0].key = "ref";
  setFlatStringRef(entries[0].value, host, 5);
  entries[1].key = "bytes";
  setFlatBlobRef(entries[1].value, raw, 2);
  entries[2].key = "null";
  entries[2].value.kind = 6;  // an owned text without a pointer
  FlatValue root{};
  root.kind = 10;
  root.payload.span.pointer = entries;
  root.payload.span.count = 3;

  BindingValue value;
  ASSERT_TRUE(flatToValue(value, root, "<result>").ok());
  EXPECT_EQ(value.find("ref").asString(), "ab");
  ASSERT_EQ(value.find("bytes").size(), 2u);
  EXPECT_EQ(value.find("bytes").asBlob()[0], 9);
  EXPECT_EQ(value.find("null").kind(), ValueKind::String);
  EXPECT_EQ(value.find("null").size(), 0u);
}

TEST(ConvertFlatTest, UnknownKindFailsWithItsMessage) {
  const struct {
    int line;
    std::uint32_t kind;
    const char* path;
    const char* message;
  } rows[] = {
      {__LINE__, 11, "<result>",
       "Couldn't assign value to '<result>' of type object because the input is of an "
       "incompatible type ''."},
      {__LINE__, 0xFFFFFFFFu, "mapId",
       "Couldn't assign value to 'mapId' of type object because the input is of an incompatible "
       "type ''."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const std::int64_t live = memory::liveBytes();
    FlatValue elements[3]{};
    setFlatSigned(elements[0], 1);
    elements[1].kind = row.kind;
    setFlatSigned(elements[2], 3);
    FlatValue root{};
    root.kind = 9;
    root.payload.span.pointer = elements;
    root.payload.span.count = 3;
    {
      BindingValue value;
      const FlatConversion read = flatToValue(value, root, row.path);
      EXPECT_FALSE(read.ok());
      EXPECT_EQ(read.errorMessage(), row.message);
      EXPECT_EQ(value.at(0).asSigned(), 1) << "the output stays as far as it was built";
      EXPECT_TRUE(value.at(2).isEmpty()) << "nothing after the failure is read";
    }
    EXPECT_EQ(memory::liveBytes(), live) << "the message goes with the result";
  }
}

TEST(ConvertFlatTest, DeepTreesConvertWithoutRecursion) {
  constexpr int kDepth = 100000;
  BindingValue value;
  ValueNode* node = &value;
  for (int i = 0; i < kDepth; ++i) node = &node->element(0);
  node->setString("bottom");

  OwnedFlat flat;
  ASSERT_TRUE(valueToFlat(flat.value, value, nullptr));
  BindingValue back;
  ASSERT_TRUE(flatToValue(back, flat.value, "<result>").ok());
  const ValueNode* walk = &back;
  for (int i = 0; i < kDepth; ++i) walk = &walk->at(0);
  EXPECT_EQ(walk->asString(), "bottom");
}

TEST(ConvertFlatTest, ExhaustedMemoryFailsAndLeavesNothing) {
  BindingValue value;
  for (int i = 0; i < 8; ++i) value.element(i).field("k").setString("some text");
  const std::int64_t live = memory::liveBytes();
  for (std::uint64_t nth = 1; nth <= 4; ++nth) {
    SCOPED_TRACE(nth);
    FlatValue flat{};
    memory::failAllocationForTest(nth);
    const bool converted = valueToFlat(flat, value, nullptr);
    memory::failAllocationForTest(0);
    EXPECT_FALSE(converted);
    EXPECT_EQ(byValue(flat.kind), 0u);
    EXPECT_EQ(memory::liveBytes(), live);
  }
}

}  // namespace
}  // namespace zel
