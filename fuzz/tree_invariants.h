// What every tree a reader builds must hold, checked by the fuzzers of the
// readers: each structure's keys are in strictly ascending byte order, so
// that find() reaches every field. A broken tree stops the fuzzer.
#pragma once

#include <vector>

#include "binding/value.h"

namespace zel::fuzz {

inline void checkTree(const ValueNode& root) {
  std::vector<const ValueNode*> open{&root};
  while (!open.empty()) {
    const ValueNode& node = *open.back();
    open.pop_back();
    for (const ValueNode& element : node.elements()) open.push_back(&element);
    const Field* previous = nullptr;
    for (const Field& field : node.fields()) {
      if (previous != nullptr && !(previous->key() < field.key())) __builtin_trap();
      if (&node.find(field.key()) != &field.value()) __builtin_trap();
      previous = &field;
      open.push_back(&field.value());
    }
  }
}

}  // namespace zel::fuzz
