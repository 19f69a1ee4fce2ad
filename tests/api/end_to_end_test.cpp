// Routing and invocation end to end: the tests' own plugin (tests/api/plugin)
// is loaded through our host and called only through the boundary records:
// the FunctionRecords of its ApiDescription, HostRequest and HostResponse.
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "api/describe_registry.h"
#include "boundary/description_records.h"
#include "boundary/method_codes.h"
#include "host/calling/response_reader.h"
#include "host/conversions/host_flat_value.h"
#include "host/description/api_description_view.h"
#include "host/fakes/recording_host_api.h"
#include "host/plugin_host.h"

namespace zel {
namespace {

// The plugin is driven through our host library, whose names read unqualified here.
using namespace host;

struct Call {
  std::uint32_t method = kMethodGet;
  std::string url;
  std::vector<std::pair<std::string, std::string>> headers = {};
  // Named (with a name) and positional (without) host arguments.
  std::vector<std::pair<std::optional<std::string>, HostValue>> arguments = {};
  std::optional<std::string> contentType = {};
  std::optional<std::string> body = {};
  std::uint32_t requestId = 0;
};

struct Answer {
  std::uint32_t status;
  std::optional<std::string> error;
  std::string body;  // HostValue::toText of the result
};

class TestPluginCalls : public testing::Test {
 public:
  // One plugin for the whole program, never unloaded: a library that carries
  // its own C++ runtime leaves that runtime's buffers behind when it goes.
  struct Loaded {
    RecordingHostApi api;
    PluginHost host{PluginLibrary::open(ZEL_TEST_PLUGIN_PATH)};
    bool ready = false;
  };

  static void SetUpTestSuite() {
    static Loaded* loaded = [] {
      auto* made = new Loaded;
      made->ready = made->host.load(kDefaultHostVersion) && made->host.attach(made->api.api(), 11);
      return made;
    }();
    loaded_ = loaded;
  }

  void SetUp() override { ASSERT_TRUE(loaded_->ready) << loaded_->host.error(); }

  const FunctionRecord* record(std::string_view name) const {
    const auto* record = static_cast<const FunctionRecord*>(host_.description()->functions);
    for (; record != nullptr; record = static_cast<const FunctionRecord*>(record->function.next)) {
      if (name == record->function.name) return record;
    }
    return nullptr;
  }

  // Calls the function's callback the way the platform's host does, reads
  // the response and hands it back through its release function.
  Answer call(std::string_view function, const Call& call) {
    const FunctionRecord* target = record(function);
    EXPECT_NE(target, nullptr) << function;
    if (target == nullptr) return Answer{};

    std::vector<const char*> headers;
    for (const auto& [name, value] : call.headers) {
      headers.push_back(name.c_str());
      headers.push_back(value.c_str());
    }
    std::vector<HostFlatValue> values;
    std::vector<RequestParameter> parameters;
    values.reserve(call.arguments.size());
    for (const auto& [name, value] : call.arguments) {
      values.emplace_back(value);
      parameters.push_back(RequestParameter{name ? name->c_str() : nullptr, values.back().value()});
    }
    HostRequest request{};
    request.method = call.method;
    request.url = call.url.c_str();
    request.parameters = parameters.empty() ? nullptr : parameters.data();
    request.parameterCount = static_cast<std::uint32_t>(parameters.size());
    request.context = const_cast<void*>(target->function.context);
    request.headers = headers.empty() ? nullptr : headers.data();
    request.headerCount = static_cast<std::uint32_t>(call.headers.size());
    request.contentType = call.contentType ? call.contentType->c_str() : nullptr;
    request.body = call.body ? call.body->data() : nullptr;
    request.bodyLength = call.body ? static_cast<std::uint32_t>(call.body->size()) : 0;
    request.handleOrRequestId = call.requestId;

    HostResponse response{};
    target->callback(&response, &request);
    const HostReply reply = readReply(response);
    EXPECT_TRUE(reply.hasRelease);
    EXPECT_TRUE(releaseResponse(response));
    const HostResponse zero{};
    EXPECT_EQ(std::memcmp(&response, &zero, sizeof(HostResponse)), 0)
        << "release zeroes the record";
    return Answer{reply.status, reply.error, reply.body.toText()};
  }

 protected:
  static inline Loaded* loaded_ = nullptr;
  PluginHost& host_ = loaded_->host;
};

struct Row {
  int line;
  const char* function;
  Call call;
  Answer expected;
};

void expectAnswers(TestPluginCalls& fixture, const std::vector<Row>& rows,
                   Answer (TestPluginCalls::*call)(std::string_view, const Call&)) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const Answer answer = (fixture.*call)(row.function, row.call);
    EXPECT_EQ(answer.status, row.expected.status);
    EXPECT_EQ(answer.error, row.expected.error);
    EXPECT_EQ(answer.body, row.expected.body);
  }
}

#define EXPECT_ANSWERS(...) expectAnswers(*this, __VA_ARGS__, &TestPluginCalls::call)

TEST_F(TestPluginCalls, DescriptionListsEveryRouteWithItsTemplateMethodAndLocations) {
  const ApiDescriptionView view = ApiDescriptionView::read(host_.description());
  EXPECT_EQ(view.functionCount(), 12u);
  EXPECT_TRUE(view.linksMatchCounts());

  const FunctionRecord* note = record("PostZelTestV1NoteById");
  ASSERT_NE(note, nullptr);
  EXPECT_STREQ(note->urlTemplate, "/zel-test/v1/note/{id}");
  EXPECT_EQ(+note->method, kMethodPost);
  EXPECT_EQ(+note->function.argumentCount, 3u);
  std::vector<std::uint32_t> locations;
  for (const ArgumentLocationNode* node = note->locations; node != nullptr; node = node->next) {
    locations.push_back(+node->location);
  }
  EXPECT_EQ(locations, (std::vector<std::uint32_t>{2, 0, 0}));
  EXPECT_STREQ(note->function.arguments[1].name, "text");
  EXPECT_EQ(+note->function.resultKind, 15u);         // vector
  EXPECT_EQ(+note->function.resultElementKind, 12u);  // of strings
  ASSERT_EQ(+note->function.tagCount, 2u);
  EXPECT_STREQ(note->function.tags[0], "Plugins");
  EXPECT_STREQ(note->function.tags[1], "Plugin zel-test");

  const FunctionRecord* point = record("PostZelTestV1Point");
  ASSERT_NE(point, nullptr);
  EXPECT_EQ(+point->function.arguments[0].kind, 17u);
  EXPECT_STREQ(point->function.arguments[0].typeName, "ZelTestPoint");
  EXPECT_EQ(+point->locations->location, 5u);
}

TEST_F(TestPluginCalls, PathArgumentsAndResultsOfEveryKind) {
  EXPECT_ANSWERS({
      {__LINE__, "GetZelTestV1DoubleByN", {.url = "/zel-test/v1/double/-0x10"}, {0, {}, "-32"}},
      {__LINE__,
       "GetZelTestV1DoubleByN",
       {.url = "/zel-test/v1/double/abc"},
       {0, "Value abc for 'n' of type int64 is in an incorrect format", "null"}},
      // The query is part of the path: it is matched into the placeholder, then bound.
      {__LINE__,
       "GetZelTestV1DoubleByN",
       {.url = "/zel-test/v1/double/4?n=1"},
       {0, "Argument 'n' for 'GetZelTestV1DoubleByN' was specified in an invalid location.",
        "null"}},
      {__LINE__,
       "GetZelTestV1DoubleByN",
       {.method = kMethodPost, .url = "/zel-test/v1/double/1"},
       {404, "Invalid function", "null"}},
      {__LINE__,
       "GetZelTestV1Whoami",
       {.url = "/zel-test/v1/whoami?token=abc"},
       {404, "Invalid function", "null"}},
      {__LINE__,
       "GetZelTestV1ColourByColour",
       {.url = "/zel-test/v1/colour/2"},
       {0, {}, "\"Blue\""}},
      {__LINE__,
       "GetZelTestV1ColourByColour",
       {.url = "/zel-test/v1/colour/Blue"},
       {409, "Blue is the last colour", "null"}},
      {__LINE__,
       "GetZelTestV1ColourByColour",
       {.url = "/zel-test/v1/colour/red"},
       {0, "red is not a valid ZelTestColour enumeration value for 'colour'.", "null"}},
      {__LINE__,
       "GetZelTestV1PointById",
       {.url = "/zel-test/v1/point/7"},
       {0, {}, "{\"colour\": \"Blue\", \"x\": 7, \"y\": -7}"}},
      {__LINE__,
       "GetZelTestV1PointById",
       {.url = "/zel-test/v1/point/8"},
       {404, "No point with id 8", "null"}},
  });
}

TEST_F(TestPluginCalls, QueryValuesHeadersAndHostArguments) {
  EXPECT_ANSWERS({
      {__LINE__, "GetZelTestV1NotByQuery", {.url = "/zel-test/v1/not"}, {0, {}, "true"}},
      {__LINE__, "GetZelTestV1NotByQuery", {.url = "/zel-test/v1/not?flag"}, {0, {}, "false"}},
      {__LINE__,
       "GetZelTestV1SumByQuery",
       {.url = "/zel-test/v1/sum?values=[1,2,%2039]"},
       {0, {}, "{\"count\": 3, \"names\": [], \"total\": 42}"}},
      {__LINE__,
       "GetZelTestV1SumByQuery",
       {.url = "/zel-test/v1/sum?values.0=5&values.2=0x7"},
       {0, {}, "{\"count\": 3, \"names\": [], \"total\": 12}"}},
      {__LINE__,
       "GetZelTestV1Whoami",
       {.url = "/zel-test/v1/whoami", .headers = {{"token", "abc"}}},
       {0, {}, "\"user of abc\""}},
      {__LINE__,
       "GetZelTestV1Whoami",
       {.url = "/zel-test/v1/whoami", .headers = {{"Token", "abc"}}},
       {0, "A value for 'token' is required.", "null"}},
      // Unnamed host arguments follow the path arguments.
      {__LINE__,
       "PostZelTestV1NoteById",
       {.method = kMethodPost,
        .url = "/zel-test/v1/note/3",
        .arguments = {{std::nullopt, HostValue::makeString("hi")},
                      {std::nullopt, HostValue::makeUnsigned(2)}}},
       {0, {}, "[\"3:hi\", \"3:hi\"]"}},
      {__LINE__,
       "PostZelTestV1NoteById",
       {.method = kMethodPost,
        .url = "/zel-test/v1/note/3",
        .arguments = {{"repeat", HostValue::makeSigned(1)}, {"text", HostValue::makeString("a")}}},
       {0, {}, "[\"3:a\"]"}},
      {__LINE__,
       "PostZelTestV1NoteById",
       {.method = kMethodPost,
        .url = "/zel-test/v1/note/3",
        .arguments = {{"text", HostValue::makeRawKind(11)}}},
       {0,
        "Couldn't assign value to 'text' of type object because the input is of an incompatible "
        "type ''.",
        "null"}},
  });
}

TEST_F(TestPluginCalls, BodiesDecodeByContentType) {
  const std::string json = R"({"x": 1, "y": 2, "colour": "Green"})";
  const std::string msgpack("\x82\xa1x\x01\xa1y\x02", 7);
  auto post = [](const char* contentType, std::string body) {
    return Call{.method = kMethodPost,
                .url = "/zel-test/v1/point",
                .contentType = contentType,
                .body = std::move(body)};
  };
  EXPECT_ANSWERS({
      {__LINE__,
       "PostZelTestV1Point",
       post("application/json; charset=utf-8", json),
       {0, {}, "{\"colour\": \"Green\", \"x\": 2, \"y\": 1}"}},
      {__LINE__,
       "PostZelTestV1Point",
       post("application/x-msgpack", msgpack),
       {0, {}, "{\"colour\": \"Red\", \"x\": 2, \"y\": 1}"}},
      {__LINE__,
       "PostZelTestV1Point",
       post("application/x-msgpack", msgpack + "\x01"),
       {0, "Extra MessgePack data found in body", "null"}},
      {__LINE__,
       "PostZelTestV1Point",
       post("application/x-yaml", "x: 3\ny: 4\ncolour: 4\n"),
       {0, {}, "{\"colour\": \"Blue\", \"x\": 4, \"y\": 3}"}},
      {__LINE__,
       "PostZelTestV1Point",
       post("text/json", json),
       {0, "Unsupported body content type", "null"}},
      {__LINE__,
       "PostZelTestV1Groups",
       {.method = kMethodPost,
        .url = "/zel-test/v1/groups",
        .contentType = "application/json",
        .body = R"({"a": [1, 2, 3], "b": []})"},
       {0, {}, "{\"a\": 3, \"b\": 0}"}},
  });
}

TEST_F(TestPluginCalls, CallInfoFormsSeeMethodPathHeadersAndRequestId) {
  EXPECT_ANSWERS({
      {__LINE__,
       "GetZelTestV1EchoByQuery",
       {.url = "/zel-test/v1/echo?text=a%2Bb+c",
        .headers = {{"user-agent", "tests"}},
        .requestId = 77},
       {0,
        {},
        "{\"count\": 2, \"names\": [\"GET\", \"/zel-test/v1/echo?text=a%2Bb+c\", "
        "\"a+b c\", \"tests\"], \"total\": 77}"}},
  });
}

TEST_F(TestPluginCalls, RepeatedCallsDoNotGrowThePluginsMemory) {
  const Call sum{.url = "/zel-test/v1/sum?values=[1,2,3]"};
  const Call failing{.url = "/zel-test/v1/double/x", .headers = {{"a", "b"}}};
  auto liveBytes = [this] {
    const MemoryStats stats = host_.memoryStats();
    return stats.bytesAllocated - stats.bytesFreed;
  };
  for (int i = 0; i < 50; ++i) {
    (void)call("GetZelTestV1SumByQuery", sum);
    (void)call("GetZelTestV1DoubleByN", failing);
  }
  const std::uint64_t settled = liveBytes();
  for (int i = 0; i < 200; ++i) {
    (void)call("GetZelTestV1SumByQuery", sum);
    (void)call("GetZelTestV1DoubleByN", failing);
  }
  EXPECT_EQ(liveBytes(), settled);
}

}  // namespace
}  // namespace zel
