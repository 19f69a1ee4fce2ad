#include "api/describe_registry.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

#include "api/internal/description_builder.h"
#include "api/internal/invocation.h"
#include "api/internal/route_descriptor.h"
#include "boundary/method_codes.h"

namespace zel {
namespace {

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

const TextListNode* textLists(DescriptionBuilder& builder, const RouteDescriptor& route) {
  const auto& lists = route.textLists();
  TextListNode* nodes = builder.allocate<TextListNode>(lists.size());
  for (std::size_t i = 0; i < lists.size(); ++i) {
    nodes[i].texts = builder.tagArray(lists[i]);
    nodes[i].count = static_cast<std::uint32_t>(lists[i].size());
    if (i + 1 < lists.size()) nodes[i].next = &nodes[i + 1];
  }
  return nodes;
}

}  // namespace

ApiDescription buildApiDescription(TypeRegistry& registry) {
  std::unordered_map<std::string_view, RouteDescriptor*> routes;
  for (RouteDescriptor* route : registry.attachment<RouteTable>().snapshot()) {
    routes.emplace(route->function().name(), route);
  }

  DescriptionBuilder& builder = registry.attachment<DescriptionBuilder>();
  const auto functions = registry.functionsSnapshot();
  const auto types = registry.typesSnapshot();
  const auto events = registry.eventsSnapshot();
  const BuiltDescriptions built = builder.build(functions, types, events);

  std::unordered_map<std::string_view, const FunctionDescription*> descriptions;
  descriptions.reserve(built.functionCount);
  for (std::uint32_t i = 0; i < built.functionCount; ++i) {
    const std::string_view name = built.functions[i].name;  // read out of the packed record
    descriptions.emplace(name, &built.functions[i]);
  }

  InvocationContextTable& contexts = registry.attachment<InvocationContextTable>();
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
    record.textLists = textLists(builder, *route);
    record.textListCount = static_cast<std::uint32_t>(route->textLists().size());
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
