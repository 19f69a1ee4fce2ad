#include "api/handler_adapter.h"

#include "binding/function_descriptor.h"

namespace zel::api::internal {

FunctionHandler::FunctionHandler(const FunctionDescriptor* function, const TypeRegistry* registry) noexcept
    : registry_(function != nullptr ? &function->registry() : registry), function_(function) {}

const char* FunctionHandler::argumentPath(std::size_t index) const noexcept {
  if (function_ == nullptr || index >= function_->arguments().size()) return "";
  return function_->arguments()[index].name().c_str();
}

const TypeDescriptor* FunctionHandler::argumentType(std::size_t index) const noexcept {
  if (function_ == nullptr || index >= function_->arguments().size()) return nullptr;
  return function_->arguments()[index].type().type;
}

const TypeDescriptor* FunctionHandler::resultType() const noexcept {
  return function_ != nullptr ? function_->result().type : nullptr;
}

const CallInfo& FunctionHandler::callInfoOr(const CallInfo* info) noexcept {
  static const CallInfo empty;
  return info != nullptr ? *info : empty;
}

void FunctionHandler::deliverSuccess(CallResult& call) {
  call.passThrough = 0;
  call.passThroughCode = 0;
  call.status = 0;
  call.reason.clear();
  call.headers.clear();
}

void FunctionHandler::deliverError(CallResult& call, ErrorOutcome&& error) {
  call.setError(error.message);
  call.passThrough = error.passThrough;
  call.passThroughCode = error.passThroughCode;
  call.status = error.status;
  call.reason = std::move(error.reason);
  call.headers.clear();
  for (auto& header : error.headers) {
    call.headers.insert_or_assign(std::move(header.first), std::move(header.second));
  }
}

}  // namespace zel::api::internal
