// RegistryAccess: the registry's members that only the SDK calls (the route
// declarations, the API description, the host side and tests): registering
// functions and raw types, removing functions, looking functions and events
// up, the copies of the indexes, and the attachments, state another part of
// the SDK keeps per registry. A plugin registers through
// TypeRegistry's own members and never names these.
//
//   RouteTable& routes = RegistryAccess::attachment<RouteTable>(registry);
//   RegisteredFunction added = RegistryAccess::registerFunction(registry, "GetA", nullptr);
//
// The registry owns every attachment: created on first use, it lives until
// the registry is initialised again or destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/event_descriptor.h"
#include "binding/function_descriptor.h"
#include "binding/type_identity.h"
#include "binding/type_registry.h"

namespace zel::binding::internal {

// The base of what another part of the SDK keeps per registry (route tables,
// invocation contexts).
class RegistryAttachment {
 public:
  virtual ~RegistryAttachment() = default;
};

// The name of the first enumerator, in name order, of value in the enum type
// of that id; null when there is none or registry is null.
[[nodiscard]] const char* enumeratorName(const TypeRegistry* registry, std::uint32_t typeId,
                                         std::int32_t value);

struct RegistryAccess {
  // See TypeRegistry::registerStruct; the size, identity and kind given here.
  static TypeBuilder registerType(TypeRegistry& registry, std::uint32_t size, std::string_view name,
                                  const TypeIdentity& identity, bool isEnum) {
    return registry.registerType(size, name, identity, isEnum);
  }
  // The event of that name, created when there is none; an existing event
  // keeps its payload and the builder's steps do nothing.
  static EventBuilder registerEvent(TypeRegistry& registry, std::string_view name,
                                    const TypeDescriptor* payload);
  template <typename T>
  static EventBuilder registerEvent(TypeRegistry& registry, std::string_view name) {
    return registerEvent(registry, name, registry.findType<T>());
  }
  // The function of that name, created (counting a change) when there is
  // none; an existing function keeps its handler and the one given is dropped.
  static RegisteredFunction registerFunction(TypeRegistry& registry, std::string_view name,
                                             std::unique_ptr<FunctionHandlerBase> handler);
  // Removes the function, its handler and its descriptor; false when absent.
  static bool removeFunction(TypeRegistry& registry, std::string_view name);
  // The function or event of that name; null when there is none.
  static FunctionDescriptor* findFunction(TypeRegistry& registry, std::string_view name);
  static const FunctionDescriptor* findFunction(const TypeRegistry& registry,
                                                std::string_view name);
  static const EventDescriptor* findEvent(const TypeRegistry& registry, std::string_view name);
  // Copies of the registry's indexes, each taken under its lock, in index order.
  static std::vector<const FunctionDescriptor*> functions(const TypeRegistry& registry);
  static std::vector<const TypeDescriptor*> types(const TypeRegistry& registry);
  static std::vector<const EventDescriptor*> events(const TypeRegistry& registry);
  // Increases by one whenever a function is added or removed.
  static std::uint64_t changeCount(const TypeRegistry& registry);
  // The attachment of type T (derived from RegistryAttachment and default
  // constructible), created on first use.
  template <typename T>
  static T& attachment(TypeRegistry& registry) {
    static_assert(std::is_base_of_v<RegistryAttachment, T>);
    return static_cast<T&>(attachmentById(registry, typeIdentity<T>().id(), [] {
      return std::unique_ptr<RegistryAttachment>(new T());
    }));
  }
  // The attachment under that id, made by factory (outside the registry lock)
  // on first use.
  using AttachmentFactory = std::unique_ptr<RegistryAttachment> (*)();
  static RegistryAttachment& attachmentById(TypeRegistry& registry, std::uint32_t id,
                                            AttachmentFactory factory);
};

}  // namespace zel::binding::internal
