// FlatValue to BindingValue and back, on trees built from the input with
// every kind the boundary knows (and some it does not). A value read from a
// flat tree must survive the round trip through a flat copy unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "binding/convert_flat.h"
#include "binding/flat_value_ops.h"
#include "binding/value.h"
#include "host/sdk_fakes/value_equality.h"

namespace {

constexpr int kMaxDepth = 12;
constexpr std::uint32_t kMaxItems = 8;

// Texts and bytes that borrowed kinds (StringRef, BlobRef) point into.
std::deque<std::string> borrowed;

void build(FuzzedDataProvider& input, zel::FlatValue& out, int depth) {
  const auto kind = input.ConsumeIntegralInRange<std::uint32_t>(0, 12);
  switch (kind) {
    case 1:
      zel::setFlatBool(out, input.ConsumeBool());
      break;
    case 2:
      zel::setFlatSigned(out, input.ConsumeIntegral<std::int64_t>());
      break;
    case 3:
      zel::setFlatUnsigned(out, input.ConsumeIntegral<std::uint64_t>());
      break;
    case 4:
      zel::setFlatFloat(out, input.ConsumeFloatingPoint<double>());
      break;
    case 5: {
      // Borrowed texts are zero-terminated by the sender.
      const std::string& text = borrowed.emplace_back(input.ConsumeRandomLengthString(64));
      zel::setFlatStringRef(out, text.c_str(), static_cast<std::uint32_t>(text.size()));
      break;
    }
    case 6:
      zel::setFlatString(out, input.ConsumeRandomLengthString(64));
      break;
    case 7: {
      const std::string& bytes = borrowed.emplace_back(input.ConsumeRandomLengthString(64));
      zel::setFlatBlobRef(out, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
      break;
    }
    case 8: {
      const std::string bytes = input.ConsumeRandomLengthString(64);
      zel::setFlatBlob(out, bytes.data(), bytes.size());
      break;
    }
    case 9:
    case 10: {
      const std::uint32_t count =
          depth < kMaxDepth ? input.ConsumeIntegralInRange<std::uint32_t>(0, kMaxItems) : 0;
      if (kind == 9) {
        zel::FlatValue* elements = zel::setFlatCollection(out, count);
        for (std::uint32_t i = 0; i < count; ++i) build(input, elements[i], depth + 1);
      } else {
        zel::FlatEntry* entries = zel::setFlatStructure(out, count);
        for (std::uint32_t i = 0; i < count; ++i) {
          zel::setFlatEntryKey(entries[i], input.ConsumeRandomLengthString(16));
          build(input, entries[i].value, depth + 1);
        }
      }
      break;
    }
    case 0:
      break;
    default:
      // A kind the boundary does not define: must be refused, not read.
      out.kind = kind;
      out.payload.unsignedValue = input.ConsumeIntegral<std::uint64_t>();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  zel::FlatValue flat{};
  build(input, flat, 0);

  zel::BindingValue value;
  const zel::FlatConversion read = zel::flatToValue(value, flat, "<fuzz>");
  if (!read.ok()) {
    if (read.errorMessage().empty()) __builtin_trap();
  } else {
    zel::FlatValue copy{};
    if (!zel::valueToFlat(copy, value, nullptr)) __builtin_trap();
    zel::BindingValue back;
    if (!zel::flatToValue(back, copy, "<copy>").ok()) __builtin_trap();
    if (!zel::host::sameValue(value, back)) __builtin_trap();
    zel::clearFlatValue(copy);
  }
  zel::clearFlatValue(flat);
  borrowed.clear();
  return 0;
}
