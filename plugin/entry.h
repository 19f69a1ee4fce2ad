// The load handshake shared by every plugin library: the exported entry
// function of a plugin calls loadPlugin with a factory for its plugin object.
// ZEL_PLUGIN_ENTRY writes that function in one line of the plugin's exports
// file, under the name zel_plugin_library gives the library:
//
//   ZEL_PLUGIN_ENTRY(zel::maps::MapsService)
//   // in a library built with zel_plugin_library(zel_maps NAME zel-maps) is
//   extern "C" ZEL_EXPORT std::int32_t load_zel_maps(HostLoadInfo* info) {
//     return loadPlugin(info, "zel-maps", [] -> PluginBase* { return new MapsService; });
//   }
//
// On an incompatible host the assertion report is logged and the process
// ends; nothing after the check runs.
#pragma once

#include <cstdint>

#include "boundary/compiler.h"

// The exported entry of a plugin whose object is a default-constructed
// PluginType (derived from PluginBase). The name and the short name are
// compile definitions of the plugin library (see zel_plugin_library), so the
// host finds load_<name> in <name>.dll without being told.
#define ZEL_PLUGIN_ENTRY(PluginType)                                                    \
  extern "C" ZEL_EXPORT std::int32_t ZEL_PLUGIN_ENTRY_NAME(::zel::HostLoadInfo* info) { \
    return ::zel::loadPlugin(info, ZEL_PLUGIN_SHORT_NAME,                               \
                             []() -> ::zel::PluginBase* { return new PluginType; });    \
  }

namespace zel {

class PluginBase;
// The handshake's record (boundary/host_api.h), which the host fills and
// the plugin answers in.
struct HostLoadInfo;

// What the exported entry function builds the plugin object with.
using PluginFactory = PluginBase* (*)();

// Fills words 0-6 of info and returns 1; returns 0 with words 3-6 cleared when
// the plugin object cannot be built.
std::int32_t loadPlugin(HostLoadInfo* info, const char* shortName, PluginFactory create) noexcept;

}  // namespace zel
