#include "host/dev/documents/describe_document.h"

#include <vector>

#include "boundary/description_records.h"
#include "boundary/method_codes.h"
#include "host/conversions/method_names.h"
#include "host/dev/documents/internal/document_values.h"

namespace zel::host {

namespace {

using namespace internal;

HostValue describeType(const TypeUse& type) {
  return object({{"kind", text(typeKindCodeName(type.kind))},
                 {"elementKind", text(typeKindCodeName(type.elementKind))},
                 {"type", text(type.typeName)}});
}

HostValue describeFunction(const FunctionInfo& function) {
  std::vector<HostValue> arguments;
  for (const ArgumentInfo& argument : function.arguments) {
    arguments.push_back(object({{"name", text(argument.name)},
                                {"description", text(argument.description)},
                                {"type", describeType(argument.type)},
                                {"optional", flag(argument.optional)},
                                {"location", text(locationName(argument.location))}}));
  }
  std::vector<HostValue> textLists;
  for (const std::vector<std::string>& list : function.textLists) textLists.push_back(texts(list));
  std::string_view method = function.method == kMethodCustom
                                ? std::string_view(function.customMethod)
                                : methodName(function.method);
  return object({{"name", text(function.name)},
                 {"namespace", text(function.nameSpace)},
                 {"method", text(method)},
                 {"urlTemplate", text(function.urlTemplate)},
                 {"description", text(function.description)},
                 {"help", text(function.help)},
                 {"arguments", HostValue::makeCollection(std::move(arguments))},
                 {"result", describeType(function.result)},
                 {"threadSafe", flag(function.threadSafe)},
                 {"asyncResultType", text(function.asyncResultTypeName)},
                 {"tags", texts(function.tags)},
                 {"flag", number(function.flag)},
                 {"textLists", HostValue::makeCollection(std::move(textLists))}});
}

HostValue describeTypeInfo(const TypeInfo& type) {
  Fields fields{{"name", text(type.name)},
                {"namespace", text(type.nameSpace)},
                {"kind", text(type.isEnum() ? "enum" : "struct")},
                {"size", number(type.size)},
                {"description", text(type.description)},
                {"tags", texts(type.tags)}};
  if (type.isEnum()) {
    std::vector<HostValue> enumerators;
    for (const EnumeratorInfo& enumerator : type.enumerators) {
      enumerators.push_back(object({{"name", text(enumerator.name)},
                                    {"description", text(enumerator.description)},
                                    {"value", number(enumerator.value)}}));
    }
    fields.push_back({"enumerators", HostValue::makeCollection(std::move(enumerators))});
  } else {
    std::vector<HostValue> members;
    for (const FieldInfo& field : type.fields) {
      members.push_back(object({{"name", text(field.name)},
                                {"description", text(field.description)},
                                {"offset", number(field.offset)},
                                {"type", describeType(field.type)}}));
    }
    fields.push_back({"fields", HostValue::makeCollection(std::move(members))});
  }
  return object(std::move(fields));
}

}  // namespace

std::string_view locationName(std::uint32_t location) {
  switch (location) {
    case kLocationQuery:
      return "query";
    case kLocationPath:
      return "path";
    case kLocationHostOnly:
      return "host";
    case kLocationHeader:
      return "header";
    case kLocationBody:
      return "body";
    default:
      return "any";
  }
}

HostValue describeDocument(const ApiCatalog& catalog, const ApiDocumentInfo& info) {
  std::vector<HostValue> functions;
  for (const FunctionInfo* function : sortedFunctions(catalog)) {
    functions.push_back(describeFunction(*function));
  }
  std::vector<HostValue> types;
  for (const TypeInfo* type : sortedByName(catalog.types)) types.push_back(describeTypeInfo(*type));
  std::vector<HostValue> events;
  for (const EventInfo* event : sortedByName(catalog.events)) {
    events.push_back(object({{"name", text(event->name)},
                             {"namespace", text(event->nameSpace)},
                             {"payloadType", text(event->payloadTypeName)},
                             {"description", text(event->description)},
                             {"tags", texts(event->tags)}}));
  }
  return object({{"plugin", text(info.pluginName)},
                 {"pluginApiVersion", text(info.version)},
                 {"functions", HostValue::makeCollection(std::move(functions))},
                 {"types", HostValue::makeCollection(std::move(types))},
                 {"events", HostValue::makeCollection(std::move(events))}});
}

}  // namespace zel::host
