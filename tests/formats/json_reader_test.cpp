#include "formats/json_reader.h"

#include <gtest/gtest.h>
#include <rapidjson/error/en.h>

#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/reader_limits.h"
#include "memory/memory.h"
#include "tests/formats/value_text.h"

namespace zel {
namespace {

using testing_support::describe;
using testing_support::nested;

struct Case {
  int line;
  std::string input;
  std::string expected;
};

void expectReads(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << ": " << c.input.substr(0, 80));
    EXPECT_EQ(describe(readJson(c.input.c_str())), c.expected);
  }
}

TEST(JsonReaderTest, ScalarsBecomeTheirKinds) {
  expectReads({
      {__LINE__, "null", "~"},
      {__LINE__, "true", "true"},
      {__LINE__, " false ", "false"},
      {__LINE__, "5", "u5"},
      {__LINE__, "-5", "i-5"},
      {__LINE__, "-0", "i0"},
      {__LINE__, "5.0", "f5"},
      {__LINE__, "1e2", "f100"},
      {__LINE__, "18446744073709551615", "u18446744073709551615"},
      {__LINE__, "18446744073709551616", "f18446744073709551616"},
      {__LINE__, "-9223372036854775808", "i-9223372036854775808"},
      {__LINE__, "-9223372036854775809", "f-9223372036854775808"},
      {__LINE__, R"("")", R"("")"},
      {__LINE__, R"("a\"b\\c\/d\n")", R"("a\x22b\x5cc/d\x0a")"},
      {__LINE__, R"("\u00e9\ud83d\ude00")", R"("\xc3\xa9\xf0\x9f\x98\x80")"},
      // The escaped NUL and what follows it stay in the string.
      {__LINE__, R"("a\u0000b")", R"("a\x00b")"},
      // Bytes are taken as they come; encoding is not validated.
      {__LINE__, "\"\xff\xfe\"", R"("\xff\xfe")"},
  });
}

TEST(JsonReaderTest, ContainersKeepKeyOrderAndElementOrder) {
  expectReads({
      {__LINE__, "[]", "[]"},
      {__LINE__, "{}", "{}"},
      {__LINE__, R"([1, null, "x", [], {}])", R"([u1,~,"x",[],{}])"},
      {__LINE__, "[null]", "[~]"},
      {__LINE__, R"({"b": 1, "a": 2, "B": 3})", "{B:u3,a:u2,b:u1}"},
      {__LINE__, R"({"a": null})", "{a:~}"},
      {__LINE__, R"({"": 1})", "{:u1}"},
      {__LINE__, R"({"a": {"b": [true, {"c": -1}]}})", "{a:{b:[true,{c:i-1}]}}"},
      {__LINE__, " \t\r\n[ 1 ]\r\n ", "[u1]"},
  });
}

TEST(JsonReaderTest, RepeatedKeysWriteIntoTheSameField) {
  expectReads({
      {__LINE__, R"({"a":[1],"a":[2]})", "{a:[u1,u2]}"},
      {__LINE__, R"({"a":{"x":1},"a":{"y":2}})", "{a:{x:u1,y:u2}}"},
      {__LINE__, R"({"a":{"x":1},"a":{"x":2}})", "{a:{x:u2}}"},
      {__LINE__, R"({"a":1,"a":2})", "{a:u2}"},
      {__LINE__, R"({"a":1,"a":null})", "{a:u1}"},
      {__LINE__, R"({"a":"s","a":[1]})", "{a:[u1]}"},
      {__LINE__, R"({"a":[1],"a":{"x":1}})", "{a:{x:u1}}"},
      {__LINE__, R"({"a":{"x":1},"a":3})", "{a:u3}"},
  });
}

// Objects of one shape in a row, then ones that leave a key out, add one,
// repeat one (merging into the earlier object) or nest the same shape.
TEST(JsonReaderTest, ObjectsOfOneShapeInARowKeepKeyOrder) {
  expectReads({
      {__LINE__, R"([{"b":1,"a":2},{"b":3,"a":4},{"b":5},{"b":6,"c":7,"a":8},{"b":9,"a":1}])",
       "[{a:u2,b:u1},{a:u4,b:u3},{b:u5},{a:u8,b:u6,c:u7},{a:u1,b:u9}]"},
      {__LINE__,
       R"([{"b":1,"a":2},{"b":3,"a":4,"a":5},{"b":{"b":1,"a":2},"a":{"x":1},"a":{"y":2}}])",
       "[{a:u2,b:u1},{a:u5,b:u3},{a:{x:u1,y:u2},b:{a:u2,b:u1}}]"},
  });
}

TEST(JsonReaderTest, ErrorsNameTheTextAndOffset) {
  expectReads({
      {__LINE__, "", "error: Error: The document is empty. at offset 0."},
      {__LINE__, " \t\r\n", "error: Error: The document is empty. at offset 4."},
      {__LINE__, "[1] 2",
       "error: Error: The document root must not be followed by other values. at offset 4."},
      {__LINE__, "  x", "error: Error: Invalid value. at offset 2."},
      {__LINE__, "nul", "error: Error: Invalid value. at offset 3."},
      {__LINE__, "[1,]", "error: Error: Invalid value. at offset 3."},
      {__LINE__, "{1:2}", "error: Error: Missing a name for object member. at offset 1."},
      {__LINE__, R"({"a" 1})",
       "error: Error: Missing a colon after a name of object member. at offset 5."},
      {__LINE__, R"({"a":1 "b":2})",
       "error: Error: Missing a comma or '}' after an object member. at offset 7."},
      {__LINE__, "[1 2]",
       "error: Error: Missing a comma or ']' after an array element. at offset 3."},
      {__LINE__, R"("a\u12G4")",
       "error: Error: Incorrect hex digit after \\u escape in string. at offset 2."},
      {__LINE__, R"(["\ud800\u0041"])",
       "error: Error: The surrogate pair in string is invalid. at offset 2."},
      {__LINE__, R"("\x")", "error: Error: Invalid escape character in string. at offset 1."},
      {__LINE__, R"("abc)",
       "error: Error: Missing a closing quotation mark in string. at offset 4."},
      {__LINE__, "[1e400]", "error: Error: Number too big to be stored in double. at offset 1."},
      {__LINE__, "1.", "error: Error: Miss fraction part in number. at offset 2."},
      {__LINE__, "1e+", "error: Error: Miss exponent in number. at offset 3."},
      // Comments and NaN are not part of the accepted syntax.
      {__LINE__, "[1] // c",
       "error: Error: The document root must not be followed by other values. at offset 4."},
      {__LINE__, "NaN", "error: Error: Invalid value. at offset 0."},
      {__LINE__, "[\xff]", "error: Error: Invalid value. at offset 1."},
  });
}

TEST(JsonReaderTest, NullTextReadsAsEmptyText) {
  EXPECT_EQ(describe(readJson(nullptr)), "error: Error: The document is empty. at offset 0.");
}

TEST(JsonReaderTest, ErrorTextsAreTheReadersOwn) {
  for (unsigned code = 0; code < formats::messages::kJsonErrorTextCount; ++code) {
    SCOPED_TRACE(code);
    EXPECT_STREQ(formats::messages::kJsonErrorTexts[code],
                 rapidjson::GetParseError_En(static_cast<rapidjson::ParseErrorCode>(code)));
  }
  EXPECT_STREQ(formats::messages::kJsonUnknownError,
               rapidjson::GetParseError_En(
                   static_cast<rapidjson::ParseErrorCode>(formats::messages::kJsonErrorTextCount)));
}

TEST(JsonReaderTest, NestingIsBoundedAtTheLimit) {
  const std::size_t limit = formats::kMaxNestingDepth;
  // The deepest accepted nesting, for arrays and objects.
  BindingValue arrays = readJson(nested("[", "]", limit).c_str());
  ASSERT_TRUE(arrays.ok()) << arrays.errorMessage();
  const ValueNode* node = &arrays;
  for (std::size_t level = 1; level < limit; ++level) node = &node->at(0);
  EXPECT_EQ(describe(BindingValue(*node)), "[]");

  EXPECT_TRUE(readJson(nested(R"({"a":)", "}", limit - 1, "{}").c_str()).ok());

  expectReads({
      {__LINE__, nested("[", "]", limit + 1),
       "error: Error: Terminate parsing due to Handler error. at offset 513."},
      {__LINE__, nested(R"({"a":)", "}", limit, "{}"),
       "error: Error: Terminate parsing due to Handler error. at offset 2561."},
      {__LINE__, nested(R"({"a":[)", "]}", limit / 2, "[]"),
       "error: Error: Terminate parsing due to Handler error. at offset 1537."},
      // Deep input far past the limit is refused just as early.
      {__LINE__, std::string(100'000, '['),
       "error: Error: Terminate parsing due to Handler error. at offset 513."},
  });
}

TEST(JsonReaderTest, RefusedInputLeavesNoMemoryBehind) {
  const std::int64_t before = memory::liveBytes();
  {
    BindingValue partial = readJson(R"({"a":[1,2,{"b":"some longer text here"}],"c":)");
    EXPECT_FALSE(partial.ok());
    BindingValue deep = readJson(std::string(100'000, '[').c_str());
    EXPECT_FALSE(deep.ok());
  }
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(JsonReaderTest, LargeStringIsKeptWhole) {
  std::string text(10 * 1024 * 1024, 'x');
  text.front() = '"';
  text.back() = '"';
  const BindingValue value = readJson(text.c_str());
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_EQ(value.size(), text.size() - 2);
}

TEST(JsonReaderTest, EveryPrefixGivesAValueOrAnError) {
  const std::string document =
      R"({"maps": [{"id": 11, "name": "Rift\u00e9", "tags": ["a", null], "ratio": -1.5e-3},)"
      R"( {"id": 12, "flags": {"isDefault": true, "hidden": false}}], "count": 2})";
  ASSERT_TRUE(readJson(document.c_str()).ok());
  for (std::size_t length = 0; length < document.size(); ++length) {
    SCOPED_TRACE(length);
    const BindingValue value = readJson(document.substr(0, length).c_str());
    // Only a bare complete root could be valid; every cut of this object is not.
    EXPECT_FALSE(value.ok());
    EXPECT_EQ(value.errorMessage().rfind("Error: ", 0), 0u);
  }
}

}  // namespace
}  // namespace zel
