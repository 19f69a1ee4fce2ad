// TypeRegistry: the catalogue of everything a plugin exposes: its structure and enum types, its
// callable functions and its events. Conversions between native records and binding values walk the
// field lists kept here, and the API description handed to the host is generated from the same
// records.
//
//   TypeRegistry registry;                       // holds the builtin types
//   registry.registerStruct<Point>("Point").field("x", &Point::x).field("y", &Point::y);
//   const TypeDescriptor* point = registry.findType<Point>();
//
// Registration rule: the first registration wins. Registering a type, function or event under a
// name that already exists keeps the existing definition, and every step of the builder returned
// for it does nothing.
//
// Functions are registered by route declarations (api/route_declarer.h); what only the SDK calls
// goes through binding/registry_access.h.
//
// The registry owns every descriptor and every attachment. Four indexes (functions, events and
// types by name, types by id) and the change counter are guarded by one lock; descriptors are not
// changed after registration and are read without it. References returned by the look-ups stay
// valid until the entry is removed: functions one by one, everything else when the registry is
// initialised again or destroyed.
#pragma once

#include "binding/builders.h"  // with the standard headers and identities used here

namespace zel {
namespace binding::internal {
struct RegistryAccess;
}

class TypeRegistry {
 public:
  // Holds the builtin types and events from the start (initialize()).
  TypeRegistry();
  TypeRegistry(const TypeRegistry&) = delete;
  TypeRegistry& operator=(const TypeRegistry&) = delete;
  ~TypeRegistry();

  // Clears an initialised registry (attachments, events, functions, types), then adds the builtins.
  void initialize();

  // Registers a structure or enum type; size, identity and kind come from T (the first one wins).
  template <typename T>
  StructBuilder<T> registerStruct(std::string_view name) {
    static_assert(std::is_class_v<T>, "registerStruct needs a class type");
    return StructBuilder<T>(
        registerType(static_cast<std::uint32_t>(sizeof(T)), name, typeIdentity<T>(), false));
  }
  template <typename E>
  EnumBuilder<E> registerEnum(std::string_view name) {
    static_assert(std::is_enum_v<E> && sizeof(E) == 4, "registerEnum needs a 32-bit enum");
    return EnumBuilder<E>(
        registerType(static_cast<std::uint32_t>(sizeof(E)), name, typeIdentity<E>(), true));
  }

  // Null when the id is not registered.
  [[nodiscard]] const TypeDescriptor* findType(std::uint32_t id) const;
  [[nodiscard]] const TypeDescriptor* findType(std::string_view name) const;
  // The type registered for native type T (its id, checked against T's name).
  template <typename T>
  [[nodiscard]] const TypeDescriptor* findType() const {
    return binding::internal::findRegisteredType(this, typeIdentity<T>());
  }

 private:
  friend struct binding::internal::RegistryAccess;
  struct State;

  // A type with the no-type identity is found by name only; an id already indexed keeps its first.
  TypeBuilder registerType(std::uint32_t size, std::string_view name, const TypeIdentity& identity,
                           bool isEnum);
  void clear();

  std::unique_ptr<State> state_;  // the indexes, attachments and change counter, and their lock
  bool initialized_ = false;
};

}  // namespace zel
