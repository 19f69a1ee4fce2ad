// zel-host serve --reload as its own process: a rebuilt plugin file is
// served on the same port, a broken one is refused, and the event stream's
// clients hear of both.
#if !defined(_WIN32)

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/host/dev/sample_data.h"
#include "tests/host/dev/served_child.h"

namespace zel::host {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

// Generous: the machine is shared and a reload polls twice before it acts.
constexpr auto kPatience = std::chrono::seconds(60);

// Everything the event stream sends, for waiting on.
class EventStreamReader {
 public:
  explicit EventStreamReader(int port) : client_("127.0.0.1", port) {
    client_.set_read_timeout(std::chrono::seconds(120));
    thread_ = std::thread([this] {
      client_.Get("/events", [this](const char* data, std::size_t size) {
        std::lock_guard lock(mutex_);
        text_.append(data, size);
        changed_.notify_all();
        return true;
      });
    });
  }
  ~EventStreamReader() { thread_.join(); }  // the server's stop ends the stream

  bool waitFor(const std::string& piece) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience,
                             [&] { return text_.find(piece) != std::string::npos; });
  }
  std::string text() {
    std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  httplib::Client client_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
  std::thread thread_;
};

// Asks until the answer satisfies done or patience runs out.
template <typename Done>
bool askUntil(httplib::Client& client, const char* path, Done done) {
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    httplib::Result result = client.Get(path);
    if (result && done(*result)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

TEST(ZelHostReloadTest, ARebuiltPluginIsServedAndABrokenFileIsRefused) {
  fs::path folder = testing_support::artifactDirectory() / "scratch" /
                    ("serve-reload-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  // Named as the tests' plugin is, so that either library's entry is found in it.
  fs::path plugin = folder / fs::path(ZEL_TEST_PLUGIN_PATH).filename();
  fs::copy_file(ZEL_PLUGIN_PATH, plugin);

  testing_support::ServedChild child;
  ASSERT_TRUE(child.start(std::string(ZEL_HOST_PROGRAM) + " serve --port 0 --reload --plugin " +
                          plugin.string() + " --game-data " + ZEL_GAME_DATA_DIR))
      << child.output();
  httplib::Client client("127.0.0.1", child.port());
  client.set_read_timeout(std::chrono::seconds(30));
  {
    EventStreamReader events(child.port());
    ASSERT_TRUE(events.waitFor(": zel-host events")) << events.text();
    httplib::Result before = client.Get("/zel-test/v1/double/21");
    ASSERT_TRUE(before);
    EXPECT_EQ(before->status, 404);

    fs::copy_file(ZEL_TEST_PLUGIN_PATH, plugin, fs::copy_options::overwrite_existing);
    EXPECT_TRUE(askUntil(client, "/zel-test/v1/double/21", [](const httplib::Response& answer) {
      return answer.status == 200 && answer.body == "42";
    }));
    EXPECT_TRUE(events.waitFor("event: zel-host.reloaded\n")) << events.text();
    httplib::Result document = client.Get("/openapi.json");
    ASSERT_TRUE(document);
    EXPECT_THAT(document->body, HasSubstr("/zel-test/v1/double/{n}"));

    testing_support::writeTextFile(plugin, std::string(8192, '\x5a'));
    EXPECT_TRUE(events.waitFor("event: zel-host.reload-failed\n")) << events.text();
    EXPECT_THAT(events.text(), HasSubstr("Cannot load plugin library"));
    httplib::Result after = client.Get("/zel-test/v1/double/21");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    EXPECT_EQ(after->body, "42");
    EXPECT_EQ(child.stop(), 0) << child.output();
  }
  EXPECT_THAT(child.output(), HasSubstr("zel-host: reloading " + plugin.string()));
  EXPECT_THAT(child.output(), HasSubstr("zel-host: reloaded " + plugin.string()));
  EXPECT_THAT(child.output(), HasSubstr("zel-host: reload failed, still serving the old plugin"));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace zel::host

#endif
