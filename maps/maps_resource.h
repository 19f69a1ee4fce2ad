// MapsResource: one playable map variant. The same record is the element of
// every list the routes return, the body of the update route, the target of
// the game-data conversion and the payload of the catalogue events. Records
// are plain values: copied when returned and when stored.
//
//   registerMapsTypes(registry, "ZelMaps");     // registers "ZelMapsMaps"
//   MapsResource map;                           // id 0, flags false, texts empty
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "binding/value.h"

namespace zel {
class TypeRegistry;
}

namespace zel::maps {

struct MapsResource {
  std::int64_t id = 0;
  bool isDefault = false;
  std::string gameMode;
  std::string gameModeName;
  std::string gameModeShortName;
  std::string gameModeDescription;
  std::string gameMutator;  // empty: the fallback variant of its game mode
  bool isRGM = false;
  std::string name;
  std::string description;
  std::string mapStringId;
  std::string platformId;
  std::string platformName;
  std::unordered_map<std::string, std::string> assets;
  BindingValue properties;
};

// Registers MapsResource as the structure `prefix` + "Maps" with its fifteen
// fields; an existing structure of that name keeps its fields.
void registerMapsTypes(TypeRegistry& registry, std::string_view prefix);

}  // namespace zel::maps
