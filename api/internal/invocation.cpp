#include "api/internal/invocation.h"

#include <chrono>
#include <cstring>
#include <exception>
#include <new>

#include "api/call_info.h"
#include "api/internal/argument_binding.h"
#include "api/messages.h"
#include "binding/convert_flat.h"
#include "diagnostics/format.h"
#include "memory/memory.h"

namespace zel::api::internal {
namespace {

namespace messages = api::messages;

// The reason text of responses without one; shared, never freed.
constexpr const char kEmptyText[] = "";

std::string_view hostText(const char* text) noexcept {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

// An owned, zero-terminated copy for the response record.
char* copyText(std::string_view text) {
  auto* copy = static_cast<char*>(memory::allocate(text.size() + 1));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

// Clears a record for writing; releases what an earlier answer of ours left
// in it (a record carrying our release function), never anything else.
void resetResponse(HostResponse& response) noexcept {
  if (response.release == &releaseResponse) {
    releaseResponse(&response);
  } else {
    std::memset(&response, 0, sizeof(HostResponse));
  }
  response.release = &releaseResponse;
}

void setErrorText(HostResponse& response, std::string_view text) {
  response.error = copyText(text);
  response.errorOwned = 1;
}

std::uint8_t readStream(void* context, void* buffer, std::uint32_t* length,
                        std::uint8_t* more) noexcept {
  if (context == nullptr || length == nullptr || more == nullptr) return 0;
  try {
    return static_cast<BodyStream*>(context)->read(buffer, length, more) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

std::int32_t closeStream(void* context) noexcept {
  delete static_cast<BodyStream*>(context);
  return 0;
}

// The answer to a call that failed outside the CallResult: whatever was
// written is dropped, and the text says what happened.
void answerFault(HostResponse& response, const char* functionName, const char* what) noexcept {
  resetResponse(response);
  response.status = 500;
  try {
    setErrorText(response, formatPositional(messages::kInternalError, functionName, what));
  } catch (...) {
    response.error = messages::kOutOfMemory;
    response.errorOwned = 0;
  }
}

void answerOutOfMemory(HostResponse& response) noexcept {
  resetResponse(response);
  response.status = 500;
  response.error = messages::kOutOfMemory;
  response.errorOwned = 0;
}

}  // namespace

InvocationContext& InvocationContextTable::contextFor(const std::string& functionName) {
  return contexts_.try_emplace(functionName).first->second;
}

void releaseResponse(HostResponse* response) noexcept {
  if (response == nullptr) return;
  if (response->error != nullptr && response->errorOwned != 0) {
    memory::release(const_cast<char*>(response->error));
  }
  if (response->reason != nullptr && response->reason != kEmptyText) {
    memory::release(const_cast<char*>(response->reason));
  }
  if (response->headers != nullptr) {
    for (std::uint32_t i = 0; i < 2 * response->headerCount; ++i) {
      memory::release(const_cast<char*>(response->headers[i]));
    }
    memory::release(const_cast<const char**>(response->headers));
  }
  clearFlatValue(response->body);
  std::memset(response, 0, sizeof(HostResponse));
}

void writeResponse(HostResponse& response, CallResult& call, const TypeRegistry* registry) {
  if (!call.ok()) {
    setErrorText(response, call.result.errorMessage());
  } else if (!valueToFlat(response.body, call.result, registry)) {
    // The copy for the host fails only when memory is exhausted: answered
    // like every other exhausted-memory failure of a call (500 "Out of
    // memory"), not as a result the caller could have done something about.
    throw std::bad_alloc();
  }
  response.passThrough = call.passThrough;
  response.passThroughCode =
      call.passThroughCode >= 1 && call.passThroughCode <= 3 ? call.passThroughCode : 0;
  response.status = call.status;
  response.reason = call.reason.empty() ? kEmptyText : copyText(call.reason);
  if (!call.headers.empty()) {
    const std::size_t count = call.headers.size();
    auto* pairs = static_cast<const char**>(memory::allocate(2 * count * sizeof(const char*)));
    if (pairs == nullptr) throw std::bad_alloc();
    std::memset(pairs, 0, 2 * count * sizeof(const char*));
    // The array is the record's from here on, so a failed copy below is freed
    // with everything else when the record is reset.
    response.headers = pairs;
    response.headerCount = static_cast<std::uint32_t>(count);
    std::size_t i = 0;
    for (const auto& [name, value] : call.headers) {
      pairs[i++] = copyText(name);
      pairs[i++] = copyText(value);
    }
  }
  if (call.stream) {
    response.sizeHint = call.stream->size();
    response.streamRead = &readStream;
    response.streamClose = &closeStream;
    response.streamContext = call.stream.release();
  }
}

void invoke(HostResponse& response, const HostRequest& request, const RequestContext& context) {
  CallResult call;
  std::vector<BindingValue> arguments = gatherArguments(request, context, call);
  FunctionHandler& handler = context.descriptor->handler();
  const std::uint32_t requestId = request.handleOrRequestId;

  // What invoke keeps goes once the response is written, however the call
  // ends.
  PendingToken pending;
  if (call.ok()) pending = handler.invoke(call, arguments, requestId);
  if (call.ok()) {
    if (handler.form() != HandlerForm::Plain) {
      CallInfo info;
      info.requestId = requestId;
      info.startTime = currentTimeTicks();
      info.registry = &context.function->registry();
      info.path = context.path;
      info.method = context.method;
      if (context.method == HttpMethod::Custom) info.customMethod = context.customMethod;
      info.arguments = arguments;
      if (request.headers != nullptr) {
        info.headers.reserve(request.headerCount);
        for (std::uint32_t i = 0; i < request.headerCount; ++i) {
          info.headers.insert_or_assign(hostText(request.headers[2 * i]),
                                        hostText(request.headers[2 * i + 1]));
        }
      }
      handler.complete(call, &info, pending, requestId);
    } else {
      handler.complete(call, nullptr, pending, requestId);
    }
  }
  writeResponse(response, call, &context.function->registry());
}

void dispatch(HostResponse& response, const HostRequest& request,
              std::span<const CompiledRoute> routes) {
  resetResponse(response);
  RequestContext context;
  context.method = httpMethodFromHost(request.method);
  context.path = hostText(request.url);
  if (context.method == HttpMethod::Custom) context.customMethod = hostText(request.customMethod);
  if (!matchRoutes(context, routes, false)) {
    setErrorText(response, messages::kInvalidFunction);
    response.status = 404;
    return;
  }
  invoke(response, request, context);
}

std::int32_t functionCallback(HostResponse* response, const HostRequest* request) noexcept {
  if (response == nullptr) return 0;
  const char* functionName = "";
  try {
    const auto* context =
        request != nullptr ? static_cast<const InvocationContext*>(request->context) : nullptr;
    if (context == nullptr || context->route == nullptr) {
      resetResponse(*response);
      setErrorText(*response, messages::kInvalidFunction);
      response->status = 404;
      return 0;
    }
    functionName = context->route->function().name().c_str();
    const CompiledRoute route = CompiledRoute::of(*context->route);
    dispatch(*response, *request, {&route, 1});
  } catch (const std::bad_alloc&) {
    answerOutOfMemory(*response);
  } catch (const std::exception& fault) {
    answerFault(*response, functionName, fault.what());
  } catch (...) {
    answerFault(*response, functionName, messages::kUnknownFault);
  }
  return 0;
}

std::int64_t currentTimeTicks() noexcept {
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
  return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

HttpMethod httpMethodFromHost(std::uint32_t code) noexcept {
  return code >= kMethodDelete && code <= kMethodCustom ? static_cast<HttpMethod>(code)
                                                        : HttpMethod::None;
}

}  // namespace zel::api::internal
