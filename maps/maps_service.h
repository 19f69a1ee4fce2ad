// MapsService: the plugin object of zel-maps. It declares the map record and
// six routes at load, builds its catalogue from the game-data plugin's two
// documents when it starts and again on every region or locale change, and
// announces every change of the catalogue with two resource events. It owns
// the catalogue from load until shutdown.
//
//   GET  /zel-maps/v1/maps                                  default variants
//   GET  /zel-maps/v2/maps                                  every variant
//   GET  /zel-maps/v1/map/{id}                              the default variant
//   GET  /zel-maps/v2/map/{id}/{gameMode}[/{gameMutator}]   a variant
//   POST /zel-maps/v1/map                                   add or replace a variant
#pragma once

#include <cstdint>
#include <string>

#include "api/outcome.h"
#include "maps/map_catalogue.h"
#include "plugin/plugin_base.h"

namespace zel::maps {

inline constexpr const char kShortName[] = "zel-maps";

class MapsService : public PluginBase {
 public:
  MapsService() = default;

  void registerApi() override;
  // Subscribes to region and locale changes, loads the catalogue; never fails.
  bool start() override;

  // The route operations.
  [[nodiscard]] MapsList listDefaultMaps();
  [[nodiscard]] MapsList listAllMaps();
  [[nodiscard]] Outcome<MapsResource> getMap(std::int64_t id);
  [[nodiscard]] Outcome<MapsResource> getMapVariant(std::int64_t id, std::string gameMode);
  [[nodiscard]] Outcome<MapsResource> getMapVariantWithMutator(std::int64_t id,
                                                               std::string gameMode,
                                                               std::string gameMutator);
  void updateMap(MapsResource map);

  // Fetches both game-data documents and, when both arrive, replaces the
  // catalogue with what they say and announces it. A failed load logs which
  // document failed and keeps the catalogue as it was.
  void load();

 private:
  // The fetch and rebuild half of load(); false when a document failed.
  bool rebuildCatalogue();

  // The two catalogue-changed events: the default variants on the v1 list,
  // then every variant on the v2 list.
  void announceCatalogue();

  MapCatalogue catalogue_;
};

}  // namespace zel::maps
