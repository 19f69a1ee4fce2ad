// TypeBuilder: what registering a structure or enum type returns; its steps
// add fields, enumerators, a description and tags to the new descriptor. When
// the type was registered before, every step does nothing, so the first
// definition stays. StructBuilder<T> and EnumBuilder<E> are the typed forms
// that take member pointers and enum values.
//
//   registry.registerStruct<MapsResource>("ZelMapsMaps")
//       .field("id", &MapsResource::id)
//       .field("name", &MapsResource::name, "Display name", FieldFlags::Required);
//   registry.registerEnum<State>("State").enumerator("None", State::None, "Invalid state");
//
// A builder refers to a descriptor that the registry owns; it is used during
// registration only. The named structure or enum of a field (its type, or
// its elements' type) must be registered before the field is added.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>

#include "binding/convert_native.h"
#include "binding/internal/type_descriptor.h"
#include "binding/type_identity.h"

namespace zel {

class TypeBuilder {
 public:
  TypeBuilder(TypeRegistry& registry, TypeDescriptor& descriptor, bool alreadyRegistered) noexcept
      : registry_(&registry), descriptor_(&descriptor), alreadyRegistered_(alreadyRegistered) {}

  // Appends a field. The element type is kept only when its kind is not None.
  TypeBuilder& addField(std::string_view name, std::string_view description, std::uint32_t offset,
                        const TypeIdentity& identity, TypeRef type, TypeRef elementType,
                        FieldFlags flags, std::unique_ptr<FieldConverter> converter,
                        bool optional = false);
  // Inserts the enumerator, or replaces value and description of an existing
  // enumerator of that name.
  TypeBuilder& addEnumerator(std::string_view name, std::int32_t value,
                             std::string_view description);
  TypeBuilder& setDescription(std::string_view description);
  TypeBuilder& setNameSpace(std::string_view nameSpace);
  // Appends the tag unless it is empty.
  TypeBuilder& addTag(std::string_view tag);
  // A field holding a hash map from text to text (std::unordered_map<std::string, std::string>).
  TypeBuilder& addTextMapField(std::string_view name, std::string_view description,
                               std::uint32_t offset, FieldFlags flags = FieldFlags::None);
  // A field holding any value (BindingValue).
  TypeBuilder& addObjectField(std::string_view name, std::string_view description,
                              std::uint32_t offset, FieldFlags flags = FieldFlags::None);

  TypeRegistry& registry() const noexcept { return *registry_; }
  const TypeDescriptor& descriptor() const noexcept { return *descriptor_; }
  bool alreadyRegistered() const noexcept { return alreadyRegistered_; }

 private:
  TypeRegistry* registry_;
  TypeDescriptor* descriptor_;
  bool alreadyRegistered_;
};

// The byte offset of a data member, for the untyped field steps (offsetof is
// not defined for records that hold a BindingValue). Read from an object that
// is never constructed.
template <typename T, typename M>
std::uint32_t memberOffset(M T::*member) noexcept {
  union Storage {
    Storage() {}
    ~Storage() {}
    T object;
  } storage;
  return static_cast<std::uint32_t>(
      reinterpret_cast<const unsigned char*>(&(storage.object.*member)) -
      reinterpret_cast<const unsigned char*>(&storage.object));
}

template <typename T>
class StructBuilder {
 public:
  explicit StructBuilder(TypeBuilder builder) noexcept : builder_(builder) {}

  // Adds the data member as a field with the converter of its native type. A
  // std::optional member is an optional field: it is never missing (Required
  // does not apply), and left out of the structure's value while empty.
  template <typename M>
  StructBuilder& field(std::string_view name, M T::*member, std::string_view description = {},
                       FieldFlags flags = FieldFlags::None) {
    if (!builder_.alreadyRegistered()) {
      builder_.addField(name, description, memberOffset(member), typeIdentity<M>(),
                        typeRefOf<M>(builder_.registry()), TypeRef{}, flags, makeConverter<M>(),
                        isOptionalNative<M>);
    }
    return *this;
  }
  template <typename M>
  StructBuilder& field(std::string_view name, M T::*member, FieldFlags flags) {
    return field(name, member, {}, flags);
  }
  StructBuilder& setDescription(std::string_view description) {
    builder_.setDescription(description);
    return *this;
  }
  StructBuilder& setNameSpace(std::string_view nameSpace) {
    builder_.setNameSpace(nameSpace);
    return *this;
  }
  StructBuilder& addTag(std::string_view tag) {
    builder_.addTag(tag);
    return *this;
  }

  TypeBuilder& untyped() noexcept { return builder_; }
  const TypeDescriptor& descriptor() const noexcept { return builder_.descriptor(); }
  bool alreadyRegistered() const noexcept { return builder_.alreadyRegistered(); }

 private:
  TypeBuilder builder_;
};

template <typename E>
class EnumBuilder {
 public:
  explicit EnumBuilder(TypeBuilder builder) noexcept : builder_(builder) {}

  EnumBuilder& enumerator(std::string_view name, E value, std::string_view description = {}) {
    builder_.addEnumerator(name, static_cast<std::int32_t>(value), description);
    return *this;
  }
  EnumBuilder& setDescription(std::string_view description) {
    builder_.setDescription(description);
    return *this;
  }
  EnumBuilder& setNameSpace(std::string_view nameSpace) {
    builder_.setNameSpace(nameSpace);
    return *this;
  }
  EnumBuilder& addTag(std::string_view tag) {
    builder_.addTag(tag);
    return *this;
  }

  TypeBuilder& untyped() noexcept { return builder_; }
  const TypeDescriptor& descriptor() const noexcept { return builder_.descriptor(); }
  bool alreadyRegistered() const noexcept { return builder_.alreadyRegistered(); }

 private:
  TypeBuilder builder_;
};

}  // namespace zel
