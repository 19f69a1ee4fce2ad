// FunctionHandler: the object that performs the calls of one routed
// function. The invocation layer converts nothing itself: it hands the
// gathered argument values to invoke, which converts them into the native
// parameters and keeps them pending; complete runs the plugin's operation and
// copies its outcome into the CallResult; release frees what invoke kept.
//
//   PendingToken token = handler.invoke(call, arguments, requestId);
//   if (call.ok()) handler.complete(call, nullptr, token, requestId);
//   if (token != 0) handler.release(token);
//
// Owned by the function's RouteDescriptor. Handler adapters for native
// signatures are in api/handler_adapter.h.
#pragma once

#include <cstdint>
#include <span>

#include "api/call_info.h"
#include "api/call_result.h"
#include "binding/function_descriptor.h"
#include "binding/type_identity.h"

namespace zel {

// The handle of what invoke keeps for complete; 0 when it kept nothing.
using PendingToken = std::uintptr_t;

// The identities of the handler forms. The two call-info forms receive a
// CallInfo; every other identity is a plain form.
struct CallInfoForm;        // R handler(const CallInfo&, Args...)
struct CallInfoResultForm;  // void handler(const CallInfo&, CallResult&, Args...)
struct PlainForm;           // R handler(Args...)

template <>
struct StaticType<CallInfoForm> {
  static constexpr std::string_view kName = "zel::CallInfoForm";
  static constexpr std::uint32_t kId = 0x466F9860u;
};

template <>
struct StaticType<CallInfoResultForm> {
  static constexpr std::string_view kName = "zel::CallInfoResultForm";
  static constexpr std::uint32_t kId = 0x89462EBFu;
};

[[nodiscard]] constexpr bool isCallInfoForm(const TypeIdentity& form) noexcept {
  return form.id() == StaticType<CallInfoForm>::kId ||
         form.id() == StaticType<CallInfoResultForm>::kId;
}

class FunctionHandler : public FunctionHandlerBase {
 public:
  // Converts the arguments (one per argument of the function, in order) into
  // native parameters; a failure is stored in call. Returns the token of the
  // pending parameters, or 0.
  virtual PendingToken invoke(CallResult& call, std::span<const BindingValue> arguments,
                              std::uint32_t requestId) = 0;
  // Runs the operation with the pending parameters and copies its outcome
  // into call. info is given to the call-info forms only.
  virtual void complete(CallResult& call, const CallInfo* info, PendingToken token,
                        std::uint32_t requestId) = 0;
  // Frees what invoke kept under token.
  virtual void release(PendingToken token) noexcept = 0;
  // The identity of the handler's form.
  [[nodiscard]] virtual const TypeIdentity& callForm() const noexcept = 0;
};

}  // namespace zel
