// zel-host moved away from the build tree with its share folder, the way an
// install lays it out, still finds its plugin, its game data and the API
// browser's files around itself.
#if !defined(_WIN32)

#include <unistd.h>

#include <filesystem>
#include <string>

#include <httplib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/dev/hosting/zel_maps_defaults.h"
#include "host/dev/new_project/sdk_layout.h"
#include "tests/host/dev/child_process.h"
#include "tests/host/dev/sample_data.h"
#include "tests/host/dev/served_child.h"

namespace zel::host {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

void copyFolder(const fs::path& from, const fs::path& to) {
  fs::create_directories(to);
  // Follows links: the build tree links its share folder to the sources.
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
    text.replace(at, from.size(), to), at += to.size();
}

class ZelHostInstallTest : public testing::Test {
 protected:
  void SetUp() override {
    prefix_ = testing_support::artifactDirectory() / "scratch" /
              ("installed-" + std::to_string(getpid()));
    fs::remove_all(prefix_);
    fs::create_directories(prefix_ / "bin");
    fs::copy_file(ZEL_HOST_PROGRAM, prefix_ / "bin" / "zel-host");
    fs::copy_file(ZEL_PLUGIN_PATH, prefix_ / "bin" / defaultPluginFileName());

    SdkLayout built = sdkLayout(ZEL_HOST_PROGRAM);
    SdkLayout installed = sdkLayout(prefix_ / "bin" / "zel-host");
    copyFolder(built.gameDataMock, installed.gameDataMock);
    // The installed copy says where it came from, so that a call shows which
    // game data was read.
    fs::path maps = installed.gameDataMock / "maps.json";
    std::string text = testing_support::readTextFile(maps);
    replaceAll(text, "Glasswind Steppe", "Installed Steppe");
    fs::remove(maps);
    testing_support::writeTextFile(maps, text);
    haveSwaggerUi_ = fs::exists(built.swaggerUi / "swagger-ui-bundle.js");
    if (haveSwaggerUi_) {
      fs::create_directories(installed.swaggerUi);
      for (const char* file : {"swagger-ui-bundle.js", "swagger-ui.css"})
        fs::copy_file(built.swaggerUi / file, installed.swaggerUi / file);
    }
    elsewhere_ = prefix_ / "elsewhere";
    fs::create_directories(elsewhere_);
  }

  void TearDown() override { fs::remove_all(prefix_); }

  // The installed program, run from a folder of no meaning to it.
  std::string program() const {
    return "cd " + elsewhere_.string() + " && " + (prefix_ / "bin" / "zel-host").string();
  }

  fs::path prefix_;
  fs::path elsewhere_;
  bool haveSwaggerUi_ = false;
};

TEST_F(ZelHostInstallTest, CallAndDescribeUseThePluginAndDataBesideTheProgram) {
  testing_support::ChildResult call =
      testing_support::runChild(program(), "call GET /zel-maps/v1/map/3");
  EXPECT_EQ(call.exitCode, 0) << call.output;
  EXPECT_THAT(call.output, HasSubstr("\"name\": \"Installed Steppe\""));

  testing_support::ChildResult describe = testing_support::runChild(program(), "describe");
  EXPECT_EQ(describe.exitCode, 0) << describe.output;
  EXPECT_THAT(describe.output, HasSubstr("\"plugin\": \"zel-maps\""));

  testing_support::ChildResult usage = testing_support::runChild(program(), "--help");
  EXPECT_THAT(usage.output,
              HasSubstr("(default " + (prefix_ / "bin" / defaultPluginFileName()).string() + ")"));
}

TEST_F(ZelHostInstallTest, WithoutItsPluginOrDataTheProgramSaysWhatIsMissing) {
  fs::remove(prefix_ / "bin" / defaultPluginFileName());
  testing_support::ChildResult call =
      testing_support::runChild(program(), "call GET /zel-maps/v1/map/3");
  EXPECT_EQ(call.exitCode, 1) << call.output;
  EXPECT_THAT(call.output, HasSubstr("Cannot load plugin library " +
                                     (prefix_ / "bin" / defaultPluginFileName()).string()));
}

TEST_F(ZelHostInstallTest, ServeFindsTheApiBrowserBesideTheProgram) {
  testing_support::ServedChild child;
  ASSERT_TRUE(child.start(program() + " serve --port 0")) << child.output();
  httplib::Client client("127.0.0.1", child.port());
  client.set_read_timeout(std::chrono::seconds(30));
  httplib::Result docs = client.Get("/docs");
  httplib::Result bundle = client.Get("/docs/assets/swagger-ui-bundle.js");
  httplib::Result map = client.Get("/zel-maps/v1/map/3");
  EXPECT_EQ(child.stop(), 0) << child.output();
  ASSERT_TRUE(docs) << httplib::to_string(docs.error());
  ASSERT_TRUE(map) << httplib::to_string(map.error());
  EXPECT_THAT(map->body, HasSubstr("\"name\":\"Installed Steppe\""));
  if (!haveSwaggerUi_) {
    EXPECT_THAT(docs->body, HasSubstr("The API browser is not installed"));
    GTEST_SKIP() << "swagger-ui-dist is not installed (scripts/setup installs it)";
  }
  EXPECT_THAT(docs->body, HasSubstr("/docs/assets/swagger-ui-bundle.js"));
  ASSERT_TRUE(bundle) << httplib::to_string(bundle.error());
  EXPECT_EQ(bundle->status, 200);
  EXPECT_GT(bundle->body.size(), 1000u);
}

}  // namespace
}  // namespace zel::host

#endif
