#include "host/dev/sdk_layout.h"

namespace zel::host {

const char* defaultPluginFileName() {
#if defined(_WIN32)
  return "zel_maps.dll";
#else
  return "zel_maps.so";
#endif
}

SdkLayout sdkLayout(const std::filesystem::path& programFile) {
  std::filesystem::path bin = programFile.parent_path();
  SdkLayout layout;
  // lexically_normal folds "bin/.." so that messages show a plain path.
  layout.share = (bin / ".." / "share" / "zel-sdk").lexically_normal();
  layout.defaultPlugin = bin / defaultPluginFileName();
  layout.swaggerUi = layout.share / "swagger-ui";
  layout.gameDataMock = layout.share / "mocks" / "zel-game-data";
  return layout;
}

}  // namespace zel::host
