// The load handshake shared by every plugin library: the exported entry
// function of a plugin calls loadPlugin with a factory for its plugin object.
//
//   extern "C" ZEL_EXPORT std::int32_t load_zel_maps(HostLoadInfo* info) {
//     return loadPlugin(info, "zel-maps", [] -> PluginBase* { return new MapsService; });
//   }
//
// On an incompatible host the assertion report is logged and the process
// ends; nothing after the check runs.
#pragma once

#include <cstdint>

#include "boundary/host_api.h"

#if defined(_WIN32)
#define ZEL_EXPORT __declspec(dllexport)
#else
#define ZEL_EXPORT __attribute__((visibility("default")))
#endif

namespace zel {

class PluginBase;

using PluginFactory = PluginBase* (*)();

// Fills words 0-6 of info and returns 1; returns 0 with words 3-6 cleared when
// the plugin object cannot be built.
std::int32_t loadPlugin(HostLoadInfo* info, const char* shortName, PluginFactory create) noexcept;

}  // namespace zel
