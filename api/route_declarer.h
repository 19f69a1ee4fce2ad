// Route declaration: each declaration registers a function named after the
// HTTP method and URL template (GET "/zel-maps/v1/map/{id}" declares
// GetZelMapsV1MapById), typed by the handler's signature, and records its
// route; the FunctionBuilder returned names the arguments and their sources.
//
//   RouteDeclarer routes(*this);   // a plugin object: its registry and tags
//   routes.declare(HttpMethod::Get, "/zel-maps/v1/map/{id}", &MapsService::getMapById)
//       .pathArgument("id", "The map's numeric id");
//   routes.declare(HttpMethod::Post, "/zel-maps/v1/map", [this](MapsResource map) { ... })
//       .bodyArgument("map", "The variant to add or replace");
//
// The first declaration of a function name wins: declaring it again changes
// nothing, nor does any step of the builder returned for it. A member
// function handler is called on the declarer's owner, which must outlive the
// registry. Declarations happen on one thread while the plugin registers its API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/handler_adapter.h"
#include "api/http_method.h"
#include "binding/convert_native.h"
#include "binding/type_registry.h"  // routes and the types they use share the registry

namespace zel {

enum class ArgumentLocation : std::uint32_t;

namespace api::internal {

class RouteDeclarations;
class RouteDescriptor;

// A handler parameter's or result's type, the structure or enum it (or its
// elements) names, and whether it may be absent (std::optional).
struct NativeFacts {
  TypeRef type;
  const TypeIdentity* namedIdentity = nullptr;
  bool optional = false;
};
template <typename T>
[[nodiscard]] NativeFacts nativeFactsOf(const TypeRegistry& registry) {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_void_v<U>) {
    return {};
  } else if constexpr (std::is_void_v<typename NativeType<U>::NamedType>) {
    return {typeRefOf<U>(registry), nullptr, isOptionalNative<U>};
  } else {
    return {typeRefOf<U>(registry), &typeIdentity<typename NativeType<U>::NamedType>(),
            isOptionalNative<U>};
  }
}

}  // namespace api::internal

// A status a route may answer, and what it means there.
struct StatusMeaning {
  std::uint32_t status;
  std::string_view meaning;
};

// Names the arguments of a declared function one by one, from index 0 up.
class FunctionBuilder {
 public:
  // The next argument, from a URL placeholder, the body, the query, a request
  // header (lower case), or any source.
  FunctionBuilder& pathArgument(std::string_view name, std::string_view description = {});
  FunctionBuilder& bodyArgument(std::string_view name, std::string_view description = {});
  FunctionBuilder& queryArgument(std::string_view name, std::string_view description = {});
  FunctionBuilder& headerArgument(std::string_view name, std::string_view description = {});
  FunctionBuilder& argument(std::string_view name, std::string_view description = {});
  FunctionBuilder& description(std::string_view text);
  FunctionBuilder& help(std::string_view text);

  // For the documentation: a success's status and meaning ("Created"); T names
  // the answer's type for a handler that writes its CallResult itself.
  template <typename T>
  FunctionBuilder& returns(std::uint32_t status, std::string_view meaning) {
    return returnsType(&api::internal::nativeFactsOf<T>, status, meaning);
  }
  FunctionBuilder& returns(std::uint32_t status, std::string_view meaning);
  // The statuses the route may fail with, and what each means there.
  FunctionBuilder& errors(std::initializer_list<StatusMeaning> statuses);

  [[nodiscard]] bool alreadyDeclared() const noexcept { return alreadyDeclared_; }
  [[nodiscard]] const FunctionDescriptor& function() const noexcept { return *function_; }

 private:
  friend class api::internal::RouteDeclarations;
  using FactsOf = api::internal::NativeFacts (*)(const TypeRegistry&);

  FunctionBuilder(FunctionDescriptor& function, api::internal::RouteDescriptor& route,
                  bool alreadyDeclared) noexcept;
  FunctionBuilder& nextArgument(ArgumentLocation location, std::string_view name,
                                std::string_view description);
  FunctionBuilder& returnsType(FactsOf result, std::uint32_t status, std::string_view meaning);

  FunctionDescriptor* function_;
  api::internal::RouteDescriptor* route_;
  bool alreadyDeclared_;
  std::size_t index_ = 0;
};

namespace api::internal {

// The registry side of a declaration, compiled once for every handler type.
class RouteDeclarations {
 public:
  RouteDeclarations(TypeRegistry& registry, std::vector<std::string> tags);

  template <typename Handler>
  FunctionBuilder declareHandler(HttpMethod method, std::string_view urlTemplate,
                                 Handler&& handler) {
    if constexpr (std::is_function_v<std::remove_reference_t<Handler>>) {
      return declareHandler(method, urlTemplate, &handler);  // a function named without "&"
    } else {
      void* callable = const_cast<void*>(static_cast<const void*>(std::addressof(handler)));
      return declare(method, urlTemplate, &describe<std::decay_t<Handler>>, &make<Handler>,
                     callable);
    }
  }
  [[nodiscard]] TypeRegistry& registry() const noexcept { return *registry_; }
  void setPluginVersion(std::string_view version);

 private:
  using Describe = void (*)(FunctionDescriptor& function, const TypeRegistry& registry);
  using Make = std::unique_ptr<FunctionHandler> (*)(void* handler, FunctionDescriptor& function);

  // Registers the function and its route with make's handler, unless it exists.
  FunctionBuilder declare(HttpMethod method, std::string_view urlTemplate, Describe describe,
                          Make make, void* handler);
  static void describeFunction(FunctionDescriptor& function, std::span<const NativeFacts> arguments,
                               const NativeFacts& result);

  template <typename Handler>
  static void describe(FunctionDescriptor& function, const TypeRegistry& registry) {
    [&]<typename... A>(TypeList<A...>*) {
      const NativeFacts arguments[] = {nativeFactsOf<A>(registry)..., NativeFacts{}};
      describeFunction(function, std::span(arguments, sizeof...(A)),
                       nativeFactsOf<HandlerResultValue<Handler>>(registry));
    }(static_cast<HandlerArguments<Handler>*>(nullptr));
  }
  template <typename Handler>
  static std::unique_ptr<FunctionHandler> make(void* handler, FunctionDescriptor& function) {
    auto* callable = static_cast<std::remove_reference_t<Handler>*>(handler);
    return makeFunctionHandler(std::forward<Handler>(*callable), &function);
  }

  TypeRegistry* registry_;
  std::vector<std::string> tags_;
};

}  // namespace api::internal

// Declares one plugin's routes; member functions of Owner (or a base) are called on the owner.
template <typename Owner = void>
class RouteDeclarer {
 public:
  // The registry and tag list of a plugin object (its registry() and tags()).
  template <typename O = Owner>
  requires(!std::is_void_v<O> && std::is_same_v<O, Owner>) explicit RouteDeclarer(O& owner)
      : declarations_(owner.registry(), owner.tags()), owner_(&owner) {}
  RouteDeclarer(TypeRegistry& registry, std::vector<std::string> tags)
      : declarations_(registry, std::move(tags)) {}

  // A lambda, function object or function pointer; or a member function,
  // called on the owner or on object.
  template <typename Handler>
  requires(!std::is_member_function_pointer_v<std::decay_t<Handler>>) FunctionBuilder
      declare(HttpMethod method, std::string_view urlTemplate, Handler&& handler) {
    return declarations_.declareHandler(method, urlTemplate, std::forward<Handler>(handler));
  }
  template <typename Member>
  requires(std::is_member_function_pointer_v<Member> && !std::is_void_v<Owner>) FunctionBuilder
      declare(HttpMethod method, std::string_view urlTemplate, Member member) {
    return declare(method, urlTemplate, *owner_, member);
  }
  template <typename Object, typename Member>
  requires std::is_member_function_pointer_v<Member> FunctionBuilder
  declare(HttpMethod method, std::string_view urlTemplate, Object& object, Member member) {
    return [&]<typename... A>(api::internal::TypeList<A...>*) {
      return declarations_.declareHandler(
          method, urlTemplate, [target = &object, member](A... arguments) {
            return (target->*member)(static_cast<A&&>(arguments)...);
          });
    }(static_cast<typename api::internal::SignatureOf<Member>::Parameters*>(nullptr));
  }

  [[nodiscard]] TypeRegistry& registry() const noexcept { return declarations_.registry(); }
  // The plugin's own version ("1.2.0") for the documentation; 1.0.0 when never set.
  void setPluginVersion(std::string_view version) { declarations_.setPluginVersion(version); }

 private:
  api::internal::RouteDeclarations declarations_;
  Owner* owner_ = nullptr;
};

template <typename O>
RouteDeclarer(O&) -> RouteDeclarer<O>;

}  // namespace zel
