// A plugin object of the tests' own, built and attached in-process the way
// the entry function and the host do it, with the recording host as its
// HostApi. For behaviour that does not show at the boundary.
//
//   AttachedPlugin attached;
//   attached.plugin().subscribeEvent("/zel-maps/v1/maps");
//   attached.host.subscriptions();
#pragma once

#include <cstdint>

#include "binding/type_registry.h"
#include "host/fakes/recording_host_api.h"
#include "plugin/plugin_base.h"
#include "plugin/plugin_names.h"
#include "plugin/plugin_version.h"

namespace zel::test_support {

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
  AttachedPlugin() : plugin_(new TestPlugin) {
    plugin_->setIdentity(kTestShortName, backendKind(), supportedApiVersion());
    plugin_->registerPlatformApi(plugin_->registry());
    plugin_->registerApi();
    connection_ = HostConnection{host.api(), kTestPluginHandle};
    attached_ = PluginBase::attachEntry(plugin_, &connection_) != 0;
  }
  ~AttachedPlugin() { shutdown(); }
  AttachedPlugin(const AttachedPlugin&) = delete;
  AttachedPlugin& operator=(const AttachedPlugin&) = delete;

  TestPlugin& plugin() { return *plugin_; }
  bool attached() const { return attached_; }
  // The shutdown entry point: stop, then the object destroys itself.
  void shutdown() {
    if (plugin_ == nullptr) return;
    PluginBase::shutdownEntry(plugin_);
    plugin_ = nullptr;
  }

  host::RecordingHostApi host;

 private:
  HostConnection connection_{};
  TestPlugin* plugin_;
  bool attached_ = false;
};

}  // namespace zel::test_support
