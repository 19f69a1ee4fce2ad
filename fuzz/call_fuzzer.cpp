// The complete call path: a fuzzed method, path with query, headers, host
// arguments, content type and body, delivered through the boundary records
// to a function record of the real maps service, which has its catalogue
// loaded. Every call must answer through the response, with its release
// function set; the catalogue must stay readable.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "api/describe_registry.h"
#include "binding/flat_value_ops.h"
#include "boundary/description_records.h"
#include "boundary/host_api.h"
#include "boundary/method_codes.h"
#include "host/sdk_fakes/quiet_host.h"
#include "maps/maps_service.h"
#include "plugin/entry.h"
#include "tests/reliability/game_data_documents.h"

namespace {

// Loaded and attached once; the catalogue is reloaded now and then so that
// updates do not pile up without bound.
struct Plugin {
  Plugin() {
    info.major = 18;
    if (zel::loadPlugin(&info, zel::maps::kShortName,
                        []() -> zel::PluginBase* { return new zel::maps::MapsService; }) == 0) {
      __builtin_trap();
    }
    connection = zel::HostConnection{host.api(), 1};
    if (info.entryPoints->attach(info.plugin, &connection) == 0) __builtin_trap();
    records = static_cast<const zel::FunctionRecord*>(info.description->functions);
    count = info.description->functionCount;
    if (count == 0) __builtin_trap();
  }
  zel::maps::MapsService& service() { return *static_cast<zel::maps::MapsService*>(info.plugin); }

  zel::host::QuietHost host{zel::reliability::kGameDataDocuments};
  zel::HostLoadInfo info{};
  zel::HostConnection connection{};
  const zel::FunctionRecord* records = nullptr;
  std::uint32_t count = 0;
  std::uint32_t calls = 0;
};

const char* const kPathStarts[] = {
    "/zel-maps/v1/maps",
    "/zel-maps/v2/maps",
    "/zel-maps/v1/map/",
    "/zel-maps/v2/map/42/",
    "/zel-maps/v2/map/7/A/",
    "/zel-maps/v1/map",
    "",
    "/",
};
const char* const kContentTypes[] = {
    "application/json",
    "application/vnd.api+json",
    "application/x-msgpack",
    "application/x-yaml",
    "text/plain",
    "application/json; charset=utf-8",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Plugin plugin;
  FuzzedDataProvider input(data, size);

  const zel::FunctionRecord& record =
      plugin.records[input.ConsumeIntegralInRange<std::uint32_t>(0, plugin.count - 1)];
  zel::HostRequest request{};
  // Every method code and one past them.
  request.method =
      input.ConsumeIntegralInRange<std::uint32_t>(zel::kMethodNone, zel::kMethodCustom + 1);
  const std::string customMethod = input.ConsumeRandomLengthString(8);
  request.customMethod = input.ConsumeBool() ? customMethod.c_str() : nullptr;
  const std::string path =
      std::string(
          kPathStarts[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kPathStarts) - 1)]) +
      input.ConsumeRandomLengthString(128);
  request.url = path.c_str();
  request.context = const_cast<void*>(record.function.context);
  request.handleOrRequestId = input.ConsumeIntegral<std::uint32_t>();

  std::vector<std::string> headerTexts;
  const auto headerCount = input.ConsumeIntegralInRange<std::uint32_t>(0, 4);
  for (std::uint32_t i = 0; i < 2 * headerCount; ++i) {
    headerTexts.push_back(input.ConsumeRandomLengthString(32));
  }
  std::vector<const char*> headers;
  for (const std::string& text : headerTexts) headers.push_back(text.c_str());
  request.headers = headers.empty() ? nullptr : headers.data();
  request.headerCount = headerCount;

  // Host arguments: named or positional, of the simple kinds.
  std::vector<std::string> parameterTexts;
  std::vector<zel::RequestParameter> parameters;
  const auto parameterCount = input.ConsumeIntegralInRange<std::uint32_t>(0, 3);
  parameterTexts.reserve(2 * parameterCount);
  for (std::uint32_t i = 0; i < parameterCount; ++i) {
    zel::RequestParameter parameter{};
    const std::string& name = parameterTexts.emplace_back(input.ConsumeRandomLengthString(16));
    parameter.name = input.ConsumeBool() ? name.c_str() : nullptr;
    const std::string& text = parameterTexts.emplace_back(input.ConsumeRandomLengthString(32));
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        zel::setFlatSigned(parameter.value, input.ConsumeIntegral<std::int64_t>());
        break;
      case 1:
        zel::setFlatBool(parameter.value, input.ConsumeBool());
        break;
      case 2:
        zel::setFlatFloat(parameter.value, input.ConsumeFloatingPoint<double>());
        break;
      default:
        zel::setFlatStringRef(parameter.value, text.c_str(),
                              static_cast<std::uint32_t>(text.size()));
        break;
    }
    parameters.push_back(parameter);
  }
  request.parameters = parameters.empty() ? nullptr : parameters.data();
  request.parameterCount = parameterCount;

  const std::string fuzzedType = input.ConsumeRandomLengthString(32);
  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      request.contentType = nullptr;
      break;
    case 1:
      request.contentType = fuzzedType.c_str();
      break;
    default:
      request.contentType =
          kContentTypes[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kContentTypes) - 1)];
      break;
  }
  const std::string body = input.ConsumeRemainingBytesAsString();
  request.body = body.empty() ? nullptr : body.data();
  request.bodyLength = static_cast<std::uint32_t>(body.size());

  zel::HostResponse response{};
  record.callback(&response, &request);
  if (response.release == nullptr) __builtin_trap();
  if (response.error == nullptr && response.status == 500) __builtin_trap();
  response.release(&response);

  if (++plugin.calls % 2048 == 0) {
    if (plugin.host.deliver("OnRegionLocaleChanged") != 1) __builtin_trap();
    if (plugin.service().listAllMaps().size() != zel::reliability::kGameDataVariantCount)
      __builtin_trap();
  }
  return 0;
}
