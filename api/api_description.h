// ApiDescription: the record handed to the host at load that lists every
// routed function (as FunctionRecords, with callback and invocation
// context), and the type and event descriptions of the registry.
//
//   *plugin.apiDescription() = buildApiDescription(plugin.registry());
//   description.functions;     // FunctionRecord array, linked through its first word
//
// The registry owns everything the description points to (through its
// description builder, route table and invocation contexts) until the
// library is unloaded; the plugin object owns the registry.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

class TypeRegistry;

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

// Builds the description from the registry's routed functions, types and
// events; called once at load, after the plugin declared its API. Takes the
// route table's mutex and the registry lock for its snapshots only.
[[nodiscard]] ApiDescription buildApiDescription(TypeRegistry& registry);

}  // namespace zel
