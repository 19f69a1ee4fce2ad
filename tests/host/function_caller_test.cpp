// Calling the real plugin's functions through its ApiDescription, as the
// platform's host does.
#include "host/function_caller.h"

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boundary/description_records.h"
#include "boundary/method_codes.h"
#include "host/description/api_catalog.h"
#include "host/fakes/recording_host_api.h"
#include "host/plugin_host.h"

namespace zel::host {
namespace {

constexpr const char* kMapsJson = R"([
  {"id": 7, "name": "Harbor", "mapStringId": "harbor"},
  {"id": 9, "name": "Quarry"}
])";
constexpr const char* kMapAssetsJson = R"({
  "7": [{"gameMode": "DUEL", "isDefault": true, "gameModeName": "Duel"},
        {"gameMode": "RACE", "isDefault": false, "gameMutator": "NIGHT"}],
  "9": [{"gameMode": "RACE", "isDefault": false}]
})";

CallRequest requestFor(std::uint32_t method, std::string path) {
  CallRequest request;
  request.method = method;
  request.path = std::move(path);
  return request;
}

std::string textOf(const HostValue* value) {
  return value != nullptr ? value->bytes : std::string("<absent>");
}

class FunctionCallerTest : public testing::Test {
 protected:
  void SetUp() override {
    api_.answer(kMethodGet, "/zel-game-data/assets/v1/maps.json",
                ScriptedResponse::withStreamedText(kMapsJson, 16));
    api_.answer(kMethodGet, "/zel-game-data/assets/v1/map-assets/map-assets.json",
                ScriptedResponse::withStreamedText(kMapAssetsJson));
    ASSERT_TRUE(host_.load(kDefaultHostVersion)) << host_.error();
    ASSERT_TRUE(host_.attach(api_.api(), 3)) << host_.error();
    caller_.emplace(host_.description());
  }

  CallReply get(const std::string& path) {
    std::optional<CallReply> reply = caller_->routeAndCall(requestFor(kMethodGet, path));
    EXPECT_TRUE(reply.has_value()) << path;
    return reply ? *reply : CallReply{};
  }

  RecordingHostApi api_;
  PluginHost host_{PluginLibrary::open(ZEL_PLUGIN_PATH)};
  std::optional<FunctionCaller> caller_;
};

TEST_F(FunctionCallerTest, ReadsTheSixRoutesWithTheirArgumentLocations) {
  const ApiCatalog& catalog = caller_->catalog();
  ASSERT_EQ(catalog.functions.size(), 6u);
  struct Row {
    int line;
    std::uint32_t method;
    const char* urlTemplate;
    std::vector<std::string> arguments;
    std::uint32_t location;
  };
  const Row rows[] = {
      {__LINE__, kMethodGet, "/zel-maps/v1/maps", {}, kLocationAny},
      {__LINE__, kMethodGet, "/zel-maps/v2/maps", {}, kLocationAny},
      {__LINE__, kMethodGet, "/zel-maps/v1/map/{id}", {"id"}, kLocationPath},
      {__LINE__, kMethodGet, "/zel-maps/v2/map/{id}/{gameMode}", {"id", "gameMode"}, kLocationPath},
      {__LINE__,
       kMethodGet,
       "/zel-maps/v2/map/{id}/{gameMode}/{gameMutator}",
       {"id", "gameMode", "gameMutator"},
       kLocationPath},
      {__LINE__, kMethodPost, "/zel-maps/v1/map", {"map"}, kLocationBody},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.urlTemplate);
    const FunctionInfo* function = caller_->find(row.method, row.urlTemplate);
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(caller_->findByName(function->name), function);
    EXPECT_NE(function->callback, nullptr);
    EXPECT_NE(function->context, nullptr);
    std::vector<std::string> names;
    for (const ArgumentInfo& argument : function->arguments) {
      names.push_back(argument.name);
      EXPECT_EQ(argument.location, row.location) << argument.name;
    }
    EXPECT_EQ(names, row.arguments);
  }
  const FunctionInfo* byId = caller_->find(kMethodGet, "/zel-maps/v1/map/{id}");
  EXPECT_EQ(byId->arguments[0].type.kind, kTypeKindInt64);
  EXPECT_EQ(byId->result.kind, kTypeKindStruct);
  EXPECT_EQ(byId->result.typeName, "ZelMapsMaps");
  const TypeInfo* maps = catalog.findType("ZelMapsMaps");
  ASSERT_NE(maps, nullptr);
  EXPECT_EQ(maps->fields.size(), 15u);
  EXPECT_EQ(caller_->find(kMethodPut, "/zel-maps/v1/map"), nullptr);
}

TEST_F(FunctionCallerTest, RoutesByMethodAndPathToTheClosestTemplate) {
  struct Row {
    int line;
    std::uint32_t method;
    const char* path;
    const char* urlTemplate;  // null: no function fits
  };
  const Row rows[] = {
      {__LINE__, kMethodGet, "/zel-maps/v2/maps", "/zel-maps/v2/maps"},
      {__LINE__, kMethodGet, "/zel-maps/v2/maps?page=2", "/zel-maps/v2/maps"},
      {__LINE__, kMethodGet, "/zel-maps/v1/map/7", "/zel-maps/v1/map/{id}"},
      {__LINE__, kMethodGet, "/zel-maps/v2/map/7/DUEL", "/zel-maps/v2/map/{id}/{gameMode}"},
      {__LINE__, kMethodGet, "/zel-maps/v2/map/7/RACE/NIGHT",
       "/zel-maps/v2/map/{id}/{gameMode}/{gameMutator}"},
      {__LINE__, kMethodPost, "/zel-maps/v1/map", "/zel-maps/v1/map"},
      {__LINE__, kMethodGet, "/zel-maps/v1/map", nullptr},
      {__LINE__, kMethodPost, "/zel-maps/v1/maps", nullptr},
      {__LINE__, kMethodGet, "/zel-maps/v1/maps/", nullptr},
      {__LINE__, kMethodGet, "/zel-maps/v1/map//", nullptr},
      {__LINE__, kMethodGet, "/zel-maps/v2/map/7/RACE/NIGHT/x", nullptr},
      {__LINE__, kMethodGet, "zel-maps/v1/maps", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.path);
    const FunctionInfo* function = caller_->route(row.method, row.path);
    if (row.urlTemplate == nullptr) {
      EXPECT_EQ(function, nullptr);
    } else {
      ASSERT_NE(function, nullptr);
      EXPECT_EQ(function->urlTemplate, row.urlTemplate);
    }
  }
}

TEST_F(FunctionCallerTest, ListRoutesAnswerCollectionsOfMapRecords) {
  CallReply all = get("/zel-maps/v2/maps");
  EXPECT_FALSE(all.reply.error) << *all.reply.error;
  ASSERT_EQ(all.reply.body.flatKind(), FlatKind::Collection);
  ASSERT_EQ(all.reply.body.elements.size(), 3u);
  const HostValue& first = all.reply.body.elements[0];
  EXPECT_EQ(first.flatKind(), FlatKind::Structure);
  EXPECT_TRUE(all.reply.hasRelease);

  CallReply defaults = get("/zel-maps/v1/maps");
  ASSERT_EQ(defaults.reply.body.elements.size(), 1u);
  EXPECT_EQ(textOf(defaults.reply.body.elements[0].find("name")), "Harbor");
  EXPECT_EQ(textOf(defaults.reply.body.elements[0].find("gameModeName")), "Duel");
  // Every response the plugin filled went back through its release function.
  EXPECT_EQ(api_.responses().released.load(), api_.responses().given.load());
}

TEST_F(FunctionCallerTest, LookupsAnswerARecordOrTheNotFoundError) {
  struct Row {
    int line;
    const char* path;
    std::optional<std::string> error;
    std::uint32_t status;
    const char* gameMode;
  };
  const Row rows[] = {
      {__LINE__, "/zel-maps/v1/map/7", std::nullopt, 0, "DUEL"},
      // RACE exists only with a mutator: the default variant answers.
      {__LINE__, "/zel-maps/v2/map/7/RACE", std::nullopt, 0, "DUEL"},
      {__LINE__, "/zel-maps/v2/map/7/RACE/NIGHT", std::nullopt, 0, "RACE"},
      {__LINE__, "/zel-maps/v1/map/99", "No map with id 99", 404, nullptr},
      {__LINE__, "/zel-maps/v2/map/99/DUEL", "No map with id 99", 404, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.path);
    CallReply reply = get(row.path);
    EXPECT_EQ(reply.reply.error, row.error);
    EXPECT_EQ(reply.reply.status, row.status);
    if (row.gameMode != nullptr) {
      EXPECT_EQ(textOf(reply.reply.body.find("gameMode")), row.gameMode);
    }
  }
  // A path argument that is no number never reaches the maps operation.
  CallReply bad = get("/zel-maps/v1/map/abc");
  ASSERT_TRUE(bad.reply.error);
  EXPECT_THAT(*bad.reply.error, testing::HasSubstr("id"));
}

TEST_F(FunctionCallerTest, PostsABodyWithItsContentTypeAndSeesTheChange) {
  CallRequest post = requestFor(kMethodPost, "/zel-maps/v1/map");
  post.headers = {{"x-trace", "1"}};
  post.contentType = "application/json";
  post.body = R"({"id": 12, "name": "Lagoon", "gameMode": "DUEL", "isDefault": true})";
  post.requestId = 41;
  std::optional<CallReply> posted = caller_->routeAndCall(post);
  ASSERT_TRUE(posted);
  EXPECT_FALSE(posted->reply.error) << *posted->reply.error;
  EXPECT_EQ(textOf(get("/zel-maps/v1/map/12").reply.body.find("name")), "Lagoon");

  post.body = "{\"id\": ";
  std::optional<CallReply> malformed = caller_->routeAndCall(post);
  ASSERT_TRUE(malformed);
  EXPECT_TRUE(malformed->reply.error);
}

TEST_F(FunctionCallerTest, HostArgumentsTravelAsRequestParameters) {
  const FunctionInfo* function = caller_->find(kMethodGet, "/zel-maps/v1/map/{id}");
  ASSERT_NE(function, nullptr);
  // A named host argument binds after the path argument, so it wins.
  CallRequest request = requestFor(kMethodGet, "/zel-maps/v1/map/9");
  request.arguments.push_back(CallArgument{"id", HostValue::makeSigned(7)});
  EXPECT_EQ(textOf(caller_->call(*function, request).reply.body.find("name")), "Harbor");

  request.arguments = {CallArgument{"nope", HostValue::makeSigned(7)}};
  CallReply unknown = caller_->call(*function, request);
  EXPECT_EQ(unknown.reply.error, "Unknown argument 'nope' for '" + function->name + "'.");

  // The function's own callback still checks the path against its template.
  CallReply wrongPath = caller_->call(*function, requestFor(kMethodGet, "/elsewhere"));
  EXPECT_EQ(wrongPath.reply.error, "Invalid function");
  EXPECT_EQ(wrongPath.reply.status, 404u);
}

}  // namespace
}  // namespace zel::host
