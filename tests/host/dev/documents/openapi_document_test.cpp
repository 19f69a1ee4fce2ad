// zel-host describe --openapi: the OpenAPI document, from the real plugin's
// records and from hand-made catalogues, and its output checked by a real
// validator.
#include "host/dev/documents/openapi_document.h"

#include <cstdio>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boundary/description_records.h"
#include "boundary/method_codes.h"
#include "host/dev/documents/json_value.h"
#include "host/plugin_host.h"
#include "tests/host/dev/child_process.h"
#include "tests/host/dev/documents/document_paths.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

using testing::ElementsAre;
using testing_support::at;
using testing_support::PluginDocumentTest;
using testing_support::textAt;

std::vector<std::string> keys(const HostValue* value) {
  std::vector<std::string> names;
  if (value == nullptr) return names;
  for (const HostField& field : value->fields) names.push_back(field.key);
  return names;
}

// Structures whose keys repeat (JSON readers disagree on them), by path.
void collectRepeatedKeys(const HostValue& value, const std::string& path,
                         std::vector<std::string>& repeated) {
  for (std::size_t i = 0; i < value.fields.size(); ++i) {
    const HostField& field = value.fields[i];
    for (std::size_t j = 0; j < i; ++j) {
      if (value.fields[j].key == field.key) repeated.push_back(path + "/" + field.key);
    }
    collectRepeatedKeys(field.value, path + "/" + field.key, repeated);
  }
  for (const HostValue& element : value.elements)
    collectRepeatedKeys(element, path + "/*", repeated);
}

TEST_F(PluginDocumentTest, OpenApiHasTheSixRoutesWithTheirParametersAndSchemas) {
  HostValue document = openApiDocument(catalog_, info_);
  std::vector<std::string> repeated;
  collectRepeatedKeys(document, "", repeated);
  EXPECT_THAT(repeated, testing::IsEmpty());
  EXPECT_EQ(textAt(document, {"openapi"}), "3.1.0");
  EXPECT_EQ(textAt(document, {"info", "title"}), "zel-maps");
  EXPECT_EQ(textAt(document, {"info", "version"}), "1.0.0");  // the plugin declares none
  EXPECT_THAT(keys(document.find("paths")),
              ElementsAre("/zel-maps/v1/map", "/zel-maps/v1/map/{id}", "/zel-maps/v1/maps",
                          "/zel-maps/v2/map/{id}/{gameMode}",
                          "/zel-maps/v2/map/{id}/{gameMode}/{gameMutator}", "/zel-maps/v2/maps"));

  const HostValue* parameters =
      at(document, {"paths", "/zel-maps/v2/map/{id}/{gameMode}", "get", "parameters"});
  ASSERT_NE(parameters, nullptr);
  ASSERT_EQ(parameters->elements.size(), 2u);
  EXPECT_EQ(textAt(parameters->elements[0], {"name"}), "id");
  EXPECT_EQ(textAt(parameters->elements[0], {"in"}), "path");
  EXPECT_EQ(textAt(parameters->elements[0], {"schema", "format"}), "int64");
  EXPECT_EQ(textAt(parameters->elements[1], {"schema", "type"}), "string");

  const HostValue* post = at(document, {"paths", "/zel-maps/v1/map", "post"});
  ASSERT_NE(post, nullptr);
  EXPECT_THAT(keys(at(*post, {"requestBody", "content"})),
              ElementsAre("application/json", "application/x-msgpack", "application/x-yaml"));
  EXPECT_EQ(textAt(*post, {"requestBody", "content", "application/json", "schema", "$ref"}),
            "#/components/schemas/ZelMapsMaps");
  EXPECT_THAT(keys(at(*post, {"responses"})), ElementsAre("200", "400", "404"));
  EXPECT_EQ(textAt(document, {"paths", "/zel-maps/v2/maps", "get", "responses", "200", "content",
                              "application/json", "schema", "items", "$ref"}),
            "#/components/schemas/ZelMapsMaps");

  const HostValue* maps = at(document, {"components", "schemas", "ZelMapsMaps", "properties"});
  ASSERT_NE(maps, nullptr);
  EXPECT_EQ(maps->fields.size(), 15u);
  EXPECT_EQ(textAt(*maps, {"assets", "additionalProperties", "type"}), "string");
  EXPECT_EQ(textAt(*maps, {"isDefault", "type"}), "boolean");
  // The platform's own types (events, help, async states) serve no route.
  EXPECT_THAT(keys(at(document, {"components", "schemas"})),
              ElementsAre("ZelMapsMaps", "ZelHostError"));
}

TEST(OpenApiMappingTest, ArgumentLocationsBecomeParametersOrTheBody) {
  auto argument = [](std::string name, std::uint32_t kind, std::uint32_t location,
                     bool optional = false) {
    ArgumentInfo info;
    info.name = std::move(name);
    info.type.kind = kind;
    info.location = location;
    info.optional = optional;
    return info;
  };
  ApiCatalog catalog;
  FunctionInfo put;
  put.name = "PutThing";
  put.method = kMethodPut;
  put.urlTemplate = "/things/{id}/{part}";
  put.arguments = {argument("id", kTypeKindUInt32, kLocationAny),
                   argument("Token", kTypeKindString, kLocationHeader),
                   argument("page", kTypeKindInt32, kLocationQuery, true),
                   argument("Since", kTypeKindUInt16, kLocationHeader, true),
                   argument("thing", kTypeKindObject, kLocationAny),
                   argument("secret", kTypeKindString, kLocationHostOnly)};
  FunctionInfo custom;
  custom.name = "Purge";
  custom.method = kMethodCustom;
  custom.customMethod = "PURGE";
  custom.urlTemplate = "/things";
  catalog.functions = {put, custom};

  HostValue document = openApiDocument(catalog, {"p", "1.0.0"});
  EXPECT_THAT(keys(document.find("paths")), ElementsAre("/things/{id}/{part}"));
  const HostValue* operation = at(document, {"paths", "/things/{id}/{part}", "put"});
  ASSERT_NE(operation, nullptr);
  struct Row {
    const char* name;
    const char* in;
    bool required;
  };
  const Row expected[] = {
      {"id", "path", true},
      {"token", "header", true},
      {"page", "query", false},
      // optional too, with its own schema (below)
      {"since", "header", false},
      {"part", "path", true},  // a placeholder without argument still needs a parameter
  };
  const HostValue* parameters = operation->find("parameters");
  ASSERT_NE(parameters, nullptr);
  ASSERT_EQ(parameters->elements.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    const HostValue& parameter = parameters->elements[i];
    EXPECT_EQ(textAt(parameter, {"name"}), expected[i].name);
    EXPECT_EQ(textAt(parameter, {"in"}), expected[i].in);
    EXPECT_EQ(at(parameter, {"required"})->boolean, expected[i].required);
  }
  EXPECT_EQ(at(parameters->elements[0], {"schema", "maximum"})->unsignedValue, 4294967295u);
  // An optional argument has its own type's schema, not any value.
  EXPECT_EQ(at(parameters->elements[3], {"schema", "maximum"})->unsignedValue, 65535u);
  // The structured argument of a PUT is its body.
  EXPECT_NE(at(*operation, {"requestBody", "content", "application/x-yaml"}), nullptr);
}

TEST(OpenApiMappingTest, ReservedCapturesBecomePlainParametersAndAQueryCaptureLeavesThePath) {
  auto argument = [](std::string name, std::uint32_t location) {
    ArgumentInfo info;
    info.name = std::move(name);
    info.type.kind = kTypeKindString;
    info.location = location;
    return info;
  };
  ApiCatalog catalog;
  FunctionInfo search;
  search.name = "GetSearchByQuery";
  search.method = kMethodGet;
  search.urlTemplate = "/notes/search{+query}";
  search.arguments = {argument("query", kLocationPath), argument("text", kLocationQuery)};
  search.tags = {"notes", "search"};
  FunctionInfo files;
  files.name = "GetFilesByPath";
  files.method = kMethodGet;
  files.urlTemplate = "/files/{+path}";
  files.arguments = {argument("path", kLocationPath)};
  catalog.functions = {search, files};

  HostValue document = openApiDocument(catalog, {"p", "1.0.0"});
  EXPECT_THAT(keys(document.find("paths")), ElementsAre("/files/{path}", "/notes/search"));
  auto names = [&](std::initializer_list<std::string_view> route) {
    std::vector<std::string> found;
    const HostValue* parameters = at(document, route);
    if (parameters == nullptr) return found;
    for (const HostValue& parameter : parameters->elements) {
      found.push_back(textAt(parameter, {"in"}) + ":" + textAt(parameter, {"name"}));
    }
    return found;
  };
  EXPECT_THAT(names({"paths", "/notes/search", "get", "parameters"}), ElementsAre("query:text"));
  EXPECT_THAT(names({"paths", "/files/{path}", "get", "parameters"}), ElementsAre("path:path"));
  // An operation's group is its last tag; x-zel-tags keeps them all. Without
  // tags, neither.
  const HostValue* searchTags = at(document, {"paths", "/notes/search", "get", "tags"});
  ASSERT_NE(searchTags, nullptr);
  EXPECT_EQ(toJson(*searchTags), R"(["search"])");
  const HostValue* allTags = at(document, {"paths", "/notes/search", "get", "x-zel-tags"});
  ASSERT_NE(allTags, nullptr);
  EXPECT_EQ(toJson(*allTags), R"(["notes","search"])");
  EXPECT_THAT(keys(at(document, {"paths", "/files/{path}", "get"})),
              ElementsAre("operationId", "summary", "parameters", "responses"));
}

// The narrow integers carry their native bounds (a browser checks a value
// before sending it); the other scalars their type and format.
TEST(OpenApiMappingTest, ScalarKindsHaveTheirSchemas) {
  struct Row {
    std::uint32_t kind;
    const char* schema;
  };
  const Row rows[] = {
      {kTypeKindInt8, R"({"type":"integer","minimum":-128,"maximum":127})"},
      {kTypeKindUInt8, R"({"type":"integer","minimum":0,"maximum":255})"},
      {kTypeKindInt16, R"({"type":"integer","minimum":-32768,"maximum":32767})"},
      {kTypeKindUInt16, R"({"type":"integer","minimum":0,"maximum":65535})"},
      {kTypeKindUInt64, R"({"type":"integer","minimum":0,"maximum":18446744073709551615})"},
      {kTypeKindFloat, R"({"type":"number","format":"float"})"},
      {kTypeKindDouble, R"({"type":"number","format":"double"})"},
      {kTypeKindBlob, R"({"type":"string","contentEncoding":"base64"})"},
  };
  FunctionInfo get;
  get.name = "GetScalars";
  get.method = kMethodGet;
  get.urlTemplate = "/scalars";
  for (const Row& row : rows) {
    ArgumentInfo argument;
    argument.name = "a" + std::to_string(get.arguments.size());
    argument.type.kind = row.kind;
    argument.location = kLocationQuery;
    get.arguments.push_back(argument);
  }
  ApiCatalog catalog;
  catalog.functions = {get};

  HostValue document = openApiDocument(catalog, {"p", "1.0.0"});
  const HostValue* parameters = at(document, {"paths", "/scalars", "get", "parameters"});
  ASSERT_NE(parameters, nullptr);
  ASSERT_EQ(parameters->elements.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].schema);
    const HostValue* schema = parameters->elements[i].find("schema");
    ASSERT_NE(schema, nullptr);
    EXPECT_EQ(toJson(*schema), rows[i].schema);
  }
}

// The components are the types a route reaches, through results, fields and
// elements; a field or an enum value keeps its description. The facts in the
// routes' text lists give statuses, required fields, enum order and version.
TEST(OpenApiMappingTest, ComponentsAreTheTypesTheRoutesReach) {
  auto use = [](std::uint32_t kind, std::uint32_t elementKind, std::string typeName) {
    return TypeUse{kind, elementKind, std::move(typeName)};
  };
  TypeInfo mode;
  mode.name = "Mode";
  mode.description = "Speeds";
  // Neither by name nor by value: the order the records give.
  mode.enumerators = {{"Slow", "takes its time", 2}, {"Fast", "", 0}, {"Auto", "picks one", 1}};
  TypeInfo inner;
  inner.name = "Inner";
  inner.fields = {{"mode", "how it runs", 0, use(kTypeKindEnum, kTypeKindNone, "Mode")},
                  {"extra", "what else", 0, use(kTypeKindObject, kTypeKindNone, "")}};
  TypeInfo outer;
  outer.name = "Outer";
  outer.fields = {{"inners", "", 0, use(kTypeKindVector, kTypeKindStruct, "Inner")}};
  TypeInfo unused;
  unused.name = "Unused";
  unused.fields = {{"orphan", "", 0, use(kTypeKindStruct, kTypeKindNone, "Orphan")}};
  TypeInfo orphan;
  orphan.name = "Orphan";
  orphan.fields = {{"n", "", 0, use(kTypeKindInt32, kTypeKindNone, "")}};
  FunctionInfo get;
  get.name = "GetOuters";
  get.method = kMethodGet;
  get.urlTemplate = "/outers";
  get.result = use(kTypeKindMap, kTypeKindStruct, "Outer");
  get.textLists = {{kFactReturns, "201", "Created"},
                   {kFactError, "409", "Taken"},
                   {kFactError, "99", "not a status"},
                   {kFactError, "404", "No such outer"},
                   {"other:key", "1"},
                   {kFactRequired},  // without a name: nothing to keep
                   {kFactEnumOrder},
                   {kFactVersion, "2.3.4"},
                   {kFactRequired, "Inner", "mode"},
                   {kFactRequired, "Inner", "other"},  // the first list of a type wins
                   {kFactEnumOrder, "Mode", "Fast", "Auto"}};
  ApiCatalog catalog;
  catalog.functions = {get};
  catalog.types = {unused, outer, orphan, mode, inner};

  HostValue document = openApiDocument(catalog, {"p", "18.0.0"});
  EXPECT_THAT(keys(at(document, {"components", "schemas"})),
              ElementsAre("Inner", "Mode", "Outer", "ZelHostError"));
  EXPECT_EQ(textAt(document, {"info", "version"}), "2.3.4");
  EXPECT_EQ(textAt(document, {"info", "x-plugin-api-version"}), "18.0.0");
  const HostValue* responses = at(document, {"paths", "/outers", "get", "responses"});
  ASSERT_NE(responses, nullptr);
  EXPECT_THAT(keys(responses), ElementsAre("201", "400", "404", "409"));
  EXPECT_EQ(textAt(*responses, {"201", "description"}), "Created");
  EXPECT_EQ(textAt(*responses, {"201", "content", "application/json", "schema", "type"}), "object");
  EXPECT_EQ(textAt(*responses, {"404", "description"}), "No such outer");
  EXPECT_EQ(textAt(*responses, {"409", "content", "application/json", "schema", "$ref"}),
            "#/components/schemas/ZelHostError");
  struct Row {
    std::initializer_list<std::string_view> path;
    const char* schema;
  };
  const Row rows[] = {
      // The declared order first; a value it leaves out comes last.
      {{"Mode"},
       R"({"type":"string","enum":["Fast","Auto","Slow"],)"
       R"("x-enum-descriptions":["","picks one","takes its time"],)"
       R"json("description":"Speeds (Fast = 0, Auto = 1: picks one, Slow = 2: takes its time)"})json"},
      {{"Inner", "required"}, R"(["mode"])"},
      {{"Inner", "properties", "mode"},
       R"({"$ref":"#/components/schemas/Mode","description":"how it runs"})"},
      // A field's own description replaces the one its kind gives.
      {{"Inner", "properties", "extra"}, R"({"description":"what else"})"},
      {{"Outer", "properties", "inners"},
       R"({"type":"array","items":{"$ref":"#/components/schemas/Inner"}})"},
  };
  const HostValue* schemas = at(document, {"components", "schemas"});
  ASSERT_NE(schemas, nullptr);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.schema);
    const HostValue* schema = at(*schemas, row.path);
    ASSERT_NE(schema, nullptr);
    EXPECT_EQ(toJson(*schema), row.schema);
  }
}

// Runs node with the validator from the npm packages scripts/setup installs.
TEST_F(PluginDocumentTest, TheOpenApiDocumentPassesARealValidator) {
#if defined(_WIN32)
  GTEST_SKIP() << "node runs on the Linux builds only";
#else
  std::string modules = ZEL_NODE_MODULES_DIR;
  std::FILE* probe =
      std::fopen((modules + "/@apidevtools/swagger-parser/package.json").c_str(), "r");
  if (probe == nullptr) GTEST_SKIP() << "@apidevtools/swagger-parser is not installed";
  std::fclose(probe);
  testing_support::ChildResult version = testing_support::runChild("node", "--version");
  if (version.exitCode != 0) GTEST_SKIP() << "node is not installed";

  std::filesystem::path file = testing_support::artifactDirectory() / "openapi.json";
  testing_support::writeTextFile(file,
                                 toJson(openApiDocument(catalog_, info_), JsonStyle::Indented));
  std::filesystem::path script = testing_support::artifactDirectory() / "validate-openapi.js";
  testing_support::writeTextFile(
      script,
      "const parser = require(process.argv[2] + '/@apidevtools/swagger-parser');\n"
      "parser.validate(process.argv[3])\n"
      "  .then(api => console.log('valid ' + Object.keys(api.paths).length + ' paths'))\n"
      "  .catch(error => { console.log('invalid: ' + error.message); process.exit(1); });\n");
  testing_support::ChildResult check =
      testing_support::runChild("node", script.string() + " " + modules + " " + file.string());
  EXPECT_EQ(check.exitCode, 0) << check.output;
  EXPECT_THAT(check.output, testing::HasSubstr("valid 6 paths"));
#endif
}

}  // namespace
}  // namespace zel::host
