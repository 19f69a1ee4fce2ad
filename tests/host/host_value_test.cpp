#include "host/host_value.h"

#include <gtest/gtest.h>

namespace zel::host {
namespace {

TEST(HostValueTest, RendersAsJsonLikeText) {
  struct Row {
    int line;
    HostValue value;
    std::string expected;
  };
  const Row rows[] = {
      {__LINE__, HostValue::makeNone(), "null"},
      {__LINE__, HostValue::makeBool(true), "true"},
      {__LINE__, HostValue::makeSigned(-42), "-42"},
      {__LINE__, HostValue::makeUnsigned(18446744073709551615ull), "18446744073709551615"},
      {__LINE__, HostValue::makeFloat(0.5), "0.5"},
      {__LINE__, HostValue::makeString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\""},
      {__LINE__, HostValue::makeBlob(std::string("\x00\xff", 2)), "blob(00ff)"},
      {__LINE__, HostValue::makeRawKind(42), "kind(42)"},
      {__LINE__,
       HostValue::makeStructure(
           {{"b", HostValue::makeCollection({HostValue::makeSigned(1), HostValue::makeNone()})},
            {"a", HostValue::makeStructure({})}}),
       "{\"b\": [1, null], \"a\": {}}"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    EXPECT_EQ(row.value.toText(), row.expected);
  }
}

TEST(HostValueTest, ExactEqualityTellsOwnershipApartAndSameContentDoesNot) {
  HostValue owned = HostValue::makeStructure({{"k", HostValue::makeString("v", true), true}});
  HostValue referenced =
      HostValue::makeStructure({{"k", HostValue::makeString("v", false), false}});
  EXPECT_NE(owned, referenced);
  EXPECT_TRUE(sameContent(owned, referenced));

  EXPECT_NE(HostValue::makeBlob("x", true), HostValue::makeBlob("x", false));
  EXPECT_TRUE(sameContent(HostValue::makeBlob("x", true), HostValue::makeBlob("x", false)));

  // Content still matters, and strings are not blobs.
  EXPECT_FALSE(sameContent(HostValue::makeString("x"), HostValue::makeBlob("x")));
  EXPECT_FALSE(sameContent(HostValue::makeCollection({HostValue::makeString("a")}),
                           HostValue::makeCollection({HostValue::makeString("b")})));
  EXPECT_FALSE(sameContent(HostValue::makeStructure({{"a", HostValue::makeNone()}}),
                           HostValue::makeStructure({{"b", HostValue::makeNone()}})));
  EXPECT_FALSE(sameContent(HostValue::makeSigned(1), HostValue::makeUnsigned(1)));
}

}  // namespace
}  // namespace zel::host
