// The dev host's mocks: several folders under their prefixes answer the
// plugin's requests before the hosted routes do, the longest prefix first.
#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boundary/method_codes.h"
#include "host/calling/response_reader.h"
#include "host/dev/hosting/dev_host.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

CallReply send(DevHost& host, const char* url) {
  HostRequest request;
  std::memset(&request, 0, sizeof request);
  request.method = kMethodGet;
  request.url = url;
  request.handleOrRequestId = DevHost::kPluginHandle;
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  HostApi* api = host.hostApi();
  api->sendRequest(api, &response, &request);
  CallReply reply;
  reply.reply = readReply(response);
  if (reply.reply.streamed) reply.streamedBody = drainStream(response);
  releaseResponse(response);
  return reply;
}

class DevHostMocksTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = testing_support::artifactDirectory() / "scratch" / "dev-host-mocks";
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "outer" / "b");
    std::filesystem::create_directories(root_ / "inner");
    testing_support::writeTextFile(root_ / "outer" / "x.json", "\"outer x\"");
    testing_support::writeTextFile(root_ / "outer" / "b" / "x.json", "\"outer b x\"");
    testing_support::writeTextFile(root_ / "inner" / "x.json", "\"inner x\"");
  }

  std::filesystem::path root_;
};

TEST_F(DevHostMocksTest, TheLongestPrefixAnswersAndTheRestReachesTheRoutes) {
  DevHostOptions options;
  options.pluginPath = ZEL_PLUGIN_PATH;
  options.gameDataDirectory = ZEL_GAME_DATA_DIR;
  // Given shortest first: the order given does not decide, the length does.
  options.mocks = {{"/a", (root_ / "outer").string()}, {"/a/b", (root_ / "inner").string()}};
  options.log = [](std::string_view) {};
  DevHost host(std::move(options));
  ASSERT_TRUE(host.start()) << host.error();

  EXPECT_EQ(send(host, "/a/x.json").streamedBody, "\"outer x\"");
  EXPECT_EQ(send(host, "/a/b/x.json").streamedBody, "\"inner x\"");

  CallReply maps = send(host, "/zel-game-data/assets/v1/maps.json");
  ASSERT_TRUE(maps.streamedBody);
  EXPECT_THAT(*maps.streamedBody, testing::HasSubstr("\"Saltmarsh Crossing\""));
  // The game-data folder serves every file in it, as any mock does.
  CallReply readme = send(host, "/zel-game-data/assets/v1/README.md");
  EXPECT_FALSE(readme.reply.error);

  // Not under any prefix: the hosted routes, then nobody.
  CallReply route = send(host, "/zel-maps/v1/map/3");
  EXPECT_FALSE(route.reply.error);
  CallReply nobody = send(host, "/ab/x.json");
  EXPECT_EQ(nobody.reply.error, "No handler for GET /ab/x.json");
  EXPECT_EQ(nobody.reply.status, 404u);

  CallReply missing = send(host, "/a/b/none.json");
  EXPECT_EQ(missing.reply.status, 404u);
  EXPECT_THAT(missing.reply.error.value_or(""), testing::StartsWith("Mock file "));
  CallReply escape = send(host, "/a/b/../x.json");
  EXPECT_EQ(escape.reply.status, 404u);
  EXPECT_EQ(escape.reply.error, "The mock refuses the path /a/b/../x.json");
}

TEST_F(DevHostMocksTest, AMockCanStandInForTheGameData) {
  DevHostOptions options;
  options.pluginPath = ZEL_PLUGIN_PATH;
  std::filesystem::path data = testing_support::copySampleGameData("mock-game-data");
  options.mocks = {{"/zel-game-data/assets/v1/", data.string()}};
  options.log = [](std::string_view) {};
  DevHost host(std::move(options));
  ASSERT_TRUE(host.start()) << host.error();
  CallReply route = send(host, "/zel-maps/v1/map/3");
  ASSERT_FALSE(route.reply.error) << *route.reply.error;
  const HostValue* name = route.reply.body.find("name");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->bytes, "Glasswind Steppe");
}

TEST_F(DevHostMocksTest, AMockOfTheGameDataPrefixReplacesTheGameDataFolder) {
  DevHostOptions options;
  options.pluginPath = ZEL_PLUGIN_PATH;
  options.gameDataDirectory = ZEL_GAME_DATA_DIR;
  options.mocks = {{"/zel-game-data/assets/v1", (root_ / "outer").string()}};
  options.log = [](std::string_view) {};
  DevHost host(std::move(options));
  ASSERT_TRUE(host.start()) << host.error();

  EXPECT_EQ(send(host, "/zel-game-data/assets/v1/x.json").streamedBody, "\"outer x\"");
  CallReply maps = send(host, "/zel-game-data/assets/v1/maps.json");
  EXPECT_EQ(maps.reply.status, 404u);
}

}  // namespace
}  // namespace zel::host
