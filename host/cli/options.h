// The command line of zel-host: an optional sub-command, then options.
//
//   zel-host [handshake] [--plugin PATH] [--version X.Y.Z]
//
// parseOptions fills CliOptions or explains what is wrong.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "host/api_version.h"

namespace zel::host::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CliOptions {
  std::string command;
  std::string pluginPath;
  ApiVersion version = kDefaultHostVersion;
  bool help = false;
};

// argv[0] is skipped. On a usage error, returns none with the reason in error.
std::optional<CliOptions> parseOptions(int argc, char** argv, std::string& error);

void printUsage(std::FILE* out);

}  // namespace zel::host::cli
