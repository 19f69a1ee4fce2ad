#include "plugin/plugin_core.h"

namespace zel {

void PluginCore::connect(std::uint32_t pluginHandle, const std::string& shortName,
                         const std::string& userAgent, TypeRegistry* registry, PluginBase* owner) {
  pluginHandle_ = pluginHandle;
  shortName_ = shortName;
  userAgent_ = userAgent;
  conversionRegistry_ = registry;
  owner_ = owner;
}

void PluginCore::stop() {
  for (const auto& entry : eventHandlers_) {
    hostUnsubscribe(entry.first.c_str(), pluginHandle_);
  }
  // Each cleared table starts over small, as after construction.
  eventHandlers_.clear();
  eventHandlers_.rehash(8);
}

}  // namespace zel
