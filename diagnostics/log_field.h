// A typed log-field value (bool, 64-bit integer, double or text) and the map
// of named fields a brace template fills, as outgoing requests' errors keep.
//
//   zel::FieldMap fields;
//   fields["status"] = zel::LogField(std::int64_t{404});
//   if (fields.at("status").kind() == zel::LogFieldKind::kSigned) { ... }
//
// A LogField owns its text.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>

namespace zel {

// The numbers are those of the binding value kinds.
enum class LogFieldKind : std::uint8_t { kBool = 1, kSigned, kUnsigned, kDouble, kText };

class LogField {
 public:
  LogField() = default;  // the bool false
  explicit LogField(bool value) : kind_(LogFieldKind::kBool) { bits_.boolean = value; }
  template <std::signed_integral T>
  explicit LogField(T value) : kind_(LogFieldKind::kSigned) {
    bits_.signedValue = value;
  }
  template <std::unsigned_integral T>
  requires(!std::is_same_v<T, bool>) explicit LogField(T value) : kind_(LogFieldKind::kUnsigned) {
    bits_.unsignedValue = value;
  }
  explicit LogField(double value) : kind_(LogFieldKind::kDouble) { bits_.doubleValue = value; }
  explicit LogField(std::string value) : kind_(LogFieldKind::kText), text_(std::move(value)) {}
  explicit LogField(std::string_view value) : LogField(std::string(value)) {}
  explicit LogField(const char* value) : LogField(std::string(value == nullptr ? "" : value)) {}

  LogFieldKind kind() const { return kind_; }
  bool asBool() const { return kind_ == LogFieldKind::kBool && bits_.boolean; }
  std::int64_t asSigned() const { return kind_ == LogFieldKind::kSigned ? bits_.signedValue : 0; }
  std::uint64_t asUnsigned() const;
  double asDouble() const { return kind_ == LogFieldKind::kDouble ? bits_.doubleValue : 0.0; }
  const std::string& text() const { return text_; }
  bool isEmpty() const;  // false, 0, 0.0 or "": what a "?" alternative stands in for
  friend bool operator==(const LogField& a, const LogField& b);

 private:
  LogFieldKind kind_ = LogFieldKind::kBool;
  union {
    bool boolean;
    std::int64_t signedValue;
    std::uint64_t unsignedValue;
    double doubleValue;
  } bits_{};
  std::string text_;
};

using FieldMap = std::map<std::string, LogField, std::less<>>;

}  // namespace zel
