// A plugin object of the tests' own, loaded through the entry function's
// handshake and attached through its entry point in-process, with the
// recording host as its HostApi. For behaviour that does not show at the boundary.
//
//   AttachedPlugin attached;
//   attached.plugin().subscribeEvent("/zel-maps/v1/maps");
//   attached.host.subscriptions();
#pragma once

#include <cstdint>

#include "binding/type_registry.h"
#include "boundary/host_api.h"
#include "host/fakes/recording_host_api.h"
#include "plugin/entry.h"
#include "plugin/identity.h"
#include "plugin/plugin_base.h"

namespace zel::host {

inline constexpr std::uint32_t kTestPluginHandle = 23;
inline constexpr const char kTestShortName[] = "zel-test";

class TestPlugin final : public PluginBase {
 public:
  bool start() override {
    ++starts;
    return true;
  }
  int starts = 0;
};

class AttachedPlugin {
 public:
  AttachedPlugin() {
    const PluginApiVersion version = supportedApiVersion();
    HostLoadInfo info{version.major, version.minor, version.patch, nullptr,
                      nullptr,       nullptr,       nullptr};
    loadPlugin(&info, kTestShortName, []() -> PluginBase* { return new TestPlugin; });
    entryPoints_ = info.entryPoints;
    plugin_ = static_cast<TestPlugin*>(static_cast<PluginBase*>(info.plugin));
    connection_ = HostConnection{host.api(), kTestPluginHandle};
    attached_ = plugin_ != nullptr && entryPoints_->attach(info.plugin, &connection_) != 0;
  }
  ~AttachedPlugin() { shutdown(); }
  AttachedPlugin(const AttachedPlugin&) = delete;
  AttachedPlugin& operator=(const AttachedPlugin&) = delete;

  [[nodiscard]] TestPlugin& plugin() { return *plugin_; }
  [[nodiscard]] bool attached() const { return attached_; }
  // The shutdown entry point: stop, then the object destroys itself.
  void shutdown() {
    if (plugin_ == nullptr) return;
    entryPoints_->shutdown(static_cast<PluginBase*>(plugin_));
    plugin_ = nullptr;
  }

  host::RecordingHostApi host;

 private:
  HostConnection connection_{};
  PluginEntryPoints* entryPoints_ = nullptr;
  TestPlugin* plugin_ = nullptr;
  bool attached_ = false;
};

}  // namespace zel::host
