// Where an installed (or built) zel-host finds what it serves by default,
// relative to its own file, so that the program can be moved or installed
// with its share folder:
//
//   PREFIX/bin/zel-host                               the program
//   PREFIX/bin/zel_maps.so (.dll)                     the default plugin
//   PREFIX/share/zel-sdk/swagger-ui/                  the API browser's files
//   PREFIX/share/zel-sdk/mocks/zel-game-data/         the game-data mock
//
//   SdkLayout layout = sdkLayout(programPath());
//   options.pluginPath = layout.defaultPlugin.string();
//
// The build tree stages the same layout (build/PRESET/bin, build/PRESET/share).
// The default plugin and game data are zel-maps' (zel_maps_defaults.h).
// Plain values; nothing is checked for existence here.
#pragma once

#include <filesystem>

namespace zel::host {

struct SdkLayout {
  std::filesystem::path share;  // PREFIX/share/zel-sdk
  std::filesystem::path defaultPlugin;
  std::filesystem::path swaggerUi;
  std::filesystem::path gameDataMock;
};

// The layout around the program at programFile; an empty path gives paths
// relative to the working directory.
SdkLayout sdkLayout(const std::filesystem::path& programFile);

}  // namespace zel::host
