// The host-facing records that describe the plugin's API at load: the
// ApiDescription handed to the host, and one record per
// function, type and event of the registry, with nested records for a
// function's arguments, a structure's fields and an enum's enumerators, and
// the FunctionRecord that adds a routed function's callback, invocation
// context and routing data. Byte-packed, 32-bit little-endian integers and
// pointers; texts are zero-terminated UTF-8, never null (an absent text is "").
//
//   const auto* record = static_cast<const FunctionRecord*>(description->functions);
//   for (; record != nullptr; record = record->function.next) { record->function.name; }
//
// Every array is also a linked list through its first word, 0 in the last
// record. The plugin owns all of it until the library is unloaded. The
// records depend on nothing but the boundary headers, so the host side may
// include this file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "boundary/host_messages.h"
#include "boundary/type_kind_codes.h"

namespace zel {

// The argument location codes of ArgumentLocationNode::location: where a
// request may give the value of a routed function's argument.
inline constexpr std::uint32_t kLocationAny = 0;       // any source
inline constexpr std::uint32_t kLocationQuery = 1;     // the query string
inline constexpr std::uint32_t kLocationPath = 2;      // a placeholder of the URL template
inline constexpr std::uint32_t kLocationHostOnly = 3;  // only a named or positional host argument
inline constexpr std::uint32_t kLocationHeader = 4;    // a request header
inline constexpr std::uint32_t kLocationBody = 5;      // the request body

// The number of codes, 0 included: every code below it is a location.
inline constexpr std::uint32_t kLocationCount = kLocationBody + 1;

// The code itself, or kLocationAny for a code from kLocationCount on: both
// sides give and take an unknown location as unrestricted.
constexpr std::uint32_t knownLocationCode(std::uint32_t code) noexcept {
  return code < kLocationCount ? code : kLocationAny;
}

// The record handed to the host at load that lists every routed function
// (as FunctionRecords, below) and the type and event descriptions.
struct ApiDescription {
  const void* functions;  // FunctionRecord array
  std::uint32_t functionCount;
  const void* types;  // type descriptions
  std::uint32_t typeCount;
  const void* events;  // event descriptions
  std::uint32_t eventCount;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ApiDescription) == 24);
static_assert(offsetof(ApiDescription, typeCount) == 12);
static_assert(offsetof(ApiDescription, eventCount) == 20);
#endif

#pragma pack(push, 1)

// 25 bytes.
struct ArgumentDescription {
  const ArgumentDescription* next;
  const char* name;
  const char* description;
  std::uint32_t kind;         // a type kind code, kTypeKindNone otherwise
  std::uint32_t elementKind;  // element kind of vectors and maps
  const char* typeName;       // the named type of vectors, enums, structs, maps; else ""
  std::uint8_t optional;
};

// 61 bytes.
struct FunctionDescription {
  const void* next;  // the next description; in FunctionRecords the next record
  std::uint32_t reserved;
  const void* context;  // 0; in FunctionRecords the invocation context
  const char* name;
  const char* nameSpace;
  const ArgumentDescription* arguments;
  std::uint32_t argumentCount;
  std::uint32_t resultKind;  // 0 and 0 for a function without result
  std::uint32_t resultElementKind;
  const char* resultTypeName;
  const char* description;
  const char* help;
  std::uint8_t threadSafe;
  const char* asyncResultTypeName;  // the result's named type when the function is async
  const char* const* tags;
  std::uint32_t tagCount;
};

// 29 bytes.
struct FieldDescription {
  const FieldDescription* next;
  const char* name;
  const char* description;
  std::uint32_t offset;  // of the field in the native record
  std::uint32_t kind;
  std::uint32_t elementKind;
  const char* typeName;
  std::uint8_t reserved;
};

// 16 bytes.
struct EnumeratorDescription {
  const EnumeratorDescription* next;
  const char* name;
  const char* description;
  std::int32_t value;
};

// 40 bytes.
struct TypeDescription {
  const TypeDescription* next;
  const char* name;
  const char* nameSpace;
  std::uint32_t size;  // of the native record
  const char* description;
  const char* const* tags;
  std::uint32_t tagCount;
  const FieldDescription* fields;            // when the type has fields, else null
  const EnumeratorDescription* enumerators;  // when it has none, else null
  std::uint32_t count;                       // fields, or enumerators without fields
};

// 28 bytes.
struct EventDescription {
  const EventDescription* next;
  const char* name;
  const char* nameSpace;
  const char* payloadTypeName;
  const char* description;
  const char* const* tags;
  std::uint32_t tagCount;
};

// The callback the host calls for a function; its result carries nothing.
using FunctionCallback = std::int32_t (*)(HostResponse* response, const HostRequest* request);

// 8 bytes: one per argument, in argument order.
struct ArgumentLocationNode {
  const ArgumentLocationNode* next;
  std::uint32_t location;  // an argument location code
};

// 12 bytes: one per list of texts.
//
// The lists that a route declaration fills are facts for the host's
// documentation of the plugin's API. Each list starts with one of the keys
// below; a host skips a list whose key it does not know. Statuses are decimal.
//   {kFactReturns, status, meaning}      the status of the route's success
//   {kFactError, status, meaning}        one status the route may fail with
//   {kFactVersion, version}              the plugin's own version
//   {kFactRequired, type, field...}      the fields a structure's value must have
//   {kFactEnumOrder, type, name...}      an enum's values in declaration order
// The last three are facts of the whole plugin: every route's lists end with
// the same nodes of them, so any one route gives them all. A plugin that
// declares neither its version nor a route's status has no lists at all.
inline constexpr char kFactReturns[] = "zel:returns";
inline constexpr char kFactError[] = "zel:error";
inline constexpr char kFactVersion[] = "zel:version";
inline constexpr char kFactRequired[] = "zel:required";
inline constexpr char kFactEnumOrder[] = "zel:enum-order";

struct TextListNode {
  const TextListNode* next;
  const char* const* texts;
  std::uint32_t count;
};

// 90 bytes: one per routed function.
struct FunctionRecord {
  FunctionDescription function;  // next: the next FunctionRecord; context: the invocation context
  FunctionCallback callback;
  const ArgumentLocationNode* locations;
  const char* urlTemplate;
  std::uint32_t method;  // a code of method_codes.h, kMethodNone for any method
  std::uint8_t flag;
  const TextListNode* textLists;
  std::uint32_t textListCount;
  const char* customMethod;
};

#pragma pack(pop)

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ArgumentDescription) == 25);
static_assert(offsetof(ArgumentDescription, kind) == 12);
static_assert(offsetof(ArgumentDescription, typeName) == 20);
static_assert(offsetof(ArgumentDescription, optional) == 24);
static_assert(sizeof(FunctionDescription) == 61);
static_assert(offsetof(FunctionDescription, context) == 8);
static_assert(offsetof(FunctionDescription, name) == 12);
static_assert(offsetof(FunctionDescription, arguments) == 20);
static_assert(offsetof(FunctionDescription, resultKind) == 28);
static_assert(offsetof(FunctionDescription, resultTypeName) == 36);
static_assert(offsetof(FunctionDescription, help) == 44);
static_assert(offsetof(FunctionDescription, threadSafe) == 48);
static_assert(offsetof(FunctionDescription, asyncResultTypeName) == 49);
static_assert(offsetof(FunctionDescription, tags) == 53);
static_assert(offsetof(FunctionDescription, tagCount) == 57);
static_assert(sizeof(FieldDescription) == 29);
static_assert(offsetof(FieldDescription, offset) == 12);
static_assert(offsetof(FieldDescription, kind) == 16);
static_assert(offsetof(FieldDescription, typeName) == 24);
static_assert(offsetof(FieldDescription, reserved) == 28);
static_assert(sizeof(EnumeratorDescription) == 16);
static_assert(offsetof(EnumeratorDescription, value) == 12);
static_assert(sizeof(TypeDescription) == 40);
static_assert(offsetof(TypeDescription, size) == 12);
static_assert(offsetof(TypeDescription, tags) == 20);
static_assert(offsetof(TypeDescription, fields) == 28);
static_assert(offsetof(TypeDescription, enumerators) == 32);
static_assert(offsetof(TypeDescription, count) == 36);
static_assert(sizeof(EventDescription) == 28);
static_assert(offsetof(EventDescription, payloadTypeName) == 12);
static_assert(offsetof(EventDescription, tags) == 20);
static_assert(sizeof(ArgumentLocationNode) == 8);
static_assert(sizeof(TextListNode) == 12);
static_assert(sizeof(FunctionRecord) == 90);
static_assert(offsetof(FunctionRecord, callback) == 61);
static_assert(offsetof(FunctionRecord, locations) == 65);
static_assert(offsetof(FunctionRecord, urlTemplate) == 69);
static_assert(offsetof(FunctionRecord, method) == 73);
static_assert(offsetof(FunctionRecord, flag) == 77);
static_assert(offsetof(FunctionRecord, textLists) == 78);
static_assert(offsetof(FunctionRecord, textListCount) == 82);
static_assert(offsetof(FunctionRecord, customMethod) == 86);
#endif

}  // namespace zel
