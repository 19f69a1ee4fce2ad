// The descriptors of registered structure and enum types: TypeDescriptor with
// its FieldDescriptors (structures, in registration order) and
// EnumeratorDescriptors (enums, ordered by name). A plugin holds a type's
// descriptor only as the handle that registry.findType returns and the
// conversions take; the records below are what the SDK reads to convert
// fields and to describe the API.
//
//   const TypeDescriptor* point = registry.findType("Point");
//   for (const FieldDescriptor& field : point->fields()) { ... field.name() ... }
//   point->findEnumerator(1);   // enums: the first enumerator, in name order, of value 1
//
// The registry owns every descriptor; a descriptor owns its fields, its
// enumerators and the fields' converters. Descriptors are filled through a
// TypeBuilder while the plugin registers its types and are only read after
// that, without a lock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/builders.h"
#include "binding/convert_native.h"
#include "binding/type_identity.h"

namespace zel {

class TypeRegistry;

class FieldDescriptor {
 public:
  FieldDescriptor(std::string_view name, std::string_view description, const TypeIdentity& identity,
                  std::uint32_t offset, TypeRef type, TypeRef elementType, FieldFlags flags,
                  std::unique_ptr<FieldConverter> converter, const TypeDescriptor& owner,
                  bool optional);

  const std::string& name() const noexcept { return name_; }
  std::uint32_t nameHash() const noexcept { return nameHash_; }
  const std::string& description() const noexcept { return description_; }
  const TypeIdentity& identity() const noexcept { return *identity_; }
  std::uint32_t offset() const noexcept { return offset_; }
  const TypeRef& type() const noexcept { return type_; }
  // The override given at registration; kind None when none was given.
  const TypeRef& elementType() const noexcept { return elementType_; }
  // What a description of the field reports: the override when it has a kind.
  const TypeRef& exportedType() const noexcept {
    return elementType_.kind != TypeKind::None ? elementType_ : type_;
  }
  FieldFlags flags() const noexcept { return flags_; }
  bool required() const noexcept { return hasFlag(flags_, FieldFlags::Required); }
  bool omitWhenZero() const noexcept { return hasFlag(flags_, FieldFlags::OmitWhenZero); }
  const FieldConverter& converter() const noexcept { return *converter_; }
  const TypeDescriptor& owner() const noexcept { return *owner_; }
  bool optional() const noexcept { return optional_; }

 private:
  std::string name_;
  std::uint32_t nameHash_;
  std::string description_;
  const TypeIdentity* identity_;
  std::uint32_t offset_;
  TypeRef type_;
  TypeRef elementType_;
  FieldFlags flags_;
  std::unique_ptr<FieldConverter> converter_;
  const TypeDescriptor* owner_;
  bool optional_;
};

class EnumeratorDescriptor {
 public:
  EnumeratorDescriptor(std::int32_t value, std::string_view name, std::string_view description,
                       const TypeDescriptor& owner, std::uint32_t order = 0)
      : value_(value), name_(name), description_(description), owner_(&owner), order_(order) {}

  std::int32_t value() const noexcept { return value_; }
  const std::string& name() const noexcept { return name_; }
  const std::string& description() const noexcept { return description_; }
  const TypeDescriptor& owner() const noexcept { return *owner_; }
  // Where the enumerator was first declared among its enum's, from 0: the
  // order that documentation shows, while look-ups go by name.
  std::uint32_t order() const noexcept { return order_; }

 private:
  friend class TypeBuilder;

  std::int32_t value_;
  std::string name_;
  std::string description_;
  const TypeDescriptor* owner_;
  std::uint32_t order_;
};

class TypeDescriptor {
 public:
  // Names compare byte by byte as unsigned values (std::string's order).
  using EnumeratorMap = std::map<std::string, EnumeratorDescriptor, std::less<>>;

  TypeDescriptor(std::uint32_t size, bool isEnum, std::string_view name,
                 const TypeIdentity& identity, TypeRegistry& registry);
  TypeDescriptor(const TypeDescriptor&) = delete;
  TypeDescriptor& operator=(const TypeDescriptor&) = delete;

  std::uint32_t size() const noexcept { return size_; }
  bool isEnum() const noexcept { return isEnum_; }
  const std::string& name() const noexcept { return name_; }
  std::uint32_t typeId() const noexcept { return typeId_; }
  const TypeIdentity& identity() const noexcept { return *identity_; }
  const std::string& nameSpace() const noexcept { return nameSpace_; }
  const std::string& description() const noexcept { return description_; }
  const std::vector<std::string>& tags() const noexcept { return tags_; }
  const std::vector<FieldDescriptor>& fields() const noexcept { return fields_; }
  const EnumeratorMap& enumerators() const noexcept { return enumerators_; }
  TypeRegistry& registry() const noexcept { return *registry_; }

  // The enumerator of that exact (case-sensitive) name, or null.
  const EnumeratorDescriptor* findEnumerator(std::string_view name) const noexcept;
  // The first enumerator, in name order, whose value is value; or null.
  const EnumeratorDescriptor* findEnumerator(std::int32_t value) const noexcept;

 private:
  friend class TypeBuilder;

  std::uint32_t size_;
  bool isEnum_;
  std::string name_;
  std::uint32_t typeId_;
  const TypeIdentity* identity_;
  std::string nameSpace_;
  std::string description_;
  std::vector<std::string> tags_;
  std::vector<FieldDescriptor> fields_;
  EnumeratorMap enumerators_;
  TypeRegistry* registry_;
};

}  // namespace zel
