#include "host/function_caller.h"

#include <cstring>
#include <memory>

#include "host/calling/response_reader.h"
#include "host/calling/route_match.h"
#include "host/conversions/host_flat_value.h"
#include "host/conversions/method_names.h"
#include "host/conversions/text_template.h"
#include "host/description/api_catalog.h"
#include "host/messages.h"

namespace zel::host {

namespace {

bool sameMethod(const FunctionInfo& function, std::uint32_t method, std::string_view custom) {
  if (function.method != method) return false;
  return method != kMethodCustom || function.customMethod == custom;
}

// A function declared without a method serves every method, as the plugin's
// own routing has it.
bool servesMethod(const FunctionInfo& function, std::uint32_t method, std::string_view custom) {
  return function.method == kMethodNone || sameMethod(function, method, custom);
}

}  // namespace

FunctionCaller::FunctionCaller(const ApiDescription* description)
    : catalog_(std::make_unique<ApiCatalog>(readApiCatalog(description))) {}

FunctionCaller::~FunctionCaller() = default;

FunctionCaller::FunctionCaller(const FunctionCaller& other)
    : catalog_(std::make_unique<ApiCatalog>(*other.catalog_)) {}

FunctionCaller& FunctionCaller::operator=(const FunctionCaller& other) {
  if (this != &other) catalog_ = std::make_unique<ApiCatalog>(*other.catalog_);
  return *this;
}

FunctionCaller::FunctionCaller(FunctionCaller&& other) noexcept = default;
FunctionCaller& FunctionCaller::operator=(FunctionCaller&& other) noexcept = default;

const ApiCatalog& FunctionCaller::catalog() const {
  return *catalog_;
}

const FunctionInfo* FunctionCaller::find(std::uint32_t method, std::string_view urlTemplate,
                                         std::string_view customMethod) const {
  for (const FunctionInfo& function : catalog_->functions) {
    if (sameMethod(function, method, customMethod) && function.urlTemplate == urlTemplate) {
      return &function;
    }
  }
  return nullptr;
}

const FunctionInfo* FunctionCaller::findByName(std::string_view name) const {
  return catalog_->findFunction(name);
}

const FunctionInfo* FunctionCaller::route(std::uint32_t method, std::string_view url,
                                          std::string_view customMethod) const {
  const FunctionInfo* best = nullptr;
  RouteFit bestFit;
  for (const FunctionInfo& function : catalog_->functions) {
    if (!servesMethod(function, method, customMethod)) continue;
    std::optional<RouteFit> fit = matchRoute(function.urlTemplate, url);
    if (fit && (best == nullptr || fit->closerThan(bestFit))) {
      best = &function;
      bestFit = *fit;
    }
  }
  return best;
}

bool FunctionCaller::anyRouteFits(std::string_view url) const {
  for (const FunctionInfo& function : catalog_->functions) {
    if (matchRoute(function.urlTemplate, url)) return true;
  }
  return false;
}

CallReply FunctionCaller::call(const FunctionInfo& function, const CallRequest& request) const {
  CallReply result;
  if (function.callback == nullptr) {
    result.reply.error = fillTemplate(messages::kNoCallback, {function.name});
    result.reply.status = 500;
    return result;
  }

  // Host-owned flat values and the records that point at them; all live
  // until the callback has returned.
  std::vector<HostFlatValue> values;
  values.reserve(request.arguments.size());
  std::vector<RequestParameter> parameters(request.arguments.size());
  for (std::size_t i = 0; i < request.arguments.size(); ++i) {
    const CallArgument& argument = request.arguments[i];
    values.emplace_back(argument.value);
    parameters[i].name = argument.name ? argument.name->c_str() : nullptr;
    parameters[i].value = values.back().value();
  }
  std::vector<const char*> headers;
  headers.reserve(2 * request.headers.size());
  for (const auto& [name, value] : request.headers) {
    headers.push_back(name.c_str());
    headers.push_back(value.c_str());
  }

  HostRequest record;
  std::memset(&record, 0, sizeof record);
  record.method = request.method;
  record.url = request.path.c_str();
  record.parameters = parameters.empty() ? nullptr : parameters.data();
  record.parameterCount = static_cast<std::uint32_t>(parameters.size());
  record.context = function.context;
  record.headers = headers.empty() ? nullptr : headers.data();
  record.headerCount = static_cast<std::uint32_t>(request.headers.size());
  record.contentType = request.contentType ? request.contentType->c_str() : nullptr;
  if (request.body) {
    record.body = request.body->c_str();
    record.bodyLength = static_cast<std::uint32_t>(request.body->size());
  }
  record.handleOrRequestId = request.requestId;
  if (request.method == kMethodCustom) record.customMethod = request.customMethod.c_str();

  HostResponse response;
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  function.callback(&response, &record);

  result.reply = readReply(response);
  if (result.reply.streamed) {
    result.streamedBody = drainStream(response);
    result.streamFailed = !result.streamedBody.has_value();
  }
  releaseResponse(response);
  return result;
}

std::optional<CallReply> FunctionCaller::routeAndCall(const CallRequest& request) const {
  const FunctionInfo* function = route(request.method, request.path, request.customMethod);
  if (function == nullptr) return std::nullopt;
  return call(*function, request);
}

std::uint32_t effectiveStatus(const CallReply& reply) {
  if (reply.reply.status != 0) return reply.reply.status;
  return reply.reply.error || reply.streamFailed ? 400 : 200;
}

}  // namespace zel::host
