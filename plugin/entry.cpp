#include "plugin/entry.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "api/describe_registry.h"
#include "binding/registry_check.h"
#include "boundary/host_api.h"
#include "diagnostics/assertion.h"
#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "plugin/internal/plugin_access.h"
#include "plugin/messages.h"
#include "plugin/plugin_base.h"
#include "plugin/plugin_manager_types.h"

namespace zel {
namespace {

namespace text = plugin::messages;

[[noreturn]] void refuseHost(const char* shortName, const PluginApiVersion& ours,
                             const PluginApiVersion& host) {
  const std::string description = formatPositional(text::kIncompatibleHost, shortName, ours, host);
  reportAssertion(text::kIncompatibleHostExpression, description.c_str(), "", 0, "");
  std::abort();
}

// Logs an ERROR line of the load and keeps it for the host, which attach
// hands it to. The handshake matters more than its report, so a report that
// cannot be kept is dropped.
void reportLoadError(std::vector<std::string>& kept, std::string line) noexcept {
  try {
    logText(kLogError, kTagDbg, line.c_str());
    kept.push_back(std::move(line));
  } catch (...) {
  }
}

// Logs a load step that threw; what is null for an exception without a text.
void reportLoadStepFailure(std::vector<std::string>& kept, const char* shortName, const char* step,
                           const char* what) noexcept {
  try {
    reportLoadError(kept,
                    what != nullptr
                        ? formatPositional(text::kLoadStepFailed, shortName, step, what)
                        : formatPositional(text::kLoadStepFailedWithoutText, shortName, step));
  } catch (...) {
  }
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

  // The handshake still succeeds when a step throws: the plugin then offers
  // the functions declared before the failure, and the log says why.
  plugin::internal::PluginState& state = plugin::internal::PluginAccess::state(*plugin);
  const char* step = text::kSetIdentityStep;
  try {
    state.setIdentity(shortName, backendKind(), host);
    step = text::kRegisterPlatformApiStep;
    // The platform's types and events, which the plugin's API may name.
    registerPluginManagerTypes(plugin->registry());
    step = text::kRegisterApiStep;
    plugin->registerApi();
  } catch (const std::exception& fault) {
    reportLoadStepFailure(state.loadErrors, shortName, step, fault.what());
  } catch (...) {
    reportLoadStepFailure(state.loadErrors, shortName, step, nullptr);
  }
  // A structure or enum the API names but the registry lacks fails every
  // value of it; said now, the first call does not blame its caller.
  try {
    for (std::string& line : unresolvedTypeReports(plugin->registry())) {
      reportLoadError(state.loadErrors, std::move(line));
    }
  } catch (...) {
  }
  try {
    state.apiDescription = buildApiDescription(plugin->registry());
  } catch (...) {
    // Without memory for the records the host is told of no function.
    state.apiDescription = ApiDescription{};
  }

  info->major = ours.major;
  info->minor = ours.minor;
  info->patch = ours.patch;
  info->entryPoints = &state.entryPoints;
  info->shortName = plugin->names().shortName.c_str();
  info->description = &state.apiDescription;
  info->plugin = plugin.release();
  return 1;
}

}  // namespace zel
