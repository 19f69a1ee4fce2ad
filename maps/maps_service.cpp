#include "maps/maps_service.h"

#include <utility>

#include "api/route_declarer.h"
#include "binding/value.h"
#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "maps/game_data.h"
#include "maps/messages.h"

namespace zel::maps {
namespace {

constexpr const char kRegionLocaleChanged[] = "OnRegionLocaleChanged";
// The two list routes, which are also the URIs their changes are announced under.
constexpr const char kDefaultListUri[] = "/zel-maps/v1/maps";
constexpr const char kFullListUri[] = "/zel-maps/v2/maps";

ErrorOutcome noMapWithId(std::int64_t id) {
  return notFound(formatPositional(messages::kNoMapWithId, id));
}

Outcome<MapsResource> found(std::optional<MapsResource> map, std::int64_t id) {
  if (!map) return noMapWithId(id);
  return std::move(*map);
}

}  // namespace

void MapsService::registerApi() {
  registerMapsTypes(registry(), apiPrefix());
  RouteDeclarer routes(*this);
  routes.declare(HttpMethod::Get, kDefaultListUri, &MapsService::listDefaultMaps);
  routes.declare(HttpMethod::Get, kFullListUri, &MapsService::listAllMaps);
  routes.declare(HttpMethod::Get, "/zel-maps/v1/map/{id}", &MapsService::getMap).pathArgument("id");
  routes.declare(HttpMethod::Get, "/zel-maps/v2/map/{id}/{gameMode}", &MapsService::getMapVariant)
      .pathArgument("id")
      .pathArgument("gameMode");
  routes
      .declare(HttpMethod::Get, "/zel-maps/v2/map/{id}/{gameMode}/{gameMutator}",
               &MapsService::getMapVariantWithMutator)
      .pathArgument("id")
      .pathArgument("gameMode")
      .pathArgument("gameMutator");
  routes.declare(HttpMethod::Post, "/zel-maps/v1/map", &MapsService::updateMap).bodyArgument("map");
}

bool MapsService::start() {
  subscribe<BindingValue>(kRegionLocaleChanged, [this](const BindingValue&) { load(); });
  load();
  return true;
}

MapsList MapsService::listDefaultMaps() {
  return catalogue_.defaultVariants();
}

MapsList MapsService::listAllMaps() {
  return catalogue_.allVariants();
}

Outcome<MapsResource> MapsService::getMap(std::int64_t id) {
  return found(catalogue_.findDefault(id), id);
}

Outcome<MapsResource> MapsService::getMapVariant(std::int64_t id, std::string gameMode) {
  return found(catalogue_.findVariant(id, gameMode, {}), id);
}

Outcome<MapsResource> MapsService::getMapVariantWithMutator(std::int64_t id, std::string gameMode,
                                                            std::string gameMutator) {
  return found(catalogue_.findVariant(id, gameMode, gameMutator), id);
}

void MapsService::updateMap(MapsResource map) {
  catalogue_.update(map);
  announceCatalogue();
}

void MapsService::load() {
  if (!rebuildCatalogue()) return;
  announceCatalogue();
}

bool MapsService::rebuildCatalogue() {
  // The requests block this thread; no lock of the catalogue is held meanwhile.
  // Both documents are dropped on return, before the announcement is built, so
  // they never live beside it.
  RequestResult<MapsDocument> maps = request<MapsDocument>(HttpMethod::Get, kMapsDocumentUrl);
  if (maps.failed()) {
    logText(kLogError, kTagDbg, messages::kMapsDocumentFailed);
    return false;
  }
  RequestResult<MapAssetsDocument> assets =
      request<MapAssetsDocument>(HttpMethod::Get, kMapAssetsDocumentUrl);
  if (assets.failed()) {
    logText(kLogError, kTagDbg, messages::kMapAssetsDocumentFailed);
    return false;
  }
  catalogue_.replace(buildVariants(maps.value(), assets.value(), registry()));
  return true;
}

void MapsService::announceCatalogue() {
  BindingValue defaults;
  BindingValue all;
  catalogue_.listValues(defaults, all, &registry());
  publishResourceValue(PluginResourceEventType::Update, kDefaultListUri, std::move(defaults));
  publishResourceValue(PluginResourceEventType::Update, kFullListUri, std::move(all));
}

}  // namespace zel::maps
