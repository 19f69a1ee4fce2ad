// What zel-host serves when told nothing else: the zel-maps plugin and the
// game data it reads. The rest of the dev tool serves any plugin; this is
// the one place that knows which plugin the SDK ships with.
//
//   std::filesystem::path plugin = bin / defaultPluginFileName();   // zel_maps.so (.dll)
//   DevHost host({.pluginPath = plugin.string(), .mocks = {gameDataMock("data/game-data")}});
//
// Plain values; nothing owned.
#pragma once

#include <string>
#include <string_view>

#include "host/dev/hosting/mock_folder.h"
#include "host/loading/entry_name.h"

namespace zel::host {

// zel-maps exports the host's fallback entry, so its file is named after
// that entry rather than spelled a second time.
inline constexpr std::string_view kDefaultPluginName =
    std::string_view(kEntryFunctionName).substr(kEntryNamePrefix.size());

// The file name of the default plugin on this platform.
std::string defaultPluginFileName();

// Where zel-maps asks the game-data plugin for its documents, and the folder
// among the installed mocks that plays that plugin.
inline constexpr std::string_view kGameDataPrefix = "/zel-game-data/assets/v1";
inline constexpr std::string_view kGameDataMockFolder = "zel-game-data";

// The mock of the whole game-data folder at kGameDataPrefix (what
// --game-data DIR stands for).
MockFolderSpec gameDataMock(std::string directory);

}  // namespace zel::host
