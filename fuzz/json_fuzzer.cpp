// JSON reading of any bytes: a value or an error result, nothing else; a
// value's structures are in key order.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/json_reader.h"
#include "fuzz/tree_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The reader takes NUL-terminated text; an embedded NUL ends the document.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const zel::BindingValue value = zel::readJson(text.c_str());
  if (!value.ok() && value.errorMessage().empty()) __builtin_trap();
  zel::fuzz::checkTree(value);
  return 0;
}
