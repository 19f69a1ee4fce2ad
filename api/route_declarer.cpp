#include "api/route_declarer.h"

#include <string>

#include "api/argument_location.h"
#include "api/function_name.h"
#include "api/internal/route_descriptor.h"
#include "binding/registry_access.h"
#include "boundary/description_records.h"

namespace zel {

using api::internal::RouteTable;

FunctionBuilder::FunctionBuilder(FunctionDescriptor& function,
                                 api::internal::RouteDescriptor& route,
                                 bool alreadyDeclared) noexcept
    : function_(&function), route_(&route), alreadyDeclared_(alreadyDeclared) {}

FunctionBuilder& FunctionBuilder::pathArgument(std::string_view name,
                                               std::string_view description) {
  return nextArgument(ArgumentLocation::Path, name, description);
}

FunctionBuilder& FunctionBuilder::bodyArgument(std::string_view name,
                                               std::string_view description) {
  return nextArgument(ArgumentLocation::Body, name, description);
}

FunctionBuilder& FunctionBuilder::queryArgument(std::string_view name,
                                                std::string_view description) {
  return nextArgument(ArgumentLocation::Query, name, description);
}

FunctionBuilder& FunctionBuilder::headerArgument(std::string_view name,
                                                 std::string_view description) {
  return nextArgument(ArgumentLocation::Header, name, description);
}

FunctionBuilder& FunctionBuilder::argument(std::string_view name, std::string_view description) {
  return nextArgument(ArgumentLocation::Any, name, description);
}

FunctionBuilder& FunctionBuilder::nextArgument(ArgumentLocation location, std::string_view name,
                                               std::string_view description) {
  const std::size_t index = index_++;
  if (alreadyDeclared_) return *this;
  route_->setLocation(index, location);
  if (index < function_->arguments().size()) function_->argument(index).setName(name, description);
  return *this;
}

FunctionBuilder& FunctionBuilder::description(std::string_view text) {
  if (!alreadyDeclared_) function_->setDescription(text);
  return *this;
}

FunctionBuilder& FunctionBuilder::help(std::string_view text) {
  if (!alreadyDeclared_) function_->setHelp(text);
  return *this;
}

FunctionBuilder& FunctionBuilder::returnsType(FactsOf result, std::uint32_t status,
                                              std::string_view meaning) {
  if (!alreadyDeclared_ && function_->result().kind == TypeKind::None) {
    const api::internal::NativeFacts facts = result(function_->registry());
    function_->setResult(facts.type);
    function_->setResultNamedIdentity(facts.namedIdentity);
  }
  return returns(status, meaning);
}

FunctionBuilder& FunctionBuilder::returns(std::uint32_t status, std::string_view meaning) {
  if (!alreadyDeclared_) {
    route_->addTextList({kFactReturns, std::to_string(status), std::string(meaning)});
  }
  return *this;
}

FunctionBuilder& FunctionBuilder::errors(std::initializer_list<StatusMeaning> statuses) {
  if (alreadyDeclared_) return *this;
  for (const StatusMeaning& error : statuses) {
    route_->addTextList({kFactError, std::to_string(error.status), std::string(error.meaning)});
  }
  return *this;
}

namespace api::internal {

RouteDeclarations::RouteDeclarations(TypeRegistry& registry, std::vector<std::string> tags)
    : registry_(&registry), tags_(std::move(tags)) {}

void RouteDeclarations::setPluginVersion(std::string_view version) {
  binding::internal::RegistryAccess::attachment<RouteTable>(*registry_).setPluginVersion(version);
}

FunctionBuilder RouteDeclarations::declare(HttpMethod method, std::string_view urlTemplate,
                                           Describe describe, Make make, void* handler) {
  // The handler belongs to the route descriptor; the function keeps none.
  const RegisteredFunction registered = binding::internal::RegistryAccess::registerFunction(
      *registry_, functionName(method, urlTemplate), nullptr);
  FunctionDescriptor& function = *registered.function;
  if (!registered.alreadyRegistered) describe(function, *registry_);
  auto [route, existed] = binding::internal::RegistryAccess::attachment<RouteTable>(*registry_)
                              .findOrCreate(function, [&] { return make(handler, function); });
  if (!existed) {
    route->setUrlTemplate(urlTemplate);
    route->setMethod(method);
    for (const std::string& tag : tags_) function.addTag(tag);
  }
  return FunctionBuilder(function, *route, existed);
}

void RouteDeclarations::describeFunction(FunctionDescriptor& function,
                                         std::span<const NativeFacts> arguments,
                                         const NativeFacts& result) {
  for (const NativeFacts& argument : arguments) {
    function.addArgument(argument.type).setNamedIdentity(argument.namedIdentity);
  }
  // A std::optional parameter is an argument that may be absent.
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    function.argument(i).setOptional(arguments[i].optional);
  }
  function.setResult(result.type);
  function.setResultNamedIdentity(result.namedIdentity);
}

}  // namespace api::internal
}  // namespace zel
