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
// The registry owns every descriptor and every attachment. Four indexes
// (functions, events and types by name, types by id) and the change counter
// are guarded by one lock; descriptors are not changed after registration and
// are read without it. References returned by the look-ups stay valid until
// the entry is removed: functions one by one, everything else when the
// registry is initialised again or destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/function_descriptor.h"
#include "binding/internal/event_descriptor.h"
#include "binding/internal/type_builder.h"
#include "binding/internal/type_descriptor.h"
#include "binding/type_identity.h"

namespace zel {

// State that another part of the SDK keeps per registry (route tables,
// invocation contexts); created on first use and owned by the registry.
class RegistryAttachment {
 public:
  virtual ~RegistryAttachment() = default;
};

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

  // Registers a structure or enum type. Under an existing name the builder
  // refers to the existing descriptor and ignores its steps. A type with the
  // no-type identity is found by name only; an id already in the id index
  // keeps its first type.
  TypeBuilder registerType(std::uint32_t size, std::string_view name, const TypeIdentity& identity,
                           bool isEnum);

  // Typed registration: the size, identity and kind come from T.
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

  // Returns the function of that name, creating it (and counting a change)
  // when there is none; an existing function keeps its handler.
  RegisteredFunction registerFunction(std::string_view name,
                                      std::unique_ptr<FunctionHandlerBase> handler);
  // Removes the function, its handler and its descriptor; false when absent.
  bool removeFunction(std::string_view name);

  // Returns the event of that name, creating it when there is none.
  EventBuilder registerEvent(std::string_view name, const TypeDescriptor* payload);
  template <typename T>
  EventBuilder registerEvent(std::string_view name) {
    return registerEvent(name, findType<T>());
  }

  [[nodiscard]] const FunctionDescriptor* findFunction(std::string_view name) const;
  [[nodiscard]] FunctionDescriptor* findFunction(std::string_view name);
  // Null when the id is not registered.
  [[nodiscard]] const TypeDescriptor* findType(std::uint32_t id) const;
  [[nodiscard]] const TypeDescriptor* findType(std::string_view name) const;
  // The type registered for native type T (its id, checked against T's name).
  template <typename T>
  [[nodiscard]] const TypeDescriptor* findType() const {
    return findRegisteredType(this, typeIdentity<T>());
  }
  [[nodiscard]] const EventDescriptor* findEvent(std::string_view name) const;

  // The name of the first enumerator, in name order, of value in the enum
  // type of that id; null when there is none.
  [[nodiscard]] const char* enumeratorName(std::uint32_t typeId, std::int32_t value) const;

  // Copies of the indexes, each taken under the lock, in index order.
  [[nodiscard]] std::vector<const FunctionDescriptor*> functionsSnapshot() const;
  [[nodiscard]] std::vector<const TypeDescriptor*> typesSnapshot() const;
  [[nodiscard]] std::vector<const EventDescriptor*> eventsSnapshot() const;

  // Increases by one whenever a function is added or removed.
  [[nodiscard]] std::uint64_t changeCount() const;

  // The attachment of type T (derived from RegistryAttachment and default
  // constructible), created on first use; it lives until the registry is
  // initialised again or destroyed.
  template <typename T>
  T& attachment() {
    static_assert(std::is_base_of_v<RegistryAttachment, T>);
    return static_cast<T&>(attachment(typeIdentity<T>().id(),
                                      [] { return std::unique_ptr<RegistryAttachment>(new T()); }));
  }

 private:
  using AttachmentFactory = std::unique_ptr<RegistryAttachment> (*)();
  RegistryAttachment& attachment(std::uint32_t id, AttachmentFactory factory);
  void clear();

  // Hashes a type id byte by byte with FNV-1a.
  struct TypeIdHash {
    std::size_t operator()(std::uint32_t id) const noexcept;
  };

  mutable std::mutex lock_;
  // Keys view the descriptors' own names.
  std::unordered_map<std::string_view, std::unique_ptr<FunctionDescriptor>> functions_;
  std::unordered_map<std::string_view, std::unique_ptr<EventDescriptor>> events_;
  std::unordered_map<std::string_view, std::unique_ptr<TypeDescriptor>> types_;
  std::unordered_map<std::uint32_t, const TypeDescriptor*, TypeIdHash> typesById_;
  std::unordered_map<std::uint32_t, std::unique_ptr<RegistryAttachment>> attachments_;
  std::uint64_t changeCount_ = 0;
  bool initialized_ = false;
};

}  // namespace zel
