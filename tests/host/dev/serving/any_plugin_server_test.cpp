// zel-host serve is not zel-maps' alone: the tests' own plugin gets its
// OpenAPI document, its API browser page and its routes the same way.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <httplib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/dev/serving/dev_server.h"

namespace zel::host {
namespace {

using testing::Contains;
using testing::Each;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

TEST(AnyPluginServerTest, TheTestPluginGetsItsDocumentDocsAndRoutes) {
  DevHostOptions options;
  options.pluginPath = ZEL_TEST_PLUGIN_PATH;
  options.log = [](std::string_view) {};
  DevHost host(std::move(options));
  ASSERT_TRUE(host.start()) << host.error();
  DevServerOptions serverOptions;
  serverOptions.swaggerUiDirectory = std::string(ZEL_NODE_MODULES_DIR) + "/swagger-ui-dist";
  DevServer server(host, serverOptions);
  ASSERT_TRUE(server.bind()) << server.error();
  server.start();
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(std::chrono::seconds(30));

  httplib::Result document = client.Get("/openapi.json");
  ASSERT_TRUE(document) << httplib::to_string(document.error());
  EXPECT_EQ(document->status, 200);
  EXPECT_THAT(document->body, HasSubstr("\"title\": \"" + host.shortName() + "\""));
  EXPECT_THAT(document->body, HasSubstr("\"/zel-test/v1/double/{n}\""));
  EXPECT_THAT(document->body, HasSubstr("\"/zel-test/v1/point\""));
  EXPECT_THAT(document->body, Not(HasSubstr("zel-maps")));

  httplib::Result docs = client.Get("/docs");
  ASSERT_TRUE(docs) << httplib::to_string(docs.error());
  EXPECT_EQ(docs->status, 200);
  EXPECT_THAT(docs->body, HasSubstr("<title>" + host.shortName() + " API</title>"));
  EXPECT_THAT(docs->body, Not(HasSubstr("zel-maps")));
  if (std::filesystem::exists(serverOptions.swaggerUiDirectory + "/swagger-ui-bundle.js")) {
    // The page starts Swagger UI from a script of its own origin (its policy
    // allows no inline script).
    EXPECT_THAT(docs->body, HasSubstr("<script src=\"/docs/start.js\"></script>"));
    httplib::Result start = client.Get("/docs/start.js");
    ASSERT_TRUE(start) << httplib::to_string(start.error());
    EXPECT_THAT(start->body, HasSubstr("url: \"/openapi.json\""));
    EXPECT_THAT(docs->get_header_value("Content-Security-Policy"), HasSubstr("script-src 'self';"));
  } else {
    EXPECT_THAT(docs->body, HasSubstr("<code>GET /zel-test/v1/double/{n}</code>"));
  }

  httplib::Result doubled = client.Get("/zel-test/v1/double/21");
  ASSERT_TRUE(doubled) << httplib::to_string(doubled.error());
  EXPECT_EQ(doubled->status, 200);
  EXPECT_EQ(doubled->body, "42");
  server.stop();
}

// A reply's own headers reach the HTTP response; those with line breaks and
// those that would redo the framing the bridge writes do not.
TEST(AnyPluginServerTest, ReplyHeadersPassButNotInjectedOrFramingOnes) {
  DevHostOptions options;
  options.pluginPath = ZEL_TEST_PLUGIN_PATH;
  options.log = [](std::string_view) {};
  DevHost host(std::move(options));
  ASSERT_TRUE(host.start()) << host.error();
  DevServer server(host, DevServerOptions{});
  ASSERT_TRUE(server.bind()) << server.error();
  server.start();
  httplib::Client client("127.0.0.1", server.port());
  // An answer whose framing is broken may leave the client waiting.
  client.set_read_timeout(std::chrono::seconds(10));

  httplib::Result answer = client.Get("/zel-test/v1/headers");
  server.stop();
  ASSERT_TRUE(answer) << httplib::to_string(answer.error());
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->body, "\"with headers\"");
  std::vector<std::string> lines;
  for (const auto& [name, value] : answer->headers) lines.push_back(name + ": " + value);
  EXPECT_THAT(lines, Contains("X-Zel-Test: plain"));
  EXPECT_THAT(lines, Each(Not(HasSubstr("Smuggled"))));
  EXPECT_THAT(lines, Each(Not(StartsWith("X-Injected"))));
  EXPECT_THAT(lines, Each(Not(StartsWith("X-Split"))));
  EXPECT_THAT(lines, Each(Not(StartsWith("X-Colon"))));
  EXPECT_THAT(lines, Each(Not(HasSubstr("empty name"))));
  EXPECT_THAT(lines, Each(Not(StartsWith("Transfer-Encoding"))));
  EXPECT_THAT(lines, Not(Contains("Connection: upgrade")));
  EXPECT_EQ(answer->get_header_value_count("Content-Type"), 1u);
  EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
  EXPECT_EQ(answer->get_header_value_count("Content-Length"), 1u);
  EXPECT_EQ(answer->get_header_value("Content-Length"), std::to_string(answer->body.size()));
}

}  // namespace
}  // namespace zel::host
