// Function names derived from a method and a URL template, and the API name
// prefix derived from a plugin's short name.
#include "api/function_name.h"
#include "api/internal/invocation.h"

#include <gtest/gtest.h>

#include <string>

namespace zel {
namespace {

struct Row {
  int line;
  std::string actual;
  std::string expected;
};

TEST(FunctionName, FromMethodAndTemplate) {
  const Row rows[] = {
      {__LINE__, functionName(HttpMethod::Get, "/zel-maps/v1/map/{id}"), "GetZelMapsV1MapById"},
      {__LINE__, functionName(HttpMethod::Post, "/zel-maps/v1/map"), "PostZelMapsV1Map"},
      {__LINE__, functionName(HttpMethod::Get, "/zel-maps/v2/map/{id}/{gameMode}/{gameMutator}"),
       "GetZelMapsV2MapByIdByGameModeByGameMutator"},
      {__LINE__, functionName(HttpMethod::Options, "/a"), "OptionsA"},
      {__LINE__, functionName(HttpMethod::Delete, "/a"), "DeleteA"},
      // The same name from different templates: only one of them can be declared.
      {__LINE__, functionName(HttpMethod::Get, "/a-b"), "GetAB"},
      {__LINE__, functionName(HttpMethod::Get, "/a_b"), "GetAB"},
      // "}" leaves the flag alone; "+" and "#" start words inside braces too.
      {__LINE__, functionName(HttpMethod::Get, "/a/{x}y"), "GetAByXy"},
      {__LINE__, functionName(HttpMethod::Get, "/files{+path}"), "GetFilesByPath"},
      {__LINE__, functionName(HttpMethod::Get, "/x/{id}.json"), "GetXByIdJson"},
      {__LINE__, functionName(HttpMethod::Get, "/v1/!admin"), "GetV1Admin"},
      // Methods without a name text add nothing.
      {__LINE__, functionName(HttpMethod::None, "/zel-maps/v1/maps"), "ZelMapsV1Maps"},
      {__LINE__, functionName(HttpMethod::Custom, "/zel-maps/v1/maps"), "ZelMapsV1Maps"},
      {__LINE__, functionName(static_cast<HttpMethod>(42), "/a"), "A"},
      {__LINE__, functionName(HttpMethod::Get, ""), "Get"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.actual, row.expected);
  }
}

TEST(FunctionName, ApiPrefixFromShortName) {
  const Row rows[] = {
      {__LINE__, deriveName("", "zel-maps"), "ZelMaps"},
      {__LINE__, deriveName("", "game.data_v2"), "GameDataV2"},
      {__LINE__, deriveName("", "--x--"), "X"},
      {__LINE__, deriveName("Get/", "zel"), "GetZel"},
      {__LINE__, deriveName("", ""), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.actual, row.expected);
  }
}

TEST(HttpMethodNames, NamesAndHostCodes) {
  EXPECT_STREQ(httpMethodName(HttpMethod::Delete), "DELETE");
  EXPECT_STREQ(httpMethodName(HttpMethod::Put), "PUT");
  EXPECT_STREQ(httpMethodName(HttpMethod::None), "");
  EXPECT_STREQ(httpMethodName(HttpMethod::Custom), "");
  EXPECT_STREQ(httpMethodName(static_cast<HttpMethod>(9)), "");
  EXPECT_EQ(api::internal::httpMethodFromHost(0), HttpMethod::None);
  EXPECT_EQ(api::internal::httpMethodFromHost(1), HttpMethod::Delete);
  EXPECT_EQ(api::internal::httpMethodFromHost(8), HttpMethod::Custom);
  EXPECT_EQ(api::internal::httpMethodFromHost(9), HttpMethod::None);
  EXPECT_EQ(api::internal::httpMethodFromHost(0xFFFFFFFFu), HttpMethod::None);
}

}  // namespace
}  // namespace zel
