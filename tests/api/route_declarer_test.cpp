// Declaring routes: the function registered for a method and template, its
// arguments and result from the handler's signature, the builder's naming
// and locations, and the first-declaration-wins rule.
#include "api/route_declarer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/argument_location.h"
#include "api/call_info.h"
#include "api/describe_registry.h"
#include "api/internal/route_descriptor.h"
#include "api/outcome.h"
#include "binding/registry_access.h"
#include "binding/type_descriptor.h"
#include "binding/type_registry.h"
#include "boundary/description_records.h"

namespace zel {
namespace {

using api::internal::FunctionHandler;
using api::internal::HandlerForm;
using api::internal::makeFunctionHandler;
using api::internal::PendingToken;
using api::internal::RouteDescriptor;
using api::internal::RouteTable;

// The route a declaration recorded.
RouteDescriptor& routeOf(const FunctionBuilder& builder) {
  return *binding::internal::RegistryAccess::attachment<RouteTable>(builder.function().registry())
              .find(builder.function());
}

struct Mode {
  std::string name;
};

class Service {
 public:
  std::int64_t byId(std::int64_t id) { return id + offset_; }
  Outcome<Mode> mode(std::int64_t, const std::string& gameMode) { return Mode{gameMode}; }

 private:
  std::int64_t offset_ = 100;
};

// A plugin-like owner: what RouteDeclarer(owner) reads.
class Owner : public Service {
 public:
  TypeRegistry& registry() { return registry_; }
  const std::vector<std::string>& tags() const { return tags_; }
  Outcome<void> remove(std::int64_t) { return {}; }

 private:
  TypeRegistry registry_;
  std::vector<std::string> tags_{"Plugins", "Plugin zel-maps"};
};

std::vector<ArgumentLocation> locationsOf(const FunctionDescriptor& function) {
  return binding::internal::RegistryAccess::attachment<RouteTable>(function.registry())
      .find(function)
      ->locations();
}

TEST(RouteDeclarer, RegistersTheFunctionWithSignatureTemplateMethodAndTags) {
  Owner owner;
  owner.registry().registerStruct<Mode>("ZelMapsMode").field("name", &Mode::name);
  RouteDeclarer routes(owner);
  routes.declare(HttpMethod::Get, "/zel-maps/v2/map/{id}/{gameMode}/", &Owner::mode)
      .pathArgument("id", "The map id")
      .pathArgument("gameMode", "The game mode")
      .description("One map variant");

  const FunctionDescriptor* function = binding::internal::RegistryAccess::findFunction(
      owner.registry(), "GetZelMapsV2MapByIdByGameMode");
  ASSERT_NE(function, nullptr);
  ASSERT_EQ(function->arguments().size(), 2u);
  EXPECT_EQ(function->arguments()[0].name(), "id");
  EXPECT_EQ(function->arguments()[0].description(), "The map id");
  EXPECT_EQ(function->arguments()[0].type().kind, TypeKind::Int64);
  EXPECT_EQ(function->arguments()[1].type().kind, TypeKind::String);
  EXPECT_EQ(function->result().kind, TypeKind::Struct);
  EXPECT_EQ(function->result().type, owner.registry().findType("ZelMapsMode"));
  EXPECT_EQ(function->tags(), (std::vector<std::string>{"Plugins", "Plugin zel-maps"}));
  EXPECT_EQ(function->description(), "One map variant");

  const RouteDescriptor* route =
      binding::internal::RegistryAccess::attachment<RouteTable>(owner.registry()).find(*function);
  ASSERT_NE(route, nullptr);
  EXPECT_EQ(route->urlTemplate(), "/zel-maps/v2/map/{id}/{gameMode}");
  EXPECT_EQ(route->method(), HttpMethod::Get);
  EXPECT_EQ(route->customMethod(), "");
  EXPECT_EQ(locationsOf(*function),
            (std::vector<ArgumentLocation>{ArgumentLocation::Path, ArgumentLocation::Path}));
  EXPECT_EQ(route->handler().form(), HandlerForm::Plain);
}

TEST(RouteDeclarer, BuilderStepsNameArgumentsInOrderWithTheirLocations) {
  TypeRegistry registry;
  RouteDeclarer routes(registry, {});
  routes
      .declare(HttpMethod::Post, "/a/{x}",
               [](std::int32_t, const BindingValue&, bool, std::string, std::uint8_t) {})
      .pathArgument("x")
      .bodyArgument("body")
      .queryArgument("flag")
      .headerArgument("token")
      .argument("any")
      .pathArgument("beyond");  // there is no sixth argument: only its location is kept

  const FunctionDescriptor& function =
      *binding::internal::RegistryAccess::findFunction(registry, "PostAByX");
  std::vector<std::string> names;
  for (const ArgumentDescriptor& argument : function.arguments()) names.push_back(argument.name());
  EXPECT_EQ(names, (std::vector<std::string>{"x", "body", "flag", "token", "any"}));
  EXPECT_EQ(locationsOf(function),
            (std::vector<ArgumentLocation>{ArgumentLocation::Path, ArgumentLocation::Body,
                                           ArgumentLocation::Query, ArgumentLocation::Header,
                                           ArgumentLocation::Any, ArgumentLocation::Path}));
  EXPECT_EQ(function.result().kind, TypeKind::None);
  EXPECT_EQ(function.arguments()[1].type().kind, TypeKind::Object);
  EXPECT_EQ(function.arguments()[4].type().kind, TypeKind::UInt8);
}

// A std::optional parameter is an optional argument of its value's type:
// empty when no value is given, converted as the value otherwise.
TEST(RouteDeclarer, OptionalParametersAreOptionalArgumentsOfTheirValueType) {
  TypeRegistry registry;
  registry.registerStruct<Mode>("ZelMapsMode").field("name", &Mode::name);
  RouteDeclarer routes(registry, {});
  FunctionBuilder builder = routes.declare(
      HttpMethod::Get, "/o/{id}",
      [](std::int64_t id, std::optional<std::int32_t> limit, const std::optional<Mode>& mode,
         std::optional<bool> flag) {
        return std::to_string(id) + ":" + (limit ? std::to_string(*limit) : "-") + ":" +
               (mode ? mode->name : "-") + ":" + (flag ? (*flag ? "t" : "f") : "-");
      });
  builder.pathArgument("id").queryArgument("limit").queryArgument("mode").queryArgument("flag");

  const auto& arguments = builder.function().arguments();
  ASSERT_EQ(arguments.size(), 4u);
  std::vector<bool> optional;
  for (const ArgumentDescriptor& argument : arguments) optional.push_back(argument.optional());
  EXPECT_EQ(optional, (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(arguments[1].type().kind, TypeKind::Int32);
  EXPECT_EQ(arguments[2].type().kind, TypeKind::Struct);
  EXPECT_EQ(arguments[2].type().type, registry.findType("ZelMapsMode"));
  EXPECT_EQ(arguments[3].type().kind, TypeKind::Bool);
  // What the host reads: the argument records carry the flag and the value's type.
  const ApiDescription description = buildApiDescription(registry);
  ASSERT_EQ(description.functionCount, 1u);
  const FunctionDescription& record =
      static_cast<const FunctionRecord*>(description.functions)->function;
  ASSERT_EQ(+record.argumentCount, 4u);
  EXPECT_EQ(+record.arguments[0].optional, 0);
  EXPECT_EQ(+record.arguments[1].optional, 1);
  EXPECT_EQ(+record.arguments[1].kind, kTypeKindInt32);
  EXPECT_STREQ(record.arguments[2].typeName, "ZelMapsMode");

  auto value = [](std::string_view text) {
    BindingValue v;
    v.setString(text);
    return v;
  };
  BindingValue mode;
  mode.field("name").setString("ARAM");
  struct {
    int line;
    std::vector<BindingValue> arguments;
    std::string result;
    std::string error;
  } rows[] = {
      {__LINE__, {value("5")}, "5:-:-:-", ""},
      {__LINE__, {value("5"), BindingValue(), BindingValue(), BindingValue()}, "5:-:-:-", ""},
      {__LINE__, {value("5"), value("3"), mode, value("false")}, "5:3:ARAM:f", ""},
      {__LINE__,
       {value("5"), value("x")},
       "",
       "Value x for 'limit' of type int32 is in an incorrect format"},
      {__LINE__,
       {value("5"), BindingValue(), value("ARAM")},
       "",
       "Couldn't assign value to 'mode' of type ZelMapsMode because the input not a structure."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    CallResult call;
    PendingToken token = routeOf(builder).handler().invoke(call, row.arguments, 0);
    // As the invocation layer does: the operation runs only when every argument converted.
    if (call.ok()) routeOf(builder).handler().complete(call, nullptr, token, 0);
    EXPECT_EQ(call.result.errorMessage(), row.error);
    EXPECT_EQ(call.result.asString(), row.result);
  }
}

TEST(RouteDeclarer, TheFirstDeclarationOfANameWins) {
  Owner owner;
  RouteDeclarer routes(owner);
  routes.declare(HttpMethod::Get, "/a-b/{id}", &Owner::byId).pathArgument("id", "first");
  const FunctionBuilder second =
      routes.declare(HttpMethod::Get, "/a_b/{id}", [](std::string) { return 0; });
  EXPECT_TRUE(second.alreadyDeclared());
  FunctionBuilder again = second;
  again.bodyArgument("renamed", "second").description("second");

  const FunctionDescriptor& function =
      *binding::internal::RegistryAccess::findFunction(owner.registry(), "GetABById");
  const RouteDescriptor& route =
      *binding::internal::RegistryAccess::attachment<RouteTable>(owner.registry()).find(function);
  EXPECT_EQ(route.urlTemplate(), "/a-b/{id}");
  EXPECT_EQ(function.arguments().size(), 1u);
  EXPECT_EQ(function.arguments()[0].name(), "id");
  EXPECT_EQ(function.arguments()[0].description(), "first");
  EXPECT_EQ(function.arguments()[0].type().kind, TypeKind::Int64);
  EXPECT_EQ(function.description(), "");
  EXPECT_EQ(function.tags().size(), 2u) << "tags are added once";
  EXPECT_EQ(locationsOf(function), (std::vector<ArgumentLocation>{ArgumentLocation::Path}));

  // The first handler stays: a member function bound to the owner.
  CallResult call;
  BindingValue id;
  id.setString("5");
  PendingToken token = route.handler().invoke(call, {&id, 1}, 0);
  route.handler().complete(call, nullptr, token, 0);
  ASSERT_TRUE(call.ok()) << call.result.errorMessage();
  EXPECT_EQ(call.result.asSigned(), 105);
}

TEST(RouteDeclarer, HandlerFormsAreKnownByTheirSignature) {
  TypeRegistry registry;
  RouteDeclarer routes(registry, {});
  const FunctionBuilder plain = routes.declare(HttpMethod::Get, "/p", [] { return 1; });
  const FunctionBuilder info =
      routes.declare(HttpMethod::Get, "/i", [](const CallInfo&, std::int32_t) { return 1; });
  const FunctionBuilder result =
      routes.declare(HttpMethod::Get, "/r", [](const CallInfo&, CallResult&, std::int32_t) {});
  EXPECT_EQ(routeOf(plain).handler().form(), HandlerForm::Plain);
  EXPECT_EQ(routeOf(info).handler().form(), HandlerForm::CallInfo);
  EXPECT_EQ(routeOf(result).handler().form(), HandlerForm::CallInfoResult);
  // The CallInfo and CallResult parameters are not arguments of the function.
  EXPECT_EQ(info.function().arguments().size(), 1u);
  EXPECT_EQ(result.function().arguments().size(), 1u);
  EXPECT_EQ(result.function().result().kind, TypeKind::None);
}

struct Qualified {
  std::int64_t plain(std::int64_t n) { return n + 1; }
  std::int64_t viewed(std::int64_t n) const { return n + 2; }
  std::int64_t safe(std::int64_t n) noexcept { return n + 3; }
  std::int64_t both(std::int64_t n) const noexcept { return n + 4; }
};

std::int64_t freeNoexcept(std::int64_t n) noexcept {
  return n + 5;
}

// Every qualification a handler may carry (const, noexcept, both) gives the
// same arguments and the same call, and so does a function named without "&".
TEST(RouteDeclarer, HandlersOfEveryQualificationTakeTheirArgumentsAlike) {
  TypeRegistry registry;
  RouteDeclarer routes(registry, {});
  Qualified object;
  const struct {
    int line;
    FunctionBuilder builder;
    std::int64_t expected;
  } rows[] = {
      {__LINE__, routes.declare(HttpMethod::Get, "/a/{n}", object, &Qualified::plain), 11},
      {__LINE__, routes.declare(HttpMethod::Get, "/b/{n}", object, &Qualified::viewed), 12},
      {__LINE__, routes.declare(HttpMethod::Get, "/c/{n}", object, &Qualified::safe), 13},
      {__LINE__, routes.declare(HttpMethod::Get, "/d/{n}", object, &Qualified::both), 14},
      {__LINE__, routes.declare(HttpMethod::Get, "/e/{n}", &freeNoexcept), 15},
      {__LINE__, routes.declare(HttpMethod::Get, "/g/{n}", freeNoexcept), 15},
      {__LINE__,
       routes.declare(HttpMethod::Get, "/f/{n}", [](std::int64_t n) noexcept { return n + 6; }),
       16},
  };
  BindingValue ten;
  ten.setString("10");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    ASSERT_EQ(row.builder.function().arguments().size(), 1u);
    EXPECT_EQ(row.builder.function().arguments()[0].type().kind, TypeKind::Int64);
    EXPECT_EQ(row.builder.function().result().kind, TypeKind::Int64);
    FunctionHandler& handler = routeOf(row.builder).handler();
    CallResult call;
    PendingToken token = handler.invoke(call, {&ten, 1}, 0);
    handler.complete(call, nullptr, token, 0);
    ASSERT_TRUE(call.ok()) << call.result.errorMessage();
    EXPECT_EQ(call.result.asSigned(), row.expected);
  }
}

// A structure result is written with its registered type: the function's,
// or the registry's at the call when the structure was registered after the
// route, or when the handler has no function.
TEST(RouteDeclarer, StructureResultsFindTheirTypeAtTheCallIfNeedBe) {
  Owner owner;
  RouteDeclarer routes(owner);
  const FunctionBuilder early =
      routes.declare(HttpMethod::Get, "/early", [] { return Mode{"ARAM"}; });
  owner.registry().registerStruct<Mode>("ZelMapsMode").field("name", &Mode::name);
  const FunctionBuilder declared =
      routes.declare(HttpMethod::Get, "/mode", [] { return Mode{"URF"}; });
  const std::unique_ptr<FunctionHandler> alone =
      makeFunctionHandler([] { return Mode{"ONE"}; }, nullptr, &owner.registry());
  const std::pair<FunctionHandler*, const char*> rows[] = {{&routeOf(early).handler(), "ARAM"},
                                                           {&routeOf(declared).handler(), "URF"},
                                                           {alone.get(), "ONE"}};
  for (const auto& [handler, name] : rows) {
    SCOPED_TRACE(name);
    CallResult call;
    PendingToken token = handler->invoke(call, {}, 0);
    handler->complete(call, nullptr, token, 0);
    ASSERT_TRUE(call.ok()) << call.result.errorMessage();
    EXPECT_EQ(call.result.find("name").asString(), name);
  }
}

enum class Speed { Slow, Fast, Auto };
enum class Side { Left, Right };

struct Order {
  std::string item;
  std::optional<std::string> note;
  std::int32_t count = 0;
};

// What the host's documentation reads beside the records: each route's
// declared statuses, then the plugin's version, required fields and enums
// declared out of name order, shared by every route.
TEST(RouteDeclarer, DocumentationFactsFollowEachRoutesOwnLists) {
  TypeRegistry registry;
  registry.registerEnum<Speed>("Speed")
      .enumerator("Slow", Speed::Slow)
      .enumerator("Fast", Speed::Fast)
      .enumerator("Auto", Speed::Auto);
  registry.registerEnum<Side>("Side")
      .enumerator("Left", Side::Left)
      .enumerator("Right", Side::Right);
  registry.registerStruct<Order>("Order")
      .field("item", &Order::item, "", FieldFlags::Required)
      .field("note", &Order::note, "", FieldFlags::Required)  // optional all the same
      .field("count", &Order::count);
  RouteDeclarer routes(registry, {});
  routes.setPluginVersion("2.0.1");
  routes
      .declare(HttpMethod::Post, "/orders",
               [](const CallInfo&, CallResult& result) { result.status = 201; })
      .returns<Order>(201, "Created")
      .errors({{404, "No such shop"}, {409, "Taken"}});
  routes.declare(HttpMethod::Get, "/count", [] { return std::int32_t{3}; })
      .returns<Order>(202, "Counted");  // a handler's own result type stays

  const ApiDescription description = buildApiDescription(registry);
  std::map<std::string, std::vector<std::vector<std::string>>> lists;
  std::map<std::string, std::uint32_t> resultKinds;
  for (auto* record = static_cast<const FunctionRecord*>(description.functions); record != nullptr;
       record = static_cast<const FunctionRecord*>(record->function.next)) {
    auto& mine = lists[record->urlTemplate];
    const TextListNode* node = record->textLists;
    for (std::uint32_t i = 0; i < record->textListCount; ++i, node = node->next) {
      ASSERT_NE(node, nullptr);
      const char* const* texts = node->texts;  // copies: the record is packed
      const std::uint32_t count = node->count;
      mine.emplace_back(texts, texts + count);
    }
    EXPECT_EQ(node, nullptr);
    resultKinds[record->urlTemplate] = record->function.resultKind;
  }
  using Lists = std::vector<std::vector<std::string>>;
  const Lists plugin{{"zel:version", "2.0.1"},
                     {"zel:enum-order", "BindingAsyncState", "None", "Running", "Cancelling",
                      "Cancelled", "Succeeded", "Failed"},
                     {"zel:enum-order", "BindingHelpFormat", "Full", "Epytext"},
                     {"zel:required", "Order", "item"},
                     {"zel:enum-order", "Speed", "Slow", "Fast", "Auto"}};
  Lists orders{{"zel:returns", "201", "Created"},
               {"zel:error", "404", "No such shop"},
               {"zel:error", "409", "Taken"}};
  orders.insert(orders.end(), plugin.begin(), plugin.end());
  Lists count{{"zel:returns", "202", "Counted"}};
  count.insert(count.end(), plugin.begin(), plugin.end());
  EXPECT_EQ(lists["/orders"], orders);
  EXPECT_EQ(lists["/count"], count);
  EXPECT_EQ(resultKinds["/orders"], kTypeKindStruct);
  EXPECT_EQ(resultKinds["/count"], kTypeKindInt32);

  // A plugin that declares a status but not its version gives no version.
  TypeRegistry unversioned;
  RouteDeclarer(unversioned, {})
      .declare(HttpMethod::Get, "/x", [] { return 1; })
      .errors({{404, "None"}});
  const ApiDescription other = buildApiDescription(unversioned);
  const auto* record = static_cast<const FunctionRecord*>(other.functions);
  ASSERT_NE(record, nullptr);
  const TextListNode* node = record->textLists;
  ASSERT_NE(node, nullptr);
  EXPECT_STREQ(node->texts[0], "zel:error");
  for (; node != nullptr; node = node->next) EXPECT_STRNE(node->texts[0], "zel:version");
}

}  // namespace
}  // namespace zel
