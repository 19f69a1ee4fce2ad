// DescriptionBuilder: writes the registry's functions, types and events out
// as the host-facing description records of boundary/description_records.h, and
// owns their storage. The registry keeps the builder (an attachment) until
// unload, so every record and array stays valid that long.
//
//   DescriptionBuilder& builder = RegistryAccess::attachment<DescriptionBuilder>(registry);
//   BuiltDescriptions built = builder.build(RegistryAccess::functions(registry),
//                                           RegistryAccess::types(registry),
//                                           RegistryAccess::events(registry));
//   built.types[0].name;
//
// Texts point into the registry's descriptors (which live as long as the
// registry) or are the static empty text. Building again adds new records and
// keeps the earlier ones alive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "binding/registry_access.h"
#include "boundary/description_records.h"

namespace zel::api::internal {

struct BuiltDescriptions {
  FunctionDescription* functions = nullptr;
  std::uint32_t functionCount = 0;
  TypeDescription* types = nullptr;
  std::uint32_t typeCount = 0;
  EventDescription* events = nullptr;
  std::uint32_t eventCount = 0;
};

class DescriptionBuilder : public binding::internal::RegistryAttachment {
 public:
  // Each snapshot is written in its own order; nested arrays keep the
  // declared order of arguments and fields and the name order of enumerators.
  BuiltDescriptions build(std::span<const FunctionDescriptor* const> functions,
                          std::span<const TypeDescriptor* const> types,
                          std::span<const EventDescriptor* const> events);

  // A zero-filled array of count records owned by the builder; null when
  // count is 0.
  template <typename T>
  T* allocate(std::size_t count) {
    if (count == 0) return nullptr;
    blocks_.push_back(std::make_unique<std::byte[]>(sizeof(T) * count));
    return reinterpret_cast<T*>(blocks_.back().get());
  }

  // Tags as an array of text pointers (null when there are none).
  const char* const* tagArray(const std::vector<std::string>& tags);

 private:
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
};

// The type kind code as a record carries it: a code the boundary knows, or 0.
[[nodiscard]] std::uint32_t exportedKind(TypeKind kind) noexcept;

// The name of the named type a reference involves, for the kinds vector,
// enum, struct and map; the empty text for every other kind.
[[nodiscard]] const char* exportedTypeName(const TypeRef& type) noexcept;

}  // namespace zel::api::internal
