#include "host/dev/documents/json_value.h"

#include <cmath>
#include <functional>
#include <limits>
#include <new>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zel::host {
namespace {

// depth levels of open, then the innermost value, then depth levels of close.
std::string nested(std::size_t depth, std::string_view open, std::string_view close,
                   std::string_view innermost = "1") {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += open;
  text += innermost;
  for (std::size_t i = 0; i < depth; ++i) text += close;
  return text;
}

TEST(JsonValueTest, ReadsEveryKindAndWritesItBack) {
  struct Row {
    int line;
    std::string input;
    std::string compact;  // what toJson writes of it
  };
  const Row rows[] = {
      {__LINE__, "null", "null"},
      {__LINE__, " true ", "true"},
      {__LINE__, "-9223372036854775808", "-9223372036854775808"},
      {__LINE__, "18446744073709551615", "18446744073709551615"},
      {__LINE__, "1.5", "1.5"},
      {__LINE__, R"("a\"b\u00e9\n")", R"("a\"bé\n")"},
      {__LINE__, R"([1, [], {}])", R"([1,[],{}])"},
      {__LINE__, R"({"b": 1, "a": {"c": [true]}})", R"({"b":1,"a":{"c":[true]}})"},
      // As deep as the plugin's readers go, in arrays, objects and both.
      {__LINE__, nested(kMaxJsonNesting, "[", "]"), nested(kMaxJsonNesting, "[", "]")},
      {__LINE__, nested(kMaxJsonNesting, "{\"a\":", "}"), nested(kMaxJsonNesting, "{\"a\":", "}")},
      {__LINE__, nested(kMaxJsonNesting / 2, "[{\"k\":", "}]"),
       nested(kMaxJsonNesting / 2, "[{\"k\":", "}]")},
      {__LINE__, nested(kMaxJsonNesting - 1, "[", "]", "{}"),
       nested(kMaxJsonNesting - 1, "[", "]", "{}")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.input.substr(0, 40));
    std::string error;
    std::optional<HostValue> value = parseJson(row.input, error);
    ASSERT_TRUE(value) << error;
    EXPECT_EQ(toJson(*value), row.compact);
  }
  std::string error;
  EXPECT_EQ(parseJson("18446744073709551615", error)->flatKind(), FlatKind::Unsigned);
  EXPECT_EQ(parseJson("-1", error)->flatKind(), FlatKind::Signed);
}

TEST(JsonValueTest, RejectsMalformedTextAndInvalidUtf8WithTheOffset) {
  struct Row {
    int line;
    std::string input;
    const char* error;
  };
  const Row rows[] = {
      {__LINE__, "{\"a\": ", "Invalid JSON at offset 6: "},
      {__LINE__, "[1,]", "Invalid JSON at offset 3: "},
      {__LINE__, "", "Invalid JSON at offset 0: The document is empty."},
      {__LINE__, "\"\xff\"", "Invalid JSON at offset 1: "},
      {__LINE__, "1 2", "Invalid JSON at offset 2: "},
      // One level deeper than the plugin's readers go, and far deeper: refused
      // where the level too many opens, before the rest is read.
      {__LINE__, nested(kMaxJsonNesting + 1, "[", "]"),
       "Invalid JSON at offset 513: Containers are nested deeper than 512 levels."},
      {__LINE__, nested(kMaxJsonNesting + 1, "{\"a\":", "}"),
       "Invalid JSON at offset 2561: Containers are nested deeper than 512 levels."},
      {__LINE__, nested(kMaxJsonNesting, "[", "]", "{}"),
       "Invalid JSON at offset 513: Containers are nested deeper than 512 levels."},
      {__LINE__, std::string(100'000, '['),
       "Invalid JSON at offset 513: Containers are nested deeper than 512 levels."},
      {__LINE__, nested(100'000, "{\"a\":", "}"),
       "Invalid JSON at offset 2561: Containers are nested deeper than 512 levels."},
      {__LINE__, nested(50'000, "[{\"k\":", "}]"),
       "Invalid JSON at offset 1537: Containers are nested deeper than 512 levels."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    std::string error;
    EXPECT_FALSE(parseJson(row.input, error));
    EXPECT_THAT(error, testing::StartsWith(row.error));
  }
}

TEST(JsonValueTest, WritesOnlyValidJson) {
  HostValue value = HostValue::makeStructure({
      {"bad\xc3", HostValue::makeString("x\xff\xe2\x82y\xed\xa0\x80z")},
      {"blob", HostValue::makeBlob(std::string("\x00\x01\xfe", 3))},
      {"nan", HostValue::makeFloat(std::nan(""))},
      {"inf", HostValue::makeFloat(std::numeric_limits<double>::infinity())},
      {"raw", HostValue::makeRawKind(77)},
  });
  std::string text = toJson(value);
  EXPECT_EQ(text,
            "{\"bad\xEF\xBF\xBD\":\"x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD"
            "\xEF\xBF\xBDz\",\"blob\":\"AAH+\",\"nan\":null,\"inf\":null,\"raw\":null}");
  std::string error;
  EXPECT_TRUE(parseJson(text, error)) << error;
  EXPECT_EQ(toJson(HostValue::makeCollection({}), JsonStyle::Indented), "[]");
  EXPECT_EQ(toJson(parseJson("{\"a\":[1]}", error).value(), JsonStyle::Indented),
            "{\n  \"a\": [\n    1\n  ]\n}");
}

// Values from elsewhere than the parser (a plugin's reply) may nest deeper
// than it reads; writing them must not take a call per level.
TEST(JsonValueTest, WritesValuesNestedFarDeeperThanItReads) {
  constexpr std::size_t kDepth = 200'000;
  HostValue value = HostValue::makeSigned(1);
  for (std::size_t i = 0; i < kDepth; ++i) {
    std::vector<HostValue> elements;
    elements.push_back(std::move(value));
    value = HostValue::makeCollection(std::move(elements));
  }
  EXPECT_EQ(toJson(value), nested(kDepth, "[", "]"));
  // Taken apart level by level: the value's own destructor goes a call per level.
  while (!value.elements.empty()) {
    HostValue inner = std::move(value.elements.front());
    value = std::move(inner);
  }
}

// Lifts the allocation limit however the test ends.
struct AllocationLimit {
  explicit AllocationLimit(std::size_t bytes) { setJsonAllocationLimitForTest(bytes); }
  ~AllocationLimit() { setJsonAllocationLimitForTest(0); }
};

HostValue nestedArrays(std::size_t depth) {
  HostValue value = HostValue::makeCollection({});
  for (std::size_t i = 1; i < depth; ++i) {
    std::vector<HostValue> elements;
    elements.push_back(std::move(value));
    value = HostValue::makeCollection(std::move(elements));
  }
  return value;
}

// Every block the reader and the writers grow into is checked: one that
// cannot be had throws std::bad_alloc, and the same work succeeds once
// memory is there again.
TEST(JsonValueTest, RunningOutOfMemoryThrowsBadAllocFromEveryBufferThatGrows) {
  constexpr std::size_t kLimit = 64u << 10;
  const HostValue large = HostValue::makeString(std::string(100u << 10, 'x'));
  const HostValue small = HostValue::makeString(std::string(10u << 10, 'x'));
  // Its text (40 000 bytes) fits; the writer's stack of open levels does not.
  HostValue deep = nestedArrays(20'000);
  const std::string largeText = "\"" + std::string(100u << 10, 'x') + "\"";
  struct Row {
    int line;
    std::function<void()> work;
    bool fails;
  };
  const Row rows[] = {
      {__LINE__, [&] { (void)toJson(large); }, true},
      {__LINE__, [&] { (void)toJson(large, JsonStyle::Indented); }, true},
      {__LINE__, [&] { (void)toJson(small); }, false},
      {__LINE__, [&] { (void)toJson(small, JsonStyle::Indented); }, false},
      {__LINE__, [&] { (void)toJson(deep); }, true},
      // The reader copies a text into its stack before handing it over.
      {__LINE__,
       [&] {
         std::string error;
         (void)parseJson(largeText, error);
       },
       true},
      {__LINE__,
       [&] {
         std::string error;
         (void)parseJson("[\"" + std::string(1000, 'y') + "\"]", error);
       },
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    {
      AllocationLimit limit(kLimit);
      if (row.fails) {
        EXPECT_THROW(row.work(), std::bad_alloc);
      } else {
        EXPECT_NO_THROW(row.work());
      }
    }
    EXPECT_NO_THROW(row.work());
  }
  EXPECT_EQ(toJson(deep).size(), 40'000u);
  std::string error;
  EXPECT_EQ(parseJson(largeText, error)->bytes.size(), 100u << 10);
  // Taken apart level by level, as above.
  while (!deep.elements.empty()) {
    HostValue inner = std::move(deep.elements.front());
    deep = std::move(inner);
  }
}

TEST(JsonValueTest, Base64PadsTheLastGroup) {
  EXPECT_EQ(toBase64(""), "");
  EXPECT_EQ(toBase64("f"), "Zg==");
  EXPECT_EQ(toBase64("fo"), "Zm8=");
  EXPECT_EQ(toBase64("foo"), "Zm9v");
  EXPECT_EQ(toBase64("foob"), "Zm9vYg==");
}

}  // namespace
}  // namespace zel::host
