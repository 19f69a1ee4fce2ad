#include "host/dev/json_value.h"

#include <cmath>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zel::host {
namespace {

TEST(JsonValueTest, ReadsEveryKindAndWritesItBack) {
  struct Row {
    int line;
    const char* input;
    const char* compact;  // what toJson writes of it
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
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.input);
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

TEST(JsonValueTest, Base64PadsTheLastGroup) {
  EXPECT_EQ(toBase64(""), "");
  EXPECT_EQ(toBase64("f"), "Zg==");
  EXPECT_EQ(toBase64("fo"), "Zm8=");
  EXPECT_EQ(toBase64("foo"), "Zm9v");
  EXPECT_EQ(toBase64("foob"), "Zm9vYg==");
}

}  // namespace
}  // namespace zel::host
