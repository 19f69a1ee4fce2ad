// DevHost: zel-host's host for one plugin. It loads the plugin library,
// offers it the complete HostApi, answers the plugin's requests under the
// mocks' prefixes from their folders (the game data among them), routes the plugin's requests to
// the routes of the plugins it hosts, publishes the plugin's events to an EventHub, and writes the
// plugin's log lines (and, when verbose, every request with its status and
// time) to a log sink.
//
//   DevHost host({.pluginPath = path, .mocks = {gameDataMock("data/game-data")}});
//   if (!host.start()) return fail(host.error());
//   std::optional<CallReply> reply = host.routeAndCall(request);
//   host.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone());
//
// Owns the plugin from start() until stop() or destruction. Calls, event
// deliveries and the hub may be used from several threads once started.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/api_version.h"
#include "host/dev/dev_host_api.h"
#include "host/dev/event_hub.h"
#include "host/dev/game_data_plugin.h"
#include "host/dev/mock_folder.h"
#include "host/function_caller.h"
#include "host/plugin_host.h"

namespace zel::host {

using LogSink = std::function<void(std::string_view line)>;

struct DevHostOptions {
  std::string pluginPath;
  ApiVersion version = kDefaultHostVersion;
  // Shorthand for gameDataMock(gameDataDirectory) among the mocks; empty: none.
  std::string gameDataDirectory;
  // The longest prefix that covers a request answers it.
  std::vector<MockFolderSpec> mocks;
  bool verbose = false;
  LogSink log;  // none: standard error
};

class DevHost {
 public:
  static constexpr std::uint32_t kPluginHandle = 1;

  explicit DevHost(DevHostOptions options);
  ~DevHost();
  DevHost(const DevHost&) = delete;
  DevHost& operator=(const DevHost&) = delete;

  // Loads and attaches the plugin; false with the reason in error().
  bool start();
  // Shuts the plugin down; the event hub's listeners are closed.
  void stop();
  bool running() const { return caller_.has_value(); }

  const std::string& error() const { return error_; }
  const std::string& shortName() const { return plugin_.shortName(); }
  ApiVersion pluginVersion() const { return plugin_.pluginVersion(); }
  const DevHostOptions& options() const { return options_; }
  const ApiCatalog& catalog() const;
  const FunctionCaller& caller() const { return *caller_; }
  EventHub& events() { return events_; }
  // The table the plugin was given: requests sent through it are answered
  // as the plugin's own are (the game data, then the hosted routes).
  HostApi* hostApi() { return api_.api(); }

  // Calls with a fresh request id. Only while running.
  CallReply call(const FunctionInfo& function, CallRequest request);
  std::optional<CallReply> routeAndCall(CallRequest request);
  std::size_t deliverEvent(std::string_view name, const HostValue& payload);

  void log(std::string_view line) const;
  // When verbose: "METHOD URL -> STATUS (T ms)".
  void logRequest(std::string_view method, std::string_view url, std::uint32_t status,
                  std::chrono::steady_clock::duration elapsed) const;

 private:
  std::optional<ScriptedResponse> routeToPlugin(const RecordedRequest& request);
  std::optional<ScriptedResponse> answerFromMocks(const RecordedRequest& request) const;

  DevHostOptions options_;
  std::vector<MockFolder> mocks_;  // longest prefix first
  EventHub events_;
  DevHostApi api_;  // outlives the plugin, which keeps its address
  PluginHost plugin_;
  std::optional<FunctionCaller> caller_;
  std::atomic<std::uint32_t> nextRequestId_{1};
  std::string error_;
};

// The HTTP-like status of a reply: its own, else 200 for a success and 400
// for an error.
std::uint32_t effectiveStatus(const CallReply& reply);

// The value a reply answers: the streamed body read as JSON (as text when it
// is not JSON), else the body value.
HostValue replyValue(const CallReply& reply);

// The level names of the plugin's log lines: "  OKAY", "  WARN", " ERROR",
// "ALWAYS"; other levels print as their number.
std::string logLevelName(std::int32_t level);

}  // namespace zel::host
