// buildApiDescription: the ApiDescription record (boundary/description_records.h)
// handed to the host at load, which lists every routed function (as FunctionRecords, with callback
// and invocation context), and the type and event descriptions of the registry.
//
//   *plugin.apiDescription() = buildApiDescription(plugin.registry());
//   description.functions;     // FunctionRecord array, linked through its first word
//
// The registry owns everything the description points to (through its
// description builder, route table and invocation contexts) until the
// library is unloaded; the plugin object owns the registry.
#pragma once

#include "boundary/description_records.h"

namespace zel {

class TypeRegistry;

// Builds the description from the registry's routed functions, types and
// events; called once at load, after the plugin declared its API. Takes the
// route table's mutex and the registry lock for its snapshots only.
[[nodiscard]] ApiDescription buildApiDescription(TypeRegistry& registry);

}  // namespace zel
