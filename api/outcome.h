// Outcome<T>: how a native handler ends: with its result value, or with an
// error that carries the message, status, reason, headers and pass-through fields.
//
//   Outcome<MapsResource> getMapById(std::int64_t id) {
//     if (const MapsResource* map = find(id)) return *map;
//     return notFound(formatPositional("No map with id %lld", id));
//   }
//
// A successful outcome has status 0; an Outcome owns its value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace zel {

struct ErrorOutcome {
  std::string message;
  std::uint8_t passThrough = 0;
  std::uint32_t passThroughCode = 0;
  std::uint32_t status = 0;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> headers;
};

// An error outcome with the message and the status; notFound's status is 404
// and its message "Not found" when the text given is empty.
[[nodiscard]] ErrorOutcome failure(std::string message, std::uint32_t status = 0);
[[nodiscard]] ErrorOutcome notFound(std::string_view message = {});

template <typename T>
class [[nodiscard]] Outcome {
 public:
  Outcome(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Outcome(ErrorOutcome error) : state_(std::in_place_index<1>, std::move(error)) {}
  [[nodiscard]] bool ok() const noexcept { return state_.index() == 0; }
  [[nodiscard]] T& value() { return std::get<0>(state_); }
  [[nodiscard]] const T& value() const { return std::get<0>(state_); }
  [[nodiscard]] ErrorOutcome& error() { return std::get<1>(state_); }
  [[nodiscard]] const ErrorOutcome& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, ErrorOutcome> state_;
};

template <>
class [[nodiscard]] Outcome<void> {
 public:
  Outcome() = default;
  Outcome(ErrorOutcome error) : error_(std::move(error)), ok_(false) {}
  [[nodiscard]] bool ok() const noexcept { return ok_; }
  [[nodiscard]] ErrorOutcome& error() { return error_; }
  [[nodiscard]] const ErrorOutcome& error() const { return error_; }

 private:
  ErrorOutcome error_;
  bool ok_ = true;
};

}  // namespace zel
