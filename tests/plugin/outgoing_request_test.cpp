// Outgoing requests through the recording host: inline and streamed answers,
// the yield while a stream has no data, the four request errors with their
// statuses and fields, and the release of every response, once.
#include "plugin/outgoing_request.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/type_registry.h"
#include "boundary/method_codes.h"
#include "host/fakes/recording_host_api.h"
#include "memory/memory.h"
#include "plugin/internal/host_channel.h"
#include "plugin/internal/request_sending.h"

namespace zel {
namespace {

using host::HostCall;
using host::HostValue;
using host::RecordingHostApi;
using host::ScriptedResponse;
using host::ScriptedStream;
using plugin::internal::HostChannel;

constexpr std::uint32_t kHandle = 0x77;

struct Unregistered {
  int x = 0;
};

class OutgoingRequest : public testing::Test {
 protected:
  template <typename T>
  RequestResult<T> get(const char* url) {
    return plugin::internal::request<T>(channel_, &registry_, HttpMethod::Get, url);
  }

  std::uint32_t released() const { return host_.responses().released.load(); }
  std::uint32_t given() const { return host_.responses().given.load(); }

  RecordingHostApi host_;
  // The plugin side of the requests: the channel to the recording host.
  HostChannel channel_{host_.api(), kHandle};
  TypeRegistry registry_;
};

TEST_F(OutgoingRequest, InlineBodiesConvertToTheRequestedType) {
  host_.answer(kMethodGet, "/zel-game-data/maps.json",
               ScriptedResponse::withBody(HostValue::makeCollection(
                   {HostValue::makeString("a"), HostValue::makeString("b", false)})));
  RequestResult<std::vector<std::string>> result =
      get<std::vector<std::string>>("/zel-game-data/maps.json");
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(result.value(), (std::vector<std::string>{"a", "b"}));

  const std::vector<host::RecordedRequest> sent = host_.requests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].method, kMethodGet);
  EXPECT_EQ(sent[0].url, "/zel-game-data/maps.json");
  EXPECT_EQ(sent[0].pluginHandle, kHandle);
  EXPECT_TRUE(sent[0].parameters.empty());
  EXPECT_EQ(sent[0].context, nullptr);
  EXPECT_TRUE(sent[0].headers.empty());
  EXPECT_EQ(sent[0].contentType, std::nullopt);
  EXPECT_EQ(released(), 1u);
}

TEST_F(OutgoingRequest, FullChunksAreReadWithoutYielding) {
  const std::string text = "[\"" + std::string(8198, 'a') + "\"]";  // 4096 + 4096 + 10 bytes
  host_.answer(kMethodGet, "/s",
               ScriptedResponse::withStream(ScriptedStream().chunked(text, 4096)));
  RequestResult<std::vector<std::string>> result = get<std::vector<std::string>>("/s");
  ASSERT_TRUE(result.ok()) << result.error().message;
  ASSERT_EQ(result.value().size(), 1u);
  EXPECT_EQ(result.value()[0].size(), 8198u);
  EXPECT_EQ(host_.responses().streamReads.load(), 3u);
  EXPECT_EQ(host_.responses().streamCloses.load(), 1u);
  EXPECT_EQ(host_.count(HostCall::Yield), 0u);
  EXPECT_EQ(released(), 1u);
}

TEST_F(OutgoingRequest, AShortChunkWithMoreToComeYieldsOnce) {
  const std::string text = "[1," + std::string(97, ' ') + "2]";
  host_.answer(kMethodGet, "/s",
               ScriptedResponse::withStream(ScriptedStream().data(text.substr(0, 100)).data("2]")));
  RequestResult<std::vector<int>> result = get<std::vector<int>>("/s");
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(result.value(), (std::vector<int>{1, 2}));
  EXPECT_EQ(host_.count(HostCall::Yield), 1u);
  const std::vector<HostCall> calls = host_.calls();
  const std::vector<HostCall> expected = {HostCall::SendRequest, HostCall::BeginWait,
                                          HostCall::Yield, HostCall::EndWait};
  EXPECT_EQ(calls, expected);
  ASSERT_EQ(host_.waits().size(), 1u);
  EXPECT_EQ(host_.waits()[0].label, "Wait: yield");
  EXPECT_EQ(host_.waits()[0].flags, 0u);
}

TEST_F(OutgoingRequest, PendingReadsYieldUntilDataArrives) {
  host_.answer(
      kMethodGet, "/s",
      ScriptedResponse::withStream(ScriptedStream().pending().pending().data("{\"a\": [1]}")));
  RequestResult<std::unordered_map<std::string, std::vector<BindingValue>>> result =
      get<std::unordered_map<std::string, std::vector<BindingValue>>>("/s");
  ASSERT_TRUE(result.ok()) << result.error().message;
  ASSERT_EQ(result.value().at("a").size(), 1u);
  EXPECT_EQ(result.value().at("a")[0].asUnsigned(), 1u);
  EXPECT_EQ(host_.count(HostCall::Yield), 2u);
}

TEST_F(OutgoingRequest, AHugeSizeHintDoesNotReserveItsSize) {
  host_.answer(kMethodGet, "/s",
               ScriptedResponse::withStream(ScriptedStream().data("[7]").sizeHint(0xFFFFFFF0u)));
  const std::int64_t before = memory::liveBytes();
  RequestResult<std::vector<int>> result = get<std::vector<int>>("/s");
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(result.value(), (std::vector<int>{7}));
  EXPECT_LE(memory::liveBytes() - before, 1 << 20);
}

struct ErrorRow {
  int line;
  ScriptedResponse answer;
  std::string message;
  std::uint32_t status;
  std::string cause;
};

TEST_F(OutgoingRequest, EveryFailureIsAnErrorInfoAndTheResponseIsReleasedOnce) {
  std::string bigBody(5000, ' ');
  bigBody += "[1";
  const ErrorRow rows[] = {
      {__LINE__, ScriptedResponse::withError("Not found", 404),
       "Error response for GET /x: Not found", 404, "Not found"},
      {__LINE__,
       [] {
         ScriptedResponse both = ScriptedResponse::withError("Busy", 503);
         both.body = HostValue::makeRawKind(99);  // never read
         return both;
       }(),
       "Error response for GET /x: Busy", 503, "Busy"},
      {__LINE__, ScriptedResponse::withStream(ScriptedStream().data("[1").fail()),
       "Error reading streamed response for GET /x: Stream read error", 0, "Stream read error"},
      {__LINE__, ScriptedResponse::withStream(ScriptedStream().data(bigBody)),
       "Error reading streamed response for GET /x: Error: Missing a comma or ']' after an array "
       "element. at offset 5002.",
       0, "Error: Missing a comma or ']' after an array element. at offset 5002."},
      {__LINE__, ScriptedResponse::withBody(HostValue::makeString("text")),
       "Error converting response for GET /x: Couldn't assign value to '<result>' of type vector "
       "because the input not a collection.",
       0, "Couldn't assign value to '<result>' of type vector because the input not a collection."},
      {__LINE__, ScriptedResponse::withBody(HostValue::makeRawKind(11)),
       "Error converting response for GET /x: Couldn't assign value to '<result>' of type object "
       "because the input is of an incompatible type ''.",
       0,
       "Couldn't assign value to '<result>' of type object because the input is of an "
       "incompatible type ''."},
  };
  std::uint32_t expectedReleases = 0;
  for (const ErrorRow& row : rows) {
    SCOPED_TRACE(row.line);
    host_.answer(kMethodGet, "/x", row.answer);
    RequestResult<std::vector<int>> result = get<std::vector<int>>("/x");
    ASSERT_TRUE(result.failed());
    EXPECT_EQ(result.error().message, row.message);
    EXPECT_EQ(result.error().status, row.status);
    EXPECT_EQ(result.error().fields.at("method").text(), "GET");
    EXPECT_EQ(result.error().fields.at("url").text(), "/x");
    EXPECT_EQ(result.error().fields.at("error").text(), row.cause);
    EXPECT_EQ(released(), ++expectedReleases);
  }
  EXPECT_EQ(given(), expectedReleases);
  EXPECT_EQ(host_.responses().streamCloses.load(), 2u);
  EXPECT_TRUE(host_.responses().faults().empty());
}

TEST_F(OutgoingRequest, MethodCodesAreSentAsGivenAndNamedInMessages) {
  host_.answerOthers(
      [](const host::RecordedRequest&) { return ScriptedResponse::withError("no", 400); });
  RequestResult<int> custom =
      plugin::internal::request<int>(channel_, &registry_, HttpMethod::Custom, "/c");
  EXPECT_EQ(custom.error().message, "Error response for  /c: no");
  RequestResult<int> other =
      plugin::internal::request<int>(channel_, &registry_, static_cast<HttpMethod>(42), "/o");
  EXPECT_EQ(other.error().message, "Error response for  /o: no");
  RequestResult<int> put =
      plugin::internal::request<int>(channel_, &registry_, HttpMethod::Put, "/p");
  EXPECT_EQ(put.error().message, "Error response for PUT /p: no");
  const std::vector<host::RecordedRequest> sent = host_.requests();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].method, kMethodCustom);
  EXPECT_EQ(sent[1].method, kMethodNone);
  EXPECT_EQ(sent[2].method, kMethodPut);
}

TEST_F(OutgoingRequest, ParametersTravelAsOneStructure) {
  host_.answer(kMethodPost, "/telemetry/v1/events/x",
               ScriptedResponse::withBody(HostValue::makeNone()));
  const std::int32_t count = 3;
  const std::string name = "maps";
  const std::vector<bool> flags = {true, false};
  const RequestArgument arguments[] = {requestArgument("count", count),
                                       requestArgument("name", name),
                                       requestArgument("flags", flags)};
  RequestResult<void> sent = plugin::internal::sendWithArguments(
      channel_, &registry_, HttpMethod::Post, "/telemetry/v1/events/x", arguments);
  ASSERT_TRUE(sent.ok()) << sent.error().message;
  const std::vector<host::RecordedRequest> requests = host_.requests();
  ASSERT_EQ(requests.size(), 1u);
  ASSERT_EQ(requests[0].parameters.size(), 1u);
  EXPECT_EQ(requests[0].parameters[0].name, std::nullopt);
  EXPECT_EQ(requests[0].parameters[0].value.toText(),
            "{\"count\": 3, \"flags\": [true, false], \"name\": \"maps\"}");
  EXPECT_EQ(released(), 1u);

  // A parameter that does not convert: nothing is sent.
  const Unregistered unregistered;
  const RequestArgument failing[] = {requestArgument("count", count),
                                     requestArgument("thing", unregistered)};
  sent = plugin::internal::sendWithArguments(channel_, &registry_, HttpMethod::Post, "/t", failing);
  ASSERT_TRUE(sent.failed());
  EXPECT_EQ(sent.error().status, 400u);
  EXPECT_EQ(sent.error().message,
            "Request not sent: Error converting parameters for POST /t: Couldn't convert native "
            "value because it's an unregistered structure.");
  EXPECT_EQ(host_.requests().size(), 1u);

  host_.answer(kMethodPost, "/e", ScriptedResponse::withError("refused", 403));
  sent =
      plugin::internal::sendWithArguments(channel_, &registry_, HttpMethod::Post, "/e", arguments);
  EXPECT_EQ(sent.error().message, "Error response for POST /e: refused");
  EXPECT_EQ(sent.error().status, 403u);
  EXPECT_EQ(released(), 2u);
}

TEST_F(OutgoingRequest, RawRequestsLeaveTheResponseToTheCaller) {
  host_.answer(kMethodGet, "/raw", ScriptedResponse::withBody(HostValue::makeSigned(5), 201));
  HostResponse response{};
  RequestResult<void> sent =
      plugin::internal::send(channel_, HttpMethod::Get, "/raw", response, nullptr, 0);
  ASSERT_TRUE(sent.ok());
  EXPECT_EQ(+response.status, 201u);
  EXPECT_EQ(+response.body.payload.signedValue, 5);
  EXPECT_EQ(released(), 0u);
  response.release(&response);
  EXPECT_EQ(released(), 1u);
}

// A host reads parameterCount parameters: a count never goes without its list.
TEST(OutgoingRequestRecord, ACountIsSentOnlyWithItsList) {
  static std::uint32_t sentCount = 7;
  HostApi api{};
  api.sendRequest = [](HostApi*, HostResponse*, const HostRequest* request) -> std::int32_t {
    sentCount = request->parameterCount;
    return 0;
  };
  HostResponse response{};
  (void)plugin::internal::send(HostChannel(&api, kHandle), HttpMethod::Get, "/x", response, nullptr,
                               3);
  EXPECT_EQ(sentCount, 0u);
}

}  // namespace
}  // namespace zel
