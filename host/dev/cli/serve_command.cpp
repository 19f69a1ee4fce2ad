// zel-host serve: the plugin over HTTP on 127.0.0.1 until SIGINT or SIGTERM.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <thread>

#include "host/conversions/text_template.h"
#include "host/dev/cli/command_support.h"
#include "host/dev/cli/commands.h"
#include "host/dev/cli/messages.h"
#include "host/dev/hosting/file_watcher.h"
#include "host/dev/serving/dev_server.h"

namespace zel::host::cli {

namespace {

// Set by the signal handler and read by the stopper thread: a lock-free
// atomic is safe in both places, where a volatile flag races with the thread.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void requestStop(int) {
  stopRequested.store(true, std::memory_order_relaxed);
}

// How often --reload looks at the plugin file.
constexpr std::chrono::milliseconds kReloadPoll{300};

}  // namespace

int runServe(const CliOptions& options) {
  DevHost host(devHostOptions(options));
  if (!startOrReport(host)) return kExitFailure;
  DevServerOptions serverOptions;
  serverOptions.port = options.port;
  serverOptions.swaggerUiDirectory = options.swaggerUiDirectory;
  serverOptions.allowedHosts = options.allowedHosts;
  DevServer server(host, serverOptions);
  if (!server.bind()) {
    reportError(server.error());
    return kExitFailure;
  }

  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  std::printf("%s\n", fillTemplate(messages::kServing, {host.shortName(), server.url()}).c_str());
  std::printf("API browser: %s/docs\nOpenAPI: %s/openapi.json\nEvents: %s/events\n",
              server.url().c_str(), server.url().c_str(), server.url().c_str());
  // --reload: a rebuilt plugin file replaces the plugin (DevHost::reload);
  // the host loads a copy, so the build may overwrite the file.
  std::optional<FileWatcher> watcher;
  if (options.reload) {
    watcher.emplace(options.pluginPath, kReloadPoll, [&host] { host.reload(); });
    watcher->start();
    std::printf("%s\n", fillTemplate(messages::kWatching, {options.pluginPath}).c_str());
  }
  std::fflush(stdout);

  // The signal handler only sets a flag; this thread turns it into a stop.
  std::atomic<bool> served{false};
  std::thread stopper([&] {
    while (!served && !stopRequested.load(std::memory_order_relaxed))
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (stopRequested.load(std::memory_order_relaxed)) {
      std::fprintf(stderr, "%s\n", messages::kStopping.data());
      server.stop();
    }
  });
  server.run();
  served = true;
  stopper.join();
  if (watcher) watcher->stop();
  server.stop();
  host.stop();
  return kExitOk;
}

}  // namespace zel::host::cli
