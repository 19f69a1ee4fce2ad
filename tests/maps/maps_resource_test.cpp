#include "maps/maps_resource.h"

#include "binding/type_descriptor.h"
#include "formats/json_reader.h"
#include "maps_test_support.h"
#include "tests/formats/value_text.h"

namespace zel::maps {
namespace {

using MapsResourceTest = testing_support::MapsRegistry;

TEST_F(MapsResourceTest, RegisteredWithFifteenFieldsInOrder) {
  const TypeDescriptor* type = registry.findType("ZelMapsMaps");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type, registry.findType<MapsResource>());
  const char* names[] = {"id",
                         "isDefault",
                         "gameMode",
                         "gameModeName",
                         "gameModeShortName",
                         "gameModeDescription",
                         "gameMutator",
                         "isRGM",
                         "name",
                         "description",
                         "mapStringId",
                         "platformId",
                         "platformName",
                         "assets",
                         "properties"};
  ASSERT_EQ(type->fields().size(), 15u);
  for (std::size_t i = 0; i < 15; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(type->fields()[i].name(), names[i]);
  }
  // A second registration keeps the first definition.
  registerMapsTypes(registry, "ZelMaps");
  EXPECT_EQ(registry.findType("ZelMapsMaps")->fields().size(), 15u);
}

TEST_F(MapsResourceTest, MissingKeysLeaveFieldsUnchanged) {
  MapsResource map = record(R"({"id": 42, "name": "x"})");
  EXPECT_EQ(map.id, 42);
  EXPECT_EQ(map.name, "x");
  EXPECT_FALSE(map.isDefault);
  EXPECT_TRUE(map.gameMode.empty());
  EXPECT_TRUE(map.assets.empty());
  EXPECT_TRUE(map.properties.isEmpty());

  EXPECT_EQ(convertInto(map, R"({"gameMode": "MODE_A", "unknownKey": 1})"), "");
  EXPECT_EQ(map.id, 42);
  EXPECT_EQ(map.name, "x");
  EXPECT_EQ(map.gameMode, "MODE_A");
}

TEST_F(MapsResourceTest, AssetsAreReplacedAsAWhole) {
  MapsResource map = record(R"({"assets": {"b": "2", "c": "3"}})");
  EXPECT_EQ(convertInto(map, R"({"assets": {"a": "1"}})"), "");
  ASSERT_EQ(map.assets.size(), 1u);
  EXPECT_EQ(map.assets.at("a"), "1");
}

TEST_F(MapsResourceTest, WrongKindStopsAtThatField) {
  MapsResource map;
  const std::string error = convertInto(map, R"({"id": 7, "assets": 5, "name": "late"})");
  EXPECT_NE(error.find("type map because the input not a structure."), std::string::npos) << error;
  EXPECT_NE(error.find("assets"), std::string::npos) << error;
  EXPECT_EQ(map.id, 7);  // converted before the failing key
}

TEST_F(MapsResourceTest, PropertiesKeepAnyValueAndSerialiseBack) {
  const char* inputs[] = {R"({"properties": 12})", R"({"properties": [1, "two", {"x": null}]})",
                          R"({"properties": {"z": {"deep": [true]}, "a": -1.5}})"};
  for (const char* input : inputs) {
    SCOPED_TRACE(input);
    const MapsResource map = record(input);
    const BindingValue source = readJson(input);
    BindingValue back;
    toValue(back, map, registry.findType<MapsResource>(), &registry);
    ASSERT_TRUE(back.ok()) << back.errorMessage();
    EXPECT_EQ(zel::testing_support::describe(BindingValue(back.find("properties"))),
              zel::testing_support::describe(BindingValue(source.find("properties"))));
  }
}

}  // namespace
}  // namespace zel::maps
