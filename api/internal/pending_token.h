// PendingToken: what a FunctionHandler's invoke keeps for its complete, the
// native parameters of one call. It owns one heap object whose type only the
// handler that made it knows, and destroys it when it is dropped, so the
// parameters go with the token however the call ends.
//
//   PendingToken token = PendingToken::of(std::make_unique<Parameters>());
//   if (Parameters* parameters = token.get<Parameters>()) { ... }
//   // dropped: the parameters are destroyed
//
// Move-only. The token owns its object; get() lends it for as long as the
// token holds it.
#pragma once

#include <memory>
#include <utility>

namespace zel {

class PendingToken {
 public:
  // An empty token, for a call that keeps nothing.
  PendingToken() noexcept = default;

  template <typename T>
  [[nodiscard]] static PendingToken of(std::unique_ptr<T> object) noexcept {
    PendingToken token;
    if (object) {
      token.object_ = object.release();
      token.destroy_ = &destroy<T>;
    }
    return token;
  }

  PendingToken(PendingToken&& other) noexcept
      : object_(std::exchange(other.object_, nullptr)),
        destroy_(std::exchange(other.destroy_, nullptr)) {}
  PendingToken& operator=(PendingToken&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
      destroy_ = std::exchange(other.destroy_, nullptr);
    }
    return *this;
  }
  PendingToken(const PendingToken&) = delete;
  PendingToken& operator=(const PendingToken&) = delete;
  ~PendingToken() { reset(); }

  [[nodiscard]] bool empty() const noexcept { return object_ == nullptr; }

  // The object when the token holds one made as a T, else null: a token
  // handed to the wrong handler is refused rather than misread.
  template <typename T>
  [[nodiscard]] T* get() const noexcept {
    return destroy_ == &destroy<T> ? static_cast<T*>(object_) : nullptr;
  }

  // Destroys the object now; the token is empty afterwards.
  void reset() noexcept {
    if (destroy_ != nullptr) destroy_(object_);
    object_ = nullptr;
    destroy_ = nullptr;
  }

 private:
  using Destroy = void (*)(void*) noexcept;

  template <typename T>
  static void destroy(void* object) noexcept {
    delete static_cast<T*>(object);
  }

  void* object_ = nullptr;
  Destroy destroy_ = nullptr;
};

}  // namespace zel
