// The plugins' GoogleTest fixture (host/fakes/plugin_test.h) driving the
// tests' own plugin (tests/api/plugin): requests by method name with bodies,
// headers and host arguments, and what the reply offers.
#include "host/fakes/plugin_test.h"

#include <gtest/gtest-spi.h>

#include <functional>
#include <optional>
#include <string>

#include "host/conversions/method_names.h"

namespace zel::host {
namespace {

class PluginTestFixture : public PluginTest {
 protected:
  PluginTestFixture() : PluginTest(ZEL_TEST_PLUGIN_PATH) {}
};

TEST_F(PluginTestFixture, CallsRoutesWithBodiesHeadersAndHostArguments) {
  EXPECT_EQ(plugin().shortName(), "zel-test");
  struct Row {
    int line;
    PluginReply reply;
    std::uint32_t status;
    std::optional<std::string> error;
    std::string json;
    std::string text;
  };
  const Row rows[] = {
      {__LINE__, get("/zel-test/v1/double/21"), 200, {}, "42", "42"},
      // An error without a status of its own answers 400, as zel-host does.
      {__LINE__, get("/zel-test/v1/double/x"), 400,
       "Value x for 'n' of type int64 is in an incorrect format", "null", "null"},
      {__LINE__, get("/zel-test/v1/colour/Blue"), 409, "Blue is the last colour", "null", "null"},
      {__LINE__,
       post("/zel-test/v1/point", R"({"x": 1, "y": 2, "colour": "Green"})"),
       200,
       {},
       R"({"colour": "Green", "x": 2, "y": 1})",
       R"({"colour": "Green", "x": 2, "y": 1})"},
      // A body is JSON unless told otherwise: the JSON reader's error, not YAML's.
      {__LINE__, post("/zel-test/v1/point", R"({"x": 1,})"), 400,
       "Error: Missing a name for object member. at offset 8.", "null", "null"},
      {__LINE__,
       post("/zel-test/v1/point", "x: 1\ny: 2\ncolour: Green\n",
            {.contentType = "application/x-yaml"}),
       200,
       {},
       R"({"colour": "Green", "x": 2, "y": 1})",
       R"({"colour": "Green", "x": 2, "y": 1})"},
      {__LINE__,
       post("/zel-test/v1/point",
            "\x83\xA1x\x01\xA1y\x02\xA6"
            "colour\xA5Green",
            {.contentType = "application/x-msgpack"}),
       200,
       {},
       R"({"colour": "Green", "x": 2, "y": 1})",
       R"({"colour": "Green", "x": 2, "y": 1})"},
      {__LINE__,
       get("/zel-test/v1/whoami", {.headers = {{"token", "a%b"}}}),
       200,
       {},
       R"("user of a%b")",
       "user of a%b"},
      {__LINE__,
       get("/zel-test/v1/echo", {.headers = {{"user-agent", "tests"}},
                                 .arguments = {{"text", HostValue::makeString("hi")}}}),
       200,
       {},
       R"({"count": 2, "names": ["GET", "/zel-test/v1/echo", "hi", "tests"], "total": 0})",
       R"({"count": 2, "names": ["GET", "/zel-test/v1/echo", "hi", "tests"], "total": 0})"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.reply.status, row.status);
    EXPECT_EQ(row.reply.error, row.error);
    EXPECT_EQ(row.reply.json(), row.json);
    EXPECT_EQ(row.reply.text(), row.text);
  }
}

// A function declared without a method serves every method, and sees a
// custom one by its text.
TEST_F(PluginTestFixture, AFunctionOfAnyMethodServesEachOneByItsName) {
  for (const char* method : {"GET", "PURGE"}) {
    SCOPED_TRACE(method);
    CallRequest request;
    request.method = methodCode(method);
    if (request.method == kMethodNone) request.method = kMethodCustom;
    request.customMethod = method;
    request.path = "/zel-test/v1/any?text=x";
    const std::optional<CallReply> reply = caller().routeAndCall(request);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->reply.error, std::nullopt) << reply->reply.status;
    EXPECT_EQ(reply->reply.body.toText(),
              "{\"count\": 2, \"names\": [\"" + std::string(method) +
                  "\", \"/zel-test/v1/any?text=x\", \"x\"], \"total\": 0}");
  }
}

TEST_F(PluginTestFixture, ReadsResponseHeadersInAnyCase) {
  const PluginReply reply = get("/zel-test/v1/headers");
  EXPECT_EQ(reply.text(), "with headers");
  EXPECT_EQ(reply.header("x-zel-test"), "plain");
  EXPECT_EQ(reply.header("Content-Type"), "text/plain");
  EXPECT_EQ(reply.header("X-Zel-Tes"), std::nullopt);
}

// Each helper sends its own method: the tests' plugin serves none of these
// paths with it, so each call fails the test, naming the method it sent.
TEST_F(PluginTestFixture, SendsEachMethodByNameAndFailsOnAPathNoFunctionServes) {
  struct Row {
    int line;
    std::function<PluginReply()> send;
    const char* failure;
  };
  const Row rows[] = {
      {__LINE__, [this] { return get("/zel-test/v1/point"); }, "serves GET /zel-test/v1/point"},
      {__LINE__, [this] { return post("/zel-test/v1/whoami", "{}"); }, "POST /zel-test/v1/whoami"},
      {__LINE__, [this] { return put("/zel-test/v1/point", "{}"); }, "PUT /zel-test/v1/point"},
      {__LINE__, [this] { return patch("/zel-test/v1/point", "{}"); }, "PATCH /zel-test/v1/point"},
      {__LINE__, [this] { return del("/zel-test/v1/point/7"); }, "DELETE /zel-test/v1/point/7"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    PluginReply reply;
    EXPECT_NONFATAL_FAILURE(reply = row.send(), row.failure);
    EXPECT_EQ(reply.status, 0u);
    EXPECT_EQ(reply.json(), "null");
  }
}

}  // namespace
}  // namespace zel::host
