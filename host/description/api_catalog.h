// ApiCatalog: a plain copy of everything a plugin's ApiDescription says, read
// through the host's byte-exact record views: the routed functions with their
// arguments, argument locations and routing data, the structure and enum
// types with their fields and enumerators, and the events.
//
//   ApiCatalog catalog = readApiCatalog(host.description());
//   for (const FunctionInfo& function : catalog.functions) function.urlTemplate;
//
// Owns its texts. Only the callback and invocation context of each function
// point into the plugin, and are valid while the plugin is loaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/description_records.h"
#include "boundary/host_api.h"
#include "boundary/method_codes.h"
#include "host/description/description_records_view.h"

namespace zel::host {

// Kinds are the codes of boundary/description_records.h, as the plugin gave them.
struct TypeUse {
  std::uint32_t kind = kTypeKindNone;
  std::uint32_t elementKind = kTypeKindNone;
  std::string typeName;  // the named structure or enum, when there is one
};

struct ArgumentInfo {
  std::string name;
  std::string description;
  TypeUse type;
  bool optional = false;
  std::uint32_t location = kLocationAny;  // unknown codes read as kLocationAny
};

struct FunctionInfo {
  std::string name;
  std::string nameSpace;
  std::string description;
  std::string help;
  std::vector<ArgumentInfo> arguments;
  TypeUse result;  // kTypeKindNone: the function answers no value
  bool threadSafe = false;
  std::string asyncResultTypeName;
  std::vector<std::string> tags;

  std::string urlTemplate;
  std::uint32_t method = kMethodNone;  // a code of boundary/method_codes.h
  std::string customMethod;
  std::uint8_t flag = 0;
  std::vector<std::vector<std::string>> textLists;

  FunctionCallbackView callback = nullptr;
  void* context = nullptr;
};

struct FieldInfo {
  std::string name;
  std::string description;
  std::uint32_t offset = 0;
  TypeUse type;
};

struct EnumeratorInfo {
  std::string name;
  std::string description;
  std::int32_t value = 0;
};

struct TypeInfo {
  std::string name;
  std::string nameSpace;
  std::uint32_t size = 0;
  std::string description;
  std::vector<std::string> tags;
  std::vector<FieldInfo> fields;
  std::vector<EnumeratorInfo> enumerators;

  // An enum is told from a structure by its enumerator list; a type with
  // neither fields nor enumerators reads as an empty structure.
  [[nodiscard]] bool isEnum() const { return fields.empty() && !enumerators.empty(); }
};

struct EventInfo {
  std::string name;
  std::string nameSpace;
  std::string payloadTypeName;
  std::string description;
  std::vector<std::string> tags;
};

struct ApiCatalog {
  std::vector<FunctionInfo> functions;
  std::vector<TypeInfo> types;
  std::vector<EventInfo> events;

  [[nodiscard]] const FunctionInfo* findFunction(std::string_view name) const;
  [[nodiscard]] const TypeInfo* findType(std::string_view name) const;
};

// Follows each array's links, at most its announced count of records; null
// texts read as empty. A null description gives an empty catalogue.
[[nodiscard]] ApiCatalog readApiCatalog(const ApiDescription* description);

}  // namespace zel::host
