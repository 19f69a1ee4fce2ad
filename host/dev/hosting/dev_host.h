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
// reload() swaps the plugin for a new build of its file: every call into the
// plugin holds a shared lock, the swap holds it exclusively, so no call meets
// an unloaded library (a plugin thread that calls the host while the plugin
// shuts down must not wait for a call of its own).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "host/api_version.h"
#include "host/description/api_catalog.h"
#include "host/dev/hosting/event_hub.h"
#include "host/dev/hosting/internal/dev_host_api.h"
#include "host/dev/hosting/mock_folder.h"
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
  // Load a temporary copy of the plugin file (internal/plugin_copy.h), so that a
  // build may overwrite the file while it is loaded: what reload() needs.
  bool loadCopy = false;
  LogSink log;  // none: standard error
};

// What the API browser and the OpenAPI document are made of, copied at once
// so that a reload cannot change it half way.
struct ApiSnapshot {
  ApiCatalog catalog;
  std::string shortName;
  std::string pluginVersion;
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
  // Loads the plugin file anew; once it has loaded, shuts the running plugin
  // down, unloads it and attaches the new one. False with the reason in
  // error(): a file that does not load leaves the running plugin serving; a
  // plugin that refuses to attach leaves none (calls answer 503) until the
  // next reload. Either way a line is logged and the event hub publishes
  // kReloadedEvent or kReloadFailedEvent with {"plugin": path, "error": text}.
  // One thread at a time reloads (zel-host's watcher), and reads error().
  bool reload();
  bool running() const;

  const std::string& error() const { return error_; }
  // The ERROR lines the plugin logged while it was loaded (last start or
  // reload), handed over at attach; they are logged as they come too.
  std::vector<std::string> loadErrors() const { return api_.loadErrors(); }
  std::string shortName() const;
  ApiVersion pluginVersion() const;
  const DevHostOptions& options() const { return options_; }
  // The plugin's catalogue, and the function caller: not across a reload.
  const ApiCatalog& catalog() const;
  const FunctionCaller& caller() const { return *caller_; }
  ApiSnapshot apiSnapshot() const;
  EventHub& events() { return events_; }
  // The table the plugin was given: requests sent through it are answered
  // as the plugin's own are (the game data, then the hosted routes).
  HostApi* hostApi() { return api_.api(); }

  // Calls with a fresh request id. Only while running.
  CallReply call(const FunctionInfo& function, CallRequest request);
  // None when no function fits; pathHasOtherMethods then says whether one
  // of another method would. With no plugin attached, a 503 error reply.
  std::optional<CallReply> routeAndCall(CallRequest request, bool* pathHasOtherMethods = nullptr);
  std::size_t deliverEvent(std::string_view name, const HostValue& payload);

  void log(std::string_view line) const;
  // When verbose: "METHOD URL -> STATUS (T ms)".
  void logRequest(std::string_view method, std::string_view url, std::uint32_t status,
                  std::chrono::steady_clock::duration elapsed) const;

 private:
  struct LoadedPlugin;
  class SharedUse;

  // Opens (a copy of) the plugin file and loads it; none with the reason in error.
  std::optional<LoadedPlugin> loadPlugin(std::string& error);
  bool attachLoaded();
  void shutDownAndUnload();
  void reportReload(bool reloaded, const std::string& text);
  std::optional<ScriptedResponse> routeToPlugin(const RecordedRequest& request);
  std::optional<ScriptedResponse> answerFromMocks(const RecordedRequest& request) const;

  DevHostOptions options_;
  std::vector<MockFolder> mocks_;  // longest prefix first
  EventHub events_;
  internal::DevHostApi api_;  // outlives the plugin, which keeps its address
  // Shared by every call into the plugin, exclusive while it is swapped.
  mutable std::shared_mutex pluginMutex_;
  std::unique_ptr<PluginHost> plugin_;
  std::filesystem::path loadedCopy_;  // empty: the file itself is loaded
  std::optional<FunctionCaller> caller_;
  // The name the plugin's log lines carry: the attached plugin's.
  mutable std::mutex logNameMutex_;
  std::string logName_;
  std::atomic<std::uint32_t> nextRequestId_{1};
  std::string error_;
};

// The value a reply answers: the streamed body read as JSON (as text when it
// is not JSON), else the body value.
HostValue replyValue(const CallReply& reply);

}  // namespace zel::host
