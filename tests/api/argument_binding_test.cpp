// Argument binding: headers, path arguments, query values, host arguments
// and bodies into the argument vector of the selected function, with every
// message of the binding rules.
#include "api/internal/argument_binding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "api/route_declarer.h"
#include "binding/flat_value_ops.h"
#include "binding/type_registry.h"

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
  return *builder.function().registry().attachment<RouteTable>().find(builder.function());
}

struct Filter {
  std::string name;
  std::int32_t id = 0;
};

// A compact text of a value: 'text', 5 (signed), 5u (unsigned), [..], {k: v}.
std::string render(const ValueNode& value) {
  switch (value.kind()) {
    case ValueKind::Empty:
      return "empty";
    case ValueKind::Bool:
      return value.asBool() ? "true" : "false";
    case ValueKind::Signed:
      return std::to_string(value.asSigned());
    case ValueKind::Unsigned:
      return std::to_string(value.asUnsigned()) + "u";
    case ValueKind::Float: {
      char text[32];
      std::snprintf(text, sizeof text, "%g", value.asFloat());
      return text;
    }
    case ValueKind::String:
      return "'" + std::string(value.asString()) + "'";
    case ValueKind::Collection: {
      std::string out = "[";
      for (const ValueNode& element : value.elements()) {
        if (out.size() > 1) out += ", ";
        out += render(element);
      }
      return out + "]";
    }
    case ValueKind::Structure: {
      std::string out = "{";
      for (const Field& field : value.fields()) {
        if (out.size() > 1) out += ", ";
        out += std::string(field.key()) + ": " + render(field.value());
      }
      return out + "}";
    }
    default:
      return "other";
  }
}

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
  std::string error;                                             // empty: binding succeeds
  std::vector<std::pair<std::size_t, std::string>> values = {};  // rendered arguments by index
};

// Arguments of the bound function, by index.
enum : std::size_t { kP, kCount, kFlag, kIds, kFilter, kToken, kTokenUpper, kData, kLabels };

class ArgumentBinding : public testing::Test {
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
        EXPECT_EQ(render(arguments[index]), rendered) << "argument " << index;
      }
    }
  }

  TypeRegistry registry_;
  const FunctionDescriptor* function_ = nullptr;
  const RouteDescriptor* route_ = nullptr;
};

TEST_F(ArgumentBinding, QueryValuesAndTheirMessages) {
  expectRows({
      {__LINE__, {"/f"}, "", {{kCount, "empty"}, {kFlag, "false"}, {kFilter, "empty"}}},
      {__LINE__, {"/f?count=1&count=2"}, "", {{kCount, "'2'"}}},
      {__LINE__, {"/f?count=1&"}, "Unknown argument '' for 'GetFByP'."},
      {__LINE__, {"/f?count=1&&flag"}, "Unknown argument '' for 'GetFByP'."},
      {__LINE__, {"/f?flag"}, "", {{kFlag, "true"}}},
      {__LINE__, {"/f?flag="}, "", {{kFlag, "true"}}},
      {__LINE__, {"/f?flag=no"}, "", {{kFlag, "'no'"}}},
      {__LINE__, {"/f?count"}, "Expected value for argument 'count'."},
      {__LINE__, {"/f?p=1"}, "Argument 'p' for 'GetFByP' was specified in an invalid location."},
      {__LINE__, {"/f?count=a%20b+c&flag=1"}, "", {{kCount, "'a b c'"}, {kFlag, "'1'"}}},
      {__LINE__, {"/f?c%6Funt=7"}, "", {{kCount, "'7'"}}},
      {__LINE__, {"/f?nope=1"}, "Unknown argument 'nope' for 'GetFByP'."},
      {__LINE__, {"/f?nope.x=1"}, "Unknown argument 'nope' for 'GetFByP'."},
      {__LINE__, {"/f?a=1?b=2"}, "Unknown argument 'a' for 'GetFByP'."},
  });
}

TEST_F(ArgumentBinding, StructuredTextsAreDecodedBySniffing) {
  expectRows({
      {__LINE__, {"/f?ids=[1,2]"}, "", {{kIds, "[1u, 2u]"}}},
      {__LINE__, {"/f?ids=%20%20[1]"}, "", {{kIds, "[1u]"}}},
      {__LINE__, {"/f?ids=%09[1]"}, "", {{kIds, "'\t[1]'"}}},
      {__LINE__, {"/f?ids=5"}, "", {{kIds, "'5'"}}},
      {__LINE__, {"/f?filter={\"name\":\"a\"}"}, "", {{kFilter, "{name: 'a'}"}}},
      {__LINE__, {"/f?filter=---%0Aname: b%0Aid: 3"}, "", {{kFilter, "{id: 3u, name: 'b'}"}}},
      {__LINE__, {"/f?filter=%81%A1a%01"}, "", {{kFilter, "{a: 1}"}}},
      {__LINE__, {"/f?labels={\"k\":\"v\"}"}, "", {{kLabels, "{k: 'v'}"}}},
      // Texts of other kinds are never examined.
      {__LINE__, {"/f?count=[1]"}, "", {{kCount, "'[1]'"}}},
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
      {__LINE__, {"/f?filter.name=a"}, "", {{kFilter, "{name: 'a'}"}}},
      {__LINE__, {"/f?filter.name=a&filter.id=2"}, "", {{kFilter, "{id: '2', name: 'a'}"}}},
      {__LINE__, {"/f?ids.0=5"}, "", {{kIds, "['5']"}}},
      {__LINE__, {"/f?ids.0x1=7"}, "", {{kIds, "[empty, '7']"}}},
      {__LINE__,
       {"/f?ids.010=7"},
       "",
       {{kIds,
         "[empty, empty, empty, empty, empty, empty, empty, "
         "empty, '7']"}}},
      {__LINE__, {"/f?filter.a.b=%7B%7D"}, "", {{kFilter, "{a: {b: '{}'}}"}}},
      {__LINE__, {"/f?filter.a.1.b=x"}, "", {{kFilter, "{a: [empty, {b: 'x'}]}"}}},
      {__LINE__, {"/f?filter.=x"}, "", {{kFilter, "{: 'x'}"}}},
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
      {__LINE__, {"/f", {}, {{"token", "abc"}}}, "", {{kToken, "'abc'"}, {kTokenUpper, "'abc'"}}},
      {__LINE__, {"/f", {}, {{"Token", "abc"}}}, "", {{kToken, "empty"}, {kTokenUpper, "empty"}}},
      {__LINE__, {"/f", {}, {{"token", "a"}, {"token", "b"}}}, "", {{kToken, "'b'"}}},
      // Headers only reach arguments whose location allows them.
      {__LINE__, {"/f", {}, {{"ids", "[1]"}, {"p", "x"}}}, "", {{kIds, "empty"}, {kP, "empty"}}},
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
      {__LINE__, {"/f/x", {{"p", "x"}}}, "", {{kP, "'x'"}}},
      {__LINE__, {"/f/x?count=2", {{"p", "x"}}, {{"count", "1"}}}, "", {{kCount, "'2'"}}},
      {__LINE__, {"/f/x", {{"count", "3"}}}, "", {{kCount, "'3'"}}},
      {__LINE__,
       {"/f/x", {{"ids", "3"}}},
       "Argument 'ids' for 'GetFByP' was specified in an invalid location."},
      // Unnamed host arguments follow the path arguments.
      {__LINE__,
       {"/f/x", {{"p", "x"}}, {}, {{nullptr, 4}, {nullptr, 1}}},
       "",
       {{kP, "'x'"}, {kCount, "4"}, {kFlag, "1"}}},
      {__LINE__, {"/f", {}, {}, {{nullptr, 4}}}, "", {{kP, "4"}}},
      {__LINE__, {"/f?count=1", {}, {}, {{"count", 9}}}, "", {{kCount, "9"}}},
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
      {__LINE__,
       {"/f", {}, {}, {}, "application/json", "{\"a\": [1]}"},
       "",
       {{kData, "{a: [1u]}"}}},
      {__LINE__, {"/f", {}, {}, {}, "APPLICATION/JSON;charset=utf-8", "1"}, "", {{kData, "1u"}}},
      {__LINE__, {"/f", {}, {}, {}, "application/vnd.api+json", "[]"}, "", {{kData, "[]"}}},
      {__LINE__, {"/f", {}, {}, {}, "application/x-yaml", "a: yes"}, "", {{kData, "{a: true}"}}},
      {__LINE__, {"/f", {}, {}, {}, "application/x-msgpack", msgpack}, "", {{kData, "[1, true]"}}},
      {__LINE__,
       {"/f", {}, {}, {}, "application/x-msgpack-ext", msgpack},
       "",
       {{kData, "[1, true]"}}},
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
       {{kData, "[1u]"}}},
      {__LINE__,
       {"/f", {}, {}, {}, "application/json", "[1, 2"},
       "Error: Missing a comma or ']' after an array element. at offset 5."},
      // A body error replaces an earlier error; the body is read whatever came before.
      {__LINE__, {"/f?nope=1", {}, {}, {}, "text/plain", "x"}, "Unsupported body content type"},
      {__LINE__,
       {"/f?nope=1", {}, {}, {}, "application/json", "[1]"},
       "Unknown argument 'nope' for 'GetFByP'.",
       {{kData, "[1u]"}}},
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
  registry.findFunction("GetB")->argument(1).setOptional(true);
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
