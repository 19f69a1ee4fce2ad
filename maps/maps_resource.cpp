#include "maps/maps_resource.h"

#include <string>

#include "binding/type_registry.h"

namespace zel::maps {

void registerMapsTypes(TypeRegistry& registry, std::string_view prefix) {
  const std::string name = std::string(prefix) + "Maps";
  auto builder = registry.registerStruct<MapsResource>(name);
  builder.field("id", &MapsResource::id)
      .field("isDefault", &MapsResource::isDefault)
      .field("gameMode", &MapsResource::gameMode)
      .field("gameModeName", &MapsResource::gameModeName)
      .field("gameModeShortName", &MapsResource::gameModeShortName)
      .field("gameModeDescription", &MapsResource::gameModeDescription)
      .field("gameMutator", &MapsResource::gameMutator)
      .field("isRGM", &MapsResource::isRGM)
      .field("name", &MapsResource::name)
      .field("description", &MapsResource::description)
      .field("mapStringId", &MapsResource::mapStringId)
      .field("platformId", &MapsResource::platformId)
      .field("platformName", &MapsResource::platformName);
  // These two steps do nothing themselves when the type existed before.
  builder.untyped()
      .addTextMapField("assets", "", memberOffset(&MapsResource::assets))
      .addObjectField("properties", "", memberOffset(&MapsResource::properties));
}

}  // namespace zel::maps
