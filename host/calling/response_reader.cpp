#include "host/calling/response_reader.h"

#include <vector>

#include "host/conversions/host_flat_value.h"

namespace zel::host {

namespace {

std::string textOrEmpty(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

HostReply readReply(const HostResponse& response) {
  HostReply reply;
  reply.body = readFlatValue(response.body);
  if (response.error != nullptr) reply.error = std::string(response.error);
  reply.errorOwned = response.errorOwned;
  reply.passThrough = response.passThrough;
  reply.passThroughCode = response.passThroughCode;
  reply.status = response.status;
  if (response.reason != nullptr) reply.reason = std::string(response.reason);
  const char* const* headers = response.headers;
  if (headers != nullptr) {
    for (std::uint32_t i = 0; i < response.headerCount; ++i) {
      reply.headers.emplace_back(textOrEmpty(headers[2 * i]), textOrEmpty(headers[2 * i + 1]));
    }
  }
  reply.streamed = response.streamRead != nullptr;
  reply.sizeHint = response.sizeHint;
  reply.hasRelease = response.release != nullptr;
  return reply;
}

std::optional<std::string> drainStream(HostResponse& response, std::uint32_t bufferSize,
                                       std::uint32_t maxEmptyReads) {
  StreamReadFunction read = response.streamRead;
  if (read == nullptr) return std::nullopt;
  void* context = response.streamContext;
  std::optional<std::string> body(std::in_place);
  std::vector<char> buffer(bufferSize == 0 ? 1 : bufferSize);
  std::uint32_t emptyReads = 0;
  for (;;) {
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    std::uint8_t more = 0;
    if (read(context, buffer.data(), &length, &more) == 0 || length > buffer.size()) {
      body.reset();
      break;
    }
    body->append(buffer.data(), length);
    if (more == 0) break;
    emptyReads = length == 0 ? emptyReads + 1 : 0;
    if (emptyReads > maxEmptyReads) {
      body.reset();
      break;
    }
  }
  StreamCloseFunction close = response.streamClose;
  if (close != nullptr) close(context);
  return body;
}

bool releaseResponse(HostResponse& response) {
  ResponseReleaseFunction release = response.release;
  if (release == nullptr) return false;
  release(&response);
  return true;
}

}  // namespace zel::host
