#include "binding/internal/builtin_types.h"

#include "binding/registry_access.h"
#include "binding/type_registry.h"

namespace zel::binding::internal {

namespace {

constexpr const char kBuiltinTag[] = "$builtin";
constexpr const char kHelpTag[] = "help";
constexpr const char kAsyncTag[] = "async";
constexpr const char kAsyncTokenText[] = "Asynchronous operation token";
constexpr const char kEventDataText[] = "Event data";

template <typename T>
StructBuilder<T> registerHelpStruct(TypeRegistry& registry, const char* name,
                                    const char* description) {
  auto builder = registry.registerStruct<T>(name);
  builder.setDescription(description).addTag(kBuiltinTag).addTag(kHelpTag);
  return builder;
}

// The help structures describe an API to a caller; their fields carry no
// descriptions.
void registerHelpTypes(TypeRegistry& registry) {
  registry.registerEnum<BindingHelpFormat>("BindingHelpFormat")
      .setDescription("Help format for binding functions and types.")
      .addTag(kBuiltinTag)
      .addTag(kHelpTag)
      .enumerator("Full", BindingHelpFormat::Full, "Native help format")
      .enumerator("Epytext", BindingHelpFormat::Epytext, "Python epytext format");

  using TypeIdentifier = BindingFullTypeIdentifier;
  registerHelpStruct<TypeIdentifier>(registry, "BindingFullTypeIdentifier",
                                     "Describes the type of a value.")
      .field("type", &TypeIdentifier::type)
      .field("elementType", &TypeIdentifier::elementType);

  using ArgumentHelp = BindingFullArgumentHelp;
  registerHelpStruct<ArgumentHelp>(registry, "BindingFullArgumentHelp",
                                   "Describes a function parameter.")
      .field("name", &ArgumentHelp::name)
      .field("description", &ArgumentHelp::description)
      .field("type", &ArgumentHelp::type)
      .field("optional", &ArgumentHelp::optional);

  using FunctionHelp = BindingFullFunctionHelp;
  registerHelpStruct<FunctionHelp>(registry, "BindingFullFunctionHelp", "Describes a function.")
      .field("name", &FunctionHelp::name)
      .field("nameSpace", &FunctionHelp::nameSpace)
      .field("arguments", &FunctionHelp::arguments)
      .field("returns", &FunctionHelp::returns)
      .field("description", &FunctionHelp::description)
      .field("help", &FunctionHelp::help)
      .field("threadSafe", &FunctionHelp::threadSafe)
      .field("async", &FunctionHelp::async)
      .field("tags", &FunctionHelp::tags);

  using EnumValueHelp = BindingFullEnumValueHelp;
  registerHelpStruct<EnumValueHelp>(registry, "BindingFullEnumValueHelp",
                                    "Describes an enumerator.")
      .field("name", &EnumValueHelp::name)
      .field("description", &EnumValueHelp::description)
      .field("value", &EnumValueHelp::value);

  using FieldHelp = BindingFullFieldHelp;
  registerHelpStruct<FieldHelp>(registry, "BindingFullFieldHelp", "Describes a member of a struct.")
      .field("name", &FieldHelp::name)
      .field("description", &FieldHelp::description)
      .field("offset", &FieldHelp::offset)
      .field("type", &FieldHelp::type)
      .field("optional", &FieldHelp::optional);

  using TypeHelp = BindingFullTypeHelp;
  registerHelpStruct<TypeHelp>(registry, "BindingFullTypeHelp", "Describes a struct or enum type.")
      .field("name", &TypeHelp::name)
      .field("nameSpace", &TypeHelp::nameSpace)
      .field("size", &TypeHelp::size)
      .field("description", &TypeHelp::description)
      .field("tags", &TypeHelp::tags)
      .field("fields", &TypeHelp::fields)
      .field("values", &TypeHelp::values);

  using EventHelp = BindingFullEventHelp;
  registerHelpStruct<EventHelp>(registry, "BindingFullEventHelp", "Describes an event.")
      .field("name", &EventHelp::name)
      .field("nameSpace", &EventHelp::nameSpace)
      .field("type", &EventHelp::type)
      .field("description", &EventHelp::description)
      .field("tags", &EventHelp::tags);

  using ApiHelp = BindingFullApiHelp;
  registerHelpStruct<ApiHelp>(registry, "BindingFullApiHelp", "Describes the exposed native API.")
      .field("functions", &ApiHelp::functions)
      .field("types", &ApiHelp::types)
      .field("events", &ApiHelp::events);
}

void registerEventTypes(TypeRegistry& registry) {
  registry.registerEnum<BindingAsyncState>("BindingAsyncState")
      .setDescription("Possible states of an asynchronous operation.")
      .addTag(kBuiltinTag)
      .addTag(kAsyncTag)
      .enumerator("None", BindingAsyncState::None, "Invalid state")
      .enumerator("Running", BindingAsyncState::Running, "The operation is in flight")
      .enumerator("Cancelling", BindingAsyncState::Cancelling,
                  "A request to cancel the operation has been made")
      .enumerator("Cancelled", BindingAsyncState::Cancelled, "The operation was cancelled")
      .enumerator("Succeeded", BindingAsyncState::Succeeded, "The operation completed successfully")
      .enumerator("Failed", BindingAsyncState::Failed, "The operation encountered an error");

  registry.registerStruct<BindingGenericEvent>("BindingGenericEvent")
      .setDescription("Represents generic data for an event.")
      .addTag(kBuiltinTag)
      .field("data", &BindingGenericEvent::data, kEventDataText);

  registry.registerStruct<BindingCallbackEvent>("BindingCallbackEvent")
      .setDescription("Represents the parameters of a call to a provided callback.")
      .addTag(kBuiltinTag)
      .field("id", &BindingCallbackEvent::id, "ID of the callback being invoked")
      .field("parameters", &BindingCallbackEvent::parameters, "Callback parameters");

  registry.registerStruct<BindingGenericAsyncEvent>("BindingGenericAsyncEvent")
      .setDescription("Represents generic data for an asynchronous event.")
      .addTag(kBuiltinTag)
      .addTag(kAsyncTag)
      .field("asyncToken", &BindingGenericAsyncEvent::asyncToken, kAsyncTokenText)
      .field("data", &BindingGenericAsyncEvent::data, kEventDataText);

  registry.registerStruct<BindingAsyncFailureEvent>("BindingAsyncFailureEvent")
      .setDescription("Represents a failed asynchronous operation.")
      .addTag(kBuiltinTag)
      .addTag(kAsyncTag)
      .field("asyncToken", &BindingAsyncFailureEvent::asyncToken, kAsyncTokenText)
      .field("error", &BindingAsyncFailureEvent::error, "Error message");

  registry.registerStruct<BindingAsyncCancelEvent>("BindingAsyncCancelEvent")
      .setDescription("Represents a cancelled asynchronous operation.")
      .addTag(kBuiltinTag)
      .addTag(kAsyncTag)
      .field("asyncToken", &BindingAsyncCancelEvent::asyncToken, kAsyncTokenText);

  RegistryAccess::registerEvent<BindingCallbackEvent>(registry, "OnCallback")
      .setDescription("Fired when a callback is invoked.")
      .addTag(kBuiltinTag);
}

}  // namespace

void registerBuiltinTypes(TypeRegistry& registry) {
  registerHelpTypes(registry);
  registerEventTypes(registry);
}

}  // namespace zel::binding::internal
