#include "binding/internal/builtin_types.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "binding/convert_native.h"
#include "binding/event_descriptor.h"
#include "binding/registry_access.h"
#include "binding/type_descriptor.h"
#include "binding/type_registry.h"

namespace zel::binding::internal {
namespace {

using Enumerators = std::vector<std::pair<std::string, std::int32_t>>;

Enumerators enumeratorsOf(const TypeDescriptor& type) {
  Enumerators result;
  for (const auto& [name, enumerator] : type.enumerators()) {
    result.emplace_back(name, enumerator.value());
  }
  return result;
}

TEST(BuiltinTypesTest, EnumsListTheirEnumeratorsInNameOrder) {
  TypeRegistry registry;
  const TypeDescriptor* state = registry.findType("BindingAsyncState");
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state, registry.findType<BindingAsyncState>());
  EXPECT_TRUE(state->isEnum());
  EXPECT_EQ(state->size(), 4u);
  EXPECT_EQ(enumeratorsOf(*state), (Enumerators{{"Cancelled", 3},
                                                {"Cancelling", 2},
                                                {"Failed", 5},
                                                {"None", 0},
                                                {"Running", 1},
                                                {"Succeeded", 4}}));
  EXPECT_EQ(state->findEnumerator("Cancelling")->description(),
            "A request to cancel the operation has been made");
  EXPECT_EQ(state->description(), "Possible states of an asynchronous operation.");
  EXPECT_EQ(state->tags(), (std::vector<std::string>{"$builtin", "async"}));

  const TypeDescriptor* format = registry.findType<BindingHelpFormat>();
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(enumeratorsOf(*format), (Enumerators{{"Epytext", 2}, {"Full", 1}}));
  EXPECT_EQ(format->findEnumerator(std::int32_t{0}), nullptr);
  EXPECT_EQ(format->findEnumerator("Full")->description(), "Native help format");
  EXPECT_EQ(format->tags(), (std::vector<std::string>{"$builtin", "help"}));
}

// Every builtin structure: its tags, description and fields in order, each
// field written as name:kind, with the element kind and the named type after
// further colons where they exist.
TEST(BuiltinTypesTest, StructuresWithTheirFieldsInOrder) {
  const std::vector<std::string> builtin{"$builtin"};
  const std::vector<std::string> async{"$builtin", "async"};
  const std::vector<std::string> help{"$builtin", "help"};
  const struct {
    int line;
    const char* name;
    std::uint32_t size;
    const std::vector<std::string>& tags;
    std::string description;
    std::string fields;
  } rows[] = {
      {__LINE__, "BindingGenericEvent", sizeof(BindingGenericEvent), builtin,
       "Represents generic data for an event.", "data:object"},
      {__LINE__, "BindingCallbackEvent", sizeof(BindingCallbackEvent), builtin,
       "Represents the parameters of a call to a provided callback.",
       "id:uint32 parameters:vector:object"},
      {__LINE__, "BindingGenericAsyncEvent", sizeof(BindingGenericAsyncEvent), async,
       "Represents generic data for an asynchronous event.", "asyncToken:uint32 data:object"},
      {__LINE__, "BindingAsyncFailureEvent", sizeof(BindingAsyncFailureEvent), async,
       "Represents a failed asynchronous operation.", "asyncToken:uint32 error:string"},
      {__LINE__, "BindingAsyncCancelEvent", sizeof(BindingAsyncCancelEvent), async,
       "Represents a cancelled asynchronous operation.", "asyncToken:uint32"},
      {__LINE__, "BindingFullTypeIdentifier", sizeof(BindingFullTypeIdentifier), help,
       "Describes the type of a value.", "type:string elementType:string"},
      {__LINE__, "BindingFullArgumentHelp", sizeof(BindingFullArgumentHelp), help,
       "Describes a function parameter.",
       "name:string description:string type:struct:BindingFullTypeIdentifier optional:bool"},
      {__LINE__, "BindingFullFunctionHelp", sizeof(BindingFullFunctionHelp), help,
       "Describes a function.",
       "name:string nameSpace:string arguments:vector:struct:BindingFullArgumentHelp "
       "returns:struct:BindingFullTypeIdentifier description:string help:string "
       "threadSafe:bool async:string tags:vector:string"},
      {__LINE__, "BindingFullEnumValueHelp", sizeof(BindingFullEnumValueHelp), help,
       "Describes an enumerator.", "name:string description:string value:int32"},
      {__LINE__, "BindingFullFieldHelp", sizeof(BindingFullFieldHelp), help,
       "Describes a member of a struct.",
       "name:string description:string offset:uint32 type:struct:BindingFullTypeIdentifier "
       "optional:bool"},
      {__LINE__, "BindingFullTypeHelp", sizeof(BindingFullTypeHelp), help,
       "Describes a struct or enum type.",
       "name:string nameSpace:string size:uint32 description:string tags:vector:string "
       "fields:vector:struct:BindingFullFieldHelp values:vector:struct:BindingFullEnumValueHelp"},
      {__LINE__, "BindingFullEventHelp", sizeof(BindingFullEventHelp), help, "Describes an event.",
       "name:string nameSpace:string type:struct:BindingFullTypeIdentifier description:string "
       "tags:vector:string"},
      {__LINE__, "BindingFullApiHelp", sizeof(BindingFullApiHelp), help,
       "Describes the exposed native API.",
       "functions:vector:struct:BindingFullFunctionHelp types:vector:struct:BindingFullTypeHelp "
       "events:vector:struct:BindingFullEventHelp"},
  };

  TypeRegistry registry;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const TypeDescriptor* type = registry.findType(row.name);
    ASSERT_NE(type, nullptr);
    EXPECT_FALSE(type->isEnum());
    EXPECT_EQ(type->size(), row.size);
    EXPECT_EQ(type->tags(), row.tags);
    EXPECT_EQ(type->description(), row.description);
    std::string fields;
    std::uint32_t previousOffset = 0;
    for (const FieldDescriptor& field : type->fields()) {
      const TypeRef& ref = field.type();
      fields += (fields.empty() ? "" : " ") + field.name() + ":" + typeKindName(ref.kind);
      if (ref.elementKind != TypeKind::None)
        fields += std::string(":") + typeKindName(ref.elementKind);
      if (ref.type != nullptr) fields += ":" + ref.type->name();
      EXPECT_EQ(field.flags(), FieldFlags::None);
      EXPECT_LT(field.offset(), row.size);
      if (&field != &type->fields().front()) {
        EXPECT_GT(field.offset(), previousOffset) << field.name();
      }
      previousOffset = field.offset();
    }
    EXPECT_EQ(fields, row.fields);
  }
  // Field descriptions: those of the event structures, none for the help structures.
  EXPECT_EQ(registry.findType("BindingCallbackEvent")->fields()[1].description(),
            "Callback parameters");
  EXPECT_EQ(registry.findType("BindingAsyncCancelEvent")->fields()[0].description(),
            "Asynchronous operation token");
  EXPECT_EQ(registry.findType("BindingFullTypeHelp")->fields()[0].description(), "");
}

TEST(BuiltinTypesTest, OnCallbackEvent) {
  TypeRegistry registry;
  const EventDescriptor* event =
      binding::internal::RegistryAccess::findEvent(registry, "OnCallback");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->payload(), registry.findType("BindingCallbackEvent"));
  EXPECT_EQ(event->description(), "Fired when a callback is invoked.");
  EXPECT_EQ(event->tags(), std::vector<std::string>{"$builtin"});
  EXPECT_EQ(binding::internal::RegistryAccess::events(registry).size(), 1u);
  EXPECT_EQ(binding::internal::RegistryAccess::types(registry).size(), 15u);
}

TEST(BuiltinTypesTest, RegisteringAgainChangesNothing) {
  TypeRegistry registry;
  const auto before = binding::internal::RegistryAccess::types(registry);
  const TypeDescriptor* state = registry.findType<BindingAsyncState>();
  registerBuiltinTypes(registry);
  EXPECT_EQ(binding::internal::RegistryAccess::types(registry).size(), before.size());
  EXPECT_EQ(registry.findType<BindingAsyncState>(), state);
  EXPECT_EQ(state->enumerators().size(), 6u);
  EXPECT_EQ(state->tags().size(), 2u);
  EXPECT_EQ(registry.findType("BindingFullApiHelp")->fields().size(), 3u);
  EXPECT_EQ(binding::internal::RegistryAccess::findEvent(registry, "OnCallback")->tags().size(),
            1u);
}

TEST(BuiltinTypesTest, EventRecordsConvert) {
  TypeRegistry registry;
  BindingAsyncFailureEvent failure{7, "lost"};
  const BindingValue value = toValue(failure, &registry);
  ASSERT_TRUE(value.ok()) << value.errorMessage();
  EXPECT_EQ(value.find("asyncToken").asUnsigned(), 7u);
  EXPECT_EQ(value.find("error").asString(), "lost");

  BindingCallbackEvent call;
  BindingValue input;
  input.field("id").setSigned(3);
  input.field("parameters").element(1).setString("second");
  ConversionStatus status;
  toNative(status, call, input, "<value>", &registry);
  ASSERT_TRUE(status.ok()) << status.errorMessage();
  EXPECT_EQ(call.id, 3u);
  ASSERT_EQ(call.parameters.size(), 2u);
  EXPECT_TRUE(call.parameters[0].isEmpty());
  EXPECT_EQ(call.parameters[1].asString(), "second");

  BindingFullTypeHelp help;
  help.name = "State";
  help.values = {{"None", "Invalid state", 0}, {"Running", "", 1}};
  const BindingValue described = toValue(help, &registry);
  ASSERT_TRUE(described.ok()) << described.errorMessage();
  EXPECT_EQ(described.find("values").at(1).find("value").asSigned(), 1);
  EXPECT_EQ(described.find("fields").kind(), ValueKind::Collection);
}

}  // namespace
}  // namespace zel::binding::internal
