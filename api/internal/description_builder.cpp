#include "api/internal/description_builder.h"

#include "binding/event_descriptor.h"
#include "binding/function_descriptor.h"
#include "binding/type_descriptor.h"
#include "boundary/description_records.h"

namespace zel::api::internal {
namespace {

template <typename Record>
void linkArray(Record* records, std::size_t count) {
  for (std::size_t i = 0; i + 1 < count; ++i) records[i].next = &records[i + 1];
}

}  // namespace

std::uint32_t exportedKind(TypeKind kind) noexcept {
  const auto code = static_cast<std::uint32_t>(kind);
  return code < kTypeKindCount ? code : kTypeKindNone;
}

const char* exportedTypeName(const TypeRef& type) noexcept {
  switch (type.kind) {
    case TypeKind::Vector:
    case TypeKind::Enum:
    case TypeKind::Struct:
    case TypeKind::Map:
      return type.type != nullptr ? type.type->name().c_str() : "";
    default:
      return "";
  }
}

const char* const* DescriptionBuilder::tagArray(const std::vector<std::string>& tags) {
  const char** array = allocate<const char*>(tags.size());
  for (std::size_t i = 0; i < tags.size(); ++i) array[i] = tags[i].c_str();
  return array;
}

BuiltDescriptions DescriptionBuilder::build(std::span<const FunctionDescriptor* const> functions,
                                            std::span<const TypeDescriptor* const> types,
                                            std::span<const EventDescriptor* const> events) {
  BuiltDescriptions built;

  built.functions = allocate<FunctionDescription>(functions.size());
  built.functionCount = static_cast<std::uint32_t>(functions.size());
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const FunctionDescriptor& function = *functions[i];
    const auto& arguments = function.arguments();
    ArgumentDescription* argumentRecords = allocate<ArgumentDescription>(arguments.size());
    for (std::size_t a = 0; a < arguments.size(); ++a) {
      const ArgumentDescriptor& argument = arguments[a];
      ArgumentDescription& record = argumentRecords[a];
      record.name = argument.name().c_str();
      record.description = argument.description().c_str();
      record.kind = exportedKind(argument.type().kind);
      record.elementKind = exportedKind(argument.type().elementKind);
      record.typeName = exportedTypeName(argument.type());
      record.optional = argument.optional() ? 1 : 0;
    }
    linkArray(argumentRecords, arguments.size());

    FunctionDescription& record = built.functions[i];
    record.tags = tagArray(function.tags());
    record.tagCount = static_cast<std::uint32_t>(function.tags().size());
    record.name = function.name().c_str();
    record.nameSpace = function.nameSpace().c_str();
    record.arguments = argumentRecords;
    record.argumentCount = static_cast<std::uint32_t>(arguments.size());
    record.resultKind = exportedKind(function.result().kind);
    record.resultElementKind = exportedKind(function.result().elementKind);
    record.resultTypeName = exportedTypeName(function.result());
    record.description = function.description().c_str();
    record.help = function.help().c_str();
    record.threadSafe = function.threadSafe() ? 1 : 0;
    record.asyncResultTypeName = function.async() && function.result().type != nullptr
                                     ? function.result().type->name().c_str()
                                     : "";
  }
  linkArray(built.functions, functions.size());

  built.types = allocate<TypeDescription>(types.size());
  built.typeCount = static_cast<std::uint32_t>(types.size());
  for (std::size_t i = 0; i < types.size(); ++i) {
    const TypeDescriptor& type = *types[i];
    TypeDescription& record = built.types[i];
    record.tags = tagArray(type.tags());
    record.tagCount = static_cast<std::uint32_t>(type.tags().size());
    const auto& fields = type.fields();
    if (!fields.empty()) {
      FieldDescription* fieldRecords = allocate<FieldDescription>(fields.size());
      for (std::size_t f = 0; f < fields.size(); ++f) {
        const FieldDescriptor& field = fields[f];
        const TypeRef& exported = field.exportedType();
        FieldDescription& fieldRecord = fieldRecords[f];
        fieldRecord.name = field.name().c_str();
        fieldRecord.description = field.description().c_str();
        fieldRecord.offset = field.offset();
        fieldRecord.kind = exportedKind(exported.kind);
        fieldRecord.elementKind = exportedKind(exported.elementKind);
        fieldRecord.typeName = exportedTypeName(exported);
      }
      linkArray(fieldRecords, fields.size());
      record.fields = fieldRecords;
      record.count = static_cast<std::uint32_t>(fields.size());
    } else {
      const auto& enumerators = type.enumerators();
      EnumeratorDescription* enumeratorRecords =
          allocate<EnumeratorDescription>(enumerators.size());
      std::size_t e = 0;
      for (const auto& entry : enumerators) {
        EnumeratorDescription& enumeratorRecord = enumeratorRecords[e++];
        enumeratorRecord.name = entry.second.name().c_str();
        enumeratorRecord.description = entry.second.description().c_str();
        enumeratorRecord.value = entry.second.value();
      }
      linkArray(enumeratorRecords, enumerators.size());
      record.enumerators = enumeratorRecords;
      record.count = static_cast<std::uint32_t>(enumerators.size());
    }
    record.name = type.name().c_str();
    record.nameSpace = type.nameSpace().c_str();
    record.size = type.size();
    record.description = type.description().c_str();
  }
  linkArray(built.types, types.size());

  built.events = allocate<EventDescription>(events.size());
  built.eventCount = static_cast<std::uint32_t>(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    const EventDescriptor& event = *events[i];
    EventDescription& record = built.events[i];
    record.tags = tagArray(event.tags());
    record.tagCount = static_cast<std::uint32_t>(event.tags().size());
    record.name = event.name().c_str();
    record.nameSpace = event.nameSpace().c_str();
    record.payloadTypeName = event.payload() != nullptr ? event.payload()->name().c_str() : "";
    record.description = event.description().c_str();
  }
  linkArray(built.events, events.size());
  return built;
}

}  // namespace zel::api::internal
