#include "plugin/identity.h"

#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "plugin/messages.h"

namespace zel {

const PluginKind& backendKind() {
  static const PluginKind kind{"backend", ""};
  return kind;
}

const PluginKind& frontendKind() {
  static const PluginKind kind{"frontend", ""};
  return kind;
}

PluginNames PluginNames::derive(const std::string& shortName, const PluginKind& kind) {
  const char* prefix = "plx-xx-";
  if (kind.name == "backend") {
    prefix = "plx-be-";
  } else if (kind.name == "frontend") {
    prefix = "plx-fe-";
  } else {
    const std::string message =
        formatPositional(plugin::messages::kUnknownPluginKind, shortName, kind.name);
    logMessage(kLogError, kTagDbg, plugin::messages::kPluginManagerLine, message.c_str());
  }
  return PluginNames{prefix + shortName, shortName, kind.name, kind.detail};
}

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
