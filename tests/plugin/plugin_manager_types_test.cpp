// The platform's types and events as the host reads them in the real
// plugin's API description.
#include "plugin/plugin_manager_types.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/api_description.h"
#include "api/description_records.h"
#include "host/plugin_host.h"

namespace zel {
namespace {

using host::PluginHost;
using host::PluginLibrary;

constexpr std::uint32_t kString = 12;
constexpr std::uint32_t kObject = 13;
constexpr std::uint32_t kEnum = 16;

struct FieldRow {
  const char* name;
  std::uint32_t kind;
  const char* typeName;
};

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

  PluginHost host_{PluginLibrary::open(ZEL_PLUGIN_PATH)};
  std::map<std::string, const TypeDescription*> types_;
  std::map<std::string, const EventDescription*> events_;
};

TEST_F(PlatformDeclarationsTest, StructuresListTheirFieldsInOrder) {
  const std::map<std::string, std::vector<FieldRow>> structures = {
      {"PluginManagerResource", {{"state", kEnum, "PluginManagerState"}}},
      {"PluginResourceEvent",
       {{"uri", kString, ""},
        {"eventType", kEnum, "PluginResourceEventType"},
        {"data", kObject, ""}}},
      {"PluginLcdsEvent",
       {{"clientId", kString, ""},
        {"subtopic", kString, ""},
        {"typeName", kString, ""},
        {"body", kObject, ""}}},
      {"PluginLcdsResponse", {{"typeName", kString, ""}, {"body", kObject, ""}}},
      {"PluginServiceProxyResponse",
       {{"uuid", kString, ""},
        {"serviceName", kString, ""},
        {"methodName", kString, ""},
        {"payload", kString, ""},
        {"status", kString, ""},
        {"error", kString, ""}}},
  };
  for (const auto& [name, fields] : structures) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(types_.contains(name));
    const TypeDescription& type = *types_.at(name);
    ASSERT_EQ(type.count, fields.size());
    EXPECT_EQ(type.enumerators, nullptr);
    const FieldDescription* field = type.fields;
    for (const FieldRow& expected : fields) {
      SCOPED_TRACE(expected.name);
      ASSERT_NE(field, nullptr);
      EXPECT_STREQ(field->name, expected.name);
      EXPECT_STREQ(field->description, "");
      EXPECT_EQ(field->kind, expected.kind);
      EXPECT_STREQ(field->typeName, expected.typeName);
      field = field->next;
    }
    EXPECT_EQ(field, nullptr);
  }
}

TEST_F(PlatformDeclarationsTest, EnumerationsListTheirValues) {
  const std::map<std::string, std::map<std::string, std::int32_t>> enums = {
      {"PluginManagerState", {{"NotReady", 0}, {"PluginsInitialized", 1}}},
      {"PluginResourceEventType", {{"Create", 0}, {"Update", 1}, {"Delete", 2}}},
  };
  for (const auto& [name, values] : enums) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(types_.contains(name));
    const TypeDescription& type = *types_.at(name);
    EXPECT_EQ(type.size, 4u);
    std::map<std::string, std::int32_t> listed;
    for (const EnumeratorDescription* e = type.enumerators; e != nullptr; e = e->next) {
      listed[e->name] = e->value;
    }
    EXPECT_EQ(listed, values);
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
  }
}

}  // namespace
}  // namespace zel
