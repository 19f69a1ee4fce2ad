// Reading YAML text into a BindingValue, for request bodies of type
// "application/x-yaml" and structured text arguments that begin with "---".
//
//   BindingValue value = zel::readYaml("name: Rift\nids: [1, 2]\n");
//   value.find("ids").at(1).asUnsigned();   // 2
//
// The caller keeps owning the text; the returned value owns its tree. Each
// call runs its own libyaml parser.
//
// What the value holds: mappings are structures (keys must be string
// scalars and stay texts), sequences collections. Plain scalars are typed:
// the null texts ("", "~", "null", ...) empty, numbers unsigned, signed or
// float, the true and false texts ("yes", "Off", ...) bools, anything else a
// string; quoted scalars are strings. The tags !!str, !!int, !!float and
// !!bool are honoured, any other tag on a scalar is refused. An alias stores
// a deep copy of its anchored node; an alias used as a key stands for the
// text it names. Only one document is read.
//
// Bounds: containers nested deeper than formats::kMaxNestingDepth (counting
// the copies that aliases make), and aliases that would copy more than
// formats::kMaxAliasNodes nodes, formats::kMaxAliasTextBytes bytes of key
// text, or formats::maxAliasExpansionBytes(text.size()) bytes of strings and
// keys in all (a copy of an anchored string counts its full length), are
// refused with an error result, before the copy that passes them is made.
#pragma once

#include <cstddef>
#include <string_view>

#include "binding/value.h"

namespace zel {

// The value, or an error result naming the fault and its line and column.
// Every byte of `text` is read; a NUL byte is not a terminator.
[[nodiscard]] BindingValue readYaml(std::string_view text);

}  // namespace zel
