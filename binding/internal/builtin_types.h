// The builtin binding types that every registry starts with: the enums of
// asynchronous states and help formats, the generic event structures, the
// help structures in which an API describes itself, and the event OnCallback.
//
//   TypeRegistry registry;                                   // registers them
//   registry.findType<BindingAsyncState>()->enumerators();   // "Cancelled" ... "Succeeded"
//   BindingValue v = toValue(BindingAsyncFailureEvent{7, "lost"}, &registry);
//
// The native records below are plain values; the registry owns their
// descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/type_registry.h"

namespace zel::binding::internal {

enum class BindingAsyncState : std::int32_t {
  None = 0,
  Running = 1,
  Cancelling = 2,
  Cancelled = 3,
  Succeeded = 4,
  Failed = 5,
};

// There is no format 0.
enum class BindingHelpFormat : std::int32_t {
  Full = 1,
  Epytext = 2,
};

struct BindingGenericEvent {
  BindingValue data;
};

struct BindingCallbackEvent {
  std::uint32_t id = 0;
  std::vector<BindingValue> parameters;
};

struct BindingGenericAsyncEvent {
  std::uint32_t asyncToken = 0;
  BindingValue data;
};

struct BindingAsyncFailureEvent {
  std::uint32_t asyncToken = 0;
  std::string error;
};

struct BindingAsyncCancelEvent {
  std::uint32_t asyncToken = 0;
};

struct BindingFullTypeIdentifier {
  std::string type;
  std::string elementType;
};

struct BindingFullArgumentHelp {
  std::string name;
  std::string description;
  BindingFullTypeIdentifier type;
  bool optional = false;
};

struct BindingFullFunctionHelp {
  std::string name;
  std::string nameSpace;
  std::vector<BindingFullArgumentHelp> arguments;
  BindingFullTypeIdentifier returns;
  std::string description;
  std::string help;
  bool threadSafe = false;
  std::string async;
  std::vector<std::string> tags;
};

struct BindingFullEnumValueHelp {
  std::string name;
  std::string description;
  std::int32_t value = 0;
};

struct BindingFullFieldHelp {
  std::string name;
  std::string description;
  std::uint32_t offset = 0;
  BindingFullTypeIdentifier type;
  bool optional = false;
};

struct BindingFullTypeHelp {
  std::string name;
  std::string nameSpace;
  std::uint32_t size = 0;
  std::string description;
  std::vector<std::string> tags;
  std::vector<BindingFullFieldHelp> fields;
  std::vector<BindingFullEnumValueHelp> values;
};

struct BindingFullEventHelp {
  std::string name;
  std::string nameSpace;
  BindingFullTypeIdentifier type;
  std::string description;
  std::vector<std::string> tags;
};

struct BindingFullApiHelp {
  std::vector<BindingFullFunctionHelp> functions;
  std::vector<BindingFullTypeHelp> types;
  std::vector<BindingFullEventHelp> events;
};

// Registers the builtin types and the event OnCallback, in their fixed order.
// Repeating it changes nothing: the first registration wins.
void registerBuiltinTypes(TypeRegistry& registry);

}  // namespace zel::binding::internal
