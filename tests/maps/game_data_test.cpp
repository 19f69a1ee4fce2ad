#include "maps/game_data.h"

#include "binding/convert_native.h"
#include "formats/json_reader.h"
#include "maps_test_support.h"

namespace zel::maps {
namespace {

class GameDataTest : public testing_support::MapsRegistry {
 protected:
  MapVariants build(const char* mapsJson, const char* assetsJson) {
    MapsDocument maps;
    MapAssetsDocument assets;
    ConversionStatus status;
    toNative(status, maps, readJson(mapsJson), "<result>", &registry);
    toNative(status, assets, readJson(assetsJson), "<result>", &registry);
    EXPECT_TRUE(status.ok()) << status.errorMessage();
    return buildVariants(maps, assets, registry);
  }
};

TEST_F(GameDataTest, VariantsOverlayTheMapAndEarlierVariants) {
  const MapVariants variants =
      build(R"([{"id": 42, "name": "m"}])",
            R"({"42": [{"gameMode": "A", "isDefault": true}, {"gameMode": "B"},)"
            R"( {"gameMode": "C", "properties": {"p": 1}}]})");
  ASSERT_EQ(variants.size(), 1u);
  const MapsList& list = variants.at(42);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].gameMode, "A");
  EXPECT_TRUE(list[0].isDefault);
  EXPECT_EQ(list[1].gameMode, "B");
  EXPECT_TRUE(list[1].isDefault);  // carried over from the first variant
  EXPECT_EQ(list[1].name, "m");
  EXPECT_TRUE(list[1].properties.isEmpty());
  // The last variant carries everything over too.
  EXPECT_EQ(list[2].gameMode, "C");
  EXPECT_TRUE(list[2].isDefault);
  EXPECT_EQ(list[2].name, "m");
  EXPECT_EQ(list[2].properties.find("p").asUnsigned(), 1u);
}

TEST_F(GameDataTest, KeysMustMatchTheDecimalIdExactly) {
  const MapVariants variants = build(R"([{"id": 42}, {"id": 43}, {"id": -5}])",
                                     R"({"042": [{"gameMode": "A"}], "-5": [{"gameMode": "N"}]})");
  EXPECT_EQ(variants.count(42), 0u);
  EXPECT_EQ(variants.count(43), 0u);  // no variant structures: left out
  ASSERT_EQ(variants.count(-5), 1u);
  EXPECT_EQ(variants.at(-5)[0].gameMode, "N");
}

TEST_F(GameDataTest, VariantMayMoveToAnotherId) {
  const MapVariants variants =
      build(R"([{"id": 42}])", R"({"42": [{"gameMode": "A"}, {"id": 44, "gameMode": "B"}]})");
  ASSERT_EQ(variants.at(42).size(), 1u);
  ASSERT_EQ(variants.at(44).size(), 1u);
  EXPECT_EQ(variants.at(44)[0].gameMode, "B");
}

TEST_F(GameDataTest, WrongKindKeepsWhatWasConvertedAndStillAdds) {
  const MapVariants variants = build(R"([{"id": 9, "name": "n"}])",
                                     R"({"9": [{"gameMode": "A", "assets": 5, "properties": 1}]})");
  // Fields are assigned in field order: gameMode before assets, properties never.
  ASSERT_EQ(variants.at(9).size(), 1u);
  EXPECT_EQ(variants.at(9)[0].gameMode, "A");
  EXPECT_EQ(variants.at(9)[0].name, "n");
  EXPECT_TRUE(variants.at(9)[0].properties.isEmpty());
}

}  // namespace
}  // namespace zel::maps
