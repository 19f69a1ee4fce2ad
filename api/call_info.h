// CallInfo: what a handler of a call-info form learns about the call beyond
// its arguments: request id, registry, start time, method, path, the
// argument vector and the request headers.
//
//   Outcome<Status> getStatus(const CallInfo& call) {
//     auto agent = call.headers.find("user-agent");
//     ...
//   }
//
// Built by the invocation layer for one call; it views the host's request
// record and the call's arguments, so keep nothing of it past the return.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <unordered_map>

#include "api/http_method.h"
#include "binding/value.h"

namespace zel {

class TypeRegistry;

struct CallInfo {
  std::uint32_t requestId = 0;
  const TypeRegistry* registry = nullptr;
  std::int64_t startTime = 0;  // 100-nanosecond ticks since 1970-01-01 UTC
  HttpMethod method = HttpMethod::None;
  std::string_view customMethod;  // set when the method is Custom
  std::string_view path;          // with any "?" and query
  std::span<const BindingValue> arguments;
  std::unordered_map<std::string_view, std::string_view> headers;  // a later duplicate wins
};

}  // namespace zel
