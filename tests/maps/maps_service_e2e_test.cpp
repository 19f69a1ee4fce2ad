// The maps service end to end: the real plugin library loaded by our host,
// the game-data documents served by the recording host, every route called
// through the function records of the API description.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "boundary/method_codes.h"
#include "host/fakes/recording_host_api.h"
#include "host/function_caller.h"
#include "host/plugin_host.h"

namespace zel::maps {
namespace {

// The plugin is driven through our host library, whose names read unqualified here.
using namespace host;

constexpr const char kMapsUrl[] = "/zel-game-data/assets/v1/maps.json";
constexpr const char kAssetsUrl[] = "/zel-game-data/assets/v1/map-assets/map-assets.json";

constexpr const char kMapsJson[] = R"([
  {"id": 42, "name": "Harbor", "mapStringId": "HB"},
  {"id": 43, "name": "Orphan"},
  {"id": 7, "name": "Dunes", "properties": {"size": [3, 4]}}
])";
constexpr const char kAssetsJson[] = R"({
  "42": [{"gameMode": "A", "isDefault": true},
         {"gameMode": "B", "isDefault": false},
         {"gameMode": "B", "gameMutator": "X"}],
  "7": [{"gameMode": "A", "isDefault": true, "assets": {"icon": "d.png"}}]
})";

class MapsServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    serveGameData(kMapsJson, kAssetsJson);
    ASSERT_TRUE(host_.load({18, 0, 0})) << host_.error();
    ASSERT_TRUE(host_.attach(api_.api(), 5));
    caller_.emplace(host_.description());
  }

  void serveGameData(const std::string& maps, const std::string& assets) {
    // Small chunks, so the plugin reads the stream in several calls.
    api_.answer(kMethodGet, kMapsUrl, ScriptedResponse::withStreamedText(maps, 64));
    api_.answer(kMethodGet, kAssetsUrl, ScriptedResponse::withStreamedText(assets, 64));
  }

  CallReply call(std::uint32_t method, std::string path, std::optional<std::string> body = {},
                 std::optional<std::string> contentType = {}) {
    CallRequest request;
    request.method = method;
    request.path = std::move(path);
    request.body = std::move(body);
    request.contentType = std::move(contentType);
    std::optional<CallReply> reply = caller_->routeAndCall(request);
    EXPECT_TRUE(reply.has_value()) << request.path;
    return reply ? *reply : CallReply{};
  }

  // "name/mode/mutator" of each element of a list result.
  static std::string variants(const HostValue& list) {
    std::string text;
    for (const HostValue& map : list.elements) {
      text += map.find("name")->bytes + "/" + map.find("gameMode")->bytes + "/" +
              map.find("gameMutator")->bytes + " ";
    }
    return text;
  }

  static std::string nameOf(const CallReply& reply) {
    const HostValue* name = reply.reply.body.find("name");
    return name != nullptr ? name->bytes : "<none>";
  }

  RecordingHostApi api_;
  PluginHost host_{PluginLibrary::open(ZEL_PLUGIN_PATH)};
  std::optional<FunctionCaller> caller_;
};

TEST_F(MapsServiceTest, StartLoadsTheCatalogueAndAnnouncesIt) {
  const auto requests = api_.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].url, kMapsUrl);
  EXPECT_EQ(requests[1].url, kAssetsUrl);
  EXPECT_EQ(requests[0].pluginHandle, 5u);

  const auto events = api_.sentEvents();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].name, "OnJsonApiEvent_zel-maps_v1_maps");
  EXPECT_EQ(events[1].name, "OnJsonApiEvent");
  EXPECT_EQ(events[2].name, "OnJsonApiEvent_zel-maps_v2_maps");
  EXPECT_EQ(events[3].name, "OnJsonApiEvent");
  EXPECT_EQ(events[0].payload, events[1].payload);
  EXPECT_EQ(events[0].payload.find("uri")->bytes, "/zel-maps/v1/maps");
  EXPECT_EQ(events[2].payload.find("uri")->bytes, "/zel-maps/v2/maps");
  EXPECT_EQ(events[0].payload.find("eventType")->bytes, "Update");
  EXPECT_EQ(events[0].payload.find("data")->elements.size(), 2u);  // 42/A and 7/A
  EXPECT_EQ(events[2].payload.find("data")->elements.size(), 4u);

  bool subscribed = false;
  for (const auto& subscription : api_.activeSubscriptions()) {
    subscribed |= subscription.eventName == "OnRegionLocaleChanged";
  }
  EXPECT_TRUE(subscribed);
}

TEST_F(MapsServiceTest, ListRoutes) {
  const CallReply defaults = call(kMethodGet, "/zel-maps/v1/maps");
  EXPECT_FALSE(defaults.reply.error.has_value());
  const CallReply all = call(kMethodGet, "/zel-maps/v2/maps");
  ASSERT_EQ(all.reply.body.elements.size(), 4u);
  ASSERT_EQ(defaults.reply.body.elements.size(), 2u);
  // Within an id, list order; Orphan (no variants) is absent.
  const std::string text = variants(all.reply.body);
  EXPECT_NE(text.find("Harbor/A/ Harbor/B/ Harbor/B/X "), std::string::npos) << text;
  EXPECT_EQ(text.find("Orphan"), std::string::npos);
  // Fields and free-form properties come back as they were given.
  for (const HostValue& map : all.reply.body.elements) {
    if (map.find("name")->bytes != "Dunes") continue;
    EXPECT_EQ(map.find("assets")->find("icon")->bytes, "d.png");
    EXPECT_EQ(map.find("properties")->toText(), R"({"size": [3, 4]})");
  }
}

TEST_F(MapsServiceTest, LookupsAndFallbacks) {
  struct Row {
    int line;
    const char* path;
    const char* mode;
    const char* mutator;
  };
  const Row rows[] = {
      {__LINE__, "/zel-maps/v1/map/42", "A", ""},
      {__LINE__, "/zel-maps/v2/map/42/B", "B", ""},
      {__LINE__, "/zel-maps/v2/map/42/B/X", "B", "X"},
      {__LINE__, "/zel-maps/v2/map/42/B/Y", "B", ""},
      {__LINE__, "/zel-maps/v2/map/42/C", "A", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const CallReply reply = call(kMethodGet, row.path);
    ASSERT_FALSE(reply.reply.error.has_value()) << *reply.reply.error;
    EXPECT_EQ(reply.reply.body.find("gameMode")->bytes, row.mode);
    EXPECT_EQ(reply.reply.body.find("gameMutator")->bytes, row.mutator);
    EXPECT_EQ(reply.reply.body.find("id")->signedValue, 42);
  }
}

TEST_F(MapsServiceTest, UnknownIdAndBadIdAreErrors) {
  for (const char* path :
       {"/zel-maps/v1/map/99", "/zel-maps/v2/map/99/A", "/zel-maps/v2/map/99/A/X"}) {
    SCOPED_TRACE(path);
    const CallReply reply = call(kMethodGet, path);
    ASSERT_TRUE(reply.reply.error.has_value());
    EXPECT_EQ(*reply.reply.error, "No map with id 99");
    EXPECT_EQ(reply.reply.status, 404u);
  }
  const CallReply negative = call(kMethodGet, "/zel-maps/v1/map/-3");
  EXPECT_EQ(*negative.reply.error, "No map with id -3");
  const CallReply bad = call(kMethodGet, "/zel-maps/v1/map/abc");
  ASSERT_TRUE(bad.reply.error.has_value());
  EXPECT_NE(bad.reply.status, 200u);
}

TEST_F(MapsServiceTest, UpdateReplacesOrAppendsAndAnnounces) {
  const std::size_t eventsBefore = api_.sentEvents().size();
  CallReply reply = call(kMethodPost, "/zel-maps/v1/map",
                         R"({"id": 42, "gameMode": "B", "gameMutator": "X", "name": "Renamed"})",
                         "application/json");
  ASSERT_FALSE(reply.reply.error.has_value()) << *reply.reply.error;
  EXPECT_EQ(nameOf(call(kMethodGet, "/zel-maps/v2/map/42/B/X")), "Renamed");
  EXPECT_EQ(call(kMethodGet, "/zel-maps/v2/maps").reply.body.elements.size(), 4u);  // in place

  const auto events = api_.sentEvents();
  ASSERT_EQ(events.size(), eventsBefore + 4);
  EXPECT_EQ(events[eventsBefore].name, "OnJsonApiEvent_zel-maps_v1_maps");
  EXPECT_EQ(events[eventsBefore + 2].name, "OnJsonApiEvent_zel-maps_v2_maps");
  EXPECT_NE(events[eventsBefore + 2].payload.toText().find("Renamed"), std::string::npos);

  // A new mutator appends; a new id creates the id. YAML bodies work too.
  reply = call(kMethodPost, "/zel-maps/v1/map", "id: 42\ngameMode: B\ngameMutator: Z\n",
               "application/x-yaml");
  ASSERT_FALSE(reply.reply.error.has_value()) << *reply.reply.error;
  reply = call(kMethodPost, "/zel-maps/v1/map", R"({"id": 500, "isDefault": true, "name": "New"})",
               "application/json");
  ASSERT_FALSE(reply.reply.error.has_value());
  EXPECT_EQ(call(kMethodGet, "/zel-maps/v2/maps").reply.body.elements.size(), 6u);
  EXPECT_EQ(nameOf(call(kMethodGet, "/zel-maps/v1/map/500")), "New");
}

TEST_F(MapsServiceTest, MalformedBodyIsRefusedWithoutChange) {
  const std::size_t eventsBefore = api_.sentEvents().size();
  const CallReply reply =
      call(kMethodPost, "/zel-maps/v1/map", R"({"id": "forty"})", "application/json");
  ASSERT_TRUE(reply.reply.error.has_value());
  EXPECT_EQ(api_.sentEvents().size(), eventsBefore);
  EXPECT_EQ(call(kMethodGet, "/zel-maps/v2/maps").reply.body.elements.size(), 4u);
}

TEST_F(MapsServiceTest, RegionChangeReloadsAndReplacesTheCatalogue) {
  serveGameData(R"([{"id": 8, "name": "Fresh"}])",
                R"({"8": [{"gameMode": "A", "isDefault": true}]})");
  EXPECT_EQ(api_.deliverEvent("OnRegionLocaleChanged", HostValue::makeStructure({})), 1u);
  const CallReply all = call(kMethodGet, "/zel-maps/v2/maps");
  ASSERT_EQ(all.reply.body.elements.size(), 1u);
  EXPECT_EQ(all.reply.body.elements[0].find("name")->bytes, "Fresh");
  EXPECT_EQ(call(kMethodGet, "/zel-maps/v1/map/42").reply.status, 404u);
  const auto events = api_.sentEvents();
  ASSERT_EQ(events.size(), 8u);
  EXPECT_EQ(events[6].payload.find("data")->elements.size(), 1u);
}

TEST_F(MapsServiceTest, FailedDocumentKeepsTheCatalogueAndLogs) {
  api_.answer(kMethodGet, kMapsUrl, ScriptedResponse::withError("gone", 500));
  const std::size_t requestsBefore = api_.requests().size();
  api_.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone());
  EXPECT_EQ(api_.requests().size(), requestsBefore + 1);  // map-assets not requested
  api_.answer(kMethodGet, kMapsUrl, ScriptedResponse::withStreamedText(kMapsJson));
  api_.answer(kMethodGet, kAssetsUrl,
              ScriptedResponse::withStreamedText("[1, 2]"));  // not an object
  api_.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone());

  EXPECT_EQ(api_.sentEvents().size(), 4u);  // only the start's
  EXPECT_EQ(call(kMethodGet, "/zel-maps/v2/maps").reply.body.elements.size(), 4u);
  std::vector<std::string> errors;
  for (const auto& log : api_.logs()) {
    if (log.level == 2) errors.push_back(log.text);
  }
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "Could not deserialize assets/v1/maps.json");
  EXPECT_EQ(errors[1], "Could not deserialize assets/v1/map-assets/map-assets.json");
}

TEST_F(MapsServiceTest, ConcurrentCallsAndReloadsLoseNothing) {
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) {
        const std::string body = R"({"id": )" + std::to_string(1000 + t) +
                                 R"(, "gameMode": "M", "gameMutator": ")" + std::to_string(i) +
                                 "\"}";
        if (call(kMethodPost, "/zel-maps/v1/map", body, "application/json").reply.error) ++failures;
        if (call(kMethodGet, "/zel-maps/v2/map/42/B").reply.error) ++failures;
      }
    });
  }
  std::thread reloader([&] {
    while (!done.load()) api_.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone());
  });
  for (auto& thread : threads) thread.join();
  done = true;
  reloader.join();
  EXPECT_EQ(failures.load(), 0);
  // After a last reload the catalogue is exactly what the documents say.
  api_.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone());
  EXPECT_EQ(call(kMethodGet, "/zel-maps/v2/maps").reply.body.elements.size(), 4u);
}

TEST_F(MapsServiceTest, ThousandsOfCallsKeepLiveBytesFlat) {
  auto live = [this] {
    const MemoryStats stats = host_.memoryStats();
    return static_cast<std::int64_t>(stats.bytesAllocated - stats.bytesFreed);
  };
  for (int i = 0; i < 50; ++i) (void)call(kMethodGet, "/zel-maps/v2/maps");  // warm up
  const std::int64_t before = live();
  for (int i = 0; i < 2000; ++i) {
    (void)call(kMethodGet, "/zel-maps/v2/maps");
    (void)call(kMethodGet, "/zel-maps/v2/map/42/B/X");
    (void)call(kMethodGet, "/zel-maps/v1/map/99");
    (void)call(kMethodPost, "/zel-maps/v1/map", R"({"id": 42, "gameMode": "A", "isDefault": true})",
               "application/json");
  }
  EXPECT_EQ(live(), before);
}

}  // namespace
}  // namespace zel::maps
