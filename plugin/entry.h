// The load handshake of every plugin library: its exported entry function
// calls loadPlugin with a factory for its plugin object (which destroys
// itself at the host's shutdown). ZEL_PLUGIN_ENTRY writes that function:
//
//   ZEL_PLUGIN_ENTRY(zel::maps::MapsService)
//   // in zel_plugin_library(zel_maps NAME zel-maps): load_zel_maps(HostLoadInfo*)
//
// On an incompatible host the assertion report is logged and the process
// ends; nothing after the check runs.
#pragma once

#include <cstdint>

#include "boundary/compiler.h"

// The exported entry of a plugin whose object is a default-constructed
// PluginType. The names are compile definitions of zel_plugin_library, so
// the host finds load_<name> in <name>.dll without being told.
#define ZEL_PLUGIN_ENTRY(PluginType)                                                    \
  extern "C" ZEL_EXPORT std::int32_t ZEL_PLUGIN_ENTRY_NAME(::zel::HostLoadInfo* info) { \
    return ::zel::loadPlugin(info, ZEL_PLUGIN_SHORT_NAME,                               \
                             []() -> ::zel::PluginBase* { return new PluginType; });    \
  }

namespace zel {

class PluginBase;
// The handshake's record (boundary/host_api.h).
struct HostLoadInfo;

// What the exported entry function builds the plugin object with.
using PluginFactory = PluginBase* (*)();

// Fills words 0-6 of info and returns 1; returns 0 with words 3-6 cleared when
// the plugin object cannot be built.
std::int32_t loadPlugin(HostLoadInfo* info, const char* shortName, PluginFactory create) noexcept;

}  // namespace zel
