// RequestGuard: what zel-host serve asks of a request's head before it reads
// a body or calls the plugin. The server listens on the loopback interface,
// but a web page the user visits can still reach it: through DNS rebinding
// (a name of the page's own that now resolves to 127.0.0.1, so the Host
// header names the page's site) or with a cross-site form or "simple"
// request (an Origin header of the page's site). So:
//
//   - the Host must name the loopback interface and the port served, or a
//     host the user allowed (for a proxy in front of zel-host); "localhost"
//     and "[::1]" only when the server holds [::1] too, since otherwise
//     another program may listen there and answer for those names;
//   - a request from another origin may only GET or HEAD, which a browser
//     lets the page send but not read;
//   - an event must come as application/json, a type no page may send
//     across sites without asking first.
//
//   RequestGuard guard(port, {"dev.example.test"});
//   if (auto refusal = guard.check(head)) answer(refusal->status, refusal->text);
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/dev/serving/http_server.h"

namespace zel::host::internal {

struct GuardRefusal {
  int status = 0;
  std::string text;
};

class RequestGuard {
 public:
  // allowedHosts: "NAME" (any port) or "NAME:PORT"; compared ignoring case.
  // ipv6Loopback: whether the server listens on [::1] as well
  // (HttpServer::servesIpv6Loopback()).
  RequestGuard(int port, std::vector<std::string> allowedHosts, bool ipv6Loopback = true);

  std::optional<GuardRefusal> check(const HttpRequest& head) const;

  bool isServedHost(std::string_view host) const;
  bool isOwnOrigin(std::string_view origin) const;

 private:
  bool isLoopbackHost(std::string_view host) const;
  bool isExtraHost(std::string_view host) const;

  std::vector<std::string> loopbackHosts_;  // "127.0.0.1:P", "localhost:P", "[::1]:P"
  std::string servedNames_;                 // the same for people
  std::vector<std::string> allowedHosts_;   // lower-cased
};

// "/events/NAME" (a query aside): NAME, else empty.
std::string_view eventPostName(std::string_view target);

// The media type of a Content-Type value, lower-cased, without parameters.
std::string mediaType(std::string_view contentType);

}  // namespace zel::host::internal
