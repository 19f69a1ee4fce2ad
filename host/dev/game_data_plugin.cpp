#include "host/dev/game_data_plugin.h"

#include "host/route_match.h"

namespace zel::host {

namespace {

bool isDocument(std::string_view url) {
  std::string_view path = pathWithoutQuery(url);
  return path == kMapsDocument || path == kMapAssetsDocument;
}

}  // namespace

GameDataPlugin::GameDataPlugin(std::string directory)
    : folder_(gameDataMock(std::move(directory))) {}

std::optional<std::string> GameDataPlugin::fileFor(std::string_view url) const {
  if (!isDocument(url)) return std::nullopt;
  return folder_.fileFor(url);
}

std::optional<ScriptedResponse> GameDataPlugin::answer(std::uint32_t method,
                                                       std::string_view url) const {
  if (!isDocument(url)) return std::nullopt;
  return folder_.answer(method, url);
}

MockFolderSpec gameDataMock(std::string directory) {
  return MockFolderSpec{std::string(kGameDataPrefix), std::move(directory), "game data"};
}

}  // namespace zel::host
