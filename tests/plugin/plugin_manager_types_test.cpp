// The platform's types and events as the host reads them in the real
// plugin's API description.
#include "plugin/plugin_manager_types.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "api/describe_registry.h"
#include "boundary/description_records.h"
#include "host/plugin_host.h"

namespace zel {
namespace {

using host::PluginHost;
using host::PluginLibrary;

class PlatformDeclarationsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.load(host::kDefaultHostVersion)) << host_.error();
    const ApiDescription* description = host_.description();
    ASSERT_NE(description, nullptr);
    const auto* types = static_cast<const TypeDescription*>(description->types);
    for (std::uint32_t i = 0; i < description->typeCount; ++i) types_[types[i].name] = &types[i];
    const auto* events = static_cast<const EventDescription*>(description->events);
    for (std::uint32_t i = 0; i < description->eventCount; ++i) {
      events_[events[i].name] = &events[i];
    }
  }

  // "name:kind:typeName" of each field, or "name=value" of each enumerator.
  std::string members(const char* name) {
    const TypeDescription& type = *types_.at(name);
    std::string text;
    for (const FieldDescription* f = type.fields; f != nullptr; f = f->next) {
      text += std::string(f->name) + ":" + std::to_string(f->kind) + ":" + f->typeName + " ";
    }
    for (const EnumeratorDescription* e = type.enumerators; e != nullptr; e = e->next) {
      text += std::string(e->name) + "=" + std::to_string(e->value) + " ";
    }
    return text;
  }

  PluginHost host_{PluginLibrary::open(ZEL_PLUGIN_PATH)};
  std::map<std::string, const TypeDescription*> types_;
  std::map<std::string, const EventDescription*> events_;
};

TEST_F(PlatformDeclarationsTest, TypesListTheirFieldsAndValues) {
  const std::map<std::string, std::string> expected = {
      {"PluginManagerState", "NotReady=0 PluginsInitialized=1 "},
      {"PluginManagerResource", "state:16:PluginManagerState "},
      {"PluginResourceEventType", "Create=0 Delete=2 Update=1 "},
      {"PluginResourceEvent", "uri:12: eventType:16:PluginResourceEventType data:13: "},
      {"PluginLcdsEvent", "clientId:12: subtopic:12: typeName:12: body:13: "},
      {"PluginLcdsResponse", "typeName:12: body:13: "},
      {"PluginServiceProxyResponse",
       "uuid:12: serviceName:12: methodName:12: payload:12: status:12: error:12: "},
  };
  for (const auto& [name, text] : expected) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(types_.contains(name));
    EXPECT_EQ(members(name.c_str()), text);
    EXPECT_STREQ(types_.at(name)->nameSpace, "vclient");
  }
}

TEST_F(PlatformDeclarationsTest, EventsNameTheirPayloadAndDescription) {
  struct Row {
    const char* name;
    const char* payload;
    const char* description;
  };
  const Row rows[] = {
      {"OnJsonApiEvent", "PluginResourceEvent", "Fired when a resource is changed."},
      {"OnLcdsEvent", "PluginLcdsEvent",
       "Fired when a message is received over the LCDS connection."},
      {"OnServiceProxyUuidEvent", "PluginServiceProxyResponse",
       "Fired when a uuid-based service proxy message is received."},
      {"OnServiceProxyMethodEvent", "PluginServiceProxyResponse",
       "Fired when a method-based service proxy message is received."},
      {"OnServiceProxyAsyncEvent", "PluginServiceProxyResponse",
       "Fired when an async service proxy message is received."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(events_.contains(row.name));
    const EventDescription& event = *events_.at(row.name);
    EXPECT_STREQ(event.payloadTypeName, row.payload);
    EXPECT_STREQ(event.description, row.description);
    EXPECT_STREQ(event.nameSpace, "vclient");
  }
}

}  // namespace
}  // namespace zel
