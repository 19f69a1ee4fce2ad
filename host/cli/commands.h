// The sub-commands of zel-host. Each runs with the parsed options and returns
// the process exit code.
//
//   const Command* command = findCommand("handshake");
//   return command->run(options);
#pragma once

#include <span>
#include <string_view>

#include "host/cli/options.h"

namespace zel::host::cli {

struct Command {
  std::string_view name;
  std::string_view summary;
  int (*run)(const CliOptions& options);
};

inline constexpr std::string_view kDefaultCommand = "handshake";

std::span<const Command> commands();
const Command* findCommand(std::string_view name);

// Loads the plugin, prints the handshake, attaches, prints the memory
// statistics and shuts down.
int runHandshake(const CliOptions& options);

}  // namespace zel::host::cli
