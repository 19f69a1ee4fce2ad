// The API browser of zel-host serve, loaded in headless Chromium: the page
// must show every route of the plugin. The screenshot stays in the build
// tree (test-artifacts/docs.png) for a person to look at.
#include <filesystem>
#include <set>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/dev/serving/dev_server.h"
#include "tests/host/dev/child_process.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

#if !defined(_WIN32)
constexpr const char* kChromium = "/usr/bin/chromium";

std::string chromiumCommand(const std::filesystem::path& profile, const std::string& action,
                            const std::string& url) {
  return std::string("60 ") + kChromium +
         " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
         " --disable-background-networking --disable-component-update --disable-sync"
         " --user-data-dir=" +
         profile.string() + " --virtual-time-budget=10000 --window-size=1280,1800 " + action + " " +
         url;
}
#endif

TEST(DocsBrowserTest, HeadlessChromiumShowsEveryRoute) {
#if defined(_WIN32)
  GTEST_SKIP() << "the browser test runs on the Linux builds only";
#else
  std::string swaggerUi = std::string(ZEL_NODE_MODULES_DIR) + "/swagger-ui-dist";
  if (!std::filesystem::exists(swaggerUi + "/swagger-ui-bundle.js")) {
    GTEST_SKIP() << "swagger-ui-dist is not installed (scripts/setup installs it)";
  }
  if (!std::filesystem::exists(kChromium)) GTEST_SKIP() << "chromium is not installed";

  DevHostOptions options;
  options.pluginPath = ZEL_PLUGIN_PATH;
  options.gameDataDirectory = ZEL_GAME_DATA_DIR;
  options.log = [](std::string_view) {};
  DevHost host(std::move(options));
  ASSERT_TRUE(host.start()) << host.error();
  DevServerOptions serverOptions;
  serverOptions.swaggerUiDirectory = swaggerUi;
  DevServer server(host, serverOptions);
  ASSERT_TRUE(server.bind()) << server.error();
  server.start();
  std::string url = server.url() + "/docs";

  std::filesystem::path artifacts = testing_support::artifactDirectory();
  std::filesystem::path profile = artifacts / "chromium-profile";
  std::filesystem::remove_all(profile);
  testing_support::ChildResult dom = testing_support::runChild(
      "timeout", chromiumCommand(profile, "--dump-dom", url) + " 2>/dev/null");
  ASSERT_EQ(dom.exitCode, 0) << dom.output.substr(0, 2000);
  std::set<std::string> paths;
  const std::string marker = "data-path=\"";
  for (std::size_t at = dom.output.find(marker); at != std::string::npos;
       at = dom.output.find(marker, at + 1)) {
    std::size_t start = at + marker.size();
    paths.insert(dom.output.substr(start, dom.output.find('"', start) - start));
  }
  EXPECT_THAT(paths, testing::UnorderedElementsAre(
                         "/zel-maps/v1/maps", "/zel-maps/v2/maps", "/zel-maps/v1/map/{id}",
                         "/zel-maps/v2/map/{id}/{gameMode}",
                         "/zel-maps/v2/map/{id}/{gameMode}/{gameMutator}", "/zel-maps/v1/map"))
      << dom.output.substr(0, 3000);
  EXPECT_THAT(dom.output, testing::Not(testing::HasSubstr("Parser error")));

  std::filesystem::path screenshot = artifacts / "docs.png";
  std::filesystem::remove(screenshot);
  std::filesystem::remove_all(profile);
  testing_support::ChildResult shot = testing_support::runChild(
      "timeout", chromiumCommand(profile, "--screenshot=" + screenshot.string(), url));
  EXPECT_EQ(shot.exitCode, 0) << shot.output.substr(0, 2000);
  ASSERT_TRUE(std::filesystem::exists(screenshot));
  EXPECT_GT(std::filesystem::file_size(screenshot), 20000u);
  EXPECT_EQ(testing_support::readTextFile(screenshot).substr(1, 3), "PNG");
  std::filesystem::remove_all(profile);
  server.stop();
#endif
}

}  // namespace
}  // namespace zel::host
