// A small game data for zel-maps run on the quiet host: the two documents its
// catalogue is built from, as static text (the quiet host never allocates),
// and the catalogue they make. The call fuzzer serves the same, so that its
// kept corpus keeps reaching the variants below.
//
//   QuietHost host(kGameDataDocuments);
//   ...
//   EXPECT_EQ(service.listAllMaps().size(), kGameDataVariantCount);
#pragma once

#include <cstddef>

#include "host/sdk_fakes/quiet_host.h"
#include "maps/game_data.h"

namespace zel::reliability {

inline constexpr const char kMapsDocumentText[] = R"([
  {"id": 42, "name": "Harbor", "mapStringId": "HB", "description": "A port"},
  {"id": 43, "name": "Orphan"},
  {"id": 7, "name": "Dunes", "properties": {"size": [3, 4], "tags": {"a": true}}}
])";
inline constexpr const char kMapAssetsDocumentText[] = R"({
  "42": [{"gameMode": "A", "isDefault": true, "assets": {"icon": "h.png", "splash": "h2.png"}},
         {"gameMode": "B", "isDefault": false},
         {"gameMode": "B", "gameMutator": "X", "gameModeName": "Bravo"}],
  "7": [{"gameMode": "A", "isDefault": true, "assets": {"icon": "d.png"}}]
})";

inline constexpr host::QuietDocument kGameDataDocuments[] = {
    {maps::kMapsDocumentUrl, kMapsDocumentText},
    {maps::kMapAssetsDocumentUrl, kMapAssetsDocumentText},
};

// Variants in the catalogue built from the two documents: Harbor's three and
// Dunes' one (Orphan has none).
inline constexpr std::size_t kGameDataVariantCount = 4;

}  // namespace zel::reliability
