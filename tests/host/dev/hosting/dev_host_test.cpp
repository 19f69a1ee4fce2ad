// The host of zel-host: what the plugin's requests, events and log lines
// meet, checked through the same HostApi table the plugin calls.
#include "host/dev/hosting/dev_host.h"

#include <cstring>
#include <mutex>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boundary/method_codes.h"
#include "host/calling/response_reader.h"

namespace zel::host {
namespace {

class DevHostTest : public testing::Test {
 protected:
  void SetUp() override {
    DevHostOptions options;
    options.pluginPath = ZEL_PLUGIN_PATH;
    options.gameDataDirectory = ZEL_GAME_DATA_DIR;
    options.verbose = true;
    options.log = [this](std::string_view line) {
      std::lock_guard lock(mutex_);
      logs_.emplace_back(line);
    };
    host_.emplace(std::move(options));
    ASSERT_TRUE(host_->start()) << host_->error();
  }

  // Sends a request through the host's table, as the plugin does, and reads
  // the answer the way the plugin would.
  CallReply send(std::uint32_t method, const char* url) {
    HostRequest request;
    std::memset(&request, 0, sizeof request);
    request.method = method;
    request.url = url;
    request.handleOrRequestId = DevHost::kPluginHandle;
    HostResponse response;
    std::memset(static_cast<void*>(&response), 0, sizeof response);
    HostApi* api = host_->hostApi();
    api->sendRequest(api, &response, &request);
    CallReply reply;
    reply.reply = readReply(response);
    if (reply.reply.streamed) reply.streamedBody = drainStream(response);
    releaseResponse(response);
    return reply;
  }

  std::vector<std::string> logs() {
    std::lock_guard lock(mutex_);
    return logs_;
  }

  std::mutex mutex_;
  std::vector<std::string> logs_;
  std::optional<DevHost> host_;
};

TEST_F(DevHostTest, ThePluginsRequestsReachTheGameDataAndTheHostedRoutes) {
  CallReply maps = send(kMethodGet, "/zel-game-data/assets/v1/maps.json");
  EXPECT_FALSE(maps.reply.error);
  ASSERT_TRUE(maps.streamedBody);
  EXPECT_THAT(*maps.streamedBody, testing::HasSubstr("\"Saltmarsh Crossing\""));

  CallReply route = send(kMethodGet, "/zel-maps/v1/map/3");
  EXPECT_FALSE(route.reply.error);
  const HostValue* name = route.reply.body.find("name");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->bytes, "Glasswind Steppe");

  CallReply missing = send(kMethodGet, "/zel-maps/v1/map/99");
  EXPECT_EQ(missing.reply.error, "No map with id 99");
  EXPECT_EQ(missing.reply.status, 404u);

  CallReply nobody = send(kMethodPost, "/telemetry/v1/events/started");
  EXPECT_EQ(nobody.reply.error, "No handler for POST /telemetry/v1/events/started");
  EXPECT_EQ(nobody.reply.status, 404u);

  EXPECT_THAT(logs(), testing::Contains(
                          testing::StartsWith("GET /zel-game-data/assets/v1/maps.json -> 200 (")));
  EXPECT_THAT(logs(), testing::Contains(testing::StartsWith("GET /zel-maps/v1/map/99 -> 404 (")));
}

// Methods and targets are the client's own bytes: none may reach the
// terminal as a control, whichever way it is encoded.
TEST_F(DevHostTest, TheRequestLogEscapesControlsAndInvalidUtf8) {
  struct Row {
    int line;
    const char* method;
    const char* url;
    const char* logged;
  };
  const Row rows[] = {
      {__LINE__, "GET", "/zel-maps/v1/map/3", "GET /zel-maps/v1/map/3 -> 200 (1.50 ms)"},
      {__LINE__, "GET", "/a\x1b]0;owned\x07/b\x1b[2J",
       "GET /a\\x1b]0;owned\\x07/b\\x1b[2J -> 200 (1.50 ms)"},
      {__LINE__, "GET", "/a\r\nGET /forged -> 200",
       "GET /a\\x0d\\x0aGET /forged -> 200 -> 200 (1.50 ms)"},
      {__LINE__, "GET", "/\x01\x1f\x7f", "GET /\\x01\\x1f\\x7f -> 200 (1.50 ms)"},
      // C1 controls as UTF-8 and as the lone bytes an 8-bit terminal obeys.
      {__LINE__, "GET", "/\xc2\x9b[2J\xc2\x80", "GET /\\xc2\\x9b[2J\\xc2\\x80 -> 200 (1.50 ms)"},
      {__LINE__, "GET", "/\x9b[2J\x84", "GET /\\x9b[2J\\x84 -> 200 (1.50 ms)"},
      // Invalid UTF-8: a cut sequence, an overlong ESC, a surrogate.
      {__LINE__, "GET", "/\xe2\x82", "GET /\\xe2\\x82 -> 200 (1.50 ms)"},
      {__LINE__, "GET", "/\xc0\x9b", "GET /\\xc0\\x9b -> 200 (1.50 ms)"},
      {__LINE__, "GET", "/\xed\xa0\x80", "GET /\\xed\\xa0\\x80 -> 200 (1.50 ms)"},
      // Printable UTF-8 stays as it is; a backslash is doubled.
      {__LINE__, "GET", "/caf\xc3\xa9\xc2\xa0\xe2\x82\xac",
       "GET /caf\xc3\xa9\xc2\xa0\xe2\x82\xac -> 200 (1.50 ms)"},
      {__LINE__, "GET", "/a\\x1b", "GET /a\\\\x1b -> 200 (1.50 ms)"},
      {__LINE__, "G\x1b[1mET", "/", "G\\x1b[1mET / -> 200 (1.50 ms)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    host_->logRequest(row.method, row.url, 200, std::chrono::microseconds(1500));
    EXPECT_THAT(logs(), testing::Contains(std::string(row.logged)));
  }
  // What the plugin asks for is logged the same way.
  send(kMethodGet, "/zel-maps/v1/map/\x1b[31m");
  EXPECT_THAT(logs(),
              testing::Contains(testing::StartsWith("GET /zel-maps/v1/map/\\x1b[31m -> 4")));
}

TEST_F(DevHostTest, PublishedEventsReachTheHubAndSubscribersGetDeliveries) {
  std::shared_ptr<EventListener> listener = host_->events().listen();
  EXPECT_EQ(host_->deliverEvent("OnRegionLocaleChanged", HostValue::makeNone()), 1u);
  EXPECT_EQ(host_->deliverEvent("OnNobodyListens", HostValue::makeNone()), 0u);
  std::vector<std::string> names;
  PublishedEvent event;
  while (listener->next(event, std::chrono::milliseconds(0))) names.push_back(event.name);
  EXPECT_THAT(names, testing::ElementsAre("OnJsonApiEvent_zel-maps_v1_maps", "OnJsonApiEvent",
                                          "OnJsonApiEvent_zel-maps_v2_maps", "OnJsonApiEvent"));

  host_->stop();
  EXPECT_FALSE(host_->running());
  EXPECT_TRUE(listener->closed());
}

TEST(DevHostStartTest, AMissingLibraryIsReported) {
  DevHostOptions options;
  options.pluginPath = "no-such-plugin-library";
  DevHost host(std::move(options));
  EXPECT_FALSE(host.start());
  EXPECT_THAT(host.error(),
              testing::StartsWith("Cannot load plugin library no-such-plugin-library"));
  EXPECT_FALSE(host.running());
}

// The plugin's log lines carry their level's name, or the number of a
// level that has none.
TEST_F(DevHostTest, LogLinesCarryTheirLevelsName) {
  const std::pair<std::int32_t, const char*> levels[] = {
      {0, "  OKAY zel-maps: line"}, {1, "  WARN zel-maps: line"}, {2, " ERROR zel-maps: line"},
      {3, "ALWAYS zel-maps: line"}, {7, "7 zel-maps: line"},       {-1, "-1 zel-maps: line"}};
  HostApi* api = host_->hostApi();
  for (const auto& [level, line] : levels) {
    SCOPED_TRACE(level);
    api->writeLog(api, level, "line\n");
    EXPECT_THAT(logs(), testing::Contains(std::string(line)));
  }
}

}  // namespace
}  // namespace zel::host
