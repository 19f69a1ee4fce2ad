// FunctionHandler: the object that performs the calls of one routed
// function. The invocation layer converts nothing itself: it hands the
// gathered argument values to invoke, which converts them into the native
// parameters and keeps them pending in a PendingToken; complete runs the
// plugin's operation and copies its outcome into the CallResult. What invoke
// kept goes when its token is dropped.
//
//   PendingToken pending = handler.invoke(call, arguments, requestId);
//   if (call.ok()) handler.complete(call, nullptr, pending, requestId);
//
// Owned by the function's RouteDescriptor. Handler adapters for native
// signatures are in api/handler_adapter.h.
#pragma once

#include <cstdint>
#include <span>

#include "api/call_info.h"
#include "api/call_result.h"
#include "api/internal/pending_token.h"
#include "binding/function_descriptor.h"
#include "binding/type_identity.h"

namespace zel {

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
  // native parameters; a failure is stored in call. Returns the token that
  // owns the pending parameters (empty when there are none), also when a
  // conversion failed.
  [[nodiscard]] virtual PendingToken invoke(CallResult& call,
                                            std::span<const BindingValue> arguments,
                                            std::uint32_t requestId) = 0;
  // Runs the operation with the parameters pending in token, which invoke
  // returned, and copies its outcome into call. info is given to the
  // call-info forms only. The parameters may be moved from; they are
  // destroyed with the token.
  virtual void complete(CallResult& call, const CallInfo* info, PendingToken& token,
                        std::uint32_t requestId) = 0;
  // The identity of the handler's form.
  [[nodiscard]] virtual const TypeIdentity& callForm() const noexcept = 0;
};

}  // namespace zel
