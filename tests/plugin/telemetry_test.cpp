// The telemetry sender posts through the host and hands back a future that
// is already satisfied.
#include "plugin/internal/telemetry.h"

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "boundary/method_codes.h"
#include "host/fakes/attached_plugin.h"
#include "plugin/internal/plugin_access.h"

namespace zel {
namespace {

using host::HostValue;
using host::ScriptedResponse;
using plugin::internal::PluginAccess;
using plugin::internal::TelemetrySender;

struct NotRegistered {
  int value = 0;
};

bool ready(std::future<RequestResult<void>>& future) {
  return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

class TelemetryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(attached_.attached());
    ASSERT_NE(telemetry(), nullptr);
  }

  TelemetrySender* telemetry() { return PluginAccess::telemetry(attached_.plugin()); }
  host::RecordingHostApi& host() { return attached_.host; }

  host::AttachedPlugin attached_;
};

TEST_F(TelemetryTest, AnEventIsPostedToItsEndpointWithItsParameters) {
  host().answer(kMethodPost, "/telemetry/v1/events/login-start",
                ScriptedResponse::withBody(HostValue(), 204));
  const std::int32_t attempt = 2;
  const std::string region = "EUW";
  std::future<RequestResult<void>> sent = telemetry()->sendTelemetryEvent(
      "login-start", {requestArgument("attempt", attempt), requestArgument("region", region)});
  ASSERT_TRUE(ready(sent));
  EXPECT_TRUE(sent.get().ok());

  const std::vector<host::RecordedRequest> requests = host().requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, kMethodPost);
  EXPECT_EQ(requests[0].url, "/telemetry/v1/events/login-start");
  EXPECT_EQ(requests[0].pluginHandle, host::kTestPluginHandle);
  ASSERT_EQ(requests[0].parameters.size(), 1u);
  const HostValue expected = HostValue::makeStructure(
      {{"attempt", HostValue::makeSigned(2)}, {"region", HostValue::makeString("EUW")}});
  EXPECT_TRUE(host::sameContent(requests[0].parameters[0].value, expected))
      << requests[0].parameters[0].value.toText();
}

TEST_F(TelemetryTest, FailuresArriveThroughTheReadyFuture) {
  struct Row {
    int line;
    const char* name;
    bool convertible;
    std::uint32_t status;
    std::size_t requests;
  };
  host().answer(kMethodPost, "/telemetry/v1/events/broken",
                ScriptedResponse::withError("Service unavailable", 503));
  const Row rows[] = {
      // A parameter that does not convert: nothing is sent.
      {__LINE__, "login-start", false, 400, 0},
      // The host's error text and status.
      {__LINE__, "broken", true, 503, 1},
      // The name is appended as it is; nothing answers such a URL here.
      {__LINE__, "a b/c?d", true, 404, 1},
  };
  std::size_t sentSoFar = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const NotRegistered opaque{1};
    const int plain = 1;
    std::future<RequestResult<void>> sent =
        row.convertible ? telemetry()->sendTelemetryEvent(row.name, {requestArgument("p", plain)})
                        : telemetry()->sendTelemetryEvent(row.name, {requestArgument("p", opaque)});
    ASSERT_TRUE(ready(sent));
    const RequestResult<void> result = sent.get();
    EXPECT_TRUE(result.failed());
    EXPECT_EQ(result.error().status, row.status);
    sentSoFar += row.requests;
    ASSERT_EQ(host().requests().size(), sentSoFar);
    if (row.requests != 0) {
      EXPECT_EQ(host().requests().back().url, std::string("/telemetry/v1/events/") + row.name);
    }
  }
}

}  // namespace
}  // namespace zel
