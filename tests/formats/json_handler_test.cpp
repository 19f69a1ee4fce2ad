#include "formats/internal/json_handler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "memory/memory.h"
#include "tests/formats/value_text.h"

namespace zel {
namespace {

// {"k<count-1>":<count-1>, ..., "k0":0}: every key arrives before all the
// keys already read, the worst order for a structure kept sorted.
std::string reversedObject(int count, const std::string& extra = {}) {
  std::string text = "{";
  for (int i = count - 1; i >= 0; --i) {
    text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  }
  text += extra.empty() ? std::string("\"end\":0") : extra;
  text += "}";
  return text;
}

void expectAllKeys(const ValueNode& value, int count) {
  ASSERT_EQ(value.kind(), ValueKind::Structure);
  std::vector<std::string> keys;
  for (const Field& field : value.fields()) keys.emplace_back(field.key());
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  for (const int i : {0, 1, count / 2, count - 1}) {
    EXPECT_EQ(value.find("k" + std::to_string(i)).asUnsigned(99), std::uint64_t(i)) << i;
  }
}

TEST(JsonHandlerTest, HugeObjectInReverseKeyOrderReadsWhole) {
  constexpr int kCount = 100'000;
  const BindingValue value = readJson(reversedObject(kCount).c_str());
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_EQ(value.size(), std::size_t{kCount} + 1);
  expectAllKeys(value, kCount);
}

TEST(JsonHandlerTest, RepeatedKeysFoldInLargeAndNestedObjects) {
  const struct {
    int line;
    std::string input;
    std::string key;
    std::string expected;
  } rows[] = {
      // k7 is first 7: an object replaces it, and a null after that keeps the object.
      {__LINE__, reversedObject(40, R"("k7":{"x":1},"k7":null)"), "k7", "{x:u1}"},
      {__LINE__, reversedObject(40, R"("k7":[8],"a":0,"k7":[9])"), "k7", "[u8,u9]"},
      {__LINE__, R"({"o":{"b":[1],"a":{"x":1}},"o":{"b":[2],"a":{"y":2}}})", "o",
       "{a:{x:u1,y:u2},b:[u1,u2]}"},
      {__LINE__, R"([{"b":1,"a":2,"b":3},{"c":{"e":1,"d":2}}])", "",
       R"([{a:u2,b:u3},{c:{d:u2,e:u1}}])"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const BindingValue value = readJson(row.input.c_str());
    ASSERT_TRUE(value.ok()) << value.errorMessage();
    const ValueNode& part = row.key.empty() ? value : value.find(row.key);
    EXPECT_EQ(zel::testing_support::describe(BindingValue(part)), row.expected);
  }
  // A later value under a key of a large object replaces the first one.
  const BindingValue replaced = readJson(reversedObject(40, R"("k3":"three")").c_str());
  EXPECT_EQ(replaced.find("k3").asString(), "three");
  expectAllKeys(readJson(reversedObject(40, R"("k3":3)").c_str()), 40);
}

// Members gathered for objects that never close are released with the handler.
TEST(JsonHandlerTest, ReadThatFailsInsideOpenObjectsLeavesNoMemory) {
  const std::int64_t before = memory::liveBytes();
  for (const std::string& text : {
           std::string(R"({"b":{"d":"text","c":[1,{"e":"more text","f":)"),
           reversedObject(30, R"("z":{"y":"x",)"),
           std::string(R"({"a":{"a":{"a":{"a":"t")"),
       }) {
    SCOPED_TRACE(text.substr(0, 60));
    const BindingValue value = readJson(text.c_str());
    EXPECT_FALSE(value.ok());
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(MessagePackBulkFieldsTest, MapInReverseKeyOrderReadsWhole) {
  constexpr int kCount = 70'000;
  std::vector<std::uint8_t> bytes = {0xdf};
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.push_back(std::uint8_t(kCount >> shift & 0xff));
  for (int i = kCount - 1; i >= 0; --i) {
    const std::string key = "k" + std::to_string(i);
    bytes.push_back(static_cast<std::uint8_t>(0xa0 | key.size()));
    bytes.insert(bytes.end(), key.begin(), key.end());
    bytes.push_back(0xce);
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(std::uint8_t(i >> shift & 0xff));
  }
  MessagePackReader reader(bytes.data(), bytes.size());
  const BindingValue value = reader.read();
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_EQ(value.size(), std::size_t{kCount});
  expectAllKeys(value, kCount);
}

}  // namespace
}  // namespace zel
