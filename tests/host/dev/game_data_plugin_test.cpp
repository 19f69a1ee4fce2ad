#include "host/dev/game_data_plugin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/response_filler.h"
#include "host/response_reader.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

constexpr std::uint32_t kGet = 2;
constexpr std::uint32_t kPost = 6;

using testing_support::streamedText;

TEST(GameDataPluginTest, StreamsTheTwoDocumentsFromItsDirectory) {
  std::filesystem::path directory = testing_support::copySampleGameData("game-data-plugin");
  testing_support::writeTextFile(directory / "maps.json", "[{\"id\": 1}]");
  GameDataPlugin plugin(directory.string() + "/");

  std::optional<ScriptedResponse> maps = plugin.answer(kGet, kMapsDocument);
  ASSERT_TRUE(maps);
  EXPECT_FALSE(maps->error);
  ASSERT_TRUE(maps->stream);
  EXPECT_EQ(streamedText(*maps), "[{\"id\": 1}]");

  // Read again on every request: an edit shows at once.
  testing_support::writeTextFile(directory / "maps.json", "[]");
  EXPECT_EQ(streamedText(*plugin.answer(kGet, std::string(kMapsDocument) + "?x=1")), "[]");

  std::optional<ScriptedResponse> assets = plugin.answer(kGet, kMapAssetsDocument);
  ASSERT_TRUE(assets);
  std::optional<std::string> text = streamedText(*assets);
  ASSERT_TRUE(text);
  EXPECT_GT(text->size(), 4096u);  // streamed in several chunks
  EXPECT_EQ(*text, testing_support::readTextFile(directory / "map-assets" / "map-assets.json"));
}

TEST(GameDataPluginTest, AnswersOnlyItsDocumentsAndReportsMissingFiles) {
  GameDataPlugin plugin("no-such-directory");
  EXPECT_FALSE(plugin.answer(kGet, "/zel-game-data/assets/v1/other.json"));
  EXPECT_FALSE(plugin.answer(kGet, "/zel-maps/v1/maps"));

  std::optional<ScriptedResponse> missing = plugin.answer(kGet, kMapsDocument);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404u);
  EXPECT_THAT(missing->error.value_or(""),
              testing::StartsWith("Game data file no-such-directory/maps.json cannot be read: "));

  std::optional<ScriptedResponse> posted = plugin.answer(kPost, kMapsDocument);
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 405u);
  EXPECT_EQ(posted->error, "The game data has no POST /zel-game-data/assets/v1/maps.json");
}

}  // namespace
}  // namespace zel::host
