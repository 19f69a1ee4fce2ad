// TypeRegistry: the catalogue of everything a plugin exposes: its structure
// and enum types, its callable functions and its events. Conversions between
// native records and binding values walk the field lists kept here, and the
// API description handed to the host is generated from the same records.
//
//   TypeRegistry registry;                       // holds the builtin types
//   registry.registerStruct<Point>("Point").field("x", &Point::x).field("y", &Point::y);
//   const TypeDescriptor* point = registry.findType<Point>();
//
// Registration rule: the first registration wins. Registering a type,
// function or event under a name that already exists keeps the existing
// definition, and every step of the builder returned for it does nothing.
//
// Functions are registered by route declarations (api/route_declarer.h);
// what only the SDK calls (registering functions and raw types, removing
// functions, the attachments, looking up functions and events, the copies of
// the indexes) goes through binding/registry_access.h.
//
// The registry owns every descriptor and every attachment. Four indexes
// (functions, events and types by name, types by id) and the change counter
// are guarded by one lock; descriptors are not changed after registration and
// are read without it. References returned by the look-ups stay valid until
// the entry is removed: functions one by one, everything else when the
// registry is initialised again or destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "binding/builders.h"
#include "binding/type_identity.h"

namespace zel {

class EventDescriptor;
class FunctionDescriptor;
class FunctionHandlerBase;
struct RegisteredFunction;

namespace binding::internal {
class RegistryAttachment;
struct RegistryAccess;
}  // namespace binding::internal

class TypeRegistry {
 public:
  // Holds the builtin types and events from the start (initialize()).
  TypeRegistry();
  TypeRegistry(const TypeRegistry&) = delete;
  TypeRegistry& operator=(const TypeRegistry&) = delete;
  ~TypeRegistry();

  // Clears a registry that was initialised before (attachments, events,
  // functions, then types), then registers the builtin types and events.
  void initialize();

  // Registers a structure or enum type: the size, identity and kind come
  // from T. Under an existing name the builder refers to the existing
  // descriptor and ignores its steps.
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

  // Returns the event of that name, creating it when there is none.
  EventBuilder registerEvent(std::string_view name, const TypeDescriptor* payload);
  template <typename T>
  EventBuilder registerEvent(std::string_view name) {
    return registerEvent(name, findType<T>());
  }

  // Null when the id is not registered.
  [[nodiscard]] const TypeDescriptor* findType(std::uint32_t id) const;
  [[nodiscard]] const TypeDescriptor* findType(std::string_view name) const;
  // The type registered for native type T (its id, checked against T's name).
  template <typename T>
  [[nodiscard]] const TypeDescriptor* findType() const {
    return binding::internal::findRegisteredType(this, typeIdentity<T>());
  }

  // The name of the first enumerator, in name order, of value in the enum
  // type of that id; null when there is none.
  [[nodiscard]] const char* enumeratorName(std::uint32_t typeId, std::int32_t value) const;

 private:
  friend struct binding::internal::RegistryAccess;
  struct State;

  // Under an existing name the builder refers to the existing descriptor and
  // ignores its steps. A type with the no-type identity is found by name
  // only; an id already in the id index keeps its first type.
  TypeBuilder registerType(std::uint32_t size, std::string_view name, const TypeIdentity& identity,
                           bool isEnum);
  // The function of that name, created (counting a change) when there is
  // none; an existing function keeps its handler.
  RegisteredFunction registerFunction(std::string_view name,
                                      std::unique_ptr<FunctionHandlerBase> handler);
  // Removes the function, its handler and its descriptor; false when absent.
  bool removeFunction(std::string_view name);
  // The attachment under that id, made by factory on first use.
  using AttachmentFactory = std::unique_ptr<binding::internal::RegistryAttachment> (*)();
  binding::internal::RegistryAttachment& attachment(std::uint32_t id, AttachmentFactory factory);
  void clear();

  const FunctionDescriptor* findFunction(std::string_view name) const;
  FunctionDescriptor* findFunction(std::string_view name);
  const EventDescriptor* findEvent(std::string_view name) const;
  // Copies of the indexes, each taken under the lock, in index order.
  std::vector<const FunctionDescriptor*> functionsSnapshot() const;
  std::vector<const TypeDescriptor*> typesSnapshot() const;
  std::vector<const EventDescriptor*> eventsSnapshot() const;
  // Increases by one whenever a function is added or removed.
  std::uint64_t changeCount() const;

  // The four indexes, the attachments and the change counter, with the one
  // lock that guards them.
  std::unique_ptr<State> state_;
  bool initialized_ = false;
};

}  // namespace zel
