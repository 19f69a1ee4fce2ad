// The builders that registration returns. registerStruct<T> gives a StructBuilder<T>, whose steps
// add fields by member pointer; registerEnum<E> an EnumBuilder<E>, whose steps add enumerators;
// both describe and tag the type, and untyped() reaches the TypeBuilder beneath them, whose steps
// take offsets and converters.
//
//   registry.registerStruct<MapsResource>("ZelMapsMaps")
//       .field("id", &MapsResource::id)
//       .field("name", &MapsResource::name, "Display name", FieldFlags::Required);
//   registry.registerEnum<State>("State").enumerator("None", State::None, "Invalid state");
//
// When the type was registered before, every step does nothing: the first definition stays. A
// builder refers to a descriptor the registry owns and is used during registration only. A field's
// named structure or enum (its type, or its elements') must be registered before the field.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>

#include "binding/convert_native.h"

namespace zel {

// What a field() step may add about the field.
enum class FieldFlags : std::uint32_t {
  None = 0,
  OmitWhenZero = 1u << 0,  // left out of a value when it holds the zero of its kind
  Required = 1u << 1,      // a value without it does not convert to the record
};

constexpr FieldFlags operator|(FieldFlags a, FieldFlags b) noexcept {
  return static_cast<FieldFlags>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

constexpr bool hasFlag(FieldFlags flags, FieldFlags flag) noexcept {
  return (static_cast<std::uint32_t>(flags) & static_cast<std::uint32_t>(flag)) != 0;
}

// Converts a field's native type both ways, as convert_native.h does; makeConverter<T>() makes T's.
class FieldConverter {
 public:
  virtual void toNative(ConversionStatus& status, void* native, const ValueNode& input,
                        const char* path, const TypeDescriptor* type,
                        const TypeRegistry* registry) const = 0;
  // On failure output is left for the caller to discard.
  virtual void toValue(ValueNode& output, const void* native, const TypeDescriptor* type,
                       const TypeRegistry* registry, ConversionStatus& status) const = 0;
  // False for an empty std::optional, which a structure's value leaves out.
  virtual bool holdsValue(const void*) const noexcept { return true; }
  virtual ~FieldConverter() = default;
};

namespace binding::internal {

template <typename T>
class NativeConverter final : public FieldConverter {
 public:
  void toNative(ConversionStatus& status, void* native, const ValueNode& input, const char* path,
                const TypeDescriptor* type, const TypeRegistry* registry) const override {
    NativeType<T>::toNative(status, *static_cast<T*>(native), input, path, type, registry);
  }
  void toValue(ValueNode& output, const void* native, const TypeDescriptor* type,
               const TypeRegistry* registry, ConversionStatus& status) const override {
    if (!status.ok()) return;
    NativeType<T>::toValue(output, *static_cast<const T*>(native), type, registry, status);
  }
  bool holdsValue(const void* native) const noexcept override {
    if constexpr (isOptionalNative<T>) return static_cast<const T*>(native)->has_value();
    return true;
  }
};

}  // namespace binding::internal

template <typename T>
[[nodiscard]] std::unique_ptr<FieldConverter> makeConverter() {
  return std::make_unique<binding::internal::NativeConverter<T>>();
}

// The steps beneath the typed builders, by offset and converter.
class TypeBuilder {
 public:
  TypeBuilder(TypeRegistry& registry, TypeDescriptor& descriptor, bool alreadyRegistered) noexcept;

  // Appends a field. The element type is kept only when its kind is not None.
  TypeBuilder& addField(std::string_view name, std::string_view description, std::uint32_t offset,
                        const TypeIdentity& identity, TypeRef type, TypeRef elementType,
                        FieldFlags flags, std::unique_ptr<FieldConverter> converter,
                        bool optional = false);
  // Inserts the enumerator, or replaces the value and description of the one of that name.
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

// A data member's byte offset, read from unconstructed storage (offsetof fails on BindingValue).
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

// The steps both typed builders share; each returns the builder itself.
template <typename Self>
class TypedBuilder {
 public:
  explicit TypedBuilder(TypeBuilder builder) noexcept : builder_(builder) {}

  Self& setDescription(std::string_view description) {
    builder_.setDescription(description);
    return static_cast<Self&>(*this);
  }
  Self& setNameSpace(std::string_view nameSpace) {
    builder_.setNameSpace(nameSpace);
    return static_cast<Self&>(*this);
  }
  Self& addTag(std::string_view tag) {
    builder_.addTag(tag);
    return static_cast<Self&>(*this);
  }

  TypeBuilder& untyped() noexcept { return builder_; }
  const TypeDescriptor& descriptor() const noexcept { return builder_.descriptor(); }
  bool alreadyRegistered() const noexcept { return builder_.alreadyRegistered(); }

 protected:
  TypeBuilder builder_;
};

template <typename T>
class StructBuilder : public TypedBuilder<StructBuilder<T>> {
 public:
  using TypedBuilder<StructBuilder<T>>::TypedBuilder;

  // Adds the member as a field with its native type's converter. A std::optional member is
  // optional: never missing (Required does not apply), and left out of the structure's value while
  // empty.
  template <typename M>
  StructBuilder& field(std::string_view name, M T::*member, std::string_view description = {},
                       FieldFlags flags = FieldFlags::None) {
    TypeBuilder& builder = this->builder_;
    if (!builder.alreadyRegistered()) {
      builder.addField(name, description, memberOffset(member), typeIdentity<M>(),
                       typeRefOf<M>(builder.registry()), TypeRef{}, flags, makeConverter<M>(),
                       isOptionalNative<M>);
    }
    return *this;
  }
  template <typename M>
  StructBuilder& field(std::string_view name, M T::*member, FieldFlags flags) {
    return field(name, member, {}, flags);
  }
};

template <typename E>
class EnumBuilder : public TypedBuilder<EnumBuilder<E>> {
 public:
  using TypedBuilder<EnumBuilder<E>>::TypedBuilder;

  EnumBuilder& enumerator(std::string_view name, E value, std::string_view description = {}) {
    this->builder_.addEnumerator(name, static_cast<std::int32_t>(value), description);
    return *this;
  }
};

}  // namespace zel
