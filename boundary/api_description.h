// ApiDescription: the record handed to the host at load that lists every
// routed function (as FunctionRecords, see description_records.h) and the
// type and event descriptions. The plugin owns everything it points to until
// the library is unloaded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

struct ApiDescription {
  const void* functions;  // FunctionRecord array
  std::uint32_t functionCount;
  const void* types;  // type descriptions
  std::uint32_t typeCount;
  const void* events;  // event descriptions
  std::uint32_t eventCount;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ApiDescription) == 24);
static_assert(offsetof(ApiDescription, typeCount) == 12);
static_assert(offsetof(ApiDescription, eventCount) == 20);
#endif

}  // namespace zel
