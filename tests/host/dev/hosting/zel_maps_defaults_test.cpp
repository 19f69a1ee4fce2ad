#include "host/dev/hosting/zel_maps_defaults.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boundary/method_codes.h"
#include "host/loading/entry_name.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

constexpr const char kMapsDocumentUrl[] = "/zel-game-data/assets/v1/maps.json";
constexpr const char kMapAssetsDocumentUrl[] =
    "/zel-game-data/assets/v1/map-assets/map-assets.json";

using testing_support::streamedText;

TEST(ZelMapsDefaultsTest, TheDefaultPluginIsTheOneWithTheFallbackEntry) {
  EXPECT_EQ(kDefaultPluginName, "zel_maps");
#if defined(_WIN32)
  EXPECT_EQ(defaultPluginFileName(), "zel_maps.dll");
#else
  EXPECT_EQ(defaultPluginFileName(), "zel_maps.so");
#endif
  // Its file name leads the host to the entry it would fall back to anyway.
  EXPECT_EQ(entryNameForLibrary(defaultPluginFileName()), kEntryFunctionName);
}

TEST(ZelMapsDefaultsTest, TheGameDataMockStreamsTheFilesOfItsFolder) {
  std::filesystem::path directory = testing_support::copySampleGameData("game-data-mock");
  testing_support::writeTextFile(directory / "maps.json", "[{\"id\": 1}]");
  MockFolder gameData(gameDataMock(directory.string() + "/"));
  EXPECT_EQ(gameData.prefix(), kGameDataPrefix);

  std::optional<ScriptedResponse> maps = gameData.answer(kMethodGet, kMapsDocumentUrl);
  ASSERT_TRUE(maps);
  EXPECT_FALSE(maps->error);
  ASSERT_TRUE(maps->stream);
  EXPECT_EQ(streamedText(*maps), "[{\"id\": 1}]");

  // Read again on every request: an edit shows at once.
  testing_support::writeTextFile(directory / "maps.json", "[]");
  EXPECT_EQ(streamedText(*gameData.answer(kMethodGet, std::string(kMapsDocumentUrl) + "?x=1")),
            "[]");

  std::optional<ScriptedResponse> assets = gameData.answer(kMethodGet, kMapAssetsDocumentUrl);
  ASSERT_TRUE(assets);
  std::optional<std::string> text = streamedText(*assets);
  ASSERT_TRUE(text);
  EXPECT_GT(text->size(), 4096u);  // streamed in several chunks
  EXPECT_EQ(*text, testing_support::readTextFile(directory / "map-assets" / "map-assets.json"));
}

TEST(ZelMapsDefaultsTest, TheGameDataMockNamesItselfInItsErrors) {
  MockFolder gameData(gameDataMock("no-such-directory"));
  EXPECT_FALSE(gameData.answer(kMethodGet, "/zel-maps/v1/maps"));

  std::optional<ScriptedResponse> missing = gameData.answer(kMethodGet, kMapsDocumentUrl);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404u);
  EXPECT_THAT(missing->error.value_or(""),
              testing::StartsWith("Game data file no-such-directory/maps.json cannot be read: "));

  std::optional<ScriptedResponse> posted = gameData.answer(kMethodPost, kMapsDocumentUrl);
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 405u);
  EXPECT_EQ(posted->error, "The game data has no POST /zel-game-data/assets/v1/maps.json");
}

}  // namespace
}  // namespace zel::host
