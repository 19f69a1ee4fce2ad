// CallResult: what a function call produces for the host: the result value
// (or error), pass-through fields, status, reason, headers and an optional
// body stream. Made per call; binding and the handler fill it.
//
//   CallResult call;
//   call.result.setUnsigned(42);
//   call.status = 201;
//   call.headers.insert_or_assign("location", "/zel-maps/v1/map/42");
//   call.setError("No map with id 7");   // error result; the body stream is dropped
//
// Owns all it holds; the body stream passes to the response record, which deletes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "binding/value.h"

namespace zel {

// A response body the host pulls in chunks instead of an inline value.
class BodyStream {
 public:
  virtual ~BodyStream() = default;
  // Fills up to *length bytes, sets *length to the number written and *more
  // nonzero while bytes remain; false on failure.
  virtual bool read(void* buffer, std::uint32_t* length, std::uint8_t* more) = 0;
  [[nodiscard]] virtual std::uint32_t size() const = 0;  // as far as known: a hint
};

struct CallResult {
  BindingValue result;  // the conversion status of the call as well
  std::uint8_t passThrough = 0;
  std::uint32_t passThroughCode = 0;
  std::uint32_t status = 0;
  std::string reason;
  std::unordered_map<std::string, std::string> headers;
  std::unique_ptr<BodyStream> stream;
  [[nodiscard]] bool ok() const noexcept { return result.ok(); }
  void setError(std::string_view message);  // an error result; deletes the stream
};

}  // namespace zel
