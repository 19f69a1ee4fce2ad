// Route declaration: binding a plugin's operations to HTTP methods and URL
// templates. Each declaration registers a function named after the method
// and template (GET "/zel-maps/v1/map/{id}" declares GetZelMapsV1MapById),
// whose arguments and result come from the handler's signature, and records
// its RouteDescriptor; the FunctionBuilder returned names the arguments in
// order and says where requests give them.
//
//   RouteDeclarer routes(*this);   // a plugin object: its registry and tags
//   routes.declare(HttpMethod::Get, "/zel-maps/v1/map/{id}", &MapsService::getMapById)
//       .pathArgument("id", "The map's numeric id");
//   routes.declare(HttpMethod::Post, "/zel-maps/v1/map", [this](MapsResource map) { ... })
//       .bodyArgument("map", "The variant to add or replace");
//
// The first declaration of a function name wins: declaring it again changes
// nothing (not the handler, template, method, tags, argument names or
// locations), and every step of the builder returned for it does nothing.
// A member function handler is called on the declarer's owner, which must
// outlive the registry. Declarations happen while the plugin registers its
// API, on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/argument_location.h"
#include "api/handler_adapter.h"
#include "api/http_method.h"
#include "api/internal/route_descriptor.h"
#include "binding/convert_native.h"
#include "binding/type_registry.h"

namespace zel {

namespace api::internal {

// The identity of the structure or enum that native type T names (T itself,
// or its elements'); null when it names none.
template <typename T>
[[nodiscard]] const TypeIdentity* namedIdentityOf() noexcept {
  if constexpr (std::is_void_v<T>) {
    return nullptr;
  } else if constexpr (std::is_void_v<typename NativeType<T>::NamedType>) {
    return nullptr;
  } else {
    return &typeIdentity<typename NativeType<T>::NamedType>();
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
  FunctionBuilder(FunctionDescriptor& function, RouteDescriptor& route,
                  bool alreadyDeclared) noexcept
      : function_(&function), route_(&route), alreadyDeclared_(alreadyDeclared) {}

  // The next argument, given by a placeholder of the URL template.
  FunctionBuilder& pathArgument(std::string_view name, std::string_view description = {}) {
    return nextArgument(ArgumentLocation::Path, name, description);
  }
  // The next argument, given by the request body.
  FunctionBuilder& bodyArgument(std::string_view name, std::string_view description = {}) {
    return nextArgument(ArgumentLocation::Body, name, description);
  }
  // The next argument, given by the query string.
  FunctionBuilder& queryArgument(std::string_view name, std::string_view description = {}) {
    return nextArgument(ArgumentLocation::Query, name, description);
  }
  // The next argument, given by a request header (named in lower case by the host).
  FunctionBuilder& headerArgument(std::string_view name, std::string_view description = {}) {
    return nextArgument(ArgumentLocation::Header, name, description);
  }
  // The next argument, given by any source.
  FunctionBuilder& argument(std::string_view name, std::string_view description = {}) {
    return nextArgument(ArgumentLocation::Any, name, description);
  }
  FunctionBuilder& description(std::string_view text);
  FunctionBuilder& help(std::string_view text);

  // For the API's documentation: the status of a success and its meaning
  // ("Created"). A handler that writes its CallResult itself names the type
  // of the value it answers as T; a handler with a result of its own keeps
  // that result's type.
  template <typename T>
  FunctionBuilder& returns(std::uint32_t status, std::string_view meaning) {
    if (!alreadyDeclared_ && function_->result().kind == TypeKind::None) {
      function_->setResult(typeRefOf<T>(function_->registry()));
      function_->setResultNamedIdentity(api::internal::namedIdentityOf<T>());
    }
    return returns(status, meaning);
  }
  FunctionBuilder& returns(std::uint32_t status, std::string_view meaning);
  // The statuses the route may fail with, and what each means there.
  FunctionBuilder& errors(std::initializer_list<StatusMeaning> statuses);

  [[nodiscard]] bool alreadyDeclared() const noexcept { return alreadyDeclared_; }
  [[nodiscard]] const FunctionDescriptor& function() const noexcept { return *function_; }
  [[nodiscard]] const RouteDescriptor& route() const noexcept { return *route_; }

 private:
  FunctionBuilder& nextArgument(ArgumentLocation location, std::string_view name,
                                std::string_view description);

  FunctionDescriptor* function_;
  RouteDescriptor* route_;
  bool alreadyDeclared_;
  std::size_t index_ = 0;
};

namespace api::internal {

// The registry side of a declaration, shared by every handler type.
class RouteDeclarations {
 public:
  RouteDeclarations(TypeRegistry& registry, std::vector<std::string> tags)
      : registry_(&registry), tags_(std::move(tags)) {}

  template <typename Handler>
  FunctionBuilder declareHandler(HttpMethod method, std::string_view urlTemplate,
                                 Handler&& handler) {
    const RegisteredFunction registered = registerFunction(method, urlTemplate);
    FunctionDescriptor& function = *registered.function;
    if (!registered.alreadyRegistered) describeSignature<std::decay_t<Handler>>(function);
    auto [route, existed] = registry_->attachment<RouteTable>().findOrCreate(
        function, [&] { return makeFunctionHandler(std::forward<Handler>(handler), &function); });
    return finishDeclaration(method, urlTemplate, function, *route, existed);
  }

  [[nodiscard]] TypeRegistry& registry() const noexcept { return *registry_; }
  [[nodiscard]] const std::vector<std::string>& tags() const noexcept { return tags_; }
  void setPluginVersion(std::string_view version);

 private:
  RegisteredFunction registerFunction(HttpMethod method, std::string_view urlTemplate);
  FunctionBuilder finishDeclaration(HttpMethod method, std::string_view urlTemplate,
                                    FunctionDescriptor& function, RouteDescriptor& route,
                                    bool existed);

  // The arguments and the result of a new function, from the handler.
  template <typename Handler>
  void describeSignature(FunctionDescriptor& function) {
    addArguments(function, static_cast<HandlerArguments<Handler>*>(nullptr));
    function.setResult(typeRefOf<HandlerResultValue<Handler>>(*registry_));
    function.setResultNamedIdentity(namedIdentityOf<HandlerResultValue<Handler>>());
  }
  template <typename... A>
  void addArguments(FunctionDescriptor& function, TypeList<A...>*) {
    (function.addArgument(typeRefOf<std::remove_cvref_t<A>>(*registry_))
         .setNamedIdentity(namedIdentityOf<std::remove_cvref_t<A>>()),
     ...);
    // A std::optional parameter is an argument that may be absent.
    [[maybe_unused]] std::size_t index = 0;
    (function.argument(index++).setOptional(isOptionalNative<std::remove_cvref_t<A>>), ...);
  }

  TypeRegistry* registry_;
  std::vector<std::string> tags_;
};

}  // namespace api::internal

// Declares the routes of one plugin. Owner is the plugin object's class:
// member functions of it (or of a base) are called on the owner given.
template <typename Owner = void>
class RouteDeclarer {
 public:
  // The registry and tag list of a plugin object (its registry() and tags()).
  template <typename O = Owner>
  requires(!std::is_void_v<O> && std::is_same_v<O, Owner>) explicit RouteDeclarer(O& owner)
      : declarations_(owner.registry(), owner.tags()), owner_(&owner) {}
  RouteDeclarer(TypeRegistry& registry, std::vector<std::string> tags)
      : declarations_(registry, std::move(tags)) {}

  // A callable handler: a lambda, a function object or a function pointer.
  template <typename Handler>
  requires(!std::is_member_function_pointer_v<std::decay_t<Handler>>) FunctionBuilder
      declare(HttpMethod method, std::string_view urlTemplate, Handler&& handler) {
    return declarations_.declareHandler(method, urlTemplate, std::forward<Handler>(handler));
  }

  // A member function of the owner.
  template <typename Member>
  requires(std::is_member_function_pointer_v<Member> && !std::is_void_v<Owner>) FunctionBuilder
      declare(HttpMethod method, std::string_view urlTemplate, Member member) {
    return declare(method, urlTemplate, *owner_, member);
  }

  // A member function called on object.
  template <typename Object, typename Member>
  requires std::is_member_function_pointer_v<Member> FunctionBuilder
  declare(HttpMethod method, std::string_view urlTemplate, Object& object, Member member) {
    return declareMember(
        method, urlTemplate, object, member,
        static_cast<typename api::internal::SignatureOf<Member>::Parameters*>(nullptr));
  }

  [[nodiscard]] TypeRegistry& registry() const noexcept { return declarations_.registry(); }

  // The plugin's own version ("1.2.0"), which the API's documentation shows;
  // 1.0.0 when never set.
  void setPluginVersion(std::string_view version) { declarations_.setPluginVersion(version); }

 private:
  template <typename Object, typename Member, typename... A>
  FunctionBuilder declareMember(HttpMethod method, std::string_view urlTemplate, Object& object,
                                Member member, api::internal::TypeList<A...>*) {
    Object* target = &object;
    return declarations_.declareHandler(method, urlTemplate, [target, member](A... arguments) {
      return (target->*member)(static_cast<A&&>(arguments)...);
    });
  }

  api::internal::RouteDeclarations declarations_;
  Owner* owner_ = nullptr;
};

template <typename O>
RouteDeclarer(O&) -> RouteDeclarer<O>;
RouteDeclarer(TypeRegistry&, std::vector<std::string>)->RouteDeclarer<void>;

}  // namespace zel
