#include "binding/convert_flat.h"

#include <new>
#include <string_view>
#include <vector>

#include "binding/messages.h"
#include "binding/registry_access.h"
#include "binding/type_registry.h"
#include "binding/value.h"
#include "diagnostics/format.h"

namespace zel {

namespace {

// Text up to its terminating zero; a null pointer is the empty text.
const char* flatCText(const FlatValue& value) noexcept {
  const auto* text = static_cast<const char*>(value.payload.span.pointer);
  return text != nullptr ? text : "";
}

}  // namespace

FlatConversion flatToValue(BindingValue& output, const FlatValue& input, const char* path) {
  struct Pending {
    const FlatValue* input;
    ValueNode* output;
  };
  output.reset();
  output.setOk(true);
  std::vector<Pending> pending;
  pending.push_back({&input, &output});
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    const FlatValue& in = *next.input;
    ValueNode& out = *next.output;
    const auto& span = in.payload.span;
    switch (static_cast<FlatKind>(in.kind)) {
      case FlatKind::None:
        out.reset();
        break;
      case FlatKind::Bool:
        out.setBool(in.payload.boolean != 0);
        break;
      case FlatKind::Signed:
        out.setSigned(in.payload.signedValue);
        break;
      case FlatKind::Unsigned:
        out.setUnsigned(in.payload.unsignedValue);
        break;
      case FlatKind::Float:
        out.setFloat(in.payload.floatValue);
        break;
      case FlatKind::StringRef:
      case FlatKind::String:
        out.setString(flatCText(in));
        break;
      case FlatKind::BlobRef:
      case FlatKind::Blob:
        out.setBlob(span.pointer, span.pointer != nullptr ? span.count : 0);
        break;
      case FlatKind::Collection: {
        out.reset();
        out.makeCollection();
        const std::uint32_t count = span.pointer != nullptr ? span.count : 0;
        if (count == 0) break;
        out.element(count - 1);  // every element exists before any is filled
        const FlatValue* elements = flatElements(in);
        const auto nodes = out.elements();
        for (std::uint32_t i = count; i-- > 0;) pending.push_back({&elements[i], &nodes[i]});
        break;
      }
      case FlatKind::Structure: {
        out.reset();
        out.makeStructure();
        const std::uint32_t count = span.pointer != nullptr ? span.count : 0;
        const FlatEntry* entries = flatEntries(in);
        auto keyOf = [](const FlatEntry& entry) {
          return std::string_view(entry.key != nullptr ? entry.key : "");
        };
        // Every key is inserted before any value is filled, so that the nodes
        // handed out stay where they are.
        for (std::uint32_t i = 0; i < count; ++i) out.field(keyOf(entries[i]));
        for (std::uint32_t i = count; i-- > 0;) {
          pending.push_back({&entries[i].value, &out.field(keyOf(entries[i]))});
        }
        break;
      }
      default:
        return FlatConversion::failure(formatPositional(binding::messages::kIncompatibleFlatKind,
                                                        path, flatKindName(in.kind)));
    }
  }
  return {};
}

bool valueToFlat(FlatValue& output, const ValueNode& input, const TypeRegistry* registry) {
  struct Pending {
    const ValueNode* input;
    FlatValue* output;
  };
  clearFlatValue(output);
  try {
    std::vector<Pending> pending;
    pending.push_back({&input, &output});
    while (!pending.empty()) {
      const Pending next = pending.back();
      pending.pop_back();
      const ValueNode& in = *next.input;
      FlatValue& out = *next.output;
      switch (in.kind()) {
        case ValueKind::Empty:
          clearFlatValue(out);
          break;
        case ValueKind::Bool:
          setFlatBool(out, in.asBool());
          break;
        case ValueKind::Signed:
          setFlatSigned(out, in.asSigned());
          break;
        case ValueKind::Unsigned:
          setFlatUnsigned(out, in.asUnsigned());
          break;
        case ValueKind::Float:
          setFlatFloat(out, in.asFloat());
          break;
        case ValueKind::String:
          setFlatString(out, in.asString());
          break;
        case ValueKind::Blob: {
          const auto bytes = in.asBlob();
          setFlatBlob(out, bytes.data(), bytes.size());
          break;
        }
        case ValueKind::Enum: {
          const EnumValue value = in.asEnum();
          const char* name =
              binding::internal::enumeratorName(registry, value.typeId, value.number);
          if (name != nullptr) {
            setFlatString(out, name);
          } else {
            setFlatSigned(out, value.number);
          }
          break;
        }
        case ValueKind::Collection: {
          const auto elements = in.elements();
          FlatValue* flat = setFlatCollection(out, static_cast<std::uint32_t>(elements.size()));
          for (std::size_t i = elements.size(); i-- > 0;) {
            pending.push_back({&elements[i], &flat[i]});
          }
          break;
        }
        case ValueKind::Structure: {
          const auto fields = in.fields();
          FlatEntry* flat = setFlatStructure(out, static_cast<std::uint32_t>(fields.size()));
          for (std::size_t i = 0; i < fields.size(); ++i) setFlatEntryKey(flat[i], fields[i].key());
          for (std::size_t i = fields.size(); i-- > 0;) {
            pending.push_back({&fields[i].value(), &flat[i].value});
          }
          break;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    clearFlatValue(output);
    return false;
  }
  return true;
}

}  // namespace zel
