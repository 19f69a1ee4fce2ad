#include "host/cli/commands.h"

#include <array>

namespace zel::host::cli {

namespace {

constexpr std::array kCommands = {
    Command{"handshake", "load the plugin, attach, print memory statistics, shut down",
            &runHandshake},
};

}  // namespace

std::span<const Command> commands() {
  return kCommands;
}

const Command* findCommand(std::string_view name) {
  for (const Command& command : kCommands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

}  // namespace zel::host::cli
