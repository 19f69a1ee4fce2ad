// Handler adapters: a FunctionHandler for every native handler signature, so
// that a plugin writes its operations with native parameters and results.
//
//   Outcome<MapsResource> getMapById(std::int64_t id);                 // plain form
//   Outcome<Status> status(const CallInfo& call);                       // call-info form
//   void download(const CallInfo& call, CallResult& result, std::string name);
//                                      // call-info form that writes the CallResult itself
//
//   auto handler = makeFunctionHandler([](std::int64_t id) { return id * 2; }, &function);
//
// invoke converts each argument value into its native parameter (the
// argument's name is the path of the conversion; the CallResult is the
// conversion status) and keeps the parameters pending; complete calls the
// operation and copies its outcome into the CallResult (a value converted
// with the function's result type); the pending parameters go with the
// token that invoke returned.
// A result may be a value, an Outcome<T>, or nothing (void, Outcome<void>).
//
// The adapter owns its callable; it refers to its function descriptor, which
// the registry owns and which outlives it.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "api/call_info.h"
#include "api/call_result.h"
#include "api/internal/function_handler.h"
#include "api/outcome.h"
#include "binding/convert_native.h"
#include "binding/function_descriptor.h"

namespace zel {
namespace api::internal {

template <typename... A>
struct TypeList {};

// The result and parameter types of a callable.
template <typename F>
struct CallableSignature : CallableSignature<decltype(&F::operator())> {};
template <typename R, typename... A>
struct CallableSignature<R (*)(A...)> {
  using Result = R;
  using Parameters = TypeList<A...>;
};
template <typename R, typename... A>
struct CallableSignature<R (*)(A...) noexcept> : CallableSignature<R (*)(A...)> {};
template <typename C, typename R, typename... A>
struct CallableSignature<R (C::*)(A...)> : CallableSignature<R (*)(A...)> {};
template <typename C, typename R, typename... A>
struct CallableSignature<R (C::*)(A...) const> : CallableSignature<R (*)(A...)> {};
template <typename C, typename R, typename... A>
struct CallableSignature<R (C::*)(A...) noexcept> : CallableSignature<R (*)(A...)> {};
template <typename C, typename R, typename... A>
struct CallableSignature<R (C::*)(A...) const noexcept> : CallableSignature<R (*)(A...)> {};

template <typename T>
struct OutcomeValue {
  using Type = T;  // a plain result
};
template <typename T>
struct OutcomeValue<Outcome<T>> {
  using Type = T;
};

// The handler's form and its native parameters (what follows the CallInfo
// and CallResult parameters of the call-info forms).
template <typename Parameters>
struct FormOf {
  using Form = PlainForm;
  using Native = Parameters;
};
template <typename First, typename... Rest>
requires std::is_same_v<std::remove_cvref_t<First>, CallInfo>
struct FormOf<TypeList<First, Rest...>> {
  using Form = CallInfoForm;
  using Native = TypeList<Rest...>;
};
template <typename First, typename Second, typename... Rest>
requires(std::is_same_v<std::remove_cvref_t<First>, CallInfo>&&
             std::is_same_v<Second, CallResult&>) struct FormOf<TypeList<First, Second, Rest...>> {
  using Form = CallInfoResultForm;
  using Native = TypeList<Rest...>;
};

// The CallInfo handed to a call-info form when none was given.
const CallInfo& emptyCallInfo() noexcept;

// Copies an error outcome into the CallResult: the message as its error
// result, then pass-through fields, status, reason and headers.
void deliverError(CallResult& call, ErrorOutcome&& error);
// A successful outcome: status 0, no reason or headers.
void deliverSuccess(CallResult& call);

template <typename Callable, typename Result, typename Form, typename Native>
class HandlerAdapter;

template <typename Callable, typename Result, typename Form, typename... Args>
class HandlerAdapter<Callable, Result, Form, TypeList<Args...>> final : public FunctionHandler {
 public:
  using Parameters = std::tuple<std::remove_cvref_t<Args>...>;
  using PlainResult = std::remove_cvref_t<Result>;
  using Value = std::remove_cvref_t<typename OutcomeValue<PlainResult>::Type>;

  HandlerAdapter(Callable callable, const FunctionDescriptor* function,
                 const TypeRegistry* registry)
      : callable_(std::move(callable)),
        function_(function),
        registry_(function != nullptr ? &function->registry() : registry) {}

  PendingToken invoke(CallResult& call, std::span<const BindingValue> arguments,
                      std::uint32_t) override {
    if constexpr (sizeof...(Args) == 0) {
      return {};
    } else {
      auto pending = std::make_unique<Parameters>();
      convertAll(call, arguments, *pending, std::index_sequence_for<Args...>{});
      return PendingToken::of(std::move(pending));
    }
  }

  void complete(CallResult& call, const CallInfo* info, PendingToken& token,
                std::uint32_t) override {
    if constexpr (sizeof...(Args) == 0) {
      run(call, info, std::tuple<>{}, std::index_sequence<>{});
    } else {
      Parameters* parameters = token.get<Parameters>();
      if (parameters == nullptr) return;
      run(call, info, *parameters, std::index_sequence_for<Args...>{});
    }
  }

  const TypeIdentity& callForm() const noexcept override { return typeIdentity<Form>(); }

 private:
  template <std::size_t... I>
  void convertAll(CallResult& call, std::span<const BindingValue> arguments, Parameters& parameters,
                  std::index_sequence<I...>) {
    (convertOne<I>(call, arguments, std::get<I>(parameters)), ...);
  }

  template <std::size_t I, typename T>
  void convertOne(CallResult& call, std::span<const BindingValue> arguments, T& target) {
    if (!call.result.ok()) return;
    const ValueNode& input = I < arguments.size() ? static_cast<const ValueNode&>(arguments[I])
                                                  : ValueNode::sharedEmpty();
    const ArgumentDescriptor* argument = function_ != nullptr && I < function_->arguments().size()
                                             ? &function_->arguments()[I]
                                             : nullptr;
    const char* path = argument != nullptr ? argument->name().c_str() : "";
    // A type registered after the route was declared is found by its identity.
    const TypeDescriptor* type = argument != nullptr && argument->type().type != nullptr
                                     ? argument->type().type
                                     : namedTypeOf<T>(registry_);
    zel::toNative(call.result, target, input, path, type, registry_);
  }

  template <typename Tuple, std::size_t... I>
  void run(CallResult& call, const CallInfo* info, Tuple&& parameters, std::index_sequence<I...>) {
    const CallInfo& callInfo = info != nullptr ? *info : emptyCallInfo();
    if constexpr (std::is_same_v<Form, CallInfoResultForm>) {
      callable_(callInfo, call, static_cast<Args&&>(std::get<I>(parameters))...);
    } else if constexpr (std::is_void_v<Result>) {
      if constexpr (std::is_same_v<Form, CallInfoForm>) {
        callable_(callInfo, static_cast<Args&&>(std::get<I>(parameters))...);
      } else {
        callable_(static_cast<Args&&>(std::get<I>(parameters))...);
      }
      deliverSuccess(call);
    } else {
      if constexpr (std::is_same_v<Form, CallInfoForm>) {
        deliver(call, callable_(callInfo, static_cast<Args&&>(std::get<I>(parameters))...));
      } else {
        deliver(call, callable_(static_cast<Args&&>(std::get<I>(parameters))...));
      }
    }
  }

  template <typename R>
  void deliver(CallResult& call, R&& result) {
    if constexpr (std::is_same_v<PlainResult, Outcome<Value>>) {
      if (!result.ok()) {
        deliverError(call, std::move(result.error()));
        return;
      }
      deliverSuccess(call);
      if constexpr (!std::is_void_v<Value>) deliverValue(call, result.value());
    } else {
      deliverSuccess(call);
      deliverValue(call, result);
    }
  }

  template <typename V>
  void deliverValue(CallResult& call, const V& value) {
    const TypeDescriptor* type = function_ != nullptr && function_->result().type != nullptr
                                     ? function_->result().type
                                     : namedTypeOf<V>(registry_);
    zel::toValue(call.result, value, type, registry_);
  }

  Callable callable_;
  const FunctionDescriptor* function_;
  const TypeRegistry* registry_;
};

template <typename Callable>
using SignatureOf = CallableSignature<
    std::conditional_t<std::is_function_v<Callable>, std::add_pointer_t<Callable>, Callable>>;

}  // namespace api::internal

// The parameter types a handler receives from the function's arguments, in
// order (the CallInfo and CallResult of the call-info forms excluded).
template <typename Callable>
using HandlerArguments = typename api::internal::FormOf<
    typename api::internal::SignatureOf<std::decay_t<Callable>>::Parameters>::Native;

// The native type of the handler's result value (void when it has none).
template <typename Callable>
using HandlerResultValue =
    std::remove_cvref_t<typename api::internal::OutcomeValue<std::remove_cvref_t<
        typename api::internal::SignatureOf<std::decay_t<Callable>>::Result>>::Type>;

// The adapter of a callable. function gives the argument names, their types
// and the result type; without it, named types are looked up in registry.
template <typename Callable>
[[nodiscard]] std::unique_ptr<FunctionHandler> makeFunctionHandler(
    Callable callable, const FunctionDescriptor* function, const TypeRegistry* registry = nullptr) {
  using Decayed = std::decay_t<Callable>;
  using Signature = api::internal::SignatureOf<Decayed>;
  using Form = api::internal::FormOf<typename Signature::Parameters>;
  static_assert(!std::is_same_v<typename Form::Form, CallInfoResultForm> ||
                    std::is_void_v<typename Signature::Result>,
                "a handler that writes its CallResult returns nothing");
  return std::make_unique<api::internal::HandlerAdapter<
      Decayed, typename Signature::Result, typename Form::Form, typename Form::Native>>(
      std::move(callable), function, registry);
}

}  // namespace zel
