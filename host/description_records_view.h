// The host's own byte-exact view of the records a plugin describes its API
// with: the 90-byte function record (a 61-byte function description followed
// by the routing data), its argument-location and text-list nodes, and the
// argument, type, field, enumerator and event descriptions.
//
//   const auto* record = static_cast<const FunctionRecordView*>(words.functions);
//   FunctionCallbackView callback = record->callback;   // called with (response, request)
//
// Byte-packed little-endian words; pointers are the platform's own. The
// plugin owns every record and text until it is unloaded; the host only reads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/host_messages.h"

namespace zel::host {

#pragma pack(push, 1)

struct ArgumentDescriptionView {
  const ArgumentDescriptionView* next;
  const char* name;
  const char* description;
  std::uint32_t kind;
  std::uint32_t elementKind;
  const char* typeName;
  std::uint8_t optional;
};

struct FunctionDescriptionView {
  const void* next;  // in a function record: the next record
  std::uint32_t reserved;
  void* context;  // in a function record: the invocation context
  const char* name;
  const char* nameSpace;
  const ArgumentDescriptionView* arguments;
  std::uint32_t argumentCount;
  std::uint32_t resultKind;
  std::uint32_t resultElementKind;
  const char* resultTypeName;
  const char* description;
  const char* help;
  std::uint8_t threadSafe;
  const char* asyncResultTypeName;
  const char* const* tags;
  std::uint32_t tagCount;
};

using FunctionCallbackView = std::int32_t (*)(HostResponse* response, const HostRequest* request);

struct LocationNodeView {
  const LocationNodeView* next;
  std::uint32_t location;
};

struct TextListNodeView {
  const TextListNodeView* next;
  const char* const* texts;
  std::uint32_t count;
};

struct FunctionRecordView {
  FunctionDescriptionView function;
  FunctionCallbackView callback;
  const LocationNodeView* locations;
  const char* urlTemplate;
  std::uint32_t method;
  std::uint8_t flag;
  const TextListNodeView* textLists;
  std::uint32_t textListCount;
  const char* customMethod;
};

struct FieldDescriptionView {
  const FieldDescriptionView* next;
  const char* name;
  const char* description;
  std::uint32_t offset;
  std::uint32_t kind;
  std::uint32_t elementKind;
  const char* typeName;
  std::uint8_t reserved;
};

struct EnumeratorDescriptionView {
  const EnumeratorDescriptionView* next;
  const char* name;
  const char* description;
  std::int32_t value;
};

struct TypeDescriptionView {
  const TypeDescriptionView* next;
  const char* name;
  const char* nameSpace;
  std::uint32_t size;
  const char* description;
  const char* const* tags;
  std::uint32_t tagCount;
  const FieldDescriptionView* fields;
  const EnumeratorDescriptionView* enumerators;
  std::uint32_t count;
};

struct EventDescriptionView {
  const EventDescriptionView* next;
  const char* name;
  const char* nameSpace;
  const char* payloadTypeName;
  const char* description;
  const char* const* tags;
  std::uint32_t tagCount;
};

#pragma pack(pop)

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ArgumentDescriptionView) == 25);
static_assert(offsetof(ArgumentDescriptionView, typeName) == 20);
static_assert(sizeof(FunctionDescriptionView) == 61);
static_assert(offsetof(FunctionDescriptionView, context) == 8);
static_assert(offsetof(FunctionDescriptionView, name) == 12);
static_assert(offsetof(FunctionDescriptionView, resultKind) == 28);
static_assert(offsetof(FunctionDescriptionView, threadSafe) == 48);
static_assert(offsetof(FunctionDescriptionView, tags) == 53);
static_assert(sizeof(LocationNodeView) == 8);
static_assert(sizeof(TextListNodeView) == 12);
static_assert(sizeof(FunctionRecordView) == 90);
static_assert(offsetof(FunctionRecordView, callback) == 61);
static_assert(offsetof(FunctionRecordView, locations) == 65);
static_assert(offsetof(FunctionRecordView, urlTemplate) == 69);
static_assert(offsetof(FunctionRecordView, method) == 73);
static_assert(offsetof(FunctionRecordView, flag) == 77);
static_assert(offsetof(FunctionRecordView, textLists) == 78);
static_assert(offsetof(FunctionRecordView, textListCount) == 82);
static_assert(offsetof(FunctionRecordView, customMethod) == 86);
static_assert(sizeof(FieldDescriptionView) == 29);
static_assert(offsetof(FieldDescriptionView, kind) == 16);
static_assert(sizeof(EnumeratorDescriptionView) == 16);
static_assert(sizeof(TypeDescriptionView) == 40);
static_assert(offsetof(TypeDescriptionView, fields) == 28);
static_assert(sizeof(EventDescriptionView) == 28);
#endif

}  // namespace zel::host
