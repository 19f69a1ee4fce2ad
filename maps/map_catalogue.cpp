#include "maps/map_catalogue.h"

#include <utility>

#include "binding/convert_native.h"

namespace zel::maps {
namespace {

void collect(const MapVariants& variants, MapsList* defaults, MapsList* all) {
  for (const auto& entry : variants) {
    for (const MapsResource& variant : entry.second) {
      if (defaults != nullptr && variant.isDefault) defaults->push_back(variant);
      if (all != nullptr) all->push_back(variant);
    }
  }
}

}  // namespace

void MapCatalogue::listValues(BindingValue& defaults, BindingValue& all,
                              const TypeRegistry* registry) const {
  const TypeDescriptor* type = namedTypeOf<MapsResource>(registry);
  ConversionStatus status;
  defaults.reset();
  all.reset();
  defaults.setOk(true);
  all.setOk(true);
  defaults.makeCollection();
  all.makeCollection();
  {
    std::lock_guard lock(mutex_);
    // The full list's size is known without touching a record; the defaults
    // grow as they are found.
    std::size_t count = 0;
    for (const auto& entry : variants_) count += entry.second.size();
    all.reserve(count);
    for (const auto& entry : variants_) {
      for (const MapsResource& variant : entry.second) {
        if (variant.isDefault) {
          NativeType<MapsResource>::toValue(defaults.append(), variant, type, registry, status);
        }
        NativeType<MapsResource>::toValue(all.append(), variant, type, registry, status);
        if (!status.ok()) break;
      }
      if (!status.ok()) break;
    }
  }
  if (!status.ok()) {
    defaults.setError(status.errorMessage());
    all.setError(status.errorMessage());
  }
}

MapsList MapCatalogue::defaultVariants() const {
  MapsList defaults;
  std::lock_guard lock(mutex_);
  collect(variants_, &defaults, nullptr);
  return defaults;
}

MapsList MapCatalogue::allVariants() const {
  MapsList all;
  std::lock_guard lock(mutex_);
  collect(variants_, nullptr, &all);
  return all;
}

std::optional<MapsResource> MapCatalogue::findDefault(std::int64_t id) const {
  std::lock_guard lock(mutex_);
  const auto found = variants_.find(id);
  if (found == variants_.end()) return std::nullopt;
  for (const MapsResource& variant : found->second) {
    if (variant.isDefault) return variant;
  }
  return MapsResource{};
}

std::optional<MapsResource> MapCatalogue::findVariant(std::int64_t id, std::string_view gameMode,
                                                      std::string_view gameMutator) const {
  std::lock_guard lock(mutex_);
  const auto found = variants_.find(id);
  if (found == variants_.end()) return std::nullopt;
  const MapsResource* lastDefault = nullptr;
  const MapsResource* lastOfMode = nullptr;
  for (const MapsResource& variant : found->second) {
    if (variant.isDefault) lastDefault = &variant;
    if (variant.gameMode != gameMode) continue;
    if (variant.gameMutator == gameMutator) return variant;
    if (variant.gameMutator.empty()) lastOfMode = &variant;
  }
  if (lastOfMode != nullptr) return *lastOfMode;
  if (lastDefault != nullptr) return *lastDefault;
  return MapsResource{};
}

void MapCatalogue::update(const MapsResource& record) {
  // Copied before anything changes, then moved in (moves allocate nothing):
  // when memory runs out the catalogue keeps the old variant whole, never
  // half of each, and a new id is not left behind without its variant.
  MapsResource copy = record;
  std::lock_guard lock(mutex_);
  const auto [entry, created] = variants_.try_emplace(record.id);
  MapsList& list = entry->second;
  for (MapsResource& variant : list) {
    if (variant.gameMode == copy.gameMode && variant.gameMutator == copy.gameMutator) {
      variant = std::move(copy);
      return;
    }
  }
  try {
    list.push_back(std::move(copy));
  } catch (...) {
    if (created) variants_.erase(entry);
    throw;
  }
}

void MapCatalogue::replace(MapVariants variants) {
  MapVariants old;
  {
    std::lock_guard lock(mutex_);
    old = std::exchange(variants_, std::move(variants));
  }
  // The old catalogue is dropped outside the lock.
}

}  // namespace zel::maps
