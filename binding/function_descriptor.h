// FunctionDescriptor and ArgumentDescriptor: a callable function of the type
// registry with its ordered arguments, result type, tags and texts, and the
// handler object that performs the call.
//
//   RegisteredFunction added =
//       RegistryAccess::registerFunction(registry, "GetZelMapsV1Maps", std::move(handler));
//   if (!added.alreadyRegistered) added.function->setResult(typeRefOf<Maps>(registry));
//   const FunctionDescriptor* f = RegistryAccess::findFunction(registry, "GetZelMapsV1Maps");
//
// The registry owns every function descriptor; a descriptor owns its
// arguments and its handler. The setters are registration steps: they run
// while the plugin registers its API, before the host can call anything.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/convert_native.h"
#include "binding/type_identity.h"

namespace zel {

class FunctionDescriptor;
class TypeRegistry;

// The root of the invocation layer's handler objects, so that a function
// descriptor can own its handler without knowing how calls are made.
class FunctionHandlerBase {
 public:
  virtual ~FunctionHandlerBase() = default;
};

class ArgumentDescriptor {
 public:
  ArgumentDescriptor(TypeRef type, const FunctionDescriptor& owner) : type_(type), owner_(&owner) {}

  const std::string& name() const noexcept { return name_; }
  const std::string& description() const noexcept { return description_; }
  bool optional() const noexcept { return optional_; }
  const TypeRef& type() const noexcept { return type_; }
  const FunctionDescriptor& owner() const noexcept { return *owner_; }

  void setName(std::string_view name, std::string_view description) {
    name_ = name;
    description_ = description;
  }
  void setOptional(bool optional) noexcept { optional_ = optional; }
  // The native structure or enum the argument names (itself, or its
  // elements'), by which a call finds its descriptor; null when none.
  const TypeIdentity* namedIdentity() const noexcept { return namedIdentity_; }
  void setNamedIdentity(const TypeIdentity* identity) noexcept { namedIdentity_ = identity; }

 private:
  std::string name_;
  std::string description_;
  bool optional_ = false;
  TypeRef type_;
  const TypeIdentity* namedIdentity_ = nullptr;
  const FunctionDescriptor* owner_;
};

class FunctionDescriptor {
 public:
  FunctionDescriptor(std::string_view name, std::unique_ptr<FunctionHandlerBase> handler,
                     TypeRegistry& registry);
  FunctionDescriptor(const FunctionDescriptor&) = delete;
  FunctionDescriptor& operator=(const FunctionDescriptor&) = delete;
  ~FunctionDescriptor();

  const std::string& name() const noexcept { return name_; }
  const std::vector<ArgumentDescriptor>& arguments() const noexcept { return arguments_; }
  // Kind None when the function returns nothing.
  const TypeRef& result() const noexcept { return result_; }
  const std::vector<std::string>& tags() const noexcept { return tags_; }
  const std::string& nameSpace() const noexcept { return nameSpace_; }
  const std::string& description() const noexcept { return description_; }
  const std::string& help() const noexcept { return help_; }
  bool threadSafe() const noexcept { return threadSafe_; }
  bool async() const noexcept { return async_; }
  FunctionHandlerBase* handler() const noexcept { return handler_.get(); }
  TypeRegistry& registry() const noexcept { return *registry_; }

  // Registration steps.
  ArgumentDescriptor& addArgument(TypeRef type);
  ArgumentDescriptor& argument(std::size_t index) { return arguments_.at(index); }
  void setResult(TypeRef result) noexcept { result_ = result; }
  // The same as ArgumentDescriptor::namedIdentity, for the result.
  const TypeIdentity* resultNamedIdentity() const noexcept { return resultNamedIdentity_; }
  void setResultNamedIdentity(const TypeIdentity* identity) noexcept {
    resultNamedIdentity_ = identity;
  }
  // Appends the tag unless it is empty.
  void addTag(std::string_view tag);
  void setNameSpace(std::string_view nameSpace) { nameSpace_ = nameSpace; }
  void setDescription(std::string_view description) { description_ = description; }
  void setHelp(std::string_view help) { help_ = help; }
  void setThreadSafe(bool threadSafe) noexcept { threadSafe_ = threadSafe; }
  void setAsync(bool async) noexcept { async_ = async; }
  void setHandler(std::unique_ptr<FunctionHandlerBase> handler) noexcept;

 private:
  std::string name_;
  std::vector<ArgumentDescriptor> arguments_;
  TypeRef result_;
  const TypeIdentity* resultNamedIdentity_ = nullptr;
  std::vector<std::string> tags_;
  std::string nameSpace_;
  std::string description_;
  std::string help_;
  bool threadSafe_ = false;
  bool async_ = false;
  std::unique_ptr<FunctionHandlerBase> handler_;
  TypeRegistry* registry_;
};

// What registering a function returns: the descriptor of that name, and
// whether it existed before (then the handler given was dropped).
struct RegisteredFunction {
  FunctionDescriptor* function;
  bool alreadyRegistered;
};

}  // namespace zel
