// Event names, subscriptions, delivery, resource listeners and publication
// of the plugin object, driven in-process through the recording host.
#include "plugin/plugin_base.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "diagnostics/log_level.h"
#include "host/conversions/host_flat_value.h"
#include "host/fakes/attached_plugin.h"
#include "plugin/entry.h"
#include "plugin/internal/plugin_access.h"
#include "plugin/internal/resource_listeners.h"
#include "plugin/internal/warning_limiter.h"
#include "plugin/json_api_event.h"

namespace zel {
namespace {

using host::AttachedPlugin;
using host::HostValue;
using host::kTestPluginHandle;
using plugin::internal::matchesUriPattern;
using plugin::internal::PluginAccess;
using plugin::internal::WarningLimiter;

TEST(JsonApiEventName, KeepsFourEntriesOrSixForThePlatformConfiguration) {
  struct Row {
    int line;
    const char* uri;
    const char* name;
  };
  const Row rows[] = {
      {__LINE__, "/zel-maps/v1/maps", "OnJsonApiEvent_zel-maps_v1_maps"},
      {__LINE__, "/zel-maps/v2/map/7/MODE_A", "OnJsonApiEvent_zel-maps_v2_map"},
      {__LINE__, "/zel-platform-config/v1/namespaces/a/b/c",
       "OnJsonApiEvent_zel-platform-config_v1_namespaces_a_b"},
      {__LINE__, "/zel-platform-config/v1", "OnJsonApiEvent_zel-platform-config_v1"},
      {__LINE__, "/zel-maps/zel-platform-config/a/b/c",
       "OnJsonApiEvent_zel-maps_zel-platform-config_a"},
      {__LINE__, "/zel-platform-configs/v1/a/b/c", "OnJsonApiEvent_zel-platform-configs_v1_a"},
      {__LINE__, "x", "OnJsonApiEvent_x"},
      {__LINE__, "//zel-maps///v1//", "OnJsonApiEvent_zel-maps_v1"},
      {__LINE__, "/", "OnJsonApiEvent"},
      {__LINE__, "", "OnJsonApiEvent"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(jsonApiEventName(row.uri), row.name);
  }
}

TEST(UriPattern, StarTakesOneSegmentOrNothingBeforeASlash) {
  struct Row {
    int line;
    const char* pattern;
    const char* uri;
    bool matches;
  };
  const Row rows[] = {
      {__LINE__, "/zel-maps/v1/*", "/zel-maps/v1/maps", true},
      {__LINE__, "/zel-maps/v1/*", "/zel-maps/v1/maps/7", false},
      {__LINE__, "/zel-maps/v1/*", "/zel-maps/v1/", false},  // the URI ends at "*"
      {__LINE__, "/zel-maps/v1/*", "/zel-maps/v1", false},
      {__LINE__, "/zel-maps/*/maps", "/zel-maps/v2/maps", true},
      {__LINE__, "/zel-maps/*/maps", "/zel-maps//maps", true},  // nothing before a "/"
      {__LINE__, "/zel-maps/*/*", "/zel-maps/v1/maps", true},
      {__LINE__, "/zel-maps/v1/maps", "/zel-maps/v1/maps", true},
      {__LINE__, "/zel-maps/v1/maps", "/zel-maps/v1/map", false},
      {__LINE__, "/zel-maps/v1/map", "/zel-maps/v1/maps", false},
      {__LINE__, "*", "/a", false},
      {__LINE__, "/*", "/a", true},
      {__LINE__, "", "", true},
      {__LINE__, "*", "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(matchesUriPattern(row.pattern, row.uri), row.matches);
  }
}

// A record of the tests' own, published as a resource.
struct Shelf {
  std::int64_t id = 0;
  std::string name;
};

struct Unregistered {
  std::int32_t value = 0;
};

HostValue resourceEvent(const std::string& uri, const char* eventType, HostValue data) {
  return HostValue::makeStructure({
      {"data", std::move(data)},
      {"eventType", HostValue::makeString(eventType)},
      {"uri", HostValue::makeString(uri)},
  });
}

class EventsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(attached_.attached());
    plugin()
        .registry()
        .registerStruct<Shelf>("TestShelf")
        .field("id", &Shelf::id)
        .field("name", &Shelf::name);
  }

  host::TestPlugin& plugin() { return attached_.plugin(); }
  host::RecordingHostApi& host() { return attached_.host; }

  std::size_t subscriptionsOf(const std::string& name) {
    std::size_t count = 0;
    for (const auto& subscription : host().subscriptions()) count += subscription.eventName == name;
    return count;
  }
  std::multiset<std::string> unsubscribedNames() {
    std::multiset<std::string> names;
    for (const auto& unsubscription : host().unsubscriptions()) {
      EXPECT_EQ(unsubscription.pluginHandle, kTestPluginHandle);
      names.insert(unsubscription.eventName);
    }
    return names;
  }

  // Calls the dispatcher of T directly, as the host would.
  template <typename T>
  std::int32_t dispatchTo(const char* name, const HostValue& payload) {
    host::HostFlatValue flat(payload);
    HostEvent event{};
    event.name = name;
    event.payload = flat.value();
    event.context = &plugin();
    return PluginAccess::dispatch<T>(&event);
  }

  AttachedPlugin attached_;
};

TEST_F(EventsTest, UrisSharingAnEventNameSubscribeAndUnsubscribeOnce) {
  const std::string name = "OnJsonApiEvent_zel-maps_v1_maps";
  plugin().subscribeEvent("/zel-maps/v1/maps");
  plugin().subscribeEvent("/zel-maps/v1/maps/7");
  EXPECT_EQ(plugin().subscriptionCount(name), 2);
  ASSERT_EQ(subscriptionsOf(name), 1u);
  for (const auto& subscription : host().subscriptions()) {
    if (subscription.eventName != name) continue;
    EXPECT_EQ(subscription.flag, 0u);
    EXPECT_EQ(subscription.pluginHandle, kTestPluginHandle);
    EXPECT_EQ(subscription.context, &plugin());
  }

  plugin().unsubscribeEvent("/zel-maps/v1/maps/7");
  EXPECT_TRUE(host().unsubscriptions().empty());
  EXPECT_TRUE(plugin().hasEventHandler(name));

  plugin().unsubscribeEvent("/zel-maps/v1/maps");
  EXPECT_EQ(unsubscribedNames(), std::multiset<std::string>{name});
  EXPECT_FALSE(plugin().hasEventHandler(name));
  EXPECT_EQ(plugin().subscriptionCount(name), 0);

  // An unpaired unsubscription changes nothing, so the next subscription
  // still reaches the host.
  plugin().unsubscribeEvent("/zel-maps/v1/maps");
  EXPECT_EQ(host().unsubscriptions().size(), 1u);
  EXPECT_EQ(plugin().subscriptionCount(name), 0);
  plugin().subscribeEvent("/zel-maps/v1/maps");
  EXPECT_EQ(subscriptionsOf(name), 2u);
  EXPECT_TRUE(plugin().hasEventHandler(name));
}

TEST_F(EventsTest, APublicationSendsItsNamedEventThenTheGenericOne) {
  plugin().publishResource(PluginResourceEventType::Update, "/zel-maps/v1/maps", Shelf{7, "a"});

  const std::vector<host::RecordedEvent> sent = host().sentEvents();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].name, "OnJsonApiEvent_zel-maps_v1_maps");
  EXPECT_EQ(sent[1].name, "OnJsonApiEvent");
  const HostValue expected =
      resourceEvent("/zel-maps/v1/maps", "Update",
                    HostValue::makeStructure(
                        {{"id", HostValue::makeSigned(7)}, {"name", HostValue::makeString("a")}}));
  for (const host::RecordedEvent& event : sent) {
    SCOPED_TRACE(event.name);
    EXPECT_TRUE(host::sameContent(event.payload, expected)) << event.payload.toText();
    EXPECT_EQ(event.flags, 0u);
    EXPECT_EQ(event.context, nullptr);
  }
}

TEST_F(EventsTest, APublicationUnderTheGenericNameGoesOutOnce) {
  const std::vector<Shelf> shelves{{1, "x"}, {2, "y"}};
  plugin().publishResource(PluginResourceEventType::Delete, "/", shelves);
  const std::vector<host::RecordedEvent> sent = host().sentEvents();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].name, "OnJsonApiEvent");
  ASSERT_NE(sent[0].payload.find("data"), nullptr);
  EXPECT_EQ(sent[0].payload.find("data")->elements.size(), 2u);
}

TEST_F(EventsTest, AResourceThatDoesNotConvertPublishesNothing) {
  plugin().publishResource(PluginResourceEventType::Create, "/zel-maps/v1/maps", Unregistered{3});
  plugin().publishResourceValue(PluginResourceEventType::Create, "/zel-maps/v1/maps",
                                BindingValue::error("not converted"));
  EXPECT_TRUE(host().sentEvents().empty());
}

TEST_F(EventsTest, ResourceEventsReachTheExactListenerThenMatchingPatterns) {
  std::vector<std::string> calls;
  auto record = [&calls](const char* listener) {
    return [&calls, listener](const PluginResourceEvent& event) {
      calls.push_back(std::string(listener) + " " + event.uri);
    };
  };
  ASSERT_TRUE(plugin().addResourceListener("/zel-maps/v1/maps", record("exact")));
  ASSERT_TRUE(plugin().addResourcePatternListener("/zel-maps/v1/*", record("v1")));
  ASSERT_TRUE(plugin().addResourcePatternListener("zel-maps/*/maps", record("lists")));
  EXPECT_FALSE(plugin().addResourceListener("/zel-maps/v2/maps", nullptr));
  plugin().subscribeEvent("/zel-maps/v1/maps");

  const char* name = "OnJsonApiEvent_zel-maps_v1_maps";
  struct Row {
    int line;
    const char* uri;
    std::vector<std::string> calls;  // patterns in any order, after the exact one
  };
  const Row rows[] = {
      {__LINE__,
       "/zel-maps/v1/maps",
       {"exact /zel-maps/v1/maps", "lists /zel-maps/v1/maps", "v1 /zel-maps/v1/maps"}},
      {__LINE__,
       "zel-maps/v1/maps",
       {"exact /zel-maps/v1/maps", "lists /zel-maps/v1/maps", "v1 /zel-maps/v1/maps"}},
      {__LINE__, "/zel-maps/v1/maps/7", {}},
      {__LINE__, "/zel-maps/v1/", {}},
      {__LINE__, "/zel-maps/v1/champions", {"v1 /zel-maps/v1/champions"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    calls.clear();
    EXPECT_EQ(host().deliverEvent(name, resourceEvent(row.uri, "Create", HostValue::makeSigned(1))),
              1u);
    if (!row.calls.empty() && row.calls[0].starts_with("exact")) {
      ASSERT_FALSE(calls.empty());
      EXPECT_EQ(calls[0], row.calls[0]);
    }
    std::multiset<std::string> got(calls.begin(), calls.end());
    EXPECT_EQ(got, std::multiset<std::string>(row.calls.begin(), row.calls.end()));
  }

  EXPECT_TRUE(plugin().removeResourceListener("zel-maps/v1/maps"));
  EXPECT_FALSE(plugin().removeResourceListener("/zel-maps/v1/maps"));
  calls.clear();
  host().deliverEvent(name, resourceEvent("/zel-maps/v1/maps", "Update", HostValue()));
  EXPECT_EQ(std::multiset<std::string>(calls.begin(), calls.end()),
            (std::multiset<std::string>{"lists /zel-maps/v1/maps", "v1 /zel-maps/v1/maps"}));
}

TEST_F(EventsTest, EventsWithoutHandlerOrConvertiblePayloadReachNoHandler) {
  std::vector<PluginResourceEvent> received;
  plugin().subscribe<PluginResourceEvent>(
      "OnTestEvent", [&received](const PluginResourceEvent& event) { received.push_back(event); });

  struct Row {
    int line;
    const char* name;
    HostValue payload;
    std::int32_t result;
  };
  const Row rows[] = {
      {__LINE__, "OnTestEvent", resourceEvent("/a", "Delete", HostValue::makeString("d")), 1},
      {__LINE__, "OnOtherEvent", resourceEvent("/a", "Delete", HostValue()), 0},
      {__LINE__, "OnTestEvent", HostValue::makeString("not a structure"), 0},
      {__LINE__, "OnTestEvent", resourceEvent("/a", "Sideways", HostValue()), 0},
      {__LINE__, "OnTestEvent",
       HostValue::makeStructure({{"eventType", HostValue::makeCollection({})}}), 0},
      {__LINE__, "OnTestEvent", HostValue::makeRawKind(11), 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    received.clear();
    EXPECT_EQ(dispatchTo<PluginResourceEvent>(row.name, row.payload), row.result);
    EXPECT_EQ(received.size(), static_cast<std::size_t>(row.result));
  }

  // The one that got through carries its converted payload.
  dispatchTo<PluginResourceEvent>("OnTestEvent",
                                  resourceEvent("/a", "Delete", HostValue::makeString("d")));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].uri, "/a");
  EXPECT_EQ(received[0].eventType, PluginResourceEventType::Delete);
  EXPECT_EQ(received[0].data.asString(), "d");

  // The first payload that did not convert was warned about; the others
  // came within the same second.
  std::vector<std::string> warnings;
  for (const auto& line : host().logs()) {
    if (line.level == kLogWarn) warnings.push_back(line.text);
  }
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "Event 'OnTestEvent' dropped: Couldn't assign value to '<result>' of "
                          "type PluginResourceEvent because the input not a structure."}));

  // Without the plugin object as context there is nothing to look in.
  HostEvent orphan{};
  orphan.name = "OnTestEvent";
  EXPECT_EQ(PluginAccess::dispatch<PluginResourceEvent>(&orphan), 0);
  EXPECT_EQ(PluginAccess::dispatch<PluginResourceEvent>(nullptr), 0);
}

TEST_F(EventsTest, NoHandlerFailureCrossesToTheHost) {
  plugin().subscribe<BindingValue>("OnThrowing",
                                   [](const BindingValue&) { throw std::runtime_error("x"); });
  plugin().subscribe<BindingValue>("OnEmpty", nullptr);
  EXPECT_EQ(dispatchTo<BindingValue>("OnThrowing", HostValue::makeBool(true)), 0);
  EXPECT_EQ(dispatchTo<BindingValue>("OnEmpty", HostValue::makeBool(true)), 0);
  EXPECT_EQ(host().deliverEvent("OnThrowing", HostValue::makeBool(true)), 1u);
}

TEST_F(EventsTest, ANameSubscribedAgainWithAnotherTypeRunsOnlyTheNewHandler) {
  int resourceCalls = 0;
  int valueCalls = 0;
  plugin().subscribe<PluginResourceEvent>("OnShared",
                                          [&](const PluginResourceEvent&) { ++resourceCalls; });
  plugin().subscribe<BindingValue>("OnShared", [&](const BindingValue&) { ++valueCalls; });
  // The host now calls both dispatchers; the old one finds a record of
  // another type and leaves it alone.
  EXPECT_EQ(host().deliverEvent("OnShared", resourceEvent("/a", "Create", HostValue())), 2u);
  EXPECT_EQ(resourceCalls, 0);
  EXPECT_EQ(valueCalls, 1);
}

// The host may deliver on any thread while the plugin subscribes on another.
TEST_F(EventsTest, DeliveryOnOneThreadWhileAnotherSubscribes) {
  constexpr int kRounds = 200;
  const HostValue message = HostValue::makeStructure(
      {{"serviceName", HostValue::makeString("s")}, {"methodName", HostValue::makeString("m")}});
  std::thread deliverer([&] {
    for (int i = 0; i < kRounds; ++i) host().deliverEvent("OnServiceProxyMethodEvent", message);
  });
  for (int i = 0; i < kRounds; ++i) {
    const std::string uri = "/rounds/" + std::to_string(i);
    plugin().subscribeEvent(uri);
    plugin().unsubscribeEvent(uri);
  }
  deliverer.join();
  EXPECT_EQ(PluginAccess::serviceProxy(plugin()).keptMessageCount(), 1u);
  EXPECT_EQ(host().unsubscriptions().size(), static_cast<std::size_t>(kRounds));
  EXPECT_EQ(host().activeSubscriptions().size(), 3u);
}

TEST_F(EventsTest, StopUnsubscribesEachHandledNameOnceAndKeepsTheCounts) {
  plugin().subscribeEvent("/zel-maps/v1/maps");
  plugin().subscribeEvent("/zel-maps/v1/maps/1");
  plugin().subscribeEvent("/zel-maps/v2/maps");
  plugin().unsubscribeEvent("/zel-maps/v2/maps");
  plugin().subscribe<BindingValue>("OnRegionLocaleChanged", [](const BindingValue&) {});
  int listened = 0;
  ASSERT_TRUE(plugin().addResourcePatternListener("/*/*/*",
                                                  [&](const PluginResourceEvent&) { ++listened; }));
  ASSERT_TRUE(PluginAccess::serviceProxy(plugin()).addWaiter(
      "w", [](const PluginServiceProxyResponse&) {}));
  const std::size_t earlier = host().unsubscriptions().size();
  ASSERT_EQ(earlier, 1u);

  plugin().stop();
  std::multiset<std::string> names = unsubscribedNames();
  names.erase(names.find("OnJsonApiEvent_zel-maps_v2_maps"));
  EXPECT_EQ(names,
            (std::multiset<std::string>{"OnJsonApiEvent_zel-maps_v1_maps", "OnRegionLocaleChanged",
                                        "OnServiceProxyAsyncEvent", "OnServiceProxyMethodEvent",
                                        "OnServiceProxyUuidEvent"}));
  EXPECT_FALSE(plugin().hasEventHandler("OnJsonApiEvent_zel-maps_v1_maps"));
  EXPECT_EQ(plugin().subscriptionCount("OnJsonApiEvent_zel-maps_v1_maps"), 2);

  // The handlers, listeners and waiters are gone with the tables.
  EXPECT_EQ(dispatchTo<PluginResourceEvent>("OnJsonApiEvent_zel-maps_v1_maps",
                                            resourceEvent("/zel-maps/v1/maps", "Create", {})),
            0);
  EXPECT_EQ(listened, 0);
  EXPECT_FALSE(PluginAccess::serviceProxy(plugin()).removeWaiter("w"));

  // A second stop finds nothing left to unsubscribe.
  plugin().stop();
  EXPECT_EQ(host().unsubscriptions().size(), earlier + 5);
}

TEST_F(EventsTest, ShutdownUnsubscribesEveryNameThatStillHasAHandlerOnce) {
  plugin().subscribeEvent("/zel-maps/v1/maps");
  plugin().subscribeEvent("/zel-maps/v1/maps");
  plugin().subscribe<BindingValue>("OnRegionLocaleChanged", [](const BindingValue&) {});
  plugin().subscribe<BindingValue>("OnRegionLocaleChanged", [](const BindingValue&) {});

  attached_.shutdown();
  EXPECT_EQ(unsubscribedNames(),
            (std::multiset<std::string>{"OnJsonApiEvent_zel-maps_v1_maps", "OnRegionLocaleChanged",
                                        "OnServiceProxyAsyncEvent", "OnServiceProxyMethodEvent",
                                        "OnServiceProxyUuidEvent"}));
}

TEST(WarningLimiter, LetsEachNameThroughOnceASecond) {
  WarningLimiter limiter;
  struct Row {
    int line;
    const char* name;
    std::int64_t now;
    bool allowed;
  };
  const Row rows[] = {
      {__LINE__, "OnA", 0, true},    {__LINE__, "OnA", 999, false},  {__LINE__, "OnB", 500, true},
      {__LINE__, "OnA", 1000, true}, {__LINE__, "OnA", 1500, false}, {__LINE__, "OnB", 1499, false},
      {__LINE__, "OnB", 1500, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(limiter.allow(row.name, row.now), row.allowed);
  }
  // A full table gives up the slot of the name that warned longest ago.
  WarningLimiter full;
  for (std::size_t i = 0; i < WarningLimiter::kSlots; ++i) {
    ASSERT_TRUE(full.allow("On" + std::to_string(i), static_cast<std::int64_t>(i)));
  }
  EXPECT_TRUE(full.allow("OnNew", 100));
  EXPECT_FALSE(full.allow("On1", 101)) << "kept";
  EXPECT_TRUE(full.allow("On0", 102)) << "given up for OnNew";
}

// A plugin that listens to resources without subscribing their events.
class ListeningPlugin final : public PluginBase {
 public:
  bool start() override {
    addResourceListener("/zel-maps/v1/maps", [this](const PluginResourceEvent&) { ++heard; });
    addResourceListener("/zel-maps/v1/skins", [this](const PluginResourceEvent&) { ++heard; });
    subscribeEvent("/zel-maps/v1/skins");
    addResourcePatternListener("/zel-maps/v2/*", [this](const PluginResourceEvent&) { ++heard; });
    return !startFails;
  }
  int heard = 0;
  static inline bool startFails = false;
};

TEST(ResourceListenersAtAttach, AListenedUriWithoutSubscriptionIsSubscribedOnce) {
  host::RecordingHostApi host;
  HostLoadInfo info{kPluginApiMajor, 0, 0, nullptr, nullptr, nullptr, nullptr};
  ASSERT_EQ(loadPlugin(&info, "zel-test", []() -> PluginBase* { return new ListeningPlugin; }), 1);
  auto& plugin = *static_cast<ListeningPlugin*>(static_cast<PluginBase*>(info.plugin));
  HostConnection connection{host.api(), kTestPluginHandle};
  ASSERT_EQ(info.entryPoints->attach(info.plugin, &connection), 1);

  EXPECT_EQ(plugin.subscriptionCount("OnJsonApiEvent_zel-maps_v1_maps"), 1);
  EXPECT_EQ(plugin.subscriptionCount("OnJsonApiEvent_zel-maps_v1_skins"), 1) << "already had one";
  EXPECT_EQ(host.subscriptions().size(), 5u) << "3 service-proxy events, maps and skins";
  host.deliverEvent("OnJsonApiEvent_zel-maps_v1_maps",
                    resourceEvent("/zel-maps/v1/maps", "Update", HostValue()));
  EXPECT_EQ(plugin.heard, 1);
  plugin.unsubscribeEvent("/zel-maps/v1/maps");
  ASSERT_EQ(host.unsubscriptions().size(), 1u);
  EXPECT_EQ(host.unsubscriptions()[0].eventName, "OnJsonApiEvent_zel-maps_v1_maps");
  info.entryPoints->shutdown(info.plugin);
}

// A plugin whose start fails keeps what start subscribed until the host
// shuts it down, but attach subscribes nothing more for its listeners.
TEST(ResourceListenersAtAttach, AFailedStartSubscribesNoListenedUri) {
  host::RecordingHostApi host;
  HostLoadInfo info{kPluginApiMajor, 0, 0, nullptr, nullptr, nullptr, nullptr};
  ASSERT_EQ(loadPlugin(&info, "zel-test", []() -> PluginBase* { return new ListeningPlugin; }), 1);
  auto& plugin = *static_cast<ListeningPlugin*>(static_cast<PluginBase*>(info.plugin));
  HostConnection connection{host.api(), kTestPluginHandle};
  ListeningPlugin::startFails = true;
  EXPECT_EQ(info.entryPoints->attach(info.plugin, &connection), 0);
  ListeningPlugin::startFails = false;

  EXPECT_EQ(plugin.subscriptionCount("OnJsonApiEvent_zel-maps_v1_maps"), 0);
  std::vector<std::string> subscribed;
  for (const auto& subscription : host.subscriptions()) {
    subscribed.push_back(subscription.eventName);
  }
  EXPECT_EQ(subscribed, (std::vector<std::string>{
                            "OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent",
                            "OnServiceProxyAsyncEvent", "OnJsonApiEvent_zel-maps_v1_skins"}))
      << "the service-proxy events and what start subscribed, not the maps it listens to";
  info.entryPoints->shutdown(info.plugin);
  std::vector<std::string> released;
  for (const auto& unsubscription : host.unsubscriptions()) {
    released.push_back(unsubscription.eventName);
  }
  std::sort(subscribed.begin(), subscribed.end());
  std::sort(released.begin(), released.end());
  EXPECT_EQ(released, subscribed) << "shutdown releases each subscription once";
}

}  // namespace
}  // namespace zel
