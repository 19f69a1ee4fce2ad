// MapsService: the plugin object of zel-maps. It serves the catalogue of map
// variants on its routes and announces every change with events; it owns the
// catalogue from load until shutdown.
#pragma once

#include "plugin/plugin_base.h"

namespace zel::maps {

inline constexpr const char kShortName[] = "zel-maps";

class MapsService : public PluginBase {
 public:
  MapsService() = default;
};

}  // namespace zel::maps
