// Handler adapters: a FunctionHandler for every native handler signature, so
// that a plugin writes its operations with native parameters and results.
//
//   Outcome<MapsResource> getMapById(std::int64_t id);                 // plain form
//   Outcome<Status> status(const CallInfo& call);                       // call-info form
//   void download(const CallInfo& call, CallResult& result, std::string name);
//                                      // call-info form that writes the CallResult itself
//
// A result may be a value, an Outcome<T>, or nothing (void, Outcome<void>).
// RouteDeclarer makes the adapters; the invocation layer calls invoke, then
// complete while the call is ok. An adapter owns its callable and refers to
// its function descriptor (the registry's, which outlives it); its route owns
// it; a move-only token destroys the pending parameters however the call ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "api/call_info.h"
#include "api/call_result.h"
#include "api/outcome.h"
#include "binding/convert_native.h"

namespace zel {

class FunctionDescriptor;

namespace api::internal {

// Owns an object whose type only the handler that made it knows.
class PendingToken {
 public:
  PendingToken() noexcept = default;  // for a call that keeps nothing
  template <typename T>
  [[nodiscard]] static PendingToken of(std::unique_ptr<T> object) noexcept {
    PendingToken token;
    if (object) token.object_ = Owned(object.release(), &destroy<T>);
    return token;
  }
  [[nodiscard]] bool empty() const noexcept { return object_ == nullptr; }
  // Null unless made as a T: a token handed to the wrong handler is refused.
  template <typename T>
  [[nodiscard]] T* get() const noexcept {
    return object_.get_deleter() == &destroy<T> ? static_cast<T*>(object_.get()) : nullptr;
  }
  void reset() noexcept { object_.reset(); }  // the token is empty afterwards

 private:
  using Owned = std::unique_ptr<void, void (*)(void*) noexcept>;
  template <typename T>
  static void destroy(void* object) noexcept {
    delete static_cast<T*>(object);
  }
  Owned object_{nullptr, nullptr};
};

enum class HandlerForm : std::uint8_t {
  Plain,           // R handler(Args...)
  CallInfo,        // R handler(const CallInfo&, Args...)
  CallInfoResult,  // void handler(const CallInfo&, CallResult&, Args...)
};

// The result and parameter types of a callable.
template <typename... A>
struct TypeList {};
template <typename F>
struct CallableSignature : CallableSignature<decltype(&F::operator())> {};
template <typename R, bool E, typename... A>
struct CallableSignature<R (*)(A...) noexcept(E)> {
  using Result = R;
  using Parameters = TypeList<A...>;
};
template <typename C, typename R, bool E, typename... A>
struct CallableSignature<R (C::*)(A...) noexcept(E)> : CallableSignature<R (*)(A...)> {};
template <typename C, typename R, bool E, typename... A>
struct CallableSignature<R (C::*)(A...) const noexcept(E)> : CallableSignature<R (*)(A...)> {};
template <typename Callable>
using SignatureOf = CallableSignature<
    std::conditional_t<std::is_function_v<Callable>, std::add_pointer_t<Callable>, Callable>>;

// The value of a result: T for an Outcome<T>, else the result itself.
template <typename T>
struct OutcomeValue : std::type_identity<T> {};
template <typename T>
struct OutcomeValue<Outcome<T>> : std::type_identity<T> {};
template <typename R>
using ResultValue = std::remove_cvref_t<typename OutcomeValue<std::remove_cvref_t<R>>::type>;

// The handler's form and its native parameters (after any CallInfo, CallResult).
template <HandlerForm F, typename N>
struct FormFacts {
  static constexpr HandlerForm kForm = F;
  using Native = N;
};
template <typename Parameters>
struct FormOf : FormFacts<HandlerForm::Plain, Parameters> {};
template <typename First, typename... Rest>
requires std::is_same_v<std::remove_cvref_t<First>, CallInfo>
struct FormOf<TypeList<First, Rest...>> : FormFacts<HandlerForm::CallInfo, TypeList<Rest...>> {
};
template <typename First, typename Second, typename... Rest>
requires(std::is_same_v<std::remove_cvref_t<First>, CallInfo>&&
             std::is_same_v<Second, CallResult&>) struct FormOf<TypeList<First, Second, Rest...>>
    : FormFacts<HandlerForm::CallInfoResult, TypeList<Rest...>> {
};

// A handler's native parameters and result value type (void when none).
template <typename Callable>
using HandlerArguments =
    typename FormOf<typename SignatureOf<std::decay_t<Callable>>::Parameters>::Native;
template <typename Callable>
using HandlerResultValue = ResultValue<typename SignatureOf<std::decay_t<Callable>>::Result>;

// The handler of one function: what every HandlerAdapter does whatever its signature.
class FunctionHandler {
 public:
  virtual ~FunctionHandler() = default;
  // Converts the arguments (in order) into native parameters, each named by
  // its argument as the conversion's path; a failure is stored in call. The
  // token owns the parameters (empty when none), even after a failure.
  [[nodiscard]] virtual PendingToken invoke(CallResult& call,
                                            std::span<const BindingValue> arguments,
                                            std::uint32_t requestId) = 0;
  // Runs the operation with invoke's parameters and copies its outcome into
  // call; info is given to the call-info forms only.
  virtual void complete(CallResult& call, const CallInfo* info, PendingToken& token,
                        std::uint32_t requestId) = 0;
  [[nodiscard]] virtual HandlerForm form() const noexcept = 0;

 protected:
  // Without a function, named types are looked up in registry.
  FunctionHandler(const FunctionDescriptor* function, const TypeRegistry* registry) noexcept;
  // The argument's name as conversion path ("" when none); the declared types
  // (null when none: the native type is looked up); info or an empty CallInfo.
  [[nodiscard]] const char* argumentPath(std::size_t index) const noexcept;
  [[nodiscard]] const TypeDescriptor* argumentType(std::size_t index) const noexcept;
  [[nodiscard]] const TypeDescriptor* resultType() const noexcept;
  [[nodiscard]] static const CallInfo& callInfoOr(const CallInfo* info) noexcept;
  static void deliverError(CallResult& call, ErrorOutcome&& error);  // message, status, headers...
  static void deliverSuccess(CallResult& call);  // status 0, no reason or headers

  const TypeRegistry* registry_;

 private:
  const FunctionDescriptor* function_;
};

template <typename Callable, typename Result, HandlerForm kForm, typename Native>
class HandlerAdapter;
template <typename Callable, typename Result, HandlerForm kForm, typename... Args>
class HandlerAdapter<Callable, Result, kForm, TypeList<Args...>> final : public FunctionHandler {
 public:
  using Parameters = std::tuple<std::remove_cvref_t<Args>...>;
  using Value = ResultValue<Result>;

  HandlerAdapter(Callable callable, const FunctionDescriptor* function,
                 const TypeRegistry* registry)
      : FunctionHandler(function, registry), callable_(std::move(callable)) {}

  PendingToken invoke(CallResult& call, std::span<const BindingValue> arguments,
                      std::uint32_t) override {
    if constexpr (sizeof...(Args) == 0) {
      return {};
    } else {
      auto pending = std::make_unique<Parameters>();
      [&]<std::size_t... I>(std::index_sequence<I...>) {
        (convert<I>(call, arguments, std::get<I>(*pending)), ...);
      }
      (std::index_sequence_for<Args...>{});
      return PendingToken::of(std::move(pending));
    }
  }

  void complete(CallResult& call, const CallInfo* info, PendingToken& token,
                std::uint32_t) override {
    if constexpr (sizeof...(Args) == 0) {
      run(call, info, std::tuple<>{}, std::index_sequence<>{});
    } else if (Parameters* parameters = token.get<Parameters>()) {
      run(call, info, *parameters, std::index_sequence_for<Args...>{});
    }
  }
  HandlerForm form() const noexcept override { return kForm; }

 private:
  template <std::size_t I, typename T>
  void convert(CallResult& call, std::span<const BindingValue> arguments, T& target) {
    if (!call.result.ok()) return;
    const ValueNode& input = I < arguments.size() ? static_cast<const ValueNode&>(arguments[I])
                                                  : ValueNode::sharedEmpty();
    const TypeDescriptor* type = argumentType(I);
    if (type == nullptr) type = namedTypeOf<T>(registry_);
    zel::toNative(call.result, target, input, argumentPath(I), type, registry_);
  }

  template <typename Tuple, std::size_t... I>
  void run(CallResult& call, const CallInfo* info, Tuple&& parameters, std::index_sequence<I...>) {
    auto operation = [&](auto&... leading) -> decltype(auto) {
      return callable_(leading..., static_cast<Args&&>(std::get<I>(parameters))...);
    };
    const CallInfo& callInfo = callInfoOr(info);
    auto result = [&]() -> decltype(auto) {  // the plain and call-info forms
      if constexpr (kForm == HandlerForm::CallInfo) return operation(callInfo);
      if constexpr (kForm == HandlerForm::Plain) return operation();
    };
    if constexpr (kForm == HandlerForm::CallInfoResult) {
      operation(callInfo, call);
    } else if constexpr (std::is_void_v<Result>) {
      result();
      deliverSuccess(call);
    } else if constexpr (std::is_same_v<std::remove_cvref_t<Result>, Outcome<Value>>) {
      auto&& outcome = result();
      if (!outcome.ok()) return deliverError(call, std::move(outcome.error()));
      deliverSuccess(call);
      if constexpr (!std::is_void_v<Value>) deliverValue(call, outcome.value());
    } else {
      auto&& value = result();
      deliverSuccess(call);
      deliverValue(call, value);
    }
  }

  template <typename V>
  void deliverValue(CallResult& call, const V& value) {
    const TypeDescriptor* type = resultType();
    if (type == nullptr) type = namedTypeOf<V>(registry_);
    zel::toValue(call.result, value, type, registry_);
  }

  Callable callable_;
};

// The adapter of a callable; without function, named types are looked up in registry.
template <typename Callable>
[[nodiscard]] std::unique_ptr<FunctionHandler> makeFunctionHandler(
    Callable callable, const FunctionDescriptor* function, const TypeRegistry* registry = nullptr) {
  using Decayed = std::decay_t<Callable>;
  using Signature = SignatureOf<Decayed>;
  using Form = FormOf<typename Signature::Parameters>;
  static_assert(
      Form::kForm != HandlerForm::CallInfoResult || std::is_void_v<typename Signature::Result>,
      "a handler that writes its CallResult returns nothing");
  return std::make_unique<
      HandlerAdapter<Decayed, typename Signature::Result, Form::kForm, typename Form::Native>>(
      std::move(callable), function, registry);
}

}  // namespace api::internal
}  // namespace zel
