#include "host/fakes/recording_host_api.h"

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "boundary/method_codes.h"
#include "host/calling/response_reader.h"
#include "host/conversions/host_flat_value.h"

namespace zel::host {
namespace {

// What the plugin's event callbacks saw; the callbacks are plain functions.
struct Delivery {
  std::string name;
  HostValue payload;
  void* context;
};
std::vector<Delivery> gDeliveries;

std::int32_t recordDelivery(const HostEvent* event) {
  gDeliveries.push_back(Delivery{event->name, readFlatValue(event->payload), event->context});
  return 0;
}

class RecordingHostApiTest : public testing::Test {
 protected:
  RecordingHostApiTest() { gDeliveries.clear(); }

  // A request as the plugin sends one: zero-filled, its handle in word 10.
  static HostRequest request(std::uint32_t method, const char* url) {
    HostRequest request;
    std::memset(static_cast<void*>(&request), 0, sizeof request);
    request.method = method;
    request.url = url;
    request.handleOrRequestId = 7;
    return request;
  }

  HostReply send(const HostRequest& request) {
    HostResponse response;
    std::memset(static_cast<void*>(&response), 0, sizeof response);
    api_->sendRequest(api_, &response, &request);
    HostReply reply = readReply(response);
    releaseResponse(response);
    return reply;
  }

  RecordingHostApi host_;
  HostApi* api_ = host_.api();
};

TEST_F(RecordingHostApiTest, RecordsEverythingARequestCarries) {
  HostValue arguments = HostValue::makeStructure({{"name", HostValue::makeString("login")}});
  HostFlatValue flat(arguments);
  RequestParameter parameter{nullptr, flat.value()};
  const char* headers[] = {"accept", "application/json"};
  const char body[] = {'{', '\0', '}'};
  HostRequest sent = request(kMethodCustom, "/telemetry/v1/events/login?x=1");
  sent.parameters = &parameter;
  sent.parameterCount = 1;
  sent.headers = headers;
  sent.headerCount = 1;
  sent.contentType = "application/json";
  sent.body = body;
  sent.bodyLength = sizeof body;
  sent.customMethod = "PURGE";
  send(sent);

  std::vector<RecordedRequest> requests = host_.requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& got = requests[0];
  EXPECT_EQ(got.method, kMethodCustom);
  EXPECT_EQ(got.url, "/telemetry/v1/events/login?x=1");
  ASSERT_EQ(got.parameters.size(), 1u);
  EXPECT_EQ(got.parameters[0].name, std::nullopt);
  EXPECT_EQ(got.parameters[0].value, arguments);
  ASSERT_EQ(got.headers.size(), 1u);
  EXPECT_EQ(got.headers[0].second, "application/json");
  EXPECT_EQ(got.contentType, "application/json");
  EXPECT_EQ(got.body, std::string(body, sizeof body));
  EXPECT_EQ(got.pluginHandle, 7u);
  EXPECT_EQ(got.customMethod, "PURGE");

  // What the plugin sends by default: no parameters, headers, type or body.
  send(request(kMethodGet, "/zel-game-data/assets/v1/maps.json"));
  const RecordedRequest plain = host_.requests()[1];
  EXPECT_TRUE(plain.parameters.empty());
  EXPECT_TRUE(plain.headers.empty());
  EXPECT_EQ(plain.contentType, std::nullopt);
  EXPECT_EQ(plain.body, std::nullopt);
  EXPECT_EQ(plain.customMethod, std::nullopt);

  // Counts without their lists, and no request at all, are recorded empty.
  HostRequest listless = request(kMethodPost, "/x");
  listless.parameterCount = 3;
  listless.headerCount = 2;
  send(listless);
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  api_->sendRequest(api_, &response, nullptr);
  releaseResponse(response);
  ASSERT_EQ(host_.requests().size(), 4u);
  EXPECT_TRUE(host_.requests()[2].parameters.empty());
  EXPECT_TRUE(host_.requests()[2].headers.empty());
  EXPECT_EQ(host_.requests()[3].method, kMethodNone);
  EXPECT_EQ(host_.requests()[3].url, "");
}

TEST_F(RecordingHostApiTest, AnswersByMethodAndExactUrl) {
  host_.answer(kMethodGet, "/a", ScriptedResponse::withBody(HostValue::makeSigned(1)));
  host_.answer(kMethodPost, "/a", ScriptedResponse::withBody(HostValue::makeSigned(2)));
  host_.answer(kMethodGet, "/b", [](const RecordedRequest& request) {
    return ScriptedResponse::withBody(HostValue::makeString(request.url), 202);
  });
  host_.answer(kMethodPost, "/a",
               ScriptedResponse::withBody(HostValue::makeSigned(3)));  // replaces

  struct Row {
    int line;
    std::uint32_t method;
    const char* url;
    const char* customMethod;
    HostValue body;
    std::optional<std::string> error;
    std::uint32_t status;
  };
  const Row rows[] = {
      {__LINE__, kMethodGet, "/a", nullptr, HostValue::makeSigned(1), std::nullopt, 200},
      {__LINE__, kMethodPost, "/a", nullptr, HostValue::makeSigned(3), std::nullopt, 200},
      {__LINE__, kMethodGet, "/b", nullptr, HostValue::makeString("/b"), std::nullopt, 202},
      {__LINE__, kMethodGet, "/a?x=1", nullptr, HostValue(), "No handler for GET /a?x=1", 404},
      {__LINE__, kMethodPut, "/a", nullptr, HostValue(), "No handler for PUT /a", 404},
      {__LINE__, kMethodCustom, "/a", "PURGE", HostValue(), "No handler for PURGE /a", 404},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    HostRequest sent = request(row.method, row.url);
    sent.customMethod = row.customMethod;
    HostReply reply = send(sent);
    EXPECT_EQ(reply.body, row.body);
    EXPECT_EQ(reply.error, row.error);
    EXPECT_EQ(reply.status, row.status);
  }
  EXPECT_EQ(host_.responses().given.load(), 6u);
  EXPECT_EQ(host_.responses().released.load(), 6u);
}

TEST_F(RecordingHostApiTest, OtherRequestsGetTheirOwnAnswerAndAThrowingHandlerAFailure) {
  host_.answerOthers(
      [](const RecordedRequest&) { return ScriptedResponse::withStreamedText("[1, 2]", 4); });
  host_.answer(kMethodGet, "/boom", [](const RecordedRequest&) -> ScriptedResponse {
    throw std::runtime_error("boom");
  });

  HostResponse response;
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  HostRequest sent = request(kMethodGet, "/anything");
  api_->sendRequest(api_, &response, &sent);
  EXPECT_EQ(readReply(response).sizeHint, 6u);
  EXPECT_EQ(drainStream(response), "[1, 2]");
  releaseResponse(response);

  HostReply failed = send(request(kMethodGet, "/boom"));
  EXPECT_EQ(failed.error, "Request handler for GET /boom failed: boom");
  EXPECT_EQ(failed.status, 500u);
  EXPECT_EQ(host_.faults(), std::vector<std::string>{"Request handler for GET /boom failed: boom"});
}

TEST_F(RecordingHostApiTest, DeliversEventsToActiveSubscriptionsWithTheirContexts) {
  int first = 0;
  int second = 0;
  api_->subscribe(api_, "OnA", 7, &recordDelivery, &first, 0);
  api_->subscribe(api_, "OnA", 8, &recordDelivery, &second, 1);
  api_->subscribe(api_, "OnB", 7, &recordDelivery, &first, 0);

  HostValue payload = HostValue::makeStructure({{"region", HostValue::makeString("EUW")}});
  EXPECT_EQ(host_.deliverEvent("OnA", payload), 2u);
  ASSERT_EQ(gDeliveries.size(), 2u);
  EXPECT_EQ(gDeliveries[0].name, "OnA");
  EXPECT_EQ(gDeliveries[0].payload, payload);
  EXPECT_EQ(gDeliveries[0].context, &first);
  EXPECT_EQ(gDeliveries[1].context, &second);
  EXPECT_EQ(host_.deliverEvent("OnNobody", payload), 0u);

  // Unsubscribing matches name and handle.
  api_->unsubscribe(api_, "OnA", 7);
  gDeliveries.clear();
  EXPECT_EQ(host_.deliverEvent("OnA", HostValue()), 1u);
  ASSERT_EQ(gDeliveries.size(), 1u);
  EXPECT_EQ(gDeliveries[0].context, &second);

  std::vector<RecordedSubscription> active = host_.activeSubscriptions();
  ASSERT_EQ(active.size(), 2u);
  EXPECT_EQ(active[0].pluginHandle, 8u);
  EXPECT_EQ(active[0].flag, 1u);
  EXPECT_EQ(active[1].eventName, "OnB");
  EXPECT_EQ(host_.subscriptions().size(), 3u);
  ASSERT_EQ(host_.unsubscriptions().size(), 1u);
  EXPECT_EQ(host_.unsubscriptions()[0].eventName, "OnA");
  EXPECT_EQ(host_.unsubscriptions()[0].pluginHandle, 7u);
}

TEST_F(RecordingHostApiTest, AYieldRunsTheYieldHandlerWhichMayDeliverEvents) {
  api_->subscribe(api_, "OnRegionLocaleChanged", 7, &recordDelivery, nullptr, 0);
  host_.onYield([this] { host_.deliverEvent("OnRegionLocaleChanged", HostValue()); });
  api_->beginWait(api_, "Wait: yield", 0);
  api_->yield(api_);
  api_->endWait(api_);
  EXPECT_EQ(gDeliveries.size(), 1u);

  host_.onYield([] { throw std::runtime_error("no"); });
  api_->yield(api_);
  EXPECT_EQ(host_.faults(), std::vector<std::string>{"Yield handler failed: no"});

  std::vector<HostCall> expected = {HostCall::Subscribe, HostCall::BeginWait, HostCall::Yield,
                                    HostCall::EndWait, HostCall::Yield};
  EXPECT_EQ(host_.calls(), expected);
  ASSERT_EQ(host_.waits().size(), 1u);
  EXPECT_EQ(host_.waits()[0].label, "Wait: yield");
  EXPECT_EQ(host_.count(HostCall::Yield), 2u);
}

TEST_F(RecordingHostApiTest, RecordsSentEventsLogLinesAndTheReservedEntries) {
  HostFlatValue payload(HostValue::makeCollection({HostValue::makeSigned(1)}));
  HostEvent event{"OnJsonApiEvent", payload.value(), 0, nullptr};
  api_->sendEvent(api_, &event);
  api_->writeLog(api_, 2, "Could not deserialize assets/v1/maps.json");
  api_->reserved1(api_, 1, 2);
  api_->reserved5(api_, 1, 2, 3, 4, 5);

  std::vector<RecordedEvent> events = host_.sentEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].name, "OnJsonApiEvent");
  EXPECT_EQ(events[0].payload, HostValue::makeCollection({HostValue::makeSigned(1)}));
  std::vector<RecordedLog> logs = host_.logs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].level, 2);
  EXPECT_EQ(logs[0].text, "Could not deserialize assets/v1/maps.json");
  std::vector<HostCall> expected = {HostCall::SendEvent, HostCall::WriteLog, HostCall::Reserved1,
                                    HostCall::Reserved5};
  EXPECT_EQ(host_.calls(), expected);
}

TEST_F(RecordingHostApiTest, CallsFromManyThreadsAreAllRecordedInEachThreadsOrder) {
  constexpr int kThreads = 4;
  constexpr int kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kLines; ++i) {
        std::string text = std::to_string(t) + ":" + std::to_string(i);
        api_->writeLog(api_, t, text.c_str());
        HostRequest sent = request(kMethodGet, "/x");
        send(sent);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  std::vector<int> next(kThreads, 0);
  std::vector<RecordedLog> logs = host_.logs();
  ASSERT_EQ(logs.size(), static_cast<std::size_t>(kThreads * kLines));
  for (const RecordedLog& line : logs) {
    EXPECT_EQ(line.text, std::to_string(line.level) + ":" + std::to_string(next[line.level]++));
  }
  EXPECT_EQ(host_.requests().size(), static_cast<std::size_t>(kThreads * kLines));
  EXPECT_EQ(host_.responses().released.load(), static_cast<std::uint32_t>(kThreads * kLines));
}

}  // namespace
}  // namespace zel::host
