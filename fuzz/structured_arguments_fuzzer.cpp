// Structured text arguments: query values, headers and host texts that the
// binder sniffs as MessagePack, JSON or YAML, and dotted names that write
// into fields and elements ("filter.name=a", "ids.3=5"). Input: the query
// (after "?"), a NUL, a header value for the struct argument, a NUL, a host
// text for the map argument. Every call answers through its response.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/describe_registry.h"
#include "api/route_declarer.h"
#include "binding/flat_value_ops.h"
#include "binding/type_registry.h"
#include "boundary/description_records.h"
#include "boundary/host_messages.h"
#include "boundary/method_codes.h"

namespace {

struct Filter {
  std::string name;
  std::int32_t id = 0;
  std::vector<double> weights;
};

struct Routes {
  Routes() {
    registry.registerStruct<Filter>("Filter")
        .field("name", &Filter::name)
        .field("id", &Filter::id)
        .field("weights", &Filter::weights);
    zel::RouteDeclarer routes(registry, {});
    routes
        .declare(zel::HttpMethod::Get, "/f/{p}",
                 [](std::string, std::vector<std::int64_t> ids, Filter filter,
                    std::unordered_map<std::string, std::string> labels, zel::BindingValue any) {
                   return ids.size() + filter.weights.size() + labels.size() + (any.ok() ? 1u : 0u);
                 })
        .pathArgument("p")
        .queryArgument("ids")
        .argument("filter")
        .argument("labels")
        .argument("any");
    description = zel::buildApiDescription(registry);
    record = static_cast<const zel::FunctionRecord*>(description.functions);
    if (record == nullptr) __builtin_trap();
  }

  zel::TypeRegistry registry;
  zel::ApiDescription description{};
  const zel::FunctionRecord* record = nullptr;
};

std::string_view take(std::string_view& input) {
  const std::size_t split = input.find('\0');
  const std::string_view part = input.substr(0, split);
  input = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Routes routes;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string url = "/f/x?" + std::string(take(input));
  const std::string header(take(input));
  const std::string hostText(take(input));

  const char* const headers[] = {"filter", header.c_str()};
  zel::RequestParameter parameter{};
  parameter.name = "labels";
  zel::setFlatStringRef(parameter.value, hostText.c_str(),
                        static_cast<std::uint32_t>(hostText.size()));

  zel::HostRequest request{};
  request.method = zel::kMethodGet;
  request.url = url.c_str();
  request.context = const_cast<void*>(routes.record->function.context);
  request.headers = headers;
  request.headerCount = header.empty() ? 0 : 1;
  request.parameters = hostText.empty() ? nullptr : &parameter;
  request.parameterCount = hostText.empty() ? 0 : 1;

  zel::HostResponse response{};
  routes.record->callback(&response, &request);
  if (response.release == nullptr) __builtin_trap();
  response.release(&response);
  return 0;
}
