#include "plugin/plugin_version.h"

#include "diagnostics/format.h"
#include "plugin/messages.h"

namespace zel {

std::string PluginApiVersion::toString() const {
  std::string text = formatPositional(plugin::messages::kVersionText, major, minor, patch);
  if (!preRelease.empty()) text.append("-").append(preRelease);
  if (!build.empty()) text.append("+").append(build);
  return text;
}

bool PluginApiVersion::acceptsHost(const PluginApiVersion& host) const noexcept {
  if (host.major != major) return false;
  return host.minor > minor || (host.minor == minor && host.patch >= patch);
}

PluginApiVersion supportedApiVersion() {
  return PluginApiVersion{kPluginApiMajor, kPluginApiMinor, kPluginApiPatch, {}, {}};
}

}  // namespace zel
