// The pieces both API documents are built of (describe_document.h,
// openapi_document.h): HostValue leaves and objects made short, and the
// catalogue's functions, types and events in the documents' stable order.
// Pure functions; the documents own what they return.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/description/api_catalog.h"
#include "host/host_value.h"

namespace zel::host::internal {

using Fields = std::vector<HostField>;

HostValue text(std::string_view value);
HostValue number(std::int64_t value);
HostValue flag(bool value);
HostValue texts(const std::vector<std::string>& values);
HostValue object(Fields fields);

// Sets the key of a structure, replacing an entry it already has.
void setField(HostValue& structure, std::string_view key, HostValue value);

// Functions in a stable order: by template, then method, then name.
std::vector<const FunctionInfo*> sortedFunctions(const ApiCatalog& catalog);

// Types or events by name.
template <typename Info>
std::vector<const Info*> sortedByName(const std::vector<Info>& infos) {
  std::vector<const Info*> sorted;
  for (const Info& info : infos) sorted.push_back(&info);
  std::sort(sorted.begin(), sorted.end(),
            [](const Info* a, const Info* b) { return a->name < b->name; });
  return sorted;
}

}  // namespace zel::host::internal
