// The records that carry requests, responses and events across the host
// boundary. A HostResponse owns everything written into it until the
// receiver calls its release function.
#pragma once

#include <cstddef>
#include <cstdint>

#include "boundary/flat_value.h"

namespace zel {

// Twelve 32-bit words, zero-filled before use. The same record carries the
// plugin's own outgoing requests and the calls the host delivers to it.
struct HostRequest {
  std::uint32_t method;                 // method code, 8 = custom
  const char* url;                      // path with any "?" and query
  const struct RequestParameter* parameters;
  std::uint32_t parameterCount;
  void* context;                        // invocation context; 0 as sent
  const char* const* headers;           // pairs (name, value); 0 as sent
  std::uint32_t headerCount;
  const char* contentType;
  const void* body;
  std::uint32_t bodyLength;
  std::uint32_t handleOrRequestId;      // plugin handle as sent, request id as delivered
  const char* customMethod;             // with method code 8
};

#pragma pack(push, 1)
// 16 bytes: a name (null for a positional argument) and its value.
struct RequestParameter {
  const char* name;
  FlatValue value;
};

struct HostResponse;
using StreamReadFunction = std::uint8_t (*)(void* context, void* buffer, std::uint32_t* length,
                                            std::uint8_t* more);
using StreamCloseFunction = std::int32_t (*)(void* context);
using ResponseReleaseFunction = void (*)(HostResponse* response);

// 62 bytes, byte-packed, zero-filled by whoever provides the record.
struct HostResponse {
  FlatValue body;                     // used when no stream reader is set
  const char* error;                  // non-null: the request failed
  std::uint8_t errorOwned;
  std::uint8_t passThrough;
  std::uint32_t passThroughCode;      // 0 to 3
  std::uint32_t status;
  const char* reason;                 // the empty text when absent
  const char* const* headers;         // pairs (name, value)
  std::uint32_t headerCount;
  StreamReadFunction streamRead;
  StreamCloseFunction streamClose;
  std::uint64_t sizeHint;
  void* streamContext;
  ResponseReleaseFunction release;    // frees what the record owns, zeroes it
};

// Six 32-bit words.
struct HostEvent {
  const char* name;
  FlatValue payload;
  std::uint32_t flags;   // 0 as sent
  void* context;         // on delivery: the context given at subscription
};
#pragma pack(pop)

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(HostRequest) == 48);
static_assert(offsetof(HostRequest, url) == 4);
static_assert(offsetof(HostRequest, parameters) == 8);
static_assert(offsetof(HostRequest, parameterCount) == 12);
static_assert(offsetof(HostRequest, context) == 16);
static_assert(offsetof(HostRequest, headers) == 20);
static_assert(offsetof(HostRequest, headerCount) == 24);
static_assert(offsetof(HostRequest, contentType) == 28);
static_assert(offsetof(HostRequest, body) == 32);
static_assert(offsetof(HostRequest, bodyLength) == 36);
static_assert(offsetof(HostRequest, handleOrRequestId) == 40);
static_assert(offsetof(HostRequest, customMethod) == 44);
static_assert(sizeof(RequestParameter) == 16);
static_assert(offsetof(RequestParameter, value) == 4);
static_assert(sizeof(HostResponse) == 62);
static_assert(offsetof(HostResponse, error) == 12);
static_assert(offsetof(HostResponse, errorOwned) == 16);
static_assert(offsetof(HostResponse, passThrough) == 17);
static_assert(offsetof(HostResponse, passThroughCode) == 18);
static_assert(offsetof(HostResponse, status) == 22);
static_assert(offsetof(HostResponse, reason) == 26);
static_assert(offsetof(HostResponse, headers) == 30);
static_assert(offsetof(HostResponse, headerCount) == 34);
static_assert(offsetof(HostResponse, streamRead) == 38);
static_assert(offsetof(HostResponse, streamClose) == 42);
static_assert(offsetof(HostResponse, sizeHint) == 46);
static_assert(offsetof(HostResponse, streamContext) == 54);
static_assert(offsetof(HostResponse, release) == 58);
static_assert(sizeof(HostEvent) == 24);
static_assert(offsetof(HostEvent, payload) == 4);
static_assert(offsetof(HostEvent, flags) == 16);
static_assert(offsetof(HostEvent, context) == 20);
#endif

}  // namespace zel
