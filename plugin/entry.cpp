#include "plugin/entry.h"

#include <cstdlib>
#include <memory>

#include "diagnostics/assertion.h"
#include "diagnostics/format.h"
#include "plugin/messages.h"
#include "plugin/plugin_base.h"

namespace zel {
namespace {

[[noreturn]] void refuseHost(const char* shortName, const PluginApiVersion& ours,
                             const PluginApiVersion& host) {
  const std::string description =
      formatPositional(plugin::messages::kIncompatibleHost, shortName, ours, host);
  reportAssertion(plugin::messages::kIncompatibleHostExpression, description.c_str(), "", 0, "");
  std::abort();
}

}  // namespace

std::int32_t loadPlugin(HostLoadInfo* info, const char* shortName, PluginFactory create) noexcept {
  if (info == nullptr) return 0;
  std::unique_ptr<PluginBase> plugin;
  try {
    plugin.reset(create());
  } catch (...) {
    plugin.reset();
  }
  if (!plugin) {
    info->entryPoints = nullptr;
    info->plugin = nullptr;
    info->shortName = nullptr;
    info->description = nullptr;
    return 0;
  }

  const PluginApiVersion ours = supportedApiVersion();
  const PluginApiVersion host{info->major, info->minor, info->patch, {}, {}};
  if (!ours.acceptsHost(host)) refuseHost(shortName, ours, host);

  try {
    plugin->setIdentity(shortName, backendKind(), host);
    plugin->registerPlatformApi(plugin->registry());
    plugin->registerApi();
  } catch (...) {
    // The handshake still succeeds; a plugin whose declarations failed simply
    // offers fewer functions.
  }
  try {
    *plugin->apiDescription() = buildApiDescription(plugin->registry());
  } catch (...) {
    // Without memory for the records the host is told of no function.
    *plugin->apiDescription() = ApiDescription{};
  }

  info->major = ours.major;
  info->minor = ours.minor;
  info->patch = ours.patch;
  info->entryPoints = plugin->entryPoints();
  info->shortName = plugin->names().shortName.c_str();
  info->description = plugin->apiDescription();
  info->plugin = plugin.release();
  return 1;
}

}  // namespace zel
