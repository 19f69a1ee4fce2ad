#include "host/dev/dev_host.h"

#include <algorithm>
#include <cstdio>

#include "host/dev/json_value.h"
#include "host/dev/messages.h"
#include "host/method_names.h"
#include "host/text_template.h"

namespace zel::host {

namespace {

std::string_view trimLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string_view methodText(std::uint32_t method, const std::optional<std::string>& custom) {
  if (method == kMethodCustom && custom) return *custom;
  return methodName(method);
}

// A reply of a hosted plugin, handed on to the plugin that asked.
ScriptedResponse toScripted(const CallReply& reply) {
  ScriptedResponse answer;
  answer.body = reply.reply.body;
  answer.error = reply.reply.error;
  answer.status = reply.reply.status;
  answer.reason = reply.reply.reason.value_or("");
  answer.headers = reply.reply.headers;
  answer.passThrough = reply.reply.passThrough;
  answer.passThroughCode = reply.reply.passThroughCode;
  if (reply.streamedBody) {
    answer.stream =
        ScriptedStream().chunked(*reply.streamedBody, 4096).sizeHint(reply.streamedBody->size());
  } else if (reply.streamFailed) {
    answer.stream = ScriptedStream().fail();
  }
  return answer;
}

std::vector<MockFolder> mockFolders(const DevHostOptions& options) {
  std::vector<MockFolder> folders;
  if (!options.gameDataDirectory.empty()) {
    folders.emplace_back(gameDataMock(options.gameDataDirectory));
  }
  for (const MockFolderSpec& spec : options.mocks) folders.emplace_back(spec);
  // Stable: of two equal prefixes the one given first answers.
  std::stable_sort(folders.begin(), folders.end(), [](const MockFolder& a, const MockFolder& b) {
    return a.prefix().size() > b.prefix().size();
  });
  return folders;
}

}  // namespace

DevHost::DevHost(DevHostOptions options)
    : options_(std::move(options)),
      mocks_(mockFolders(options_)),
      plugin_(PluginLibrary::open(options_.pluginPath)) {
  api_.addRouter([this](const RecordedRequest& request) { return answerFromMocks(request); });
  api_.addRouter([this](const RecordedRequest& request) { return routeToPlugin(request); });
  api_.onLog([this](std::int32_t level, std::string_view text) {
    log(logLevelName(level) + " " + plugin_.shortName() + ": " + std::string(trimLineEnd(text)));
  });
  api_.onEvent([this](const std::string& name, const HostValue& payload) {
    events_.publish(name, toJson(payload));
  });
  api_.onRequest([this](const RecordedRequest& request, const ScriptedResponse& answer,
                        std::chrono::steady_clock::duration elapsed) {
    std::uint32_t status = answer.status != 0 ? answer.status : (answer.error ? 400 : 200);
    logRequest(methodText(request.method, request.customMethod), request.url, status, elapsed);
  });
}

DevHost::~DevHost() {
  stop();
}

bool DevHost::start() {
  if (!plugin_.load(options_.version) || !plugin_.attach(api_.api(), kPluginHandle)) {
    error_ = plugin_.error();
    return false;
  }
  caller_.emplace(plugin_.description());
  return true;
}

void DevHost::stop() {
  events_.closeAll();
  if (!caller_) return;
  plugin_.shutdown();
  caller_.reset();
}

const ApiCatalog& DevHost::catalog() const {
  static const ApiCatalog kEmpty;
  return caller_ ? caller_->catalog() : kEmpty;
}

CallReply DevHost::call(const FunctionInfo& function, CallRequest request) {
  request.requestId = nextRequestId_.fetch_add(1);
  return caller_->call(function, request);
}

std::optional<CallReply> DevHost::routeAndCall(CallRequest request) {
  const FunctionInfo* function = caller_->route(request.method, request.path, request.customMethod);
  if (function == nullptr) return std::nullopt;
  return call(*function, std::move(request));
}

std::size_t DevHost::deliverEvent(std::string_view name, const HostValue& payload) {
  return api_.deliverEvent(name, payload);
}

void DevHost::log(std::string_view line) const {
  if (options_.log) {
    options_.log(line);
  } else {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  }
}

void DevHost::logRequest(std::string_view method, std::string_view url, std::uint32_t status,
                         std::chrono::steady_clock::duration elapsed) const {
  if (!options_.verbose) return;
  char milliseconds[32];
  std::snprintf(milliseconds, sizeof milliseconds, "%.2f",
                std::chrono::duration<double, std::milli>(elapsed).count());
  log(fillTemplate(messages::kRequestLine, {method, url, std::to_string(status), milliseconds}));
}

std::optional<ScriptedResponse> DevHost::answerFromMocks(const RecordedRequest& request) const {
  for (const MockFolder& mock : mocks_) {
    if (mock.covers(request.url)) return mock.answer(request.method, request.url);
  }
  return std::nullopt;
}

std::optional<ScriptedResponse> DevHost::routeToPlugin(const RecordedRequest& request) {
  if (!caller_) return std::nullopt;
  CallRequest call;
  call.method = request.method;
  call.customMethod = request.customMethod.value_or("");
  call.path = request.url;
  call.headers = request.headers;
  for (const RecordedParameter& parameter : request.parameters) {
    call.arguments.push_back(CallArgument{parameter.name, parameter.value});
  }
  call.contentType = request.contentType;
  call.body = request.body;
  std::optional<CallReply> reply = routeAndCall(std::move(call));
  if (!reply) return std::nullopt;
  return toScripted(*reply);
}

std::uint32_t effectiveStatus(const CallReply& reply) {
  if (reply.reply.status != 0) return reply.reply.status;
  return reply.reply.error || reply.streamFailed ? 400 : 200;
}

HostValue replyValue(const CallReply& reply) {
  if (!reply.streamedBody) return reply.reply.body;
  std::string ignored;
  std::optional<HostValue> parsed = parseJson(*reply.streamedBody, ignored);
  return parsed ? std::move(*parsed) : HostValue::makeString(*reply.streamedBody);
}

std::string logLevelName(std::int32_t level) {
  switch (level) {
    case 0:
      return "  OKAY";
    case 1:
      return "  WARN";
    case 2:
      return " ERROR";
    case 3:
      return "ALWAYS";
    default:
      return std::to_string(level);
  }
}

}  // namespace zel::host
