// MapCatalogue: the map variants the service knows, by map id, each id's
// variants in the order they were added. One mutex guards every access; what
// it hands out are copies, so no caller holds a reference into it.
//
//   catalogue.update(record);                       // replace or append
//   auto map = catalogue.findVariant(42, "A", "");  // nullopt: unknown id
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "maps/maps_resource.h"

namespace zel::maps {

using MapsList = std::vector<MapsResource>;
using MapVariants = std::unordered_map<std::int64_t, MapsList>;

class MapCatalogue {
 public:
  // The default variants (isDefault) and all variants, id by id in the
  // catalogue's order and in list order within an id.
  [[nodiscard]] MapsList defaultVariants() const;
  [[nodiscard]] MapsList allVariants() const;
  // Both lists converted to values (collections of the registry's map
  // structure) straight from the records, without copying them first. On a
  // conversion failure both are error results.
  void listValues(BindingValue& defaults, BindingValue& all, const TypeRegistry* registry) const;

  // nullopt for an unknown id. Otherwise the first default variant, or a
  // default-constructed record when the id has none.
  [[nodiscard]] std::optional<MapsResource> findDefault(std::int64_t id) const;

  // nullopt for an unknown id. Otherwise the first variant of that game mode
  // and mutator; else the last variant of the mode without a mutator; else
  // the last default variant; else a default-constructed record.
  [[nodiscard]] std::optional<MapsResource> findVariant(std::int64_t id, std::string_view gameMode,
                                                        std::string_view gameMutator) const;

  // Overwrites the first variant of the record's id with the same game mode
  // and mutator, or appends the record to the id's list (creating the id).
  void update(const MapsResource& record);

  // Replaces the whole catalogue, as a reload does.
  void replace(MapVariants variants);

 private:
  mutable std::mutex mutex_;
  MapVariants variants_;
};

}  // namespace zel::maps
