// Brace templates: "Error response for {method} {url}: {error}". Compiling
// one gives a numbered template for formatPositional ("... for %1 %2: %3")
// and fills a map of named, typed fields from the values given.
//
//   zel::FieldMap fields;
//   std::string text = zel::formatNamed("Error response for {method} {url}: {error}", fields,
//                                       "GET", url, error);  // fields: method, url, error
//
// Inside braces: "{#name}" appends a type suffix to the field name ("_int",
// "_str", ...), "{name?alt}" writes alt instead of an empty value,
// "{name!}" stores the field but writes nothing (and trims the blanks before
// it), "{name:08x}" passes a printf directive, "\" escapes a character.
// Outside braces "{{" and "}}" write one brace. Placeholders numbered beyond
// the values given are dropped.
//
// Offered to the folders above (the errors of outgoing requests keep their
// fields); plugins use formatPositional.
#pragma once

#include <cstddef>
#include <string>

#include "diagnostics/format.h"
#include "diagnostics/log_field.h"

namespace zel {

// Returns the numbered template; stores a field for every named placeholder
// that has a value (an existing entry is replaced).
[[nodiscard]] std::string compileNamedTemplate(const char* tmpl, const LogField* values,
                                               std::size_t count, FieldMap& fields);

namespace diagnostics::internal {

template <typename T>
LogField toLogField(const T& value) {
  if constexpr (requires { value.toString(); }) {
    return LogField(value.toString());
  } else if constexpr (std::is_enum_v<T>) {
    return LogField(static_cast<std::underlying_type_t<T>>(value));
  } else if constexpr (std::is_floating_point_v<T>) {
    return LogField(static_cast<double>(value));
  } else if constexpr (std::is_array_v<T>) {
    return LogField(static_cast<const char*>(value));
  } else {
    return LogField(value);
  }
}

}  // namespace diagnostics::internal

// Compiles tmpl with the arguments as field values, then formats the result
// with the same arguments in the same order.
template <typename... Args>
[[nodiscard]] std::string formatNamed(const char* tmpl, FieldMap& fields, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return formatPositional(compileNamedTemplate(tmpl, nullptr, 0, fields).c_str());
  } else {
    const LogField values[] = {diagnostics::internal::toLogField(args)...};
    const std::string compiled = compileNamedTemplate(tmpl, values, sizeof...(Args), fields);
    return formatPositional(compiled.c_str(), args...);
  }
}

}  // namespace zel
