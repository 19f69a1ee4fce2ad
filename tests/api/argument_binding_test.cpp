// Argument binding: headers, path arguments, query values, host arguments
// and bodies into the argument vector of the selected function, with every
// message of the binding rules.
#include "api/internal/argument_binding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "api/route_declarer.h"
#include "binding/flat_value_ops.h"
#include "binding/registry_access.h"
#include "binding/type_registry.h"
#include "tests/formats/value_text.h"

namespace zel {
namespace {

using api::internal::gatherArguments;
using api::internal::isStructuredArgument;
using api::internal::PathArguments;
using api::internal::RequestContext;
using api::internal::RouteDescriptor;
using api::internal::RouteTable;

// The route a declaration recorded.
RouteDescriptor& routeOf(const FunctionBuilder& builder) {
  return *binding::internal::RegistryAccess::attachment<RouteTable>(builder.function().registry())
              .find(builder.function());
}

struct Filter {
  std::string name;
  std::int32_t id = 0;
};

struct Request {
  std::string path;
  std::unordered_map<std::string, std::string> pathArguments = {};
  std::vector<std::pair<const char*, const char*>> headers = {};
  std::vector<std::pair<const char*, std::int64_t>> hostArguments = {};  // null name: positional
  const char* contentType = nullptr;
  std::optional<std::string> body = {};
};

struct Row {
  int line;
  Request request;
  std::string error;  // empty: binding succeeds
  // Arguments by index, as tests/formats/value_text.h writes them.
  std::vector<std::pair<std::size_t, std::string>> values = {};
};

// Arguments of the bound function, by index.
enum : std::size_t { kP, kCount, kFlag, kIds, kFilter, kToken, kTokenUpper, kData, kLabels };

class ArgumentBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.registerStruct<Filter>("Filter")
        .field("name", &Filter::name)
        .field("id", &Filter::id);
    RouteDeclarer routes(registry_, {});
    const FunctionBuilder builder =
        routes
            .declare(
                HttpMethod::Get, "/f/{p}",
                [](std::string, std::int64_t, bool, std::vector<std::int64_t>, Filter, std::string,
                   std::string, BindingValue, std::unordered_map<std::string, std::string>) {})
            .pathArgument("p")
            .argument("count")
            .argument("flag")
            .queryArgument("ids")
            .argument("filter")
            .headerArgument("token")
            .argument("Token")
            .bodyArgument("data")
            .argument("labels");
    function_ = &builder.function();
    route_ = &routeOf(builder);
  }

  std::vector<BindingValue> bind(const Request& request, CallResult& call) {
    RequestContext context;
    context.method = HttpMethod::Get;
    context.path = request.path;
    context.function = function_;
    context.descriptor = route_;
    context.pathArguments =
        PathArguments(request.pathArguments.begin(), request.pathArguments.end());

    std::vector<const char*> headers;
    for (const auto& [name, value] : request.headers) {
      headers.push_back(name);
      headers.push_back(value);
    }
    std::vector<RequestParameter> parameters;
    for (const auto& [name, number] : request.hostArguments) {
      RequestParameter parameter{};
      parameter.name = name;
      setFlatSigned(parameter.value, number);
      parameters.push_back(parameter);
    }
    HostRequest host{};
    host.url = request.path.c_str();
    host.headers = headers.empty() ? nullptr : headers.data();
    host.headerCount = static_cast<std::uint32_t>(request.headers.size());
    host.parameters = parameters.empty() ? nullptr : parameters.data();
    host.parameterCount = static_cast<std::uint32_t>(parameters.size());
    host.contentType = request.contentType;
    host.body = request.body ? request.body->data() : nullptr;
    host.bodyLength = request.body ? static_cast<std::uint32_t>(request.body->size()) : 0;
    return gatherArguments(host, context, call);
  }

  void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.line);
      CallResult call;
      const std::vector<BindingValue> arguments = bind(row.request, call);
      ASSERT_EQ(arguments.size(), 9u);
      EXPECT_EQ(std::string(call.result.errorMessage()), row.error);
      EXPECT_EQ(call.ok(), row.error.empty());
      for (const auto& [index, rendered] : row.values) {
        EXPECT_EQ(zel::testing_support::describe(arguments[index]), rendered)
            << "argument " << index;
      }
    }
  }

  TypeRegistry registry_;
  const FunctionDescriptor* function_ = nullptr;
  const RouteDescriptor* route_ = nullptr;
};

TEST_F(ArgumentBinding, QueryValuesAndTheirMessages) {
  expectRows({
      {__LINE__, {"/f"}, "", {{kCount, "~"}, {kFlag, "false"}, {kFilter, "~"}}},
      {__LINE__, {"/f?count=1&count=2"}, "", {{kCount, R"("2")"}}},
      {__LINE__, {"/f?count=1&"}, "Unknown argument '' for 'GetFByP'."},
      {__LINE__, {"/f?count=1&&flag"}, "Unknown argument '' for 'GetFByP'."},
      {__LINE__, {"/f?flag"}, "", {{kFlag, "true"}}},
      {__LINE__, {"/f?flag="}, "", {{kFlag, "true"}}},
      {__LINE__, {"/f?flag=no"}, "", {{kFlag, R"("no")"}}},
      {__LINE__, {"/f?count"}, "Expected value for argument 'count'."},
      {__LINE__, {"/f?p=1"}, "Argument 'p' for 'GetFByP' was specified in an invalid location."},
      {__LINE__, {"/f?count=a%20b+c&flag=1"}, "", {{kCount, R"("a b c")"}, {kFlag, R"("1")"}}},
      {__LINE__, {"/f?c%6Funt=7"}, "", {{kCount, R"("7")"}}},
      {__LINE__, {"/f?nope=1"}, "Unknown argument 'nope' for 'GetFByP'."},
      {__LINE__, {"/f?nope.x=1"}, "Unknown argument 'nope' for 'GetFByP'."},
      {__LINE__, {"/f?a=1?b=2"}, "Unknown argument 'a' for 'GetFByP'."},
  });
}

TEST_F(ArgumentBinding, StructuredTextsAreDecodedBySniffing) {
  expectRows({
      {__LINE__, {"/f?ids=[1,2]"}, "", {{kIds, "[u1,u2]"}}},
      {__LINE__, {"/f?ids=%20%20[1]"}, "", {{kIds, "[u1]"}}},
      {__LINE__, {"/f?ids=%09[1]"}, "", {{kIds, R"("\x09[1]")"}}},
      {__LINE__, {"/f?ids=5"}, "", {{kIds, R"("5")"}}},
      {__LINE__, {"/f?filter={\"name\":\"a\"}"}, "", {{kFilter, R"({name:"a"})"}}},
      {__LINE__, {"/f?filter=---%0Aname: b%0Aid: 3"}, "", {{kFilter, R"({id:u3,name:"b"})"}}},
      {__LINE__, {"/f?filter=%81%A1a%01"}, "", {{kFilter, "{a:i1}"}}},
      {__LINE__, {"/f?labels={\"k\":\"v\"}"}, "", {{kLabels, R"({k:"v"})"}}},
      // Texts of other kinds are never examined.
      {__LINE__, {"/f?count=[1]"}, "", {{kCount, R"("[1]")"}}},
      {__LINE__,
       {"/f?ids=[1,"},
       "Couldn't deserialize JSON value for parameter 'ids' of 'GetFByP': Error: Invalid value. at "
       "offset 3."},
      {__LINE__,
       {"/f?filter=%81%01"},
       "Couldn't deserialize MessagePack value for parameter 'filter' of 'GetFByP': Invalid "
       "MessagePack data at position 2. Map keys must be strings."},
      {__LINE__,
       {"/f?filter=---%0A[a"},
       "Couldn't deserialize YAML value for parameter 'filter' of 'GetFByP': YAML parser error: "
       "did "
       "not find expected ',' or ']'. At line: 2 col: 0"},
      // Empty texts: structures and collections become empty ones.
      {__LINE__, {"/f?filter=&ids=&labels"}, "", {{kFilter, "{}"}, {kIds, "[]"}, {kLabels, "{}"}}},
  });
}

TEST_F(ArgumentBinding, DottedNamesWriteFieldsAndElements) {
  expectRows({
      {__LINE__, {"/f?filter.name=a"}, "", {{kFilter, R"({name:"a"})"}}},
      {__LINE__, {"/f?filter.name=a&filter.id=2"}, "", {{kFilter, R"({id:"2",name:"a"})"}}},
      {__LINE__, {"/f?ids.0=5"}, "", {{kIds, R"(["5"])"}}},
      {__LINE__, {"/f?ids.0x1=7"}, "", {{kIds, R"([~,"7"])"}}},
      {__LINE__, {"/f?ids.010=7"}, "", {{kIds, R"([~,~,~,~,~,~,~,~,"7"])"}}},
      {__LINE__, {"/f?filter.a.b=%7B%7D"}, "", {{kFilter, R"({a:{b:"{}"}})"}}},
      {__LINE__, {"/f?filter.a.1.b=x"}, "", {{kFilter, R"({a:[~,{b:"x"}]})"}}},
      {__LINE__, {"/f?filter.=x"}, "", {{kFilter, R"({:"x"})"}}},
      {__LINE__, {"/f?ids.08=7"}, "Index 08 is in an incorrect format"},
      {__LINE__, {"/f?ids.1x=7"}, "Index 1x is in an incorrect format"},
      {__LINE__, {"/f?ids.0x=7"}, "Index 0x is in an incorrect format"},
      {__LINE__, {"/f?ids.4294967296=1"}, "Index 4294967296 is out of range"},
      {__LINE__, {"/f?ids.99999999999999999999=1"}, "Index 99999999999999999999 is out of range"},
      // Indexes stop at 65,535 instead of making billions of elements.
      {__LINE__, {"/f?ids.65536=1"}, "Index 65536 is out of range"},
      {__LINE__, {"/f?ids.2147483647=1"}, "Index 2147483647 is out of range"},
  });
  CallResult call;
  const std::vector<BindingValue> arguments = bind({"/f?ids.65535=1"}, call);
  EXPECT_TRUE(call.ok());
  EXPECT_EQ(arguments[kIds].size(), 65536u);
}

TEST_F(ArgumentBinding, HeadersBindByTheLowerCaseNameOfTheArgument) {
  expectRows({
      {__LINE__,
       {"/f", {}, {{"token", "abc"}}},
       "",
       {{kToken, R"("abc")"}, {kTokenUpper, R"("abc")"}}},
      {__LINE__, {"/f", {}, {{"Token", "abc"}}}, "", {{kToken, "~"}, {kTokenUpper, "~"}}},
      {__LINE__, {"/f", {}, {{"token", "a"}, {"token", "b"}}}, "", {{kToken, R"("b")"}}},
      // Headers only reach arguments whose location allows them.
      {__LINE__, {"/f", {}, {{"ids", "[1]"}, {"p", "x"}}}, "", {{kIds, "~"}, {kP, "~"}}},
      {__LINE__, {"/f", {}, {{"count", ""}}}, "Expected value for argument 'count'."},
      {__LINE__,
       {"/f?token=x"},
       "Argument 'token' for 'GetFByP' was specified in an invalid location."},
      // Null texts from the host read as empty texts.
      {__LINE__, {"/f", {}, {{nullptr, "x"}, {"flag", nullptr}}}, "", {{kFlag, "true"}}},
  });
}

TEST_F(ArgumentBinding, SourcesBindInOrderAndLaterOnesWin) {
  expectRows({
      {__LINE__, {"/f/x", {{"p", "x"}}}, "", {{kP, R"("x")"}}},
      {__LINE__, {"/f/x?count=2", {{"p", "x"}}, {{"count", "1"}}}, "", {{kCount, R"("2")"}}},
      {__LINE__, {"/f/x", {{"count", "3"}}}, "", {{kCount, R"("3")"}}},
      {__LINE__,
       {"/f/x", {{"ids", "3"}}},
       "Argument 'ids' for 'GetFByP' was specified in an invalid location."},
      // Unnamed host arguments follow the path arguments.
      {__LINE__,
       {"/f/x", {{"p", "x"}}, {}, {{nullptr, 4}, {nullptr, 1}}},
       "",
       {{kP, R"("x")"}, {kCount, "i4"}, {kFlag, "i1"}}},
      {__LINE__, {"/f", {}, {}, {{nullptr, 4}}}, "", {{kP, "i4"}}},
      {__LINE__, {"/f?count=1", {}, {}, {{"count", 9}}}, "", {{kCount, "i9"}}},
      {__LINE__, {"/f", {}, {}, {{"counts", 9}}}, "Unknown argument 'counts' for 'GetFByP'."},
      {__LINE__,
       {"/f",
        {},
        {},
        {{nullptr, 0},
         {nullptr, 0},
         {nullptr, 0},
         {nullptr, 0},
         {nullptr, 0},
         {nullptr, 0},
         {nullptr, 0},
         {nullptr, 0},
         {nullptr, 0},
         {nullptr, 0}}},
       "Unknown argument '9' for 'GetFByP'."},
      // The first failure stops binding.
      {__LINE__, {"/f?count", {}, {}, {{"nope", 1}}}, "Expected value for argument 'count'."},
  });
}

TEST_F(ArgumentBinding, BodiesGoToTheFirstBodyArgumentByContentType) {
  const std::string msgpack("\x92\x01\xc3", 3);
  expectRows({
      {__LINE__, {"/f", {}, {}, {}, "application/json", "{\"a\": [1]}"}, "", {{kData, "{a:[u1]}"}}},
      {__LINE__, {"/f", {}, {}, {}, "APPLICATION/JSON;charset=utf-8", "1"}, "", {{kData, "u1"}}},
      {__LINE__, {"/f", {}, {}, {}, "application/vnd.api+json", "[]"}, "", {{kData, "[]"}}},
      {__LINE__, {"/f", {}, {}, {}, "application/x-yaml", "a: yes"}, "", {{kData, "{a:true}"}}},
      {__LINE__, {"/f", {}, {}, {}, "application/x-msgpack", msgpack}, "", {{kData, "[i1,true]"}}},
      {__LINE__,
       {"/f", {}, {}, {}, "application/x-msgpack-ext", msgpack},
       "",
       {{kData, "[i1,true]"}}},
      {__LINE__,
       {"/f", {}, {}, {}, "application/x-msgpack", msgpack + "\x01"},
       "Extra MessgePack data found in body"},
      {__LINE__,
       {"/f", {}, {}, {}, "application/x-msgpack", "\xc1"},
       "Invalid MessagePack data at position 1."},
      {__LINE__, {"/f", {}, {}, {}, "text/json", "{}"}, "Unsupported body content type"},
      {__LINE__, {"/f", {}, {}, {}, "application/js", "{}"}, "Unsupported body content type"},
      {__LINE__, {"/f", {}, {}, {}, nullptr, "{}"}, "Unsupported body content type"},
      {__LINE__,
       {"/f", {}, {}, {}, "application/json", "{"},
       "Error: Missing a name for object member. at offset 1."},
      // A JSON text ends at its first NUL byte, and never runs past the body's length.
      {__LINE__,
       {"/f", {}, {}, {}, "application/json", std::string("[1]\0garbage", 11)},
       "",
       {{kData, "[u1]"}}},
      {__LINE__,
       {"/f", {}, {}, {}, "application/json", "[1, 2"},
       "Error: Missing a comma or ']' after an array element. at offset 5."},
      // A body error replaces an earlier error; the body is read whatever came before.
      {__LINE__, {"/f?nope=1", {}, {}, {}, "text/plain", "x"}, "Unsupported body content type"},
      {__LINE__,
       {"/f?nope=1", {}, {}, {}, "application/json", "[1]"},
       "Unknown argument 'nope' for 'GetFByP'.",
       {{kData, "[u1]"}}},
  });
}

TEST(ArgumentBindingKinds, OnlyObjectsVectorsStructuresAndMapsAreStructured) {
  TypeRegistry registry;
  RouteDeclarer routes(registry, {});
  const FunctionBuilder builder =
      routes.declare(HttpMethod::Get, "/k",
                     [](bool, std::string, BindingValue, std::vector<int>,
                        std::unordered_map<std::string, int>) {});
  std::vector<bool> structured;
  for (const ArgumentDescriptor& argument : builder.function().arguments()) {
    structured.push_back(isStructuredArgument(argument));
  }
  EXPECT_EQ(structured, (std::vector<bool>{false, false, true, true, true}));
}

TEST(ArgumentBindingKinds, NonOptionalBoolsStartFalseAndOptionalOnesEmpty) {
  TypeRegistry registry;
  RouteDeclarer routes(registry, {});
  const FunctionBuilder builder = routes.declare(HttpMethod::Get, "/b", [](bool, bool) {});
  binding::internal::RegistryAccess::findFunction(registry, "GetB")->argument(1).setOptional(true);
  RequestContext context;
  context.path = "/b";
  context.function = &builder.function();
  context.descriptor = &routeOf(builder);
  HostRequest request{};
  CallResult call;
  const std::vector<BindingValue> arguments = gatherArguments(request, context, call);
  ASSERT_EQ(arguments.size(), 2u);
  EXPECT_EQ(arguments[0].kind(), ValueKind::Bool);
  EXPECT_FALSE(arguments[0].asBool(true));
  EXPECT_EQ(arguments[1].kind(), ValueKind::Empty);
}

}  // namespace
}  // namespace zel
