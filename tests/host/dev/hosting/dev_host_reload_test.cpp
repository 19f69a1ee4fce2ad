// Reloading the hosted plugin: a new build of its file replaces it, a file
// that does not load leaves it serving, and calls never meet an unloaded
// library.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boundary/method_codes.h"
#include "host/dev/hosting/dev_host.h"
#include "host/loading/program_path.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

std::optional<CallReply> get(DevHost& host, const char* path) {
  CallRequest request;
  request.method = kMethodGet;
  request.path = path;
  return host.routeAndCall(std::move(request));
}

// Replaces the watched file the way a build does: the old file stays where
// the host's copy was taken from, the new bytes land under the same name.
// (Removed first: mingw's copy_file does not overwrite.)
void replaceWith(const fs::path& file, const fs::path& source) {
  fs::remove(file);
  fs::copy_file(source, file);
}

class DevHostReloadTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        testing_support::artifactDirectory() / "scratch" /
        (std::string("reload-") + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    // The host's plugin copies go to the system's temporary folder: here, one
    // of the test's own.
    copies_ = folder_ / "copies";
    fs::create_directories(copies_);
    if (const char* temporary = std::getenv(kTemporaryVariable)) temporary_ = temporary;
    setTemporaryFolder(copies_.string());
    // Named as the tests' plugin is, so that either library's entry is found
    // in it (zel-maps' under the name every plugin answers to).
    plugin_ = folder_ / fs::path(ZEL_TEST_PLUGIN_PATH).filename();
    fs::copy_file(mapsPlugin(), plugin_);
    DevHostOptions options;
    options.pluginPath = plugin_.string();
    options.gameDataDirectory = ZEL_GAME_DATA_DIR;
    options.loadCopy = true;
    options.log = [this](std::string_view line) {
      std::lock_guard lock(mutex_);
      logs_.emplace_back(line);
    };
    host_.emplace(std::move(options));
    ASSERT_TRUE(host_->start()) << host_->error();
  }

  void TearDown() override {
    host_.reset();
    setTemporaryFolder(temporary_);
    fs::remove_all(folder_);
  }

#if defined(_WIN32)
  static constexpr const char* kTemporaryVariable = "TMP";
  static void setTemporaryFolder(const std::string& path) {
    _putenv_s(kTemporaryVariable, path.c_str());
  }
#else
  static constexpr const char* kTemporaryVariable = "TMPDIR";
  static void setTemporaryFolder(const std::string& path) {
    if (path.empty()) {
      unsetenv(kTemporaryVariable);
    } else {
      setenv(kTemporaryVariable, path.c_str(), 1);
    }
  }
#endif

  // The folders and files the host left among its copies, sorted.
  std::vector<std::string> copiesLeft() const {
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(copies_)) {
      left.push_back(fs::relative(entry.path(), copies_).generic_string());
    }
    std::sort(left.begin(), left.end());
    return left;
  }

  // Exactly the loaded copy: one folder holding one file of the plugin's name.
  void expectOnlyTheLoadedCopy() const {
    std::vector<std::string> left = copiesLeft();
    ASSERT_EQ(left.size(), 2u) << testing::PrintToString(left);
    EXPECT_EQ(left[1], left[0] + "/" + plugin_.filename().string());
  }

  static fs::path mapsPlugin() {
    return besideTests(ZEL_PLUGIN_PATH);
  }
  static fs::path testPlugin() {
    return besideTests(ZEL_TEST_PLUGIN_PATH);
  }
  // On Windows the paths are file names next to the test program.
  static fs::path besideTests(const char* path) {
    fs::path file(path);
    return file.is_absolute() ? file : programPath().parent_path() / file;
  }

  std::vector<std::string> logs() {
    std::lock_guard lock(mutex_);
    return logs_;
  }

  fs::path folder_;
  fs::path copies_;
  std::string temporary_;  // the variable's value before the test; empty: unset
  fs::path plugin_;
  std::mutex mutex_;
  std::vector<std::string> logs_;
  std::optional<DevHost> host_;
};

TEST_F(DevHostReloadTest, ANewBuildReplacesThePluginAndABrokenFileChangesNothing) {
  std::shared_ptr<EventListener> listener = host_->events().listen();
  ASSERT_TRUE(get(*host_, "/zel-maps/v1/map/3"));
  EXPECT_FALSE(get(*host_, "/zel-test/v1/double/21"));

  expectOnlyTheLoadedCopy();
  replaceWith(plugin_, testPlugin());
  ASSERT_TRUE(host_->reload()) << host_->error();
  // The previous copy went with the library it held.
  expectOnlyTheLoadedCopy();
  std::optional<CallReply> doubled = get(*host_, "/zel-test/v1/double/21");
  ASSERT_TRUE(doubled);
  EXPECT_FALSE(doubled->reply.error);
  EXPECT_EQ(doubled->reply.body.signedValue, 42);
  EXPECT_FALSE(get(*host_, "/zel-maps/v1/map/3"));
  EXPECT_EQ(host_->shortName(), "zel-test");
  ApiSnapshot api = host_->apiSnapshot();
  EXPECT_TRUE(std::any_of(api.catalog.functions.begin(), api.catalog.functions.end(),
                          [](const FunctionInfo& function) {
                            return function.urlTemplate == "/zel-test/v1/double/{n}";
                          }));
  EXPECT_EQ(api.shortName, "zel-test");

  testing_support::writeTextFile(plugin_, std::string(4096, '\x5a'));
  EXPECT_FALSE(host_->reload());
  EXPECT_THAT(host_->error(), HasSubstr("Cannot load plugin library"));
  testing_support::writeTextFile(plugin_, "");
  EXPECT_FALSE(host_->reload());
  EXPECT_EQ(host_->error(), "The plugin " + plugin_.string() + " is empty");
  doubled = get(*host_, "/zel-test/v1/double/21");
  ASSERT_TRUE(doubled);
  EXPECT_EQ(doubled->reply.body.signedValue, 42);
  // A copy that did not load is gone too.
  expectOnlyTheLoadedCopy();

  std::vector<PublishedEvent> events;
  PublishedEvent event;
  while (listener->next(event, std::chrono::milliseconds(0))) events.push_back(event);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].name, "zel-host.reloaded");
  EXPECT_THAT(events[0].payloadJson, HasSubstr("\"error\":null"));
  EXPECT_EQ(events[1].name, "zel-host.reload-failed");
  EXPECT_THAT(events[1].payloadJson, HasSubstr("Cannot load plugin library"));
  EXPECT_EQ(events[2].name, "zel-host.reload-failed");
  EXPECT_THAT(events[2].payloadJson, HasSubstr(" is empty"));
  EXPECT_THAT(logs(), testing::Contains(HasSubstr("zel-host: reload failed, still serving")));

  // The last copy goes when the host stops.
  host_->stop();
  EXPECT_THAT(copiesLeft(), testing::IsEmpty());
}

TEST_F(DevHostReloadTest, TheReloadedPluginGetsTheEventsAndTheOldOnesSubscriptionsGo) {
  replaceWith(plugin_, testPlugin());
  ASSERT_TRUE(host_->reload()) << host_->error();
  replaceWith(plugin_, mapsPlugin());
  ASSERT_TRUE(host_->reload()) << host_->error();
  // One zel-maps, subscribed once: an event reaches it once.
  EXPECT_EQ(host_->deliverEvent("OnRegionLocaleChanged", HostValue::makeNone()), 1u);
  ASSERT_TRUE(get(*host_, "/zel-maps/v1/map/3"));
}

TEST_F(DevHostReloadTest, CallsDuringReloadsMeetALoadedPlugin) {
  replaceWith(plugin_, testPlugin());
  std::atomic<bool> done{false};
  std::atomic<int> answered{0};
  std::vector<std::thread> callers;
  for (int i = 0; i < 2; ++i) {
    callers.emplace_back([&] {
      while (!done) {
        // Either plugin may be attached; whichever it is answers in full.
        std::optional<CallReply> maps = get(*host_, "/zel-maps/v1/map/3");
        std::optional<CallReply> doubled = get(*host_, "/zel-test/v1/double/21");
        if (maps && !maps->reply.error) ++answered;
        if (doubled && doubled->reply.body.signedValue == 42) ++answered;
      }
    });
  }
  for (int i = 0; i < 6; ++i) {
    replaceWith(plugin_, i % 2 == 0 ? testPlugin() : mapsPlugin());
    EXPECT_TRUE(host_->reload()) << host_->error();
  }
  done = true;
  for (std::thread& caller : callers) caller.join();
  EXPECT_GT(answered, 0);
  EXPECT_TRUE(host_->running());
}

}  // namespace
}  // namespace zel::host
