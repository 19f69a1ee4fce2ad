// The two game-data documents the catalogue is built from, and how they are
// combined into map variants.
//
//   MapVariants variants = buildVariants(mapsList, mapAssets, registry);
//
// Each element of the maps list is overlaid, in order, with every variant
// structure listed for its id; every overlay is one variant. Keys that name
// no record field are ignored, and a key of the wrong kind stops that
// record's conversion with what was converted before it kept.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "binding/value.h"
#include "maps/map_catalogue.h"

namespace zel {
class TypeRegistry;
}

namespace zel::maps {

inline constexpr const char kMapsDocumentUrl[] = "/zel-game-data/assets/v1/maps.json";
inline constexpr const char kMapAssetsDocumentUrl[] =
    "/zel-game-data/assets/v1/map-assets/map-assets.json";

// maps.json: a collection of map structures.
using MapsDocument = std::vector<BindingValue>;
// map-assets.json: map id in decimal to the variant structures of that map.
using MapAssetsDocument = std::unordered_map<std::string, std::vector<BindingValue>>;

[[nodiscard]] MapVariants buildVariants(const MapsDocument& maps, const MapAssetsDocument& assets,
                                        const TypeRegistry& registry);

}  // namespace zel::maps
