#include "diagnostics/log_field.h"

namespace zel {

std::uint64_t LogField::asUnsigned() const {
  return kind_ == LogFieldKind::kUnsigned ? bits_.unsignedValue : 0;
}

bool LogField::isEmpty() const {
  switch (kind_) {
    case LogFieldKind::kBool:
      return !bits_.boolean;
    case LogFieldKind::kSigned:
      return bits_.signedValue == 0;
    case LogFieldKind::kUnsigned:
      return bits_.unsignedValue == 0;
    case LogFieldKind::kDouble:
      return bits_.doubleValue == 0.0;
    case LogFieldKind::kText:
      return text_.empty();
  }
  return true;
}

bool operator==(const LogField& a, const LogField& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case LogFieldKind::kBool:
      return a.bits_.boolean == b.bits_.boolean;
    case LogFieldKind::kSigned:
      return a.bits_.signedValue == b.bits_.signedValue;
    case LogFieldKind::kUnsigned:
      return a.bits_.unsignedValue == b.bits_.unsignedValue;
    case LogFieldKind::kDouble:
      return a.bits_.doubleValue == b.bits_.doubleValue;
    case LogFieldKind::kText:
      return a.text_ == b.text_;
  }
  return false;
}

}  // namespace zel
