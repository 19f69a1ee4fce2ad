// PluginBase: the base class of every plugin object. It holds the plugin's
// names, the host's version and connection, the API registry into which the
// plugin declares its types and routes, and the log target that forwards log
// lines to the host; it wraps each host entry in a virtual operation so the
// rest of the SDK talks to the host only through the plugin object.
//
//   class MapsService : public PluginBase {
//     void registerApi() override;   // declare types and routes
//     bool start() override;         // subscribe, load
//   };
//
// The plugin object owns everything it holds from load until shutdown, when
// it destroys itself.
#pragma once

#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "boundary/description_records.h"
#include "plugin/identity.h"
#include "plugin/outgoing_request.h"
#include "plugin/plugin_core.h"

namespace zel {

class PluginLogTarget;

class PluginBase : public PluginCore {
 public:
  PluginBase();
  ~PluginBase() override;

  // Does nothing here; a plugin declares its records and routes.
  void registerApi() override {}
  // Returns true here; a plugin subscribes and loads what it needs.
  bool start() override { return true; }

  const PluginNames& names() const noexcept { return names_; }
  const std::string& apiPrefix() const noexcept { return apiPrefix_; }
  const std::vector<std::string>& tags() const noexcept { return tags_; }
  const PluginApiVersion& hostVersion() const noexcept { return hostVersion_; }
  TypeRegistry& registry() noexcept { return *registry_; }

  // Requests to other plugins through the host (plugin/outgoing_request.h);
  // each blocks until the answer is complete. requestRaw leaves the caller's
  // response filled for the caller to release; the others release it.
  [[nodiscard]] RequestResult<void> requestRaw(HttpMethod method, const char* url,
                                               HostResponse& response);
  template <typename T>
  [[nodiscard]] RequestResult<T> request(HttpMethod method, const char* url) {
    return plugin::internal::request<T>(hostChannel(), registry_.get(), method, url);
  }
  [[nodiscard]] RequestResult<void> requestWithParameters(
      HttpMethod method, const char* url, std::span<const RequestArgument> parameters);
  [[nodiscard]] RequestResult<void> requestWithParameters(
      HttpMethod method, const char* url, std::initializer_list<RequestArgument> parameters) {
    return requestWithParameters(method, url, std::span(parameters.begin(), parameters.size()));
  }

 private:
  // The entry function and the host reach the plugin object only here.
  friend std::int32_t loadPlugin(HostLoadInfo* info, const char* shortName,
                                 PluginFactory create) noexcept;

  // The load handshake: names, tags and the API name prefix from the short
  // name, and the host's version.
  void setIdentity(const std::string& shortName, const PluginKind& kind,
                   const PluginApiVersion& hostVersion);

  // The attach sequence: log target, user agent, connection, start.
  bool attach(HostConnection* connection);

  PluginEntryPoints* entryPoints() noexcept { return &entryPoints_; }
  ApiDescription* apiDescription() noexcept { return &apiDescription_; }

  // The entry points handed to the host; each catches everything.
  static std::uint8_t attachEntry(void* plugin, HostConnection* connection) noexcept;
  static void shutdownEntry(void* plugin) noexcept;
  static void getMemoryStatsEntry(void* ignored, MemoryStats* stats) noexcept;

  void installLogTarget();
  // Hands the ERROR lines logged during load to the host's writeLog, which
  // could not see them then: before attach the plugin's lines go to the
  // console targets only.
  void forwardLoadErrors() const;

  PluginApiVersion hostVersion_;
  std::unique_ptr<PluginLogTarget> logTarget_;
  PluginNames names_;
  std::string apiPrefix_;
  std::vector<std::string> tags_;
  std::unique_ptr<TypeRegistry> registry_;
  HostConnection* connection_ = nullptr;
  PluginEntryPoints entryPoints_{};
  ApiDescription apiDescription_{};
  std::vector<std::string> loadErrors_;  // the ERROR lines of the load, in order
};

}  // namespace zel
