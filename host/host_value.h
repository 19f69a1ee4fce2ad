// HostValue: the host's own plain tree for values that cross the boundary as
// FlatValues. Tests build expected values and request arguments with it, and
// read what the plugin hands back into it for assertions.
//
//   HostValue map = HostValue::makeStructure({{"id", HostValue::makeSigned(42)}});
//   const HostValue* id = map.find("id");         // kind Signed, 42
//   map.toText();                                  // {"id": 42}
//
// A plain value: owns its strings and children, knows nothing of the plugin.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/flat_value.h"

namespace zel::host {

struct HostField;

struct HostValue {
  // The FlatValue kind code, kept exactly (5 and 6, 7 and 8 are told apart);
  // a code above 10 stands for itself with no payload.
  std::uint32_t kind = static_cast<std::uint32_t>(FlatKind::None);
  bool boolean = false;
  std::int64_t signedValue = 0;
  std::uint64_t unsignedValue = 0;
  double floatValue = 0;
  std::string bytes;                // the text or the blob
  std::vector<HostValue> elements;  // a collection's elements
  std::vector<HostField> fields;    // a structure's entries, in record order

  [[nodiscard]] static HostValue makeNone();
  [[nodiscard]] static HostValue makeBool(bool value);
  [[nodiscard]] static HostValue makeSigned(std::int64_t value);
  [[nodiscard]] static HostValue makeUnsigned(std::uint64_t value);
  [[nodiscard]] static HostValue makeFloat(double value);
  // owned: kind 6 (the receiver's copy is owned by the record) or 5 (a reference).
  [[nodiscard]] static HostValue makeString(std::string_view text, bool owned = true);
  [[nodiscard]] static HostValue makeBlob(std::string_view bytes, bool owned = true);
  [[nodiscard]] static HostValue makeCollection(std::vector<HostValue> elements);
  [[nodiscard]] static HostValue makeStructure(std::vector<HostField> fields);
  [[nodiscard]] static HostValue makeRawKind(std::uint32_t kind);

  [[nodiscard]] FlatKind flatKind() const { return static_cast<FlatKind>(kind); }
  [[nodiscard]] bool isString() const;
  [[nodiscard]] bool isBlob() const;

  // The first entry of a structure under key, or null.
  [[nodiscard]] const HostValue* find(std::string_view key) const;

  // JSON-like rendering for messages and the command line: texts quoted,
  // blobs as blob(hex), a raw kind as kind(N).
  [[nodiscard]] std::string toText() const;

  // Exact equality, kind codes and key ownership included.
  bool operator==(const HostValue& other) const;
};

struct HostField {
  std::string key;
  HostValue value;
  bool ownsKey = true;

  bool operator==(const HostField& other) const = default;
};

// Defined once HostField is complete: a HostValue's fields vector needs it.
inline HostValue HostValue::makeNone() {
  return HostValue();
}

// Equality that ignores ownership: string 5 equals 6, blob 7 equals 8, and
// key ownership is not compared.
[[nodiscard]] bool sameContent(const HostValue& a, const HostValue& b);

// Lets test failures print values readably.
void PrintTo(const HostValue& value, std::ostream* out);

}  // namespace zel::host
