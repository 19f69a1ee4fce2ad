// MessagePack reading of any bytes: a value or an error result, and the
// reader never claims to have read past the input; a value's structures are
// in key order.
#include <cstddef>
#include <cstdint>

#include "formats/msgpack_reader.h"
#include "fuzz/tree_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zel::MessagePackReader reader(data, size);
  static_cast<void>(zel::MessagePackReader::recognise(data, size));
  const zel::BindingValue value = reader.read();
  if (reader.position() > size) __builtin_trap();
  if (!value.ok() && value.errorMessage().empty()) __builtin_trap();
  zel::fuzz::checkTree(value);
  return 0;
}
