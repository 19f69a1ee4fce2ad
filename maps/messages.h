// Every text the maps service produces.
#pragma once

namespace zel::maps::messages {

inline constexpr const char kNoMapWithId[] = "No map with id %lld";
inline constexpr const char kMapsDocumentFailed[] = "Could not deserialize assets/v1/maps.json";
inline constexpr const char kMapAssetsDocumentFailed[] =
    "Could not deserialize assets/v1/map-assets/map-assets.json";

}  // namespace zel::maps::messages
