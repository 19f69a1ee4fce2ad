// Invocation: how a call delivered by the host reaches a routed function and
// how its response record is filled. The host calls the FunctionRecord's
// callback with the function's invocation context in the request; the call
// is matched against the function's route, its arguments are gathered, the
// handler runs, and the result (or the error text) is written into the
// response together with the release function that frees it.
//
//   FunctionCallback callback = record->callback;      // functionCallback
//   callback(&response, &request);                     // request.context: the record's context
//   ... read response ...; response.release(&response);
//
// No exception leaves a callback: a fault, exhausted memory included, is
// answered with an error text and status 500. Everything written into a
// response is owned by that record until its release function is called.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>

#include "api/call_result.h"
#include "api/internal/compiled_route.h"
#include "api/internal/route_descriptor.h"
#include "binding/registry_access.h"
#include "boundary/host_messages.h"

namespace zel::api::internal {

// The current time as CallInfo::startTime counts it.
[[nodiscard]] std::int64_t currentTimeTicks() noexcept;

// A method code received from the host: codes outside 1 to 8 become None.
[[nodiscard]] HttpMethod httpMethodFromHost(std::uint32_t code) noexcept;

// What the host passes back in every request of a function.
struct InvocationContext {
  TypeRegistry* registry = nullptr;
  RouteDescriptor* route = nullptr;
};

// The registry's invocation contexts by function name; their addresses are
// handed to the host and stay valid as long as the registry.
class InvocationContextTable : public binding::internal::RegistryAttachment {
 public:
  // The context of the function name, created on first use and then kept.
  InvocationContext& contextFor(const std::string& functionName);
  void reserve(std::size_t count) { contexts_.reserve(count); }

 private:
  std::unordered_map<std::string, InvocationContext> contexts_;
};

// The callback of every FunctionRecord; its result carries nothing.
std::int32_t functionCallback(HostResponse* response, const HostRequest* request) noexcept;

// Resets the response, selects a route for the request's method and path
// (no route: "Invalid function", status 404) and invokes it.
void dispatch(HostResponse& response, const HostRequest& request,
              std::span<const CompiledRoute> routes);

// Gathers the arguments, runs the selected function's handler and writes the
// response.
void invoke(HostResponse& response, const HostRequest& request, const RequestContext& context);

// Writes the call's outcome: an error text, or the result as a FlatValue,
// then pass-through fields, status, reason, headers and the body stream,
// whose ownership passes to the response. Throws std::bad_alloc when memory
// is exhausted; the callback answers that with 500 "Out of memory".
void writeResponse(HostResponse& response, CallResult& call, const TypeRegistry* registry);

// The release function of every response the plugin fills: frees what the
// record owns (texts, headers, the body value) and zeroes all 62 bytes. The
// body stream is the close function's to delete.
void releaseResponse(HostResponse* response) noexcept;

}  // namespace zel::api::internal
