#include "binding/function_descriptor.h"

#include <utility>

namespace zel {

FunctionDescriptor::FunctionDescriptor(std::string_view name,
                                       std::unique_ptr<FunctionHandlerBase> handler,
                                       TypeRegistry& registry)
    : name_(name), handler_(std::move(handler)), registry_(&registry) {}

FunctionDescriptor::~FunctionDescriptor() = default;

ArgumentDescriptor& FunctionDescriptor::addArgument(TypeRef type) {
  return arguments_.emplace_back(type, *this);
}

void FunctionDescriptor::addTag(std::string_view tag) {
  if (!tag.empty()) tags_.emplace_back(tag);
}

void FunctionDescriptor::setHandler(std::unique_ptr<FunctionHandlerBase> handler) noexcept {
  handler_ = std::move(handler);
}

}  // namespace zel
