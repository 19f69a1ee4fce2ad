#include "host/dev/documents/internal/document_values.h"

namespace zel::host::internal {

HostValue text(std::string_view value) {
  return HostValue::makeString(value);
}

HostValue number(std::int64_t value) {
  return HostValue::makeSigned(value);
}

HostValue flag(bool value) {
  return HostValue::makeBool(value);
}

HostValue texts(const std::vector<std::string>& values) {
  std::vector<HostValue> elements;
  elements.reserve(values.size());
  for (const std::string& value : values) elements.push_back(text(value));
  return HostValue::makeCollection(std::move(elements));
}

HostValue object(Fields fields) {
  return HostValue::makeStructure(std::move(fields));
}

void setField(HostValue& structure, std::string_view key, HostValue value) {
  for (HostField& field : structure.fields) {
    if (field.key == key) {
      field.value = std::move(value);
      return;
    }
  }
  structure.fields.push_back({std::string(key), std::move(value)});
}

std::vector<const FunctionInfo*> sortedFunctions(const ApiCatalog& catalog) {
  std::vector<const FunctionInfo*> functions;
  for (const FunctionInfo& function : catalog.functions) functions.push_back(&function);
  std::sort(functions.begin(), functions.end(), [](const FunctionInfo* a, const FunctionInfo* b) {
    if (a->urlTemplate != b->urlTemplate) return a->urlTemplate < b->urlTemplate;
    if (a->method != b->method) return a->method < b->method;
    return a->name < b->name;
  });
  return functions;
}

}  // namespace zel::host::internal
