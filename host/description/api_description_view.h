// What the host reads of the ApiDescription the plugin hands over at load:
// the three record arrays with their counts, and how many records each array's
// next-links actually chain (they must agree).
//
//   ApiDescriptionView view = ApiDescriptionView::read(host.description());
//   view.functionCount;   // word 1
//
// A copy of six words plus counts; the records stay the plugin's.
#pragma once

#include <cstdint>

#include "boundary/host_api.h"

namespace zel::host {

// The plugin's ApiDescription as the host sees it: three (array, count) pairs.
struct ApiDescriptionWords {
  const void* functions;
  std::uint32_t functionCount;
  const void* types;
  std::uint32_t typeCount;
  const void* events;
  std::uint32_t eventCount;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ApiDescriptionWords) == 24);
#endif

struct ApiDescriptionView {
  ApiDescriptionWords words{};
  // Records reached by following the first word of each record from the
  // array's start, stopping after count + 1 so that a cycle cannot hang.
  std::uint32_t linkedFunctions = 0;
  std::uint32_t linkedTypes = 0;
  std::uint32_t linkedEvents = 0;

  [[nodiscard]] static ApiDescriptionView read(const ApiDescription* description);

  [[nodiscard]] std::uint32_t functionCount() const { return words.functionCount; }
  [[nodiscard]] std::uint32_t typeCount() const { return words.typeCount; }
  [[nodiscard]] std::uint32_t eventCount() const { return words.eventCount; }
  [[nodiscard]] bool linksMatchCounts() const;
};

// Follows first-word links from first; counts at most limit records.
[[nodiscard]] std::uint32_t countLinkedRecords(const void* first, std::uint32_t limit);

}  // namespace zel::host
