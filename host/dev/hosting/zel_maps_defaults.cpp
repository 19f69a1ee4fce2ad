#include "host/dev/hosting/zel_maps_defaults.h"

namespace zel::host {

std::string defaultPluginFileName() {
#if defined(_WIN32)
  constexpr std::string_view kExtension = ".dll";
#else
  constexpr std::string_view kExtension = ".so";
#endif
  std::string name(kDefaultPluginName);
  name += kExtension;
  return name;
}

MockFolderSpec gameDataMock(std::string directory) {
  return MockFolderSpec{std::string(kGameDataPrefix), std::move(directory), "game data"};
}

}  // namespace zel::host
