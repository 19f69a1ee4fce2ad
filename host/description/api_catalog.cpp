#include "host/description/api_catalog.h"

#include <cstring>

#include "host/description/api_description_view.h"

namespace zel::host {

namespace {

std::string text(const char* pointer) {
  return pointer != nullptr ? std::string(pointer) : std::string();
}

std::vector<std::string> texts(const char* const* pointers, std::uint32_t count) {
  std::vector<std::string> copies;
  if (pointers == nullptr) return copies;
  copies.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) copies.push_back(text(pointers[i]));
  return copies;
}

TypeUse typeUse(std::uint32_t kind, std::uint32_t elementKind, const char* typeName) {
  return TypeUse{kind, elementKind, text(typeName)};
}

template <typename Record>
const Record* nextOf(const Record& record) {
  return record.next;
}

const FunctionRecordView* nextOf(const FunctionRecordView& record) {
  return static_cast<const FunctionRecordView*>(record.function.next);
}

// Calls visit for each record of a linked array, at most limit of them.
template <typename Record, typename Visit>
void forEachLinked(const Record* first, std::uint32_t limit, Visit visit) {
  std::uint32_t seen = 0;
  for (const Record* record = first; record != nullptr && seen < limit; ++seen) {
    visit(*record);
    record = nextOf(*record);
  }
}

FunctionInfo readFunction(const FunctionRecordView& record) {
  const FunctionDescriptionView& head = record.function;
  FunctionInfo function;
  function.name = text(head.name);
  function.nameSpace = text(head.nameSpace);
  function.description = text(head.description);
  function.help = text(head.help);
  function.result = typeUse(head.resultKind, head.resultElementKind, head.resultTypeName);
  function.threadSafe = head.threadSafe != 0;
  function.asyncResultTypeName = text(head.asyncResultTypeName);
  function.tags = texts(head.tags, head.tagCount);

  forEachLinked(head.arguments, head.argumentCount, [&](const ArgumentDescriptionView& argument) {
    function.arguments.push_back(
        ArgumentInfo{text(argument.name), text(argument.description),
                     typeUse(argument.kind, argument.elementKind, argument.typeName),
                     argument.optional != 0, kLocationAny});
  });
  // One location node per argument, in argument order.
  std::size_t index = 0;
  forEachLinked(record.locations, static_cast<std::uint32_t>(function.arguments.size()),
                [&](const LocationNodeView& node) {
                  function.arguments[index++].location = knownLocationCode(node.location);
                });

  function.urlTemplate = text(record.urlTemplate);
  function.method = record.method;
  function.customMethod = text(record.customMethod);
  function.flag = record.flag;
  forEachLinked(record.textLists, record.textListCount, [&](const TextListNodeView& node) {
    function.textLists.push_back(texts(node.texts, node.count));
  });
  function.callback = record.callback;
  // The plugin's invocation context, handed back (as the request's context) on each call.
  function.context = const_cast<void*>(head.context);
  return function;
}

TypeInfo readType(const TypeDescriptionView& record) {
  TypeInfo type;
  type.name = text(record.name);
  type.nameSpace = text(record.nameSpace);
  type.size = record.size;
  type.description = text(record.description);
  type.tags = texts(record.tags, record.tagCount);
  forEachLinked(record.fields, record.count, [&](const FieldDescriptionView& field) {
    type.fields.push_back(FieldInfo{text(field.name), text(field.description), field.offset,
                                    typeUse(field.kind, field.elementKind, field.typeName)});
  });
  if (record.fields == nullptr) {
    forEachLinked(record.enumerators, record.count,
                  [&](const EnumeratorDescriptionView& enumerator) {
                    type.enumerators.push_back(EnumeratorInfo{
                        text(enumerator.name), text(enumerator.description), enumerator.value});
                  });
  }
  return type;
}

}  // namespace

const FunctionInfo* ApiCatalog::findFunction(std::string_view name) const {
  for (const FunctionInfo& function : functions) {
    if (function.name == name) return &function;
  }
  return nullptr;
}

const TypeInfo* ApiCatalog::findType(std::string_view name) const {
  for (const TypeInfo& type : types) {
    if (type.name == name) return &type;
  }
  return nullptr;
}

ApiCatalog readApiCatalog(const ApiDescription* description) {
  ApiCatalog catalog;
  if (description == nullptr) return catalog;
  ApiDescriptionWords words;
  std::memcpy(&words, description, sizeof words);

  catalog.functions.reserve(words.functionCount);
  forEachLinked(
      static_cast<const FunctionRecordView*>(words.functions), words.functionCount,
      [&](const FunctionRecordView& record) { catalog.functions.push_back(readFunction(record)); });
  catalog.types.reserve(words.typeCount);
  forEachLinked(
      static_cast<const TypeDescriptionView*>(words.types), words.typeCount,
      [&](const TypeDescriptionView& record) { catalog.types.push_back(readType(record)); });
  catalog.events.reserve(words.eventCount);
  forEachLinked(static_cast<const EventDescriptionView*>(words.events), words.eventCount,
                [&](const EventDescriptionView& record) {
                  catalog.events.push_back(EventInfo{
                      text(record.name), text(record.nameSpace), text(record.payloadTypeName),
                      text(record.description), texts(record.tags, record.tagCount)});
                });
  return catalog;
}

}  // namespace zel::host
