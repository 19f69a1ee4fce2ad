#include "api/route_declarer.h"

#include <string>

#include "api/function_name.h"
#include "boundary/description_records.h"

namespace zel {

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

RegisteredFunction RouteDeclarations::registerFunction(HttpMethod method,
                                                       std::string_view urlTemplate) {
  // The handler belongs to the route descriptor; the function keeps none.
  return registry_->registerFunction(functionName(method, urlTemplate), nullptr);
}

void RouteDeclarations::setPluginVersion(std::string_view version) {
  registry_->attachment<RouteTable>().setPluginVersion(version);
}

FunctionBuilder RouteDeclarations::finishDeclaration(HttpMethod method,
                                                     std::string_view urlTemplate,
                                                     FunctionDescriptor& function,
                                                     RouteDescriptor& route, bool existed) {
  if (!existed) {
    route.setUrlTemplate(urlTemplate);
    route.setMethod(method);
    for (const std::string& tag : tags_) function.addTag(tag);
  }
  return FunctionBuilder(function, route, existed);
}

}  // namespace api::internal
}  // namespace zel
