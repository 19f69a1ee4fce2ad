// The references a registry cannot resolve once the plugin has declared its
// API: a structure's field, or a function's argument or result, that names a
// structure or enum missing from the registry. Such a plugin still loads, but
// every value of the type fails to convert; the entry function logs these
// lines so that the mistake shows at load, not at the first call.
//
//   for (const std::string& line : unresolvedTypeReports(registry)) logText(kLogError, kTagDbg,
//   line.c_str());
//
// A field keeps the descriptor found when it was added, so its type must be
// registered before its structure; a function finds its types again by
// identity at each call, so only a type still missing now counts.
#pragma once

#include <string>
#include <vector>

namespace zel {

class TypeRegistry;

// One line per unresolved reference: structures by name, then functions by
// name, each in declaration order of its fields or arguments.
[[nodiscard]] std::vector<std::string> unresolvedTypeReports(const TypeRegistry& registry);

}  // namespace zel
