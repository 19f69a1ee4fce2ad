#include "binding/registry_check.h"

#include <algorithm>
#include <string_view>

#include "binding/function_descriptor.h"
#include "binding/messages.h"
#include "binding/registry_access.h"
#include "binding/type_descriptor.h"
#include "binding/type_registry.h"
#include "diagnostics/format.h"

namespace zel {
namespace {

namespace msg = binding::messages;
using binding::internal::findRegisteredType;

bool isNamedKind(TypeKind kind) noexcept {
  return kind == TypeKind::Struct || kind == TypeKind::Enum;
}

// Whether the reference names a structure or enum (itself or its elements).
bool namesType(const TypeRef& ref) noexcept {
  return isNamedKind(ref.kind) || ((ref.kind == TypeKind::Vector || ref.kind == TypeKind::Map) &&
                                   isNamedKind(ref.elementKind));
}

template <typename Descriptor>
void sortByName(std::vector<const Descriptor*>& list) {
  std::sort(list.begin(), list.end(),
            [](const Descriptor* a, const Descriptor* b) { return a->name() < b->name(); });
}

}  // namespace

std::vector<std::string> unresolvedTypeReports(const TypeRegistry& registry) {
  std::vector<std::string> lines;
  std::vector<const TypeDescriptor*> types = binding::internal::RegistryAccess::types(registry);
  sortByName(types);
  for (const TypeDescriptor* type : types) {
    for (const FieldDescriptor& field : type->fields()) {
      if (!namesType(field.type()) || field.type().type != nullptr) continue;
      lines.push_back(formatPositional(msg::kFieldTypeNotRegistered, type->name(), field.name(),
                                       field.identity().name()));
    }
  }
  std::vector<const FunctionDescriptor*> functions =
      binding::internal::RegistryAccess::functions(registry);
  sortByName(functions);
  for (const FunctionDescriptor* function : functions) {
    const auto& arguments = function->arguments();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      const TypeIdentity* named = arguments[i].namedIdentity();
      if (named == nullptr || findRegisteredType(&registry, *named) != nullptr) continue;
      const std::string label =
          arguments[i].name().empty() ? std::to_string(i) : arguments[i].name();
      lines.push_back(formatPositional(msg::kArgumentTypeNotRegistered, function->name(), label,
                                       named->name()));
    }
    const TypeIdentity* result = function->resultNamedIdentity();
    if (result != nullptr && findRegisteredType(&registry, *result) == nullptr) {
      lines.push_back(
          formatPositional(msg::kResultTypeNotRegistered, function->name(), result->name()));
    }
  }
  return lines;
}

}  // namespace zel
