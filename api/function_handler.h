// FunctionHandler: the object that performs the calls of one routed
// function. The invocation layer converts nothing itself: it hands the
// gathered argument values to invoke, which converts them into the native
// parameters and keeps them pending in a PendingToken; complete runs the
// plugin's operation and copies its outcome into the CallResult. The token
// owns the parameters, whose type only the handler that made them knows, and
// destroys them when it is dropped, however the call ends.
//
//   PendingToken pending = handler.invoke(call, arguments, requestId);
//   if (call.ok()) handler.complete(call, nullptr, pending, requestId);
//
// A handler is owned by its function's route descriptor; a token (move-only)
// by whoever holds it, and get() lends its object meanwhile. Only the SDK
// implements handlers (the adapters of api/handler_adapter.h); this is public
// because those are templates that a plugin's handlers instantiate.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace zel {

class BindingValue;
struct CallInfo;
struct CallResult;

namespace api::internal {

class PendingToken {
 public:
  // An empty token, for a call that keeps nothing.
  PendingToken() noexcept = default;

  template <typename T>
  [[nodiscard]] static PendingToken of(std::unique_ptr<T> object) noexcept {
    PendingToken token;
    if (object) token.object_ = Owned(object.release(), &destroy<T>);
    return token;
  }

  [[nodiscard]] bool empty() const noexcept { return object_ == nullptr; }
  // The object when the token holds one made as a T, else null: a token
  // handed to the wrong handler is refused rather than misread.
  template <typename T>
  [[nodiscard]] T* get() const noexcept {
    return object_.get_deleter() == &destroy<T> ? static_cast<T*>(object_.get()) : nullptr;
  }
  // Destroys the object now; the token is empty afterwards.
  void reset() noexcept { object_.reset(); }

 private:
  using Owned = std::unique_ptr<void, void (*)(void*) noexcept>;

  template <typename T>
  static void destroy(void* object) noexcept {
    delete static_cast<T*>(object);
  }

  Owned object_{nullptr, nullptr};
};

// How a handler is called; the call-info forms receive a CallInfo.
enum class HandlerForm : std::uint8_t {
  Plain,           // R handler(Args...)
  CallInfo,        // R handler(const CallInfo&, Args...)
  CallInfoResult,  // void handler(const CallInfo&, CallResult&, Args...)
};

class FunctionHandler {
 public:
  virtual ~FunctionHandler() = default;
  // Converts the arguments (one per argument of the function, in order) into
  // native parameters; a failure is stored in call. Returns the token that
  // owns the pending parameters (empty when there are none), also when a
  // conversion failed.
  [[nodiscard]] virtual PendingToken invoke(CallResult& call,
                                            std::span<const BindingValue> arguments,
                                            std::uint32_t requestId) = 0;
  // Runs the operation with the parameters pending in token, which invoke
  // returned, and copies its outcome into call. info is given to the
  // call-info forms only; the parameters are destroyed with the token.
  virtual void complete(CallResult& call, const CallInfo* info, PendingToken& token,
                        std::uint32_t requestId) = 0;
  [[nodiscard]] virtual HandlerForm form() const noexcept = 0;
};

}  // namespace api::internal
}  // namespace zel
