// What the call, describe and serve commands share: the dev host built from
// the command line, and how its errors are reported.
//
//   DevHost host(devHostOptions(options));
//   if (!startOrReport(host)) return kExitFailure;
#pragma once

#include <string_view>

#include "host/dev/cli/options.h"
#include "host/dev/hosting/dev_host.h"

namespace zel::host::cli {

DevHostOptions devHostOptions(const CliOptions& options);

// Starts the host; on failure prints "zel-host: REASON" to standard error.
bool startOrReport(DevHost& host);

void reportError(std::string_view text);

}  // namespace zel::host::cli
