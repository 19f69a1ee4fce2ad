#include "binding/type_descriptor.h"

#include <utility>

namespace zel {

FieldDescriptor::FieldDescriptor(std::string_view name, std::string_view description,
                                 const TypeIdentity& identity, std::uint32_t offset, TypeRef type,
                                 TypeRef elementType, FieldFlags flags,
                                 std::unique_ptr<FieldConverter> converter,
                                 const TypeDescriptor& owner, bool optional)
    : name_(name),
      nameHash_(binding::internal::fnv1aHash(name)),
      description_(description),
      identity_(&identity),
      offset_(offset),
      type_(type),
      elementType_(elementType.kind != TypeKind::None ? elementType : TypeRef{}),
      flags_(flags),
      converter_(std::move(converter)),
      owner_(&owner),
      optional_(optional) {}

TypeDescriptor::TypeDescriptor(std::uint32_t size, bool isEnum, std::string_view name,
                               const TypeIdentity& identity, TypeRegistry& registry)
    : size_(size),
      isEnum_(isEnum),
      name_(name),
      typeId_(identity.id()),
      identity_(&identity),
      registry_(&registry) {}

const EnumeratorDescriptor* TypeDescriptor::findEnumerator(std::string_view name) const noexcept {
  const auto found = enumerators_.find(name);
  return found != enumerators_.end() ? &found->second : nullptr;
}

const EnumeratorDescriptor* TypeDescriptor::findEnumerator(std::int32_t value) const noexcept {
  for (const auto& [name, enumerator] : enumerators_) {
    if (enumerator.value() == value) return &enumerator;
  }
  return nullptr;
}

}  // namespace zel
