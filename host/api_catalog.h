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

#include "boundary/host_api.h"
#include "host/description_records_view.h"

namespace zel::host {

// Where the plugin takes an argument from (the codes shared with the plugin).
enum class ArgumentLocation : std::uint32_t {
  Any = 0,
  Query = 1,
  Path = 2,
  HostOnly = 3,
  Header = 4,
  Body = 5,
};

// The type kind codes of the description records (1 "bool" to 19 "map").
enum class TypeKind : std::uint32_t {
  None = 0,
  Bool = 1,
  Int8 = 2,
  Uint8 = 3,
  Int16 = 4,
  Uint16 = 5,
  Int32 = 6,
  Uint32 = 7,
  Int64 = 8,
  Uint64 = 9,
  Float = 10,
  Double = 11,
  String = 12,
  Object = 13,
  Blob = 14,
  Vector = 15,
  Enum = 16,
  Struct = 17,
  Callback = 18,
  Map = 19,
};

// The kind's name ("int64", "vector"...); empty for 0 and unknown codes.
std::string_view typeKindName(std::uint32_t kind);

struct TypeUse {
  std::uint32_t kind = 0;
  std::uint32_t elementKind = 0;
  std::string typeName;  // the named structure or enum, when there is one
};

struct ArgumentInfo {
  std::string name;
  std::string description;
  TypeUse type;
  bool optional = false;
  ArgumentLocation location = ArgumentLocation::Any;
};

struct FunctionInfo {
  std::string name;
  std::string nameSpace;
  std::string description;
  std::string help;
  std::vector<ArgumentInfo> arguments;
  TypeUse result;  // kind 0: the function answers no value
  bool threadSafe = false;
  std::string asyncResultTypeName;
  std::vector<std::string> tags;

  std::string urlTemplate;
  std::uint32_t method = 0;  // 1 to 8, 0 for none
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
  bool isEnum() const { return fields.empty() && !enumerators.empty(); }
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

  const FunctionInfo* findFunction(std::string_view name) const;
  const TypeInfo* findType(std::string_view name) const;
};

// Follows each array's links, at most its announced count of records; null
// texts read as empty. A null description gives an empty catalogue.
ApiCatalog readApiCatalog(const ApiDescription* description);

}  // namespace zel::host
