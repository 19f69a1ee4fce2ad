// FunctionCaller: calls a plugin's functions the way the platform's host
// does. It reads the function records of the plugin's ApiDescription, finds a
// function by method and URL template, by name, or by routing a request path
// against every template, then builds the HostRequest (method, path with
// query, host arguments as RequestParameters, headers, content type, body,
// request id, the record's invocation context), calls the record's callback
// with a zero-filled HostResponse, copies the reply (draining a body stream)
// and hands the response back through its release function.
//
//   FunctionCaller caller(host.description());
//   CallRequest request{.method = kMethodGet, .path = "/zel-maps/v1/map/42"};
//   std::optional<CallReply> reply = caller.routeAndCall(request);
//   if (reply && reply->reply.error) puts(reply->reply.error->c_str());
//
// Reads the records once, at construction; the plugin must stay loaded while
// the caller is used. Calls may be made from several threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boundary/host_api.h"
#include "boundary/method_codes.h"
#include "host/host_value.h"

namespace zel::host {

// The plain copy of the description the caller reads at construction, and
// one function of it (host/description/api_catalog.h).
struct ApiCatalog;
struct FunctionInfo;

// A plain copy of a HostResponse the plugin filled, for assertions
// (host/calling/response_reader.h reads it).
struct HostReply {
  HostValue body;
  std::optional<std::string> error;
  std::uint8_t errorOwned = 0;
  std::uint8_t passThrough = 0;
  std::uint32_t passThroughCode = 0;
  std::uint32_t status = 0;
  std::optional<std::string> reason;  // none: the pointer was null
  std::vector<std::pair<std::string, std::string>> headers;
  bool streamed = false;  // a stream read function is set
  std::uint64_t sizeHint = 0;
  bool hasRelease = false;
};

// A host argument: named, or positional when it has no name.
struct CallArgument {
  std::optional<std::string> name;
  HostValue value;
};

struct CallRequest {
  std::uint32_t method = kMethodGet;
  std::string customMethod;  // sent with kMethodCustom
  std::string path;          // with any "?" and query
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<CallArgument> arguments;
  std::optional<std::string> contentType;
  std::optional<std::string> body;  // sent with its length; always zero-terminated behind it
  std::uint32_t requestId = 0;
};

struct CallReply {
  HostReply reply;  // copied before the response was released
  // The bytes of the body stream, when the response carried one; none when
  // there was none or reading it failed (then streamFailed is set).
  std::optional<std::string> streamedBody;
  bool streamFailed = false;
};

// The HTTP-like status of a reply: its own, else 200 for a success and 400
// for an error.
[[nodiscard]] std::uint32_t effectiveStatus(const CallReply& reply);

class FunctionCaller {
 public:
  explicit FunctionCaller(const ApiDescription* description);
  ~FunctionCaller();
  // Copies copy the catalogue; a moved-from caller may only be assigned or
  // destroyed.
  FunctionCaller(const FunctionCaller& other);
  FunctionCaller& operator=(const FunctionCaller& other);
  FunctionCaller(FunctionCaller&& other) noexcept;
  FunctionCaller& operator=(FunctionCaller&& other) noexcept;

  [[nodiscard]] const ApiCatalog& catalog() const;

  // The function declared with this method code (and custom method text for
  // code 8) and exactly this URL template.
  [[nodiscard]] const FunctionInfo* find(std::uint32_t method, std::string_view urlTemplate,
                                         std::string_view customMethod = {}) const;
  [[nodiscard]] const FunctionInfo* findByName(std::string_view name) const;
  // The function whose template fits the url's path most closely (more
  // literal segments win), among those of the method and those declared
  // without one; null when none fits.
  [[nodiscard]] const FunctionInfo* route(std::uint32_t method, std::string_view url,
                                          std::string_view customMethod = {}) const;
  // Whether any function, of whatever method, fits the url's path.
  [[nodiscard]] bool anyRouteFits(std::string_view url) const;

  // Calls the function with the request; never fails on the host side (a
  // function without callback answers an error reply with status 500).
  [[nodiscard]] CallReply call(const FunctionInfo& function, const CallRequest& request) const;
  // route + call; none when no function fits.
  [[nodiscard]] std::optional<CallReply> routeAndCall(const CallRequest& request) const;

 private:
  std::unique_ptr<ApiCatalog> catalog_;
};

}  // namespace zel::host
