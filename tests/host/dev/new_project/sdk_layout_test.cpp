#include "host/dev/new_project/sdk_layout.h"

#include <gtest/gtest.h>

#include "host/dev/hosting/zel_maps_defaults.h"
#include "host/loading/program_path.h"

namespace zel::host {
namespace {

TEST(SdkLayoutTest, EverythingLiesAroundTheProgramsFolder) {
  std::filesystem::path bin = std::filesystem::path("prefix") / "bin";
  SdkLayout layout = sdkLayout(bin / "zel-host");
  std::filesystem::path share = std::filesystem::path("prefix") / "share" / "zel-sdk";
  EXPECT_EQ(layout.share, share);
  EXPECT_EQ(layout.defaultPlugin, bin / defaultPluginFileName());
  EXPECT_EQ(layout.swaggerUi, share / "swagger-ui");
  EXPECT_EQ(layout.gameDataMock, share / "mocks" / "zel-game-data");
}

TEST(SdkLayoutTest, TheProgramPathIsThisTestProgram) {
  std::filesystem::path self = programPath();
  ASSERT_FALSE(self.empty());
  EXPECT_TRUE(self.is_absolute()) << self;
  EXPECT_TRUE(std::filesystem::is_regular_file(self)) << self;
  EXPECT_EQ(self.stem(), "host_dev_tests");
}

// The build tree stages the layout the install has, so the built zel-host
// finds its data as an installed one does.
TEST(SdkLayoutTest, TheBuildTreeStagesTheLayout) {
  SdkLayout layout = sdkLayout(programPath());
  EXPECT_TRUE(std::filesystem::exists(layout.defaultPlugin)) << layout.defaultPlugin;
  EXPECT_TRUE(std::filesystem::exists(layout.gameDataMock / "maps.json")) << layout.gameDataMock;
  EXPECT_TRUE(std::filesystem::exists(layout.gameDataMock / "map-assets" / "map-assets.json"));
}

}  // namespace
}  // namespace zel::host
