#include "host/dev/new_project/sdk_layout.h"

#include "host/dev/hosting/zel_maps_defaults.h"

namespace zel::host {

SdkLayout sdkLayout(const std::filesystem::path& programFile) {
  std::filesystem::path bin = programFile.parent_path();
  SdkLayout layout;
  // lexically_normal folds "bin/.." so that messages show a plain path.
  layout.share = (bin / ".." / "share" / "zel-sdk").lexically_normal();
  layout.defaultPlugin = bin / defaultPluginFileName();
  layout.swaggerUi = layout.share / "swagger-ui";
  layout.gameDataMock = layout.share / "mocks" / kGameDataMockFolder;
  return layout;
}

}  // namespace zel::host
