// zel-host serve: the plugin over HTTP on 127.0.0.1 until SIGINT or SIGTERM.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "host/cli/command_support.h"
#include "host/cli/commands.h"
#include "host/cli/messages.h"
#include "host/dev_server.h"
#include "host/text_template.h"

namespace zel::host::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
  stopRequested = 1;
}

}  // namespace

int runServe(const CliOptions& options) {
  DevHost host(devHostOptions(options));
  if (!startOrReport(host)) return kExitFailure;
  DevServerOptions serverOptions;
  serverOptions.port = options.port;
  serverOptions.swaggerUiDirectory = options.swaggerUiDirectory;
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
  std::fflush(stdout);

  // The signal handler only sets a flag; this thread turns it into a stop.
  std::atomic<bool> served{false};
  std::thread watcher([&] {
    while (!served && stopRequested == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (stopRequested != 0) {
      std::fprintf(stderr, "%s\n", messages::kStopping.data());
      server.stop();
    }
  });
  server.run();
  served = true;
  watcher.join();
  server.stop();
  host.stop();
  return kExitOk;
}

}  // namespace zel::host::cli
