// zel-host call METHOD PATH: one call, printed as {status, error, result}.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "host/conversions/method_names.h"
#include "host/conversions/text_template.h"
#include "host/dev/cli/command_support.h"
#include "host/dev/cli/commands.h"
#include "host/dev/cli/messages.h"
#include "host/dev/documents/json_value.h"
#include "host/dev/hosting/messages.h"

namespace zel::host::cli {

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The content type a body file's name suggests; JSON when it says nothing.
std::string contentTypeFor(std::string_view file) {
  if (endsWith(file, ".yaml") || endsWith(file, ".yml")) return "application/x-yaml";
  if (endsWith(file, ".msgpack") || endsWith(file, ".mp")) return "application/x-msgpack";
  return "application/json";
}

std::string upperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return text;
}

// Fills the request from the command line; false after reporting why not.
bool buildRequest(const CliOptions& options, CallRequest& request) {
  std::string method = upperCase(options.operands[0]);
  request.method = methodCode(method);
  if (request.method == kMethodNone) {
    request.method = kMethodCustom;
    request.customMethod = method;
  }
  request.path = options.operands[1];
  request.headers = options.headers;
  for (const auto& [name, json] : options.arguments) {
    std::string error;
    std::optional<HostValue> value = parseJson(json, error);
    if (!value) {
      reportError(fillTemplate(messages::kBadArgument, {name, error}));
      return false;
    }
    std::optional<std::string> argumentName;
    if (!name.empty()) argumentName = name;
    request.arguments.push_back(CallArgument{argumentName, std::move(*value)});
  }
  if (options.bodyFile) {
    std::string error;
    std::optional<std::string> body;
    if (*options.bodyFile == "-") {
      body.emplace(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
      body = readFileText(*options.bodyFile, error);
    }
    if (!body) {
      reportError(fillTemplate(messages::kBodyUnreadable, {*options.bodyFile, error}));
      return false;
    }
    request.body = std::move(body);
    request.contentType = options.contentType.value_or(contentTypeFor(*options.bodyFile));
  } else if (options.contentType) {
    request.contentType = options.contentType;
  }
  return true;
}

void printReply(std::uint32_t status, const std::optional<std::string>& error,
                const HostValue& result) {
  HostValue document = HostValue::makeStructure(
      {{"status", HostValue::makeUnsigned(status)},
       {"error", error ? HostValue::makeString(*error) : HostValue::makeNone()},
       {"result", result}});
  std::string text = toJson(document, JsonStyle::Indented);
  std::printf("%s\n", text.c_str());
}

}  // namespace

int runCall(const CliOptions& options) {
  CallRequest request;
  if (!buildRequest(options, request)) return kExitUsage;
  DevHost host(devHostOptions(options));
  if (!startOrReport(host)) return kExitFailure;

  std::string method = upperCase(options.operands[0]);
  auto started = std::chrono::steady_clock::now();
  std::optional<CallReply> reply = host.routeAndCall(std::move(request));
  if (!reply) {
    std::string text = fillTemplate(host::messages::kNoFunction, {method, options.operands[1]});
    host.logRequest(method, options.operands[1], 404, std::chrono::steady_clock::now() - started);
    printReply(404, text, HostValue::makeNone());
    return kExitFailure;
  }
  std::uint32_t status = effectiveStatus(*reply);
  host.logRequest(method, options.operands[1], status, std::chrono::steady_clock::now() - started);
  bool failed = reply->reply.error.has_value() || reply->streamFailed;
  std::optional<std::string> error = reply->reply.error;
  if (reply->streamFailed && !error) error = std::string(host::messages::kStreamFailed);
  printReply(status, error, failed ? HostValue::makeNone() : replyValue(*reply));
  return failed ? kExitFailure : kExitOk;
}

}  // namespace zel::host::cli
