#include "host/dev/serving/internal/request_guard.h"

#include <algorithm>

#include "host/conversions/text_template.h"
#include "host/dev/serving/messages.h"

namespace zel::host::internal {

namespace {

bool isDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "name:port" or "[v6]:port": the part before the port; the whole when
// there is no port.
std::string_view withoutPort(std::string_view host) {
  std::size_t colon = host.rfind(':');
  if (colon == std::string_view::npos) return host;
  std::size_t bracket = host.rfind(']');
  if (bracket != std::string_view::npos && bracket > colon) return host;
  return isDigits(host.substr(colon + 1)) ? host.substr(0, colon) : host;
}

bool hasPort(std::string_view host) {
  return withoutPort(host).size() != host.size();
}

}  // namespace

std::string_view eventPostName(std::string_view target) {
  constexpr std::string_view kPrefix = "/events/";
  std::string_view path = target.substr(0, target.find_first_of("?#"));
  if (path.substr(0, kPrefix.size()) != kPrefix) return {};
  std::string_view name = path.substr(kPrefix.size());
  return name.find('/') == std::string_view::npos ? name : std::string_view();
}

std::string mediaType(std::string_view contentType) {
  std::string_view type = contentType.substr(0, contentType.find(';'));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
  return lowerCaseAscii(type);
}

RequestGuard::RequestGuard(int port, std::vector<std::string> allowedHosts, bool ipv6Loopback) {
  std::string suffix = ":" + std::to_string(port);
  std::vector<std::string> names = {"127.0.0.1"};
  if (ipv6Loopback) names.insert(names.end(), {"localhost", "[::1]"});
  for (const std::string& name : names) {
    loopbackHosts_.push_back(name + suffix);
    // Port 80 goes without saying in a Host header.
    if (port == 80) loopbackHosts_.push_back(name);
    if (!servedNames_.empty()) servedNames_ += name == names.back() ? " and " : ", ";
    servedNames_ += name + suffix;
  }
  for (const std::string& host : allowedHosts) allowedHosts_.push_back(lowerCaseAscii(host));
}

bool RequestGuard::isLoopbackHost(std::string_view host) const {
  std::string lower = lowerCaseAscii(host);
  return std::find(loopbackHosts_.begin(), loopbackHosts_.end(), lower) != loopbackHosts_.end();
}

bool RequestGuard::isExtraHost(std::string_view host) const {
  std::string lower = lowerCaseAscii(host);
  return std::any_of(allowedHosts_.begin(), allowedHosts_.end(), [&](const std::string& allowed) {
    return allowed == lower || (!hasPort(allowed) && withoutPort(lower) == allowed);
  });
}

bool RequestGuard::isServedHost(std::string_view host) const {
  return isLoopbackHost(host) || isExtraHost(host);
}

bool RequestGuard::isOwnOrigin(std::string_view origin) const {
  constexpr std::string_view kHttp = "http://", kHttps = "https://";
  std::string lower = lowerCaseAscii(origin);
  std::string_view text = lower;
  if (text.substr(0, kHttp.size()) == kHttp) return isServedHost(text.substr(kHttp.size()));
  // zel-host itself speaks plain http; https comes from a proxy the user allowed.
  if (text.substr(0, kHttps.size()) == kHttps) return isExtraHost(text.substr(kHttps.size()));
  return false;
}

std::optional<GuardRefusal> RequestGuard::check(const HttpRequest& head) const {
  std::size_t hosts =
      std::count_if(head.headers.begin(), head.headers.end(),
                    [](const auto& field) { return equalsIgnoringCase(field.first, "Host"); });
  const std::string* host = head.header("Host");
  if (host == nullptr || host->empty() || hosts > 1) {
    return GuardRefusal{400, std::string(messages::kNoHost)};
  }
  if (!isServedHost(*host)) {
    return GuardRefusal{421, fillTemplate(messages::kForeignHost, {*host, servedNames_})};
  }
  const std::string* origin = head.header("Origin");
  bool reads = head.method == "GET" || head.method == "HEAD";
  if (origin != nullptr && !reads && !isOwnOrigin(*origin)) {
    return GuardRefusal{403, fillTemplate(messages::kForeignOrigin, {*origin})};
  }
  std::string_view event = eventPostName(head.target);
  if (head.method == "POST" && !event.empty()) {
    const std::string* type = head.header("Content-Type");
    if (type == nullptr || mediaType(*type) != "application/json") {
      return GuardRefusal{415, fillTemplate(messages::kEventNotJson, {event})};
    }
  }
  return std::nullopt;
}

}  // namespace zel::host::internal
