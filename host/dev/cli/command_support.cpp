#include "host/dev/cli/command_support.h"

#include <cstdio>

namespace zel::host::cli {

DevHostOptions devHostOptions(const CliOptions& options) {
  DevHostOptions host;
  host.pluginPath = options.pluginPath;
  host.version = options.version;
  host.gameDataDirectory = options.gameDataDirectory;
  host.mocks = options.mocks;
  host.verbose = options.verbose;
  // Serving with --reload loads a copy: the build must be able to overwrite
  // the file (Windows will not let it overwrite a loaded DLL).
  host.loadCopy = options.reload;
  return host;
}

bool startOrReport(DevHost& host) {
  std::fflush(stdout);  // the plugin may end the process on an incompatible version
  if (host.start()) return true;
  reportError(host.error());
  return false;
}

void reportError(std::string_view text) {
  std::fprintf(stderr, "zel-host: %.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace zel::host::cli
