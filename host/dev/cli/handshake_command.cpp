#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "boundary/log_level_codes.h"
#include "host/conversions/method_names.h"
#include "host/conversions/text_template.h"
#include "host/description/api_description_view.h"
#include "host/dev/cli/commands.h"
#include "host/dev/cli/messages.h"
#include "host/fakes/recording_host_api.h"
#include "host/plugin_host.h"

namespace zel::host::cli {

namespace {

// The handle this host gives the plugin; any nonzero value would do.
constexpr std::uint32_t kPluginHandle = 1;

const char* presence(const void* pointer) {
  return pointer != nullptr ? "present" : "missing";
}

template <typename Function>
const void* address(Function function) {
  return function != nullptr ? reinterpret_cast<const void*>(function) : nullptr;
}

void printHandshake(const PluginHost& host) {
  const HostLoadInfo& info = host.loadInfo();
  std::printf("handshake: plugin API %s, short name \"%s\"\n", host.pluginVersion().text().c_str(),
              host.shortName().c_str());
  const PluginEntryPoints* entries = info.entryPoints;
  std::printf("entry points: attach %s, shutdown %s, getMemoryStats %s\n",
              presence(address(entries->attach)), presence(address(entries->shutdown)),
              presence(address(entries->getMemoryStats)));
  ApiDescriptionView view = ApiDescriptionView::read(info.description);
  std::printf("description: %" PRIu32 " functions, %" PRIu32 " types, %" PRIu32 " events\n",
              view.functionCount(), view.typeCount(), view.eventCount());
  if (!view.linksMatchCounts()) {
    std::string text = fillTemplate(messages::kLinkMismatch, {std::to_string(view.linkedFunctions),
                                                              std::to_string(view.linkedTypes),
                                                              std::to_string(view.linkedEvents)});
    std::fprintf(stderr, "zel-host: %s\n", text.c_str());
  }
}

void printMemoryStats(const MemoryStats& stats) {
  std::printf("memory: peak live bytes %" PRIu64 ", live allocations at peak %" PRIu64 "\n",
              stats.peakLiveBytes, stats.liveAllocationsAtPeak);
  std::printf("memory: allocated %" PRIu64 " bytes in %" PRIu64 " allocations, freed %" PRIu64
              " bytes in %" PRIu64 " frees, reserved %" PRIu32 " %" PRIu32 "\n",
              stats.bytesAllocated, stats.allocations, stats.bytesFreed, stats.frees,
              stats.reserved[0], stats.reserved[1]);
}

void printTraffic(const RecordingHostApi& api) {
  for (const RecordedSubscription& subscription : api.subscriptions()) {
    std::printf("subscribe: %s (flag %" PRIu32 ")\n", subscription.eventName.c_str(),
                subscription.flag);
  }
  for (const RecordedRequest& request : api.requests()) {
    std::string method(methodName(request.method));
    std::printf("request: %s %s\n", method.c_str(), request.url.c_str());
  }
  for (const RecordedLog& line : api.logs()) {
    std::string text = line.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::printf("log %" PRId32 ": %s\n", line.level, text.c_str());
  }
}

// How many ERROR lines the plugin logged while it was loaded: the SDK's
// attach writes them before it makes any other call.
std::size_t countLoadErrors(const RecordingHostApi& api) {
  const std::vector<HostCall> calls = api.calls();
  const std::vector<RecordedLog> logs = api.logs();
  std::size_t count = 0;
  for (std::size_t i = 0; i < calls.size() && calls[i] == HostCall::WriteLog && i < logs.size();
       ++i) {
    if (logs[i].level == kLogLevelError) ++count;
  }
  return count;
}

}  // namespace

int runHandshake(const CliOptions& options) {
  std::printf("plugin: %s\n", options.pluginPath.c_str());
  std::printf("host plugin API: %s\n", options.version.text().c_str());
  std::fflush(stdout);  // the plugin may end the process on an incompatible version

  PluginHost host(PluginLibrary::open(options.pluginPath));
  if (!host.load(options.version)) {
    std::fprintf(stderr, "zel-host: %s\n", host.error().c_str());
    return kExitFailure;
  }
  printHandshake(host);

  RecordingHostApi api;
  bool attached = host.attach(api.api(), kPluginHandle);
  std::printf("attach: %s\n", attached ? "ok" : "refused");
  printTraffic(api);
  printMemoryStats(host.memoryStats());

  host.shutdown();
  std::printf("shutdown: done\n");
  const std::size_t loadErrors = countLoadErrors(api);
  if (loadErrors != 0) {
    std::string text = fillTemplate(messages::kLoadErrors, {std::to_string(loadErrors)});
    std::fflush(stdout);  // the report follows the lines printed above
    std::fprintf(stderr, "zel-host: %s\n", text.c_str());
    return kExitFailure;
  }
  return attached ? kExitOk : kExitFailure;
}

}  // namespace zel::host::cli
