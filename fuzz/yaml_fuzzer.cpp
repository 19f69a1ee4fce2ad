// YAML reading of any bytes: a value or an error result, nothing else; a
// value's structures are in key order.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/yaml_reader.h"
#include "fuzz/tree_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zel::BindingValue value =
      zel::readYaml(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!value.ok() && value.errorMessage().empty()) __builtin_trap();
  zel::fuzz::checkTree(value);
  return 0;
}
