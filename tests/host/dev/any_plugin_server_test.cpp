// zel-host serve is not zel-maps' alone: the tests' own plugin gets its
// OpenAPI document, its API browser page and its routes the same way.
#include <filesystem>

#include <httplib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/dev/dev_server.h"

namespace zel::host {
namespace {

using testing::HasSubstr;
using testing::Not;

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
    EXPECT_THAT(docs->body, HasSubstr("url: \"/openapi.json\""));
  } else {
    EXPECT_THAT(docs->body, HasSubstr("<code>GET /zel-test/v1/double/{n}</code>"));
  }

  httplib::Result doubled = client.Get("/zel-test/v1/double/21");
  ASSERT_TRUE(doubled) << httplib::to_string(doubled.error());
  EXPECT_EQ(doubled->status, 200);
  EXPECT_EQ(doubled->body, "42");
  server.stop();
}

}  // namespace
}  // namespace zel::host
