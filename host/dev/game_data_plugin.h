// GameDataPlugin: the sibling game-data plugin as zel-maps sees it: the two
// documents the maps plugin reads, from files of a directory, as streamed
// JSON text the way the real plugin does (a MockFolder at kGameDataPrefix
// that answers those two documents only; zel-host itself serves the whole
// folder, see gameDataMock):
//
//   GET /zel-game-data/assets/v1/maps.json                    DIR/maps.json
//   GET /zel-game-data/assets/v1/map-assets/map-assets.json   DIR/map-assets/map-assets.json
//
//   GameDataPlugin gameData("data/game-data");
//   std::optional<ScriptedResponse> answer = gameData.answer(2, url);   // none: not ours
//
// Reads the file on every request, so edits show on the next load. Holds
// only the directory name; safe to use from several threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/dev/mock_folder.h"
#include "host/scripted_response.h"

namespace zel::host {

inline constexpr std::string_view kGameDataPrefix = "/zel-game-data/assets/v1";
inline constexpr std::string_view kMapsDocument = "/zel-game-data/assets/v1/maps.json";
inline constexpr std::string_view kMapAssetsDocument =
    "/zel-game-data/assets/v1/map-assets/map-assets.json";

class GameDataPlugin {
 public:
  explicit GameDataPlugin(std::string directory);

  const std::string& directory() const { return folder_.directory(); }

  // The file behind a document url (its query ignored); none for any other url.
  std::optional<std::string> fileFor(std::string_view url) const;

  // None when the url is not one of the documents. A GET answers the file's
  // text streamed in chunks; a missing or unreadable file answers an error
  // with status 404; any other method answers status 405.
  std::optional<ScriptedResponse> answer(std::uint32_t method, std::string_view url) const;

 private:
  MockFolder folder_;
};

// The mock of the whole game-data folder at kGameDataPrefix (what
// --game-data DIR stands for).
MockFolderSpec gameDataMock(std::string directory);

}  // namespace zel::host
