// The library's one exported function, load_zel_maps: the host calls it once,
// right after loading the library.
#include <string_view>

#include "maps/maps_service.h"
#include "plugin/entry.h"

static_assert(std::string_view(ZEL_PLUGIN_SHORT_NAME) == zel::maps::kShortName,
              "maps/CMakeLists.txt names the plugin as the service does");

ZEL_PLUGIN_ENTRY(zel::maps::MapsService)
