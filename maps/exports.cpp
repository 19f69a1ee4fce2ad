// The library's one exported function: the host calls it once, right after
// loading the library.
#include "maps/maps_service.h"
#include "plugin/entry.h"

extern "C" ZEL_EXPORT std::int32_t load_zel_maps(zel::HostLoadInfo* info) {
  return zel::loadPlugin(info, zel::maps::kShortName,
                         []() -> zel::PluginBase* { return new zel::maps::MapsService; });
}
