// The conversion rules of text, blob, object and structure targets, the
// container checks, and the native-structure-to-value walk.
#include <cstdint>
#include <string_view>

#include "binding/convert_native.h"
#include "binding/internal/convert_rules.h"
#include "binding/messages.h"
#include "binding/registry_access.h"
#include "binding/type_descriptor.h"
#include "binding/type_registry.h"
#include "binding/value.h"
#include "diagnostics/format.h"

namespace zel::binding::internal {

namespace msg = binding::messages;

namespace {

// The registry that resolves enum names below a descriptor: the caller's, or
// else the one the descriptor belongs to.
const TypeRegistry* registryOf(const TypeRegistry* registry, const TypeDescriptor& type) noexcept {
  return registry != nullptr ? registry : &type.registry();
}

// Empty, false, 0 (signed, unsigned or an enum number), 0.0 of either sign,
// or a string, blob, collection or structure of size 0.
bool isZeroValue(const ValueNode& value) noexcept {
  switch (value.kind()) {
    case ValueKind::Empty:
      return true;
    case ValueKind::Bool:
      return !value.asBool();
    case ValueKind::Signed:
      return value.asSigned() == 0;
    case ValueKind::Unsigned:
      return value.asUnsigned() == 0;
    case ValueKind::Float:
      return value.asFloat() == 0.0;  // true for -0.0 as well
    case ValueKind::Enum:
      return value.asEnum().number == 0;
    case ValueKind::String:
    case ValueKind::Blob:
    case ValueKind::Collection:
    case ValueKind::Structure:
      return value.size() == 0;
  }
  return false;
}

}  // namespace

void toText(ConversionStatus& status, const ValueNode& input, const char* path,
            const TypeRegistry* registry, std::string& out) {
  if (!status.ok()) return;
  switch (input.kind()) {
    case ValueKind::Empty:
      status.setError(formatPositional(msg::kValueRequired, path));
      return;
    case ValueKind::String:
      out.assign(input.asString());
      return;
    case ValueKind::Enum: {
      const EnumValue value = input.asEnum();
      const char* name = enumeratorName(registry, value.typeId, value.number);
      if (name == nullptr) {
        status.setError(formatPositional(msg::kEnumUnnamedValue, value.number, path));
        return;
      }
      out.assign(name);
      return;
    }
    default:
      status.setError(formatPositional(msg::kNotAString, path));
      return;
  }
}

void toBlob(ConversionStatus& status, const ValueNode& input, const char* path,
            std::vector<std::uint8_t>& out) {
  if (!status.ok()) return;
  switch (input.kind()) {
    case ValueKind::Empty:
      status.setError(formatPositional(msg::kValueRequired, path));
      return;
    case ValueKind::Blob: {
      const auto bytes = input.asBlob();
      out.assign(bytes.begin(), bytes.end());
      return;
    }
    case ValueKind::String: {
      const std::string_view text = input.asString();
      out.assign(text.begin(), text.end());
      return;
    }
    default:
      status.setError(formatPositional(msg::kInvalidType, path, typeKindName(TypeKind::Blob),
                                       valueKindName(input.kind())));
      return;
  }
}

void toObject(ConversionStatus& status, const ValueNode& input, BindingValue& out) {
  out.reset();
  if (!status.ok()) return;
  out = input;
}

void toStructure(ConversionStatus& status, void* record, const ValueNode& input, const char* path,
                 const TypeDescriptor* type, const TypeRegistry* registry) {
  if (!status.ok()) return;
  if (input.isEmpty()) {
    status.setError(formatPositional(msg::kValueRequired, path));
    return;
  }
  if (type == nullptr) {
    status.setError(formatPositional(msg::kUnregisteredTarget, path));
    return;
  }
  if (input.kind() != ValueKind::Structure) {
    status.setError(formatPositional(msg::kNotAStructure, path, type->name()));
    return;
  }
  registry = registryOf(registry, *type);
  auto* const base = static_cast<unsigned char*>(record);
  for (const FieldDescriptor& field : type->fields()) {
    const ValueNode& value = input.find(std::string_view(field.name()));
    if (!value.isEmpty()) {
      field.converter().toNative(status, base + field.offset(), value, field.name().c_str(),
                                 field.type().type, registry);
    } else if (field.required() && !field.optional()) {
      status.setError(
          formatPositional(msg::kMissingRequiredField, path, type->name(), field.name()));
    }
    if (!status.ok()) return;
  }
}

bool checkCollection(ConversionStatus& status, const ValueNode& input, const char* path) {
  if (!status.ok()) return false;
  if (input.kind() == ValueKind::Collection) return true;
  status.setError(formatPositional(msg::kNotACollection, path));
  return false;
}

bool checkMapStructure(ConversionStatus& status, const ValueNode& input, const char* path) {
  if (!status.ok()) return false;
  if (input.kind() == ValueKind::Structure) return true;
  status.setError(formatPositional(msg::kMapNotAStructure, path));
  return false;
}

void fromStructure(ValueNode& output, const void* record, const TypeDescriptor* type,
                   const TypeRegistry* registry, ConversionStatus& status) {
  if (!status.ok()) return;
  if (type == nullptr) {
    status.setError(formatPositional(msg::kUnregisteredSource));
    return;
  }
  registry = registryOf(registry, *type);
  output.reset();
  output.makeStructure();
  const auto* const base = static_cast<const unsigned char*>(record);
  for (const FieldDescriptor& field : type->fields()) {
    const void* native = base + field.offset();
    if (field.optional() && !field.converter().holdsValue(native)) continue;
    if (field.omitWhenZero()) {
      // The zero test needs the converted value before it may enter the output.
      BindingValue converted;
      field.converter().toValue(converted, native, field.type().type, registry, status);
      if (!status.ok()) return;
      if (!isZeroValue(converted)) {
        output.field(std::string_view(field.name())) = std::move(converted);
      }
    } else {
      field.converter().toValue(output.field(std::string_view(field.name())), native,
                                field.type().type, registry, status);
      if (!status.ok()) return;
    }
  }
}

}  // namespace zel::binding::internal
