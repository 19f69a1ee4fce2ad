// The handshake and lifecycle of the real plugin library, driven through its
// boundary only.
#include "host/plugin_host.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boundary/method_codes.h"
#include "host/description/api_description_view.h"
#include "host/fakes/recording_host_api.h"
#include "tests/host/text_matchers.h"

namespace zel::host {
namespace {

using testing::HasSubstr;
using testing_support::ContainsInOrder;
using testing_support::incompatibleVersionReport;

constexpr std::uint32_t kPluginHandle = 0x5A17;
constexpr const char* kMapsUrl = "/zel-game-data/assets/v1/maps.json";
constexpr const char* kMapAssetsUrl = "/zel-game-data/assets/v1/map-assets/map-assets.json";

class PluginHostTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.load(kDefaultHostVersion)) << host_.error(); }

  bool attach() { return host_.attach(api_.api(), kPluginHandle); }

  bool anyLogContains(const std::string& text) const {
    for (const RecordedLog& line : api_.logs()) {
      if (line.text.find(text) != std::string::npos) return true;
    }
    return false;
  }

  RecordingHostApi api_;  // outlives the plugin, which keeps its address
  PluginHost host_{PluginLibrary::open(ZEL_PLUGIN_PATH)};
};

TEST(PluginHandshakeTest, CompatibleHostsGetThePluginsVersionNameObjectAndDescription) {
  const ApiVersion versions[] = {{18, 0, 0}, {18, 0, 7}, {18, 3, 0}};
  for (const ApiVersion& version : versions) {
    SCOPED_TRACE(version.text());
    PluginHost host(PluginLibrary::open(ZEL_PLUGIN_PATH));
    ASSERT_TRUE(host.load(version)) << host.error();
    const HostLoadInfo& info = host.loadInfo();
    EXPECT_EQ(info.major, 18u);
    EXPECT_EQ(info.minor, 0u);
    EXPECT_EQ(info.patch, 0u);
    EXPECT_STREQ(info.shortName, "zel-maps");

    // The entry points are the plugin object's own (held behind its state
    // pointer), not the object itself.
    ASSERT_NE(info.entryPoints, nullptr);
    EXPECT_NE(static_cast<const void*>(info.entryPoints), info.plugin);
    EXPECT_NE(info.entryPoints->attach, nullptr);
    EXPECT_NE(info.entryPoints->shutdown, nullptr);
    EXPECT_NE(info.entryPoints->getMemoryStats, nullptr);

    // The plugin-manager types and events are declared at load.
    ApiDescriptionView view = ApiDescriptionView::read(info.description);
    EXPECT_TRUE(view.linksMatchCounts())
        << view.linkedFunctions << " " << view.linkedTypes << " " << view.linkedEvents;
    EXPECT_GE(view.typeCount(), 7u);
    EXPECT_GE(view.eventCount(), 5u);
    host.shutdown();
  }
}

TEST(PluginHandshakeDeathTest, IncompatibleHostsEndTheProcessAfterTheAssertionReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const ApiVersion versions[] = {{17, 9, 9}, {19, 0, 0}};
  for (const ApiVersion& version : versions) {
    SCOPED_TRACE(version.text());
    EXPECT_EXIT(
        {
          PluginHost host(PluginLibrary::open(ZEL_PLUGIN_PATH));
          static_cast<void>(host.load(version));  // never returns
        },
#if defined(_WIN32)
        testing::ExitedWithCode(3),
#else
        testing::KilledBySignal(SIGABRT),
#endif
        ContainsInOrder(incompatibleVersionReport(version.text())));
  }
}

TEST_F(PluginHostTest, MemoryStatisticsCountFromTheStartAndOnlyGrow) {
  MemoryStats loaded = host_.memoryStats();
  EXPECT_GT(loaded.allocations, 0u);
  EXPECT_GT(loaded.bytesAllocated, 0u);
  EXPECT_EQ(loaded.reserved[0], 0u);
  EXPECT_EQ(loaded.reserved[1], 0u);
  EXPECT_LE(loaded.frees, loaded.allocations);
  EXPECT_LE(loaded.bytesFreed, loaded.bytesAllocated);
  EXPECT_GE(loaded.peakLiveBytes, loaded.bytesAllocated - loaded.bytesFreed);
  EXPECT_LE(loaded.peakLiveBytes, loaded.bytesAllocated);
  EXPECT_GT(loaded.liveAllocationsAtPeak, 0u);
  EXPECT_LE(loaded.liveAllocationsAtPeak, loaded.allocations);

  ASSERT_TRUE(attach()) << host_.error();
  MemoryStats attached = host_.memoryStats();
  EXPECT_GT(attached.allocations, loaded.allocations);
  EXPECT_GE(attached.bytesAllocated, loaded.bytesAllocated);
  EXPECT_GE(attached.frees, loaded.frees);
  EXPECT_GE(attached.peakLiveBytes, loaded.peakLiveBytes);
  EXPECT_GE(attached.peakLiveBytes, attached.bytesAllocated - attached.bytesFreed);

  host_.shutdown();
  MemoryStats stopped = host_.memoryStats();
  EXPECT_GT(stopped.frees, attached.frees);
  EXPECT_GT(stopped.bytesFreed, attached.bytesFreed);
}

TEST_F(PluginHostTest, ShutdownRightAfterLoadDestroysThePlugin) {
  MemoryStats loaded = host_.memoryStats();
  host_.shutdown();
  EXPECT_EQ(host_.state(), PluginHost::State::ShutDown);
  EXPECT_GT(host_.memoryStats().frees, loaded.frees);
  EXPECT_TRUE(api_.calls().empty());
}

TEST_F(PluginHostTest, AttachSubscribesTheServiceProxyEventsAndShutdownUnsubscribesEachOnce) {
  ASSERT_TRUE(attach()) << host_.error();
  std::map<std::string, std::uint32_t> flags;
  for (const RecordedSubscription& subscription : api_.subscriptions()) {
    SCOPED_TRACE(subscription.eventName);
    EXPECT_EQ(subscription.pluginHandle, kPluginHandle);
    EXPECT_EQ(subscription.context, host_.plugin());
    EXPECT_NE(subscription.callback, nullptr);
    flags[subscription.eventName] = subscription.flag;
  }
  EXPECT_EQ(flags["OnServiceProxyUuidEvent"], 1u);
  EXPECT_EQ(flags["OnServiceProxyMethodEvent"], 1u);
  EXPECT_EQ(flags["OnServiceProxyAsyncEvent"], 1u);
  EXPECT_TRUE(api_.unsubscriptions().empty());

  host_.shutdown();
  std::multiset<std::string> unsubscribed;
  for (const RecordedUnsubscription& unsubscription : api_.unsubscriptions()) {
    EXPECT_EQ(unsubscription.pluginHandle, kPluginHandle);
    unsubscribed.insert(unsubscription.eventName);
  }
  std::multiset<std::string> subscribed;
  for (const auto& [name, flag] : flags) subscribed.insert(name);
  EXPECT_EQ(unsubscribed, subscribed);
  EXPECT_TRUE(api_.activeSubscriptions().empty());
  EXPECT_EQ(api_.responses().released.load(), api_.responses().given.load());
  EXPECT_TRUE(api_.faults().empty());
}

TEST_F(PluginHostTest, AfterAttachThePluginsLogLinesReachTheHost) {
  ASSERT_TRUE(attach()) << host_.error();
  // A service-proxy message nobody waits for is logged as an error.
  HostValue message = HostValue::makeStructure({
      {"uuid", HostValue::makeString("u-1")},
      {"serviceName", HostValue::makeString("svc")},
      {"methodName", HostValue::makeString("method")},
      {"payload", HostValue::makeString("")},
      {"status", HostValue::makeString("200")},
      {"error", HostValue::makeString("")},
  });
  std::size_t before = api_.logs().size();
  EXPECT_EQ(api_.deliverEvent("OnServiceProxyAsyncEvent", message), 1u);
  std::vector<RecordedLog> logs = api_.logs();
  ASSERT_GT(logs.size(), before);
  EXPECT_EQ(logs.back().level, 2);
  EXPECT_THAT(
      logs.back().text,
      HasSubstr("Could not find registered handler for async service proxy event svc.method"));
}

TEST_F(PluginHostTest, StartAsksTheHostForGameDataAndLogsWhenItIsMissing) {
  ASSERT_TRUE(attach()) << host_.error();
  std::vector<RecordedRequest> requests = api_.requests();
  ASSERT_EQ(requests.size(), 1u);  // the second document is not asked for
  EXPECT_EQ(requests[0].method, kMethodGet);
  EXPECT_EQ(requests[0].url, kMapsUrl);
  EXPECT_EQ(requests[0].pluginHandle, kPluginHandle);
  EXPECT_EQ(requests[0].context, nullptr);
  EXPECT_TRUE(anyLogContains("Could not deserialize assets/v1/maps.json"));
  EXPECT_EQ(api_.responses().released.load(), 1u);
  EXPECT_TRUE(api_.sentEvents().empty());
}

TEST_F(PluginHostTest, AStreamWithNoDataYetMakesThePluginYieldOnce) {
  api_.answer(kMethodGet, kMapsUrl,
              ScriptedResponse::withStream(ScriptedStream().pending().data("[]")));
  api_.answer(kMethodGet, kMapAssetsUrl, ScriptedResponse::withStreamedText("{}"));
  ASSERT_TRUE(attach()) << host_.error();

  std::vector<HostCall> calls = api_.calls();
  std::vector<HostCall> yieldSequence = {HostCall::BeginWait, HostCall::Yield, HostCall::EndWait};
  EXPECT_TRUE(std::search(calls.begin(), calls.end(), yieldSequence.begin(), yieldSequence.end()) !=
              calls.end());
  EXPECT_EQ(api_.count(HostCall::Yield), 1u);
  ASSERT_EQ(api_.waits().size(), 1u);
  EXPECT_EQ(api_.waits()[0].label, "Wait: yield");
  EXPECT_EQ(api_.waits()[0].flags, 0u);

  std::vector<RecordedRequest> requests = api_.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].url, kMapAssetsUrl);
  EXPECT_EQ(api_.responses().streamCloses.load(), 2u);
  EXPECT_EQ(api_.responses().released.load(), 2u);
  EXPECT_FALSE(anyLogContains("Could not deserialize"));

  // The loaded (empty) catalogue is announced for both list routes.
  std::vector<std::string> names;
  for (const RecordedEvent& event : api_.sentEvents()) names.push_back(event.name);
  EXPECT_EQ(names, (std::vector<std::string>{"OnJsonApiEvent_zel-maps_v1_maps", "OnJsonApiEvent",
                                             "OnJsonApiEvent_zel-maps_v2_maps", "OnJsonApiEvent"}));
}

TEST_F(PluginHostTest, TheHostAttachesOnlyOnce) {
  ASSERT_TRUE(attach()) << host_.error();
  std::size_t subscriptions = api_.subscriptions().size();
  EXPECT_FALSE(attach());
  EXPECT_EQ(host_.error(), "The plugin is already attached");
  EXPECT_EQ(api_.subscriptions().size(), subscriptions);
  EXPECT_FALSE(host_.load(kDefaultHostVersion));
}

TEST(PluginLibraryTest, AMissingLibraryIsReportedNotCrashedOn) {
  PluginHost host(PluginLibrary::open("no-such-dir/zel_maps_missing.so"));
  EXPECT_EQ(host.library().isOpen(), false);
  EXPECT_FALSE(host.load(kDefaultHostVersion));
  EXPECT_THAT(host.error(),
              HasSubstr("Cannot load plugin library no-such-dir/zel_maps_missing.so"));
  // The system's reason in words, on one line.
  const std::string reason = host.error().substr(host.error().find(".so: ") + 5);
  EXPECT_NE(reason.substr(0, 1), "(") << host.error();
  EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << host.error();
  EXPECT_EQ(host.state(), PluginHost::State::Unloaded);
}

}  // namespace
}  // namespace zel::host
