#include "maps/game_data.h"

#include <cstddef>
#include <string>
#include <utility>

#include "binding/convert_native.h"
#include "binding/type_registry.h"

namespace zel::maps {
namespace {

constexpr const char kValuePath[] = "<value>";

// Assigns the keys present in value; the outcome is deliberately ignored:
// a record keeps whatever was converted before a key of the wrong kind.
void overlay(MapsResource& record, const ValueNode& value, const TypeDescriptor* type,
             const TypeRegistry& registry) {
  ConversionStatus status;
  toNative(status, record, value, kValuePath, type, &registry);
}

}  // namespace

MapVariants buildVariants(const MapsDocument& maps, const MapAssetsDocument& assets,
                          const TypeRegistry& registry) {
  const TypeDescriptor* type = registry.findType<MapsResource>();
  MapVariants variants;
  for (const BindingValue& map : maps) {
    MapsResource working;
    overlay(working, map, type, registry);
    const auto found = assets.find(std::to_string(working.id));
    if (found == assets.end()) continue;
    const auto& mapVariants = found->second;
    for (std::size_t i = 0; i < mapVariants.size(); ++i) {
      overlay(working, mapVariants[i], type, registry);
      MapsList& list = variants[working.id];
      // Each variant starts from the one before; the map's last one takes
      // the working record itself.
      if (i + 1 == mapVariants.size()) {
        list.push_back(std::move(working));
      } else {
        list.push_back(working);
      }
    }
  }
  return variants;
}

}  // namespace zel::maps
