// zel-host serve's bridge, in process: real HTTP requests on an ephemeral
// port of 127.0.0.1 against the real plugin and a scratch copy of the
// sample game data.
#include "host/dev/serving/dev_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/dev/documents/json_value.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

using testing::HasSubstr;
using testing_support::copySampleGameData;
using testing_support::readTextFile;
using testing_support::writeTextFile;

// The sample data: 12 maps with a default variant each, 28 variants in all.
constexpr std::size_t kDefaultVariants = 12;
constexpr std::size_t kAllVariants = 28;

HostValue parsed(const std::string& text) {
  std::string error;
  std::optional<HostValue> value = parseJson(text, error);
  EXPECT_TRUE(value.has_value()) << error << "\n" << text.substr(0, 400);
  return value.value_or(HostValue());
}

std::string textField(const HostValue& value, std::string_view key) {
  const HostValue* field = value.find(key);
  return field != nullptr ? field->bytes : std::string("<absent>");
}

std::int64_t numberField(const HostValue& value, std::string_view key) {
  const HostValue* field = value.find(key);
  return field != nullptr ? field->signedValue : -1;
}

class DevServerTest : public testing::Test {
 protected:
  void SetUp() override {
    gameData_ = copySampleGameData(testing::UnitTest::GetInstance()->current_test_info()->name());
    DevHostOptions options;
    options.pluginPath = ZEL_PLUGIN_PATH;
    options.gameDataDirectory = gameData_.string();
    options.log = [this](std::string_view line) {
      std::lock_guard lock(logMutex_);
      logs_.emplace_back(line);
    };
    host_ = std::make_unique<DevHost>(std::move(options));
    ASSERT_TRUE(host_->start()) << host_->error();
    DevServerOptions serverOptions;
    serverOptions.swaggerUiDirectory = std::string(ZEL_NODE_MODULES_DIR) + "/swagger-ui-dist";
    server_ = std::make_unique<DevServer>(*host_, serverOptions);
    ASSERT_TRUE(server_->bind()) << server_->error();
    ASSERT_GT(server_->port(), 0);
    server_->start();
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
    client_->set_read_timeout(std::chrono::seconds(10));
    // One request sends a 50 MB body, which takes wine's sockets more than
    // the client's default five seconds on a busy machine.
    client_->set_write_timeout(std::chrono::seconds(60));
  }

  void TearDown() override {
    if (server_) server_->stop();
  }

  // The response, or a failed expectation with a placeholder.
  httplib::Response get(const std::string& path) {
    httplib::Result result = client_->Get(path.c_str());
    EXPECT_TRUE(result) << path << ": " << httplib::to_string(result.error());
    return result ? *result : httplib::Response();
  }

  httplib::Response post(const std::string& path, const std::string& body,
                         const std::string& contentType) {
    httplib::Result result = client_->Post(path.c_str(), body, contentType.c_str());
    EXPECT_TRUE(result) << path << ": " << httplib::to_string(result.error());
    return result ? *result : httplib::Response();
  }

  void expectStillServing() {
    httplib::Response response = get("/zel-maps/v1/map/1");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(textField(parsed(response.body), "name"), "Saltmarsh Crossing");
  }

  std::filesystem::path gameData_;
  std::mutex logMutex_;
  std::vector<std::string> logs_;
  std::unique_ptr<DevHost> host_;
  std::unique_ptr<DevServer> server_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(DevServerTest, EveryRouteAnswersJsonWithItsStatus) {
  httplib::Response defaults = get("/zel-maps/v1/maps");
  EXPECT_EQ(defaults.status, 200);
  EXPECT_EQ(defaults.get_header_value("Content-Type"), "application/json");
  EXPECT_EQ(parsed(defaults.body).elements.size(), kDefaultVariants);
  EXPECT_EQ(parsed(get("/zel-maps/v2/maps").body).elements.size(), kAllVariants);

  struct Row {
    int line;
    const char* path;
    int status;
    const char* key;
    const char* expected;
  };
  const Row rows[] = {
      {__LINE__, "/zel-maps/v1/map/5", 200, "name", "Tidebreak Keep"},
      {__LINE__, "/zel-maps/v2/map/5/SKIRMISH", 200, "gameMode", "SKIRMISH"},
      {__LINE__, "/zel-maps/v2/map/4/HUNT/NIGHTFALL", 200, "gameMutator", "NIGHTFALL"},
      // No FOG variant of SIEGE on map 2: the default answers.
      {__LINE__, "/zel-maps/v2/map/2/SIEGE/FOG", 200, "gameMutator", ""},
      {__LINE__, "/zel-maps/v1/map/13", 404, "error", "No map with id 13"},
      {__LINE__, "/zel-maps/v2/map/99/SIEGE", 404, "error", "No map with id 99"},
      {__LINE__, "/zel-maps/v1/map/abc", 400, "error",
       "Value abc for 'id' of type int64 is in an incorrect format"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.path);
    httplib::Response response = get(row.path);
    EXPECT_EQ(response.status, row.status);
    HostValue body = parsed(response.body);
    EXPECT_EQ(textField(body, row.key), row.expected);
    if (row.status != 200) {
      EXPECT_EQ(numberField(body, "status"), row.status);
    }
  }
}

TEST_F(DevServerTest, PostTakesJsonMessagePackAndYamlBodies) {
  // {"id": 60 + n, "name": ..., "gameMode": "RELAY"} in each format.
  const char kPacked[] = "\x83\xa2id\x3d\xa4name\xa6Packed\xa8gameMode\xa5RELAY";
  const std::string messagePack(kPacked, sizeof kPacked - 1);
  struct Row {
    int line;
    const char* contentType;
    std::string body;
    const char* mapPath;
    const char* name;
  };
  const Row rows[] = {
      {__LINE__, "application/json", R"({"id": 60, "name": "Jsoned", "gameMode": "RELAY"})",
       "/zel-maps/v2/map/60/RELAY", "Jsoned"},
      {__LINE__, "application/json; charset=utf-8",
       R"({"id": 60, "name": "Replaced", "gameMode": "RELAY"})", "/zel-maps/v2/map/60/RELAY",
       "Replaced"},
      {__LINE__, "application/x-msgpack", messagePack, "/zel-maps/v2/map/61/RELAY", "Packed"},
      {__LINE__, "application/x-yaml", "id: 62\nname: Yamled\ngameMode: RELAY\n",
       "/zel-maps/v2/map/62/RELAY", "Yamled"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.contentType);
    httplib::Response posted = post("/zel-maps/v1/map", row.body, row.contentType);
    EXPECT_EQ(posted.status, 200) << posted.body;
    EXPECT_EQ(posted.body, "null");
    httplib::Response map = get(row.mapPath);
    EXPECT_EQ(map.status, 200);
    EXPECT_EQ(textField(parsed(map.body), "name"), row.name);
  }
  EXPECT_EQ(parsed(get("/zel-maps/v2/maps").body).elements.size(), kAllVariants + 3);
}

TEST_F(DevServerTest, TheEventStreamCarriesTheFourCatalogueEventsOfAnUpdate) {
  std::mutex mutex;
  std::string stream;
  std::atomic<bool> done{false};
  httplib::Client events("127.0.0.1", server_->port());
  events.set_read_timeout(std::chrono::seconds(10));
  std::thread reader([&] {
    events.Get("/events", [&](const char* data, std::size_t length) {
      std::lock_guard lock(mutex);
      stream.append(data, length);
      return !done.load();
    });
  });
  auto streamed = [&] {
    std::lock_guard lock(mutex);
    return stream;
  };
  auto waitFor = [&](auto condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition(streamed()) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition(streamed());
  };
  auto countEvents = [](const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = text.find("\nevent: "); at != std::string::npos;
         at = text.find("\nevent: ", at + 1)) {
      ++count;
    }
    return count;
  };
  // The opening comment shows the stream is subscribed.
  ASSERT_TRUE(waitFor([](const std::string& text) { return !text.empty(); }));

  httplib::Response posted =
      post("/zel-maps/v1/map", R"({"id": 70, "name": "Evented", "gameMode": "HUNT"})",
           "application/json");
  EXPECT_EQ(posted.status, 200);
  // Four events, the last one written out to its closing blank line.
  bool four = waitFor(
      [&](const std::string& text) { return countEvents(text) >= 4 && text.ends_with("\n\n"); });
  done = true;
  std::string text = streamed();
  EXPECT_TRUE(four) << text.substr(0, 2000);
  EXPECT_EQ(countEvents(text), 4u);
  std::vector<std::string> names;
  for (std::size_t at = text.find("event: "); at != std::string::npos;
       at = text.find("event: ", at + 1)) {
    names.push_back(text.substr(at + 7, text.find('\n', at) - at - 7));
  }
  EXPECT_THAT(names, testing::ElementsAre("OnJsonApiEvent_zel-maps_v1_maps", "OnJsonApiEvent",
                                          "OnJsonApiEvent_zel-maps_v2_maps", "OnJsonApiEvent"));
  // Each data line is the resource event as JSON, the new variant included.
  std::size_t data = text.rfind("data: ");
  ASSERT_NE(data, std::string::npos);
  HostValue last = parsed(text.substr(data + 6, text.find('\n', data) - data - 6));
  EXPECT_EQ(textField(last, "uri"), "/zel-maps/v2/maps");
  ASSERT_NE(last.find("data"), nullptr);
  EXPECT_EQ(last.find("data")->elements.size(), kAllVariants + 1);

  server_->stop();  // ends the stream, so the reader returns
  reader.join();
}

// A client that stops reading holds its events in its listener, shared with
// the others, until they pass the listener's bound: then its stream ends
// with a comment saying why, while a client that reads gets every event.
TEST_F(DevServerTest, AnEventClientThatStopsReadingIsClosedPastItsBoundAndOthersGoOn) {
  std::mutex mutex;
  std::condition_variable changed;
  std::string reading;
  std::string stalled;
  bool stalledGreeted = false;
  bool released = false;
  std::atomic<bool> done{false};
  auto readEvents = [&](bool stall) {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_read_timeout(std::chrono::seconds(20));
    if (stall) {
      // A small window, so that little waits in the sockets on the way.
      client.set_socket_options([](socket_t socket) {
        int size = 16 << 10;
        setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size),
                   sizeof size);
      });
    }
    client.Get("/events", [&](const char* data, std::size_t length) {
      std::unique_lock lock(mutex);
      if (stall) {
        stalledGreeted = true;
        changed.notify_all();
        // Reads nothing more until released: the server's writes stall.
        changed.wait_for(lock, std::chrono::seconds(20), [&] { return released; });
      }
      (stall ? stalled : reading).append(data, length);
      changed.notify_all();
      return !done.load();
    });
  };
  std::thread readingThread(readEvents, false);
  std::thread stalledThread(readEvents, true);
  auto waitFor = [&](auto condition) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), condition);
  };
  ASSERT_TRUE(waitFor([&] { return stalledGreeted && !reading.empty(); }));

  // Well past the bound and what the sockets buffer on the way (the server's
  // side up to 4 MiB).
  constexpr int kEvents = 32;
  const std::string payload = "\"" + std::string(1u << 20, 'p') + "\"";
  // Counted as they come: the text grows to tens of MiB.
  const std::string big = "\nevent: Big\n";
  std::size_t scanned = 0;
  int received = 0;
  auto receivedAll = [&](int count) {
    for (std::size_t at = reading.find(big, scanned); at != std::string::npos;
         at = reading.find(big, scanned)) {
      ++received;
      scanned = at + big.size();
    }
    scanned = std::max(scanned, reading.size() - std::min(reading.size(), big.size()));
    return received >= count;
  };
  for (int i = 1; i <= kEvents; ++i) {
    host_->events().publish("Big", payload);
    EXPECT_TRUE(waitFor([&] { return receivedAll(i); })) << i;
  }
  EXPECT_EQ(received, kEvents);
  {
    std::lock_guard lock(mutex);
    released = true;
  }
  changed.notify_all();
  const std::string closing = ": closed: this listener fell more than 16 MiB behind\n\n";
  EXPECT_TRUE(waitFor([&] { return stalled.ends_with(closing); }));
  std::unique_lock lock(mutex);
  std::size_t stalledEvents = 0;
  for (std::size_t at = stalled.find("\nevent: Big\n"); at != std::string::npos;
       at = stalled.find("\nevent: Big\n", at + 1)) {
    ++stalledEvents;
  }
  EXPECT_LT(stalledEvents, static_cast<std::size_t>(kEvents));

  lock.unlock();

  host_->events().publish("After", "1");
  EXPECT_TRUE(waitFor([&] { return reading.ends_with("event: After\ndata: 1\n\n"); }));
  done = true;
  server_->stop();
  readingThread.join();
  stalledThread.join();
}

TEST_F(DevServerTest, ARegionChangeReloadsTheEditedGameData) {
  EXPECT_EQ(textField(parsed(get("/zel-maps/v1/map/3").body), "name"), "Glasswind Steppe");
  std::filesystem::path maps = gameData_ / "maps.json";
  std::string text = readTextFile(maps);
  std::size_t at = text.find("Glasswind Steppe");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 16, "Glasswind Flats");
  writeTextFile(maps, text);

  httplib::Response delivered = post("/events/OnRegionLocaleChanged",
                                     R"({"region": "EUW", "locale": "en_GB"})", "application/json");
  EXPECT_EQ(delivered.status, 200);
  EXPECT_EQ(numberField(parsed(delivered.body), "delivered"), 1);
  EXPECT_EQ(textField(parsed(get("/zel-maps/v1/map/3").body), "name"), "Glasswind Flats");

  // A broken document leaves the catalogue as it was, and says so in the log.
  writeTextFile(maps, "[{\"id\": ");
  EXPECT_EQ(post("/events/OnRegionLocaleChanged", "", "application/json").status, 200);
  EXPECT_EQ(textField(parsed(get("/zel-maps/v1/map/3").body), "name"), "Glasswind Flats");
  std::lock_guard lock(logMutex_);
  EXPECT_THAT(logs_,
              testing::Contains(" ERROR zel-maps: Could not deserialize assets/v1/maps.json"));
}

TEST_F(DevServerTest, BadInputAnswersAJsonErrorAndTheServerKeepsServing) {
  struct Row {
    int line;
    const char* method;
    std::string path;
    std::string body;
    const char* contentType;
    int status;
    const char* errorPart;
  };
  const Row rows[] = {
      {__LINE__, "GET", "/no/such/route", "", "", 404, "No function for GET /no/such/route"},
      {__LINE__, "DELETE", "/zel-maps/v1/maps", "", "", 405, "the path has other methods"},
      {__LINE__, "POST", "/zel-maps/v1/map", "{\"id\": 1,", "application/json", 400, ""},
      {__LINE__, "POST", "/zel-maps/v1/map", "id=1", "text/plain", 400,
       "Unsupported body content type"},
      {__LINE__, "POST", "/zel-maps/v1/map", std::string(50u << 20, ' '), "application/json", 413,
       "too large"},
      // The plugin reads JSON without checking the encoding, so this one is
      // taken; the bridge still answers valid UTF-8 (below).
      {__LINE__, "POST", "/zel-maps/v1/map",
       "{\"id\": 80, \"isDefault\": true, \"gameMode\": \"B\", \"name\": \"\xff\xfe\"}",
       "application/json", 200, ""},
      {__LINE__, "GET", "/" + std::string(300, '%'), "", "", 404, "No function for GET /%%%"},
      {__LINE__, "GET", "/zel-maps/v2/map/1/%%41%", "", "", 200, ""},
      {__LINE__, "GET", "/zel-maps/v2/map/1/%FF%FE", "", "", 200, ""},
      {__LINE__, "GET", "/zel-maps/v1/map/" + std::string(3000, '7'), "", "", 414, "longer than"},
      // A target of 2048 bytes is the longest taken.
      {__LINE__, "GET", "/" + std::string(2047, 'a'), "", "", 404, "No function for GET /aaa"},
      {__LINE__, "GET", "/" + std::string(2048, 'a'), "", "", 414, "longer than 2048"},
      {__LINE__, "POST", "/events/OnRegionLocaleChanged", "{region", "application/json", 400,
       "is not JSON"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << "line " << row.line << ": " << row.method << " " << row.path.substr(0, 60));
    httplib::Request request;
    request.method = row.method;
    request.path = row.path;
    request.body = row.body;
    if (*row.contentType != '\0') request.set_header("Content-Type", row.contentType);
    httplib::Result result = client_->send(request);
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, row.status);
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
    HostValue body = parsed(result->body);  // valid JSON, even for invalid UTF-8
    if (row.status != 200) {
      EXPECT_THAT(textField(body, "error"), HasSubstr(row.errorPart));
      EXPECT_EQ(numberField(body, "status"), row.status);
    }
    expectStillServing();
  }
  EXPECT_EQ(textField(parsed(get("/zel-maps/v1/map/80").body), "name"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Memory that runs out while an answer is written (the JSON writers' test
// limit fails every block past it) ends that request with the usual error,
// never the server; a small answer is served under the same limit, and
// every answer once it is lifted.
TEST_F(DevServerTest, AnAnswerThatRunsOutOfMemoryIsA500AndTheServerGoesOn) {
  struct Row {
    int line;
    std::size_t limit;
    const char* path;
    const char* error;
  };
  const Row rows[] = {
      {__LINE__, 4096, "/zel-maps/v2/maps",
       "zel-host ran out of memory answering GET /zel-maps/v2/maps"},
      {__LINE__, 4096, "/openapi.json?x=1",
       "zel-host ran out of memory answering GET /openapi.json"},
      // Not even the error's text fits: a fixed one.
      {__LINE__, 100, "/zel-maps/v1/map/1", "zel-host ran out of memory"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.path);
    setJsonAllocationLimitForTest(row.limit);
    httplib::Result result = client_->Get(row.path);
    httplib::Result small = client_->Get("/zel-maps/v1/map/1");
    setJsonAllocationLimitForTest(0);
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 500);
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
    HostValue body = parsed(result->body);
    EXPECT_EQ(textField(body, "error"), row.error);
    EXPECT_EQ(numberField(body, "status"), 500);
    ASSERT_TRUE(small) << httplib::to_string(small.error());
    EXPECT_EQ(small->status, row.limit > 1000 ? 200 : 500);
    expectStillServing();
  }
  EXPECT_EQ(parsed(get("/zel-maps/v2/maps").body).elements.size(), kAllVariants);
}

TEST_F(DevServerTest, ServesTheDescriptionAndTheApiBrowser) {
  httplib::Response description = get("/openapi.json");
  EXPECT_EQ(description.status, 200);
  HostValue document = parsed(description.body);
  EXPECT_EQ(textField(document, "openapi"), "3.1.0");
  ASSERT_NE(document.find("paths"), nullptr);
  EXPECT_EQ(document.find("paths")->fields.size(), 6u);

  httplib::Response docs = get("/docs");
  EXPECT_EQ(docs.status, 200);
  EXPECT_THAT(docs.get_header_value("Content-Type"), HasSubstr("text/html"));
  if (docs.body.find("/docs/start.js") == std::string::npos) {
    EXPECT_THAT(docs.body, HasSubstr("/openapi.json"));
    GTEST_SKIP() << "swagger-ui-dist is not installed (scripts/setup installs it)";
  }
  EXPECT_THAT(get("/docs/start.js").body, HasSubstr("SwaggerUIBundle"));
  httplib::Response bundle = get("/docs/assets/swagger-ui-bundle.js");
  EXPECT_EQ(bundle.status, 200);
  EXPECT_GT(bundle.body.size(), 100000u);
}

}  // namespace
}  // namespace zel::host
