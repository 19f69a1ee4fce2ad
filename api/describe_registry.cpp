#include "api/describe_registry.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/internal/description_builder.h"
#include "api/internal/invocation.h"
#include "api/internal/route_descriptor.h"
#include "binding/type_descriptor.h"
#include "boundary/method_codes.h"

namespace zel {
namespace {

using api::internal::BuiltDescriptions;
using api::internal::DescriptionBuilder;
using api::internal::functionCallback;
using api::internal::InvocationContext;
using api::internal::InvocationContextTable;
using api::internal::RouteDescriptor;
using api::internal::RouteTable;

const ArgumentLocationNode* locationList(DescriptionBuilder& builder,
                                         const RouteDescriptor& route) {
  const std::size_t count = route.function().arguments().size();
  ArgumentLocationNode* nodes = builder.allocate<ArgumentLocationNode>(count);
  for (std::size_t i = 0; i < count; ++i) {
    nodes[i].location = argumentLocationCode(route.location(i));
    if (i + 1 < count) nodes[i].next = &nodes[i + 1];
  }
  return nodes;
}

struct TextLists {
  const TextListNode* first = nullptr;
  std::uint32_t count = 0;
};

// The route's own lists, followed by the plugin's.
TextLists textLists(DescriptionBuilder& builder, const RouteDescriptor& route,
                    TextLists pluginFacts) {
  const auto& lists = route.textLists();
  if (lists.empty()) return pluginFacts;
  TextListNode* nodes = builder.allocate<TextListNode>(lists.size());
  for (std::size_t i = 0; i < lists.size(); ++i) {
    nodes[i].texts = builder.tagArray(lists[i]);
    nodes[i].count = static_cast<std::uint32_t>(lists[i].size());
    nodes[i].next = i + 1 < lists.size() ? &nodes[i + 1] : pluginFacts.first;
  }
  return {nodes, static_cast<std::uint32_t>(lists.size()) + pluginFacts.count};
}

// Whether the route declares the status of its success or of an error.
bool declaresStatus(const RouteDescriptor& route) {
  return std::any_of(route.textLists().begin(), route.textLists().end(), [](const auto& list) {
    return !list.empty() && (list[0] == kFactReturns || list[0] == kFactError);
  });
}

// An enum's names in declaration order; empty when that is their name order.
std::vector<const char*> declarationOrder(const TypeDescriptor& type) {
  const auto& enumerators = type.enumerators();
  std::vector<const char*> names(enumerators.size());
  bool reordered = false;
  std::uint32_t byName = 0;
  for (const auto& [name, enumerator] : enumerators) {
    if (enumerator.order() >= names.size()) return {};
    names[enumerator.order()] = name.c_str();
    reordered = reordered || enumerator.order() != byName;
    ++byName;
  }
  if (!reordered) names.clear();
  return names;
}

// The facts of the whole plugin that the host's documentation reads: its
// version, the required fields of each structure, and the declaration order
// of each enum declared out of name order; types by name. Texts point into
// the registry, which outlives the records.
TextLists pluginFacts(DescriptionBuilder& builder, const RouteTable& routes,
                      std::vector<const TypeDescriptor*> types) {
  std::vector<std::vector<const char*>> lists;
  if (!routes.pluginVersion().empty()) {
    lists.push_back({kFactVersion, routes.pluginVersion().c_str()});
  }
  std::sort(types.begin(), types.end(),
            [](const TypeDescriptor* a, const TypeDescriptor* b) { return a->name() < b->name(); });
  for (const TypeDescriptor* type : types) {
    std::vector<const char*> list{type->isEnum() ? kFactEnumOrder : kFactRequired,
                                  type->name().c_str()};
    if (type->isEnum()) {
      const std::vector<const char*> names = declarationOrder(*type);
      list.insert(list.end(), names.begin(), names.end());
    } else {
      for (const FieldDescriptor& field : type->fields()) {
        if (field.required() && !field.optional()) list.push_back(field.name().c_str());
      }
    }
    if (list.size() > 2) lists.push_back(std::move(list));
  }

  TextListNode* nodes = builder.allocate<TextListNode>(lists.size());
  for (std::size_t i = 0; i < lists.size(); ++i) {
    const char** texts = builder.allocate<const char*>(lists[i].size());
    std::copy(lists[i].begin(), lists[i].end(), texts);
    nodes[i].texts = texts;
    nodes[i].count = static_cast<std::uint32_t>(lists[i].size());
    if (i + 1 < lists.size()) nodes[i].next = &nodes[i + 1];
  }
  return {nodes, static_cast<std::uint32_t>(lists.size())};
}

}  // namespace

ApiDescription buildApiDescription(TypeRegistry& registry) {
  std::unordered_map<std::string_view, RouteDescriptor*> routes;
  for (RouteDescriptor* route :
       binding::internal::RegistryAccess::attachment<RouteTable>(registry).snapshot()) {
    routes.emplace(route->function().name(), route);
  }

  DescriptionBuilder& builder =
      binding::internal::RegistryAccess::attachment<DescriptionBuilder>(registry);
  const auto functions = binding::internal::RegistryAccess::functions(registry);
  const auto types = binding::internal::RegistryAccess::types(registry);
  const auto events = binding::internal::RegistryAccess::events(registry);
  const BuiltDescriptions built = builder.build(functions, types, events);

  std::unordered_map<std::string_view, const FunctionDescription*> descriptions;
  descriptions.reserve(built.functionCount);
  for (std::uint32_t i = 0; i < built.functionCount; ++i) {
    const std::string_view name = built.functions[i].name;  // read out of the packed record
    descriptions.emplace(name, &built.functions[i]);
  }

  // A plugin that documents nothing itself (no version, no route statuses)
  // hands the host its records alone.
  const RouteTable& table = binding::internal::RegistryAccess::attachment<RouteTable>(registry);
  const bool documented = !table.pluginVersion().empty() ||
                          std::any_of(routes.begin(), routes.end(), [](const auto& entry) {
                            return declaresStatus(*entry.second);
                          });
  const TextLists facts = documented ? pluginFacts(builder, table, types) : TextLists{};

  InvocationContextTable& contexts =
      binding::internal::RegistryAccess::attachment<InvocationContextTable>(registry);
  contexts.reserve(routes.size());
  FunctionRecord* records = builder.allocate<FunctionRecord>(routes.size());
  std::uint32_t count = 0;
  for (const auto& [name, route] : routes) {
    const auto found = descriptions.find(name);
    if (found == descriptions.end()) continue;  // removed from the registry since
    FunctionRecord& record = records[count];
    std::memcpy(&record.function, found->second, sizeof(FunctionDescription));
    record.function.next = nullptr;
    if (count > 0) records[count - 1].function.next = &record;

    InvocationContext& context = contexts.contextFor(route->function().name());
    context.registry = &registry;
    context.route = route;
    record.function.context = &context;
    record.callback = &functionCallback;
    record.locations = locationList(builder, *route);
    record.urlTemplate = route->urlTemplate().c_str();
    const std::uint32_t method = httpMethodCode(route->method());
    record.method = method >= kMethodDelete && method <= kMethodCustom ? method : kMethodNone;
    record.flag = route->flag();
    const TextLists lists = textLists(builder, *route, facts);
    record.textLists = lists.first;
    record.textListCount = lists.count;
    record.customMethod = route->customMethod().c_str();
    ++count;
  }

  return ApiDescription{count != 0 ? records : nullptr,
                        count,
                        built.types,
                        built.typeCount,
                        built.events,
                        built.eventCount};
}

}  // namespace zel
