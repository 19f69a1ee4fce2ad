#include "plugin/plugin_names.h"

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

}  // namespace zel
