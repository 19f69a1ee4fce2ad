#include "host/dev/documents/openapi_document.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "boundary/description_records.h"
#include "boundary/method_codes.h"
#include "host/calling/url_template.h"
#include "host/conversions/method_names.h"
#include "host/description/api_facts.h"
#include "host/dev/documents/internal/document_values.h"

namespace zel::host {

namespace {

using namespace internal;

// Component names may hold letters, digits, ".", "-" and "_" only.
std::string componentName(std::string_view name) {
  std::string safe(name);
  for (char& c : safe) {
    bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == '_';
    if (!allowed) c = '_';
  }
  return safe;
}

constexpr std::string_view kSchemaPrefix = "#/components/schemas/";

HostValue reference(std::string_view name) {
  return object({{"$ref", text(std::string(kSchemaPrefix) + componentName(name))}});
}

// Adds the component name of every schema reference in value, nested ones too.
void collectReferences(const HostValue& value, std::vector<std::string>& names) {
  for (const HostField& field : value.fields) {
    if (field.key == "$ref" && field.value.bytes.starts_with(kSchemaPrefix)) {
      names.push_back(field.value.bytes.substr(kSchemaPrefix.size()));
    }
    collectReferences(field.value, names);
  }
  for (const HostValue& element : value.elements) collectReferences(element, names);
}

HostValue integerSchema(std::int64_t minimum, std::uint64_t maximum, std::string_view format) {
  Fields fields{{"type", text("integer")}};
  if (!format.empty()) fields.push_back({"format", text(format)});
  fields.push_back({"minimum", number(minimum)});
  fields.push_back({"maximum", HostValue::makeUnsigned(maximum)});
  return object(std::move(fields));
}

HostValue kindSchema(std::uint32_t kind, std::uint32_t elementKind, const std::string& typeName,
                     const ApiCatalog& catalog);

// The schema of a scalar kind, or of a named type for enums and structures.
HostValue elementSchema(std::uint32_t kind, const std::string& typeName,
                        const ApiCatalog& catalog) {
  return kindSchema(kind, kTypeKindNone, typeName, catalog);
}

HostValue kindSchema(std::uint32_t kind, std::uint32_t elementKind, const std::string& typeName,
                     const ApiCatalog& catalog) {
  switch (kind) {
    case kTypeKindBool:
      return object({{"type", text("boolean")}});
    case kTypeKindInt8:
      return integerSchema(-128, 127, "");
    case kTypeKindUInt8:
      return integerSchema(0, 255, "");
    case kTypeKindInt16:
      return integerSchema(-32768, 32767, "");
    case kTypeKindUInt16:
      return integerSchema(0, 65535, "");
    case kTypeKindInt32:
      return integerSchema(std::numeric_limits<std::int32_t>::min(),
                           std::numeric_limits<std::int32_t>::max(), "int32");
    case kTypeKindUInt32:
      return integerSchema(0, std::numeric_limits<std::uint32_t>::max(), "");
    case kTypeKindInt64:
      return object({{"type", text("integer")}, {"format", text("int64")}});
    case kTypeKindUInt64:
      return integerSchema(0, std::numeric_limits<std::uint64_t>::max(), "");
    case kTypeKindFloat:
      return object({{"type", text("number")}, {"format", text("float")}});
    case kTypeKindDouble:
      return object({{"type", text("number")}, {"format", text("double")}});
    case kTypeKindString:
      return object({{"type", text("string")}});
    case kTypeKindObject:
      return object({{"description", text("any value")}});
    case kTypeKindBlob:
      return object({{"type", text("string")}, {"contentEncoding", text("base64")}});
    case kTypeKindVector:
      // The elements' own kind, with the named type for structures and enums.
      return object(
          {{"type", text("array")}, {"items", elementSchema(elementKind, typeName, catalog)}});
    case kTypeKindMap:
      return object({{"type", text("object")},
                     {"additionalProperties", elementSchema(elementKind, typeName, catalog)}});
    case kTypeKindEnum:
    case kTypeKindStruct:
      if (catalog.findType(typeName) != nullptr) return reference(typeName);
      return object({{"description", text(typeName)}});
    case kTypeKindCallback:
      return object({{"type", text("integer")}, {"description", text("callback id")}});
    default:
      break;
  }
  // No kind, or one this host does not know: any value.
  if (!typeName.empty() && catalog.findType(typeName) != nullptr) return reference(typeName);
  return object({});
}

HostValue typeSchema(const TypeUse& type, const ApiCatalog& catalog) {
  return kindSchema(type.kind, type.elementKind, type.typeName, catalog);
}

// An enum's values in the order the plugin declared them, when it says;
// else in the records' order. Values the declared order misses come last.
std::vector<const EnumeratorInfo*> declaredOrder(const TypeInfo& type, const PluginFacts& facts) {
  std::vector<const EnumeratorInfo*> ordered;
  for (const EnumeratorInfo& enumerator : type.enumerators) ordered.push_back(&enumerator);
  const auto order = facts.enumOrder.find(type.name);
  if (order == facts.enumOrder.end()) return ordered;
  const auto rank = [&](const EnumeratorInfo* enumerator) {
    return std::find(order->second.begin(), order->second.end(), enumerator->name) -
           order->second.begin();
  };
  std::stable_sort(
      ordered.begin(), ordered.end(),
      [&](const EnumeratorInfo* a, const EnumeratorInfo* b) { return rank(a) < rank(b); });
  return ordered;
}

HostValue componentSchema(const TypeInfo& type, const ApiCatalog& catalog,
                          const PluginFacts& facts) {
  Fields fields;
  if (type.isEnum()) {
    // "enum" gives the browser its drop-down list; the values' descriptions
    // go beside it, one per value, and into the description text, which the
    // browser shows.
    std::vector<HostValue> names;
    std::vector<HostValue> descriptions;
    bool described = false;
    std::string values;
    for (const EnumeratorInfo* value : declaredOrder(type, facts)) {
      const EnumeratorInfo& enumerator = *value;
      names.push_back(text(enumerator.name));
      descriptions.push_back(text(enumerator.description));
      described = described || !enumerator.description.empty();
      if (!values.empty()) values += ", ";
      values += enumerator.name + " = " + std::to_string(enumerator.value);
      if (!enumerator.description.empty()) values += ": " + enumerator.description;
    }
    fields = {{"type", text("string")}, {"enum", HostValue::makeCollection(std::move(names))}};
    if (described) {
      fields.push_back({"x-enum-descriptions", HostValue::makeCollection(std::move(descriptions))});
    }
    std::string description =
        type.description.empty() ? values : type.description + " (" + values + ")";
    fields.push_back({"description", text(description)});
    return object(std::move(fields));
  }
  Fields properties;
  for (const FieldInfo& field : type.fields) {
    HostValue schema = typeSchema(field.type, catalog);
    // OpenAPI 3.1 keeps the siblings of a "$ref", so a nested structure's or
    // an enum's field tells what it holds too.
    if (!field.description.empty()) setField(schema, "description", text(field.description));
    properties.push_back({field.name, std::move(schema)});
  }
  fields = {{"type", text("object")}, {"properties", object(std::move(properties))}};
  const auto required = facts.required.find(type.name);
  if (required != facts.required.end()) fields.push_back({"required", texts(required->second)});
  if (!type.description.empty()) fields.push_back({"description", text(type.description)});
  if (!type.nameSpace.empty()) fields.push_back({"x-namespace", text(type.nameSpace)});
  return object(std::move(fields));
}

// A route's template as an OpenAPI path. "{+name}" and "{#name}" become
// "{name}"; a "{+name}" that ends the template right after a word, not a
// "/", captures the query string ("/search{+query}"), which a browser sends
// as the query parameters themselves, so it leaves the path.
std::string openApiPath(std::string_view urlTemplate) {
  std::string path;
  std::string_view rest = urlTemplate;
  std::string_view before;  // the piece in front of the current one
  while (!rest.empty()) {
    const TemplatePiece piece = takeTemplatePiece(rest);
    if (!piece.placeholder) {
      path.append(piece.text);
    } else {
      const bool capturesQuery =
          piece.op == '+' && rest.empty() && !before.empty() && before.back() != '/';
      if (!capturesQuery) path.append("{").append(piece.name).append("}");
    }
    before = piece.text;
  }
  return path;
}

bool templateNames(std::string_view path, std::string_view name) {
  std::string placeholder = "{" + std::string(name) + "}";
  return path.find(placeholder) != std::string_view::npos;
}

// The placeholder names of a template, in order, as written.
std::vector<std::string> placeholders(std::string_view urlTemplate) {
  std::vector<std::string> names;
  while (!urlTemplate.empty()) {
    const TemplatePiece piece = takeTemplatePiece(urlTemplate);
    if (piece.placeholder) names.emplace_back(piece.text.substr(1, piece.text.size() - 2));
  }
  return names;
}

bool methodTakesBody(std::uint32_t method) {
  std::string_view name = methodName(method);
  return name == "POST" || name == "PUT" || name == "PATCH";
}

bool isStructured(const TypeUse& type) {
  return type.kind == kTypeKindStruct || type.kind == kTypeKindObject ||
         type.kind == kTypeKindVector || type.kind == kTypeKindMap;
}

HostValue parameter(std::string_view name, std::string_view in, bool required, HostValue schema,
                    const std::string& description) {
  Fields fields{{"name", text(name)}, {"in", text(in)}, {"required", flag(required)}};
  if (!description.empty()) fields.push_back({"description", text(description)});
  fields.push_back({"schema", std::move(schema)});
  return object(std::move(fields));
}

HostValue bodyContent(HostValue schema) {
  return object({{"application/json", object({{"schema", schema}})},
                 {"application/x-msgpack", object({{"schema", schema}})},
                 {"application/x-yaml", object({{"schema", std::move(schema)}})}});
}

// A response with a JSON body of the schema.
HostValue jsonResponse(std::string_view description, HostValue schema) {
  Fields media;
  media.push_back({"schema", std::move(schema)});
  Fields content;
  content.push_back({"application/json", object(std::move(media))});
  Fields response;
  response.push_back({"description", text(description)});
  response.push_back({"content", object(std::move(content))});
  return object(std::move(response));
}

// The success the route declares (200 when none), then the errors it
// declares and the two every route may answer, by status.
HostValue responses(const FunctionInfo& function, const ApiCatalog& catalog) {
  const RouteFacts facts = readRouteFacts(function);
  const bool declared = facts.success.status != 0;
  const std::string success = declared ? std::to_string(facts.success.status) : "200";
  std::map<std::string, HostValue> answers;
  if (function.result.kind == kTypeKindNone) {
    answers[success] = jsonResponse(declared ? facts.success.meaning : "Done; no value",
                                    object({{"type", text("null")}}));
  } else {
    answers[success] = jsonResponse(declared ? facts.success.meaning : "The result",
                                    typeSchema(function.result, catalog));
  }
  std::vector<StatusFact> errors = facts.errors;
  errors.push_back({400, "The request was refused: a bad argument or body"});
  errors.push_back({404, "No such function, or the function found nothing"});
  for (const StatusFact& error : errors) {
    answers.try_emplace(std::to_string(error.status),
                        jsonResponse(error.meaning, reference(kErrorSchemaName)));
  }
  Fields fields;
  for (auto& [status, answer] : answers) fields.push_back({status, std::move(answer)});
  return object(std::move(fields));
}

HostValue operation(const FunctionInfo& function, const ApiCatalog& catalog) {
  std::vector<HostValue> parameters;
  HostValue body;
  bool hasBody = false;
  std::vector<std::string> declared;
  const std::string path = openApiPath(function.urlTemplate);
  for (const ArgumentInfo& argument : function.arguments) {
    std::uint32_t location = argument.location;
    if (location == kLocationAny) {
      if (templateNames(path, argument.name)) {
        location = kLocationPath;
      } else if (methodTakesBody(function.method) && isStructured(argument.type) && !hasBody) {
        location = kLocationBody;
      } else {
        location = kLocationQuery;
      }
    }
    HostValue schema = typeSchema(argument.type, catalog);
    switch (location) {
      case kLocationPath:
        // The capture of a query string is given by the query parameters.
        if (!templateNames(path, argument.name)) break;
        declared.push_back(argument.name);
        parameters.push_back(
            parameter(argument.name, "path", true, std::move(schema), argument.description));
        break;
      case kLocationQuery:
        parameters.push_back(parameter(argument.name, "query", !argument.optional,
                                       std::move(schema), argument.description));
        break;
      case kLocationHeader: {
        // The plugin looks header arguments up by their lower-case name.
        std::string name = argument.name;
        for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        parameters.push_back(
            parameter(name, "header", !argument.optional, std::move(schema), argument.description));
        break;
      }
      case kLocationBody:
        if (!hasBody) {
          Fields fields{{"required", flag(!argument.optional)},
                        {"content", bodyContent(std::move(schema))}};
          if (!argument.description.empty()) {
            fields.insert(fields.begin(), {"description", text(argument.description)});
          }
          body = object(std::move(fields));
          hasBody = true;
        }
        break;
      default:  // host-only arguments stay out of the document
        break;
    }
  }
  // Every placeholder of the path needs a parameter.
  for (const std::string& name : placeholders(path)) {
    if (std::find(declared.begin(), declared.end(), name) == declared.end()) {
      parameters.push_back(parameter(name, "path", true, object({{"type", text("string")}}), ""));
    }
  }

  Fields fields{
      {"operationId", text(function.name)},
      {"summary", text(function.description.empty() ? function.name : function.description)}};
  if (!function.help.empty()) fields.push_back({"description", text(function.help)});
  // One group per operation in browsers: the most specific of the function's
  // tags (the last); all of them stay readable as an extension.
  if (!function.tags.empty()) {
    fields.push_back({"tags", texts({function.tags.back()})});
    fields.push_back({"x-zel-tags", texts(function.tags)});
  }
  fields.push_back({"parameters", HostValue::makeCollection(std::move(parameters))});
  if (hasBody) fields.push_back({"requestBody", std::move(body)});
  fields.push_back({"responses", responses(function, catalog)});
  return object(std::move(fields));
}

HostValue errorSchema() {
  return object({{"type", text("object")},
                 {"properties", object({{"error", object({{"type", text("string")}})},
                                        {"status", object({{"type", text("integer")}})}})},
                 {"required", texts({"error", "status"})}});
}

}  // namespace

std::string_view openApiMethod(std::uint32_t method) {
  switch (method) {
    case kMethodDelete:
      return "delete";
    case kMethodGet:
      return "get";
    case kMethodHead:
      return "head";
    case kMethodOptions:
      return "options";
    case kMethodPatch:
      return "patch";
    case kMethodPost:
      return "post";
    case kMethodPut:
      return "put";
    default:
      return {};
  }
}

HostValue openApiDocument(const ApiCatalog& catalog, const ApiDocumentInfo& info) {
  const PluginFacts facts = readPluginFacts(catalog);
  Fields paths;
  for (const FunctionInfo* function : sortedFunctions(catalog)) {
    std::string_view method = openApiMethod(function->method);
    if (method.empty() || function->urlTemplate.empty()) continue;
    const std::string path = openApiPath(function->urlTemplate);
    auto item = std::find_if(paths.begin(), paths.end(),
                             [&](const HostField& known) { return known.key == path; });
    if (item == paths.end()) {
      paths.push_back({path, object({})});
      item = paths.end() - 1;
    }
    // Two functions on one method and template: the first keeps it.
    if (item->value.find(method) == nullptr) {
      item->value.fields.push_back({std::string(method), operation(*function, catalog)});
    }
  }
  // Only the schemas the routes reach, through fields and elements too: the
  // platform's types that no route uses stay out. Each schema is built once.
  Fields components;
  std::multimap<std::string, std::size_t, std::less<>> componentIndex;
  for (const TypeInfo* type : sortedByName(catalog.types)) {
    std::string name = componentName(type->name);
    componentIndex.emplace(name, components.size());
    components.push_back({std::move(name), componentSchema(*type, catalog, facts)});
  }
  std::vector<std::string> pending;
  for (const HostField& path : paths) collectReferences(path.value, pending);
  std::set<std::string> reached;
  while (!pending.empty()) {
    std::string name = std::move(pending.back());
    pending.pop_back();
    if (!reached.insert(name).second) continue;
    const auto [first, last] = componentIndex.equal_range(name);
    for (auto entry = first; entry != last; ++entry) {
      collectReferences(components[entry->second].value, pending);
    }
  }
  Fields schemas;
  for (HostField& component : components) {
    if (reached.count(component.key) != 0) schemas.push_back(std::move(component));
  }
  if (reached.count(std::string(kErrorSchemaName)) != 0) {
    schemas.push_back({std::string(kErrorSchemaName), errorSchema()});
  }

  std::string description = "The routes of the plugin " + info.pluginName +
                            ", served by zel-host. Errors answer {\"error\": text, \"status\": n}.";
  return object(
      {{"openapi", text("3.1.0")},
       {"info", object({{"title", text(info.pluginName)},
                        {"version", text(facts.version.empty() ? "1.0.0" : facts.version)},
                        {"description", text(description)},
                        {"x-plugin-api-version", text(info.version)}})},
       {"paths", object(std::move(paths))},
       {"components", object({{"schemas", object(std::move(schemas))}})}});
}

}  // namespace zel::host
