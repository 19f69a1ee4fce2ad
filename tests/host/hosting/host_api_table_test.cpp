#include "host/hosting/host_api_table.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zel::host {
namespace {

std::int32_t ignoreEvent(const HostEvent*) {
  return 0;
}

// Writes down what reached it: the calls it was told of, then each member
// with its arguments as one line.
class TracingHost : public HostApiTable {
 public:
  std::vector<HostCall> entries;
  std::vector<std::string> members;
  bool throwing = false;

 private:
  void entered(HostCall call) override {
    entries.push_back(call);
    if (throwing) throw std::runtime_error("entered");
  }
  void note(std::string line) {
    members.push_back(std::move(line));
    if (throwing) throw std::runtime_error("member");
  }
  void sendRequest(HostResponse& response, const HostRequest* request) override {
    response.status = 201;
    note("sendRequest " + std::string(request != nullptr ? request->url : "null"));
  }
  void reserved1() override { note("reserved1"); }
  void sendEvent(const HostEvent& event) override { note("sendEvent " + std::string(event.name)); }
  void subscribe(RecordedSubscription subscription) override {
    note("subscribe [" + subscription.eventName + "] " + std::to_string(subscription.pluginHandle) +
         (subscription.callback == &ignoreEvent ? " callback" : " no callback") +
         (subscription.context == this ? " context" : " no context") + " flag " +
         std::to_string(subscription.flag));
  }
  void unsubscribe(std::string_view eventName, std::uint32_t pluginHandle) override {
    note("unsubscribe [" + std::string(eventName) + "] " + std::to_string(pluginHandle));
  }
  void reserved5() override { note("reserved5"); }
  void yield() override { note("yield"); }
  void beginWait(std::string_view label, std::uint32_t flags) override {
    note("beginWait [" + std::string(label) + "] " + std::to_string(flags));
  }
  void endWait() override { note("endWait"); }
  void writeLog(std::int32_t level, std::string_view text) override {
    note("writeLog " + std::to_string(level) + " [" + std::string(text) + "]");
  }
};

// A host that serves nothing: every entry falls to the base.
class IdleHost : public HostApiTable {};

HostResponse blankResponse() {
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  return response;
}

HostRequest requestFor(const char* url) {
  HostRequest request;
  std::memset(static_cast<void*>(&request), 0, sizeof request);
  request.url = url;
  return request;
}

// Calls all ten entries in table order, as a plugin would; returns their
// results in the same order.
std::vector<std::int32_t> callEveryEntry(HostApi* api, void* context, const char* text) {
  HostResponse response = blankResponse();
  HostRequest request = requestFor("/a");
  HostEvent event;
  std::memset(static_cast<void*>(&event), 0, sizeof event);
  event.name = "OnThing";
  return {api->sendRequest(api, &response, &request),
          api->reserved1(api, 1, 2),
          api->sendEvent(api, &event),
          api->subscribe(api, text, 7, &ignoreEvent, context, 1),
          api->unsubscribe(api, text, 7),
          api->reserved5(api, 1, 2, 3, 4, 5),
          api->yield(api),
          api->beginWait(api, text, 3),
          api->endWait(api),
          api->writeLog(api, 2, text)};
}

const std::vector<HostCall> kEveryCall = {
    HostCall::SendRequest, HostCall::Reserved1, HostCall::SendEvent, HostCall::Subscribe,
    HostCall::Unsubscribe, HostCall::Reserved5, HostCall::Yield,     HostCall::BeginWait,
    HostCall::EndWait,     HostCall::WriteLog};

TEST(HostApiTableTest, EachEntryReachesItsMemberWithItsArguments) {
  TracingHost host;
  std::vector<std::int32_t> results = callEveryEntry(host.api(), &host, "OnRegion");

  EXPECT_EQ(results, std::vector<std::int32_t>(10, 0));
  EXPECT_EQ(host.entries, kEveryCall);
  EXPECT_EQ(host.members, (std::vector<std::string>{
                              "sendRequest /a", "reserved1", "sendEvent OnThing",
                              "subscribe [OnRegion] 7 callback context flag 1",
                              "unsubscribe [OnRegion] 7", "reserved5", "yield",
                              "beginWait [OnRegion] 3", "endWait", "writeLog 2 [OnRegion]"}));
}

TEST(HostApiTableTest, NullTextsReadAsEmpty) {
  TracingHost host;
  callEveryEntry(host.api(), nullptr, nullptr);

  EXPECT_EQ(host.members[3], "subscribe [] 7 callback no context flag 1");
  EXPECT_EQ(host.members[4], "unsubscribe [] 7");
  EXPECT_EQ(host.members[7], "beginWait [] 3");
  EXPECT_EQ(host.members[9], "writeLog 2 []");
}

TEST(HostApiTableTest, ANullResponseOrEventIsCountedButNotServed) {
  TracingHost host;
  HostApi* api = host.api();
  HostRequest request = requestFor("/a");

  EXPECT_EQ(api->sendRequest(api, nullptr, &request), 0);
  EXPECT_EQ(api->sendEvent(api, nullptr), 0);

  EXPECT_EQ(host.entries, (std::vector<HostCall>{HostCall::SendRequest, HostCall::SendEvent}));
  EXPECT_TRUE(host.members.empty());
}

TEST(HostApiTableTest, NoExceptionLeavesAnEntryAndAFailedRequestIsABareError) {
  TracingHost host;
  host.throwing = true;
  HostApi* api = host.api();
  HostResponse response = blankResponse();
  HostRequest request = requestFor("/a");

  EXPECT_EQ(api->sendRequest(api, &response, &request), 0);
  EXPECT_EQ(+response.status, 500u);  // overwrites the member's 201
  ASSERT_NE(+response.error, nullptr);
  EXPECT_STREQ(response.error, "Host out of memory");

  // Every member still runs after entered() has thrown.
  std::vector<std::int32_t> results = callEveryEntry(api, &host, "OnRegion");
  EXPECT_EQ(results, std::vector<std::int32_t>(10, 0));
  EXPECT_EQ(host.members.size(), 11u);
}

TEST(HostApiTableTest, EntriesAHostDoesNotServeDoNothing) {
  IdleHost host;
  HostResponse response = blankResponse();
  HostRequest request = requestFor("/a");
  HostApi* api = host.api();

  EXPECT_EQ(callEveryEntry(api, nullptr, "OnRegion"), std::vector<std::int32_t>(10, 0));
  EXPECT_EQ(api->sendRequest(api, &response, &request), 0);
  EXPECT_EQ(+response.status, 0u);
  EXPECT_EQ(+response.error, nullptr);
}

TEST(HostApiTableTest, EachHostHasItsOwnTable) {
  TracingHost first;
  TracingHost second;
  EXPECT_NE(first.api(), second.api());

  second.api()->yield(second.api());

  EXPECT_TRUE(first.entries.empty());
  EXPECT_EQ(second.entries, std::vector<HostCall>{HostCall::Yield});
}

}  // namespace
}  // namespace zel::host
