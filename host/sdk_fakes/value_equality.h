// Deep equality of two value trees that allocates nothing, so it can run
// where memory is made to fail and inside fuzz targets.
//
//   if (!zel::host::sameValue(read, expected)) ...
#pragma once

#include <algorithm>

#include "binding/value.h"

namespace zel::host {

inline bool sameValue(const ValueNode& a, const ValueNode& b) noexcept {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case ValueKind::Empty:
      return true;
    case ValueKind::Bool:
      return a.asBool() == b.asBool();
    case ValueKind::Signed:
      return a.asSigned() == b.asSigned();
    case ValueKind::Unsigned:
      return a.asUnsigned() == b.asUnsigned();
    case ValueKind::Float: {
      // NaN is the same NaN here: a copy must keep it, not compare equal to it.
      const double x = a.asFloat();
      const double y = b.asFloat();
      return x == y || (x != x && y != y);
    }
    case ValueKind::String:
      return a.asString() == b.asString();
    case ValueKind::Blob:
      return std::ranges::equal(a.asBlob(), b.asBlob());
    case ValueKind::Enum:
      return a.asEnum() == b.asEnum();
    case ValueKind::Collection:
      return std::ranges::equal(a.elements(), b.elements(), sameValue);
    case ValueKind::Structure:
      return std::ranges::equal(a.fields(), b.fields(), [](const Field& x, const Field& y) {
        return x.key() == y.key() && sameValue(x.value(), y.value());
      });
  }
  return false;
}

}  // namespace zel::host
