// What a test scripts the host to answer to a request of the plugin: an
// inline body, an error text, a status, headers, or a body stream that the
// plugin pulls in chunks (with "no data yet" reads that make it yield, and
// read failures).
//
//   ScriptedResponse ok = ScriptedResponse::withBody(HostValue::makeCollection({}));
//   ScriptedResponse failed = ScriptedResponse::withError("Not found", 404);
//   ScriptedResponse streamed = ScriptedResponse::withStream(
//       ScriptedStream().pending().data("[1,").data("2]"));
//
// Plain values; the recording host turns them into HostResponse records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host_value.h"

namespace zel::host {

// The reads of a body stream, in order. Each read of the plugin consumes one
// step (a data step larger than the plugin's buffer takes several reads); the
// more-flag stays set while steps remain.
class ScriptedStream {
 public:
  enum class StepKind { Data, Pending, Fail };
  struct Step {
    StepKind kind;
    std::string bytes;
  };

  ScriptedStream& data(std::string_view bytes);
  // A read that delivers nothing yet with the more-flag set.
  ScriptedStream& pending();
  // A read that fails (returns 0); every later read fails too.
  ScriptedStream& fail();
  // The body cut into data steps of at most chunkSize bytes.
  ScriptedStream& chunked(std::string_view body, std::size_t chunkSize);
  ScriptedStream& sizeHint(std::uint64_t hint);
  // Leaves the close function of the response unset.
  ScriptedStream& withoutClose();

  [[nodiscard]] const std::vector<Step>& steps() const { return steps_; }
  [[nodiscard]] std::uint64_t hint() const { return sizeHint_; }
  [[nodiscard]] bool hasClose() const { return hasClose_; }

 private:
  std::vector<Step> steps_;
  std::uint64_t sizeHint_ = 0;
  bool hasClose_ = true;
};

struct ScriptedResponse {
  HostValue body;                    // inline body, used when there is no stream
  std::optional<std::string> error;  // set: the request failed
  std::uint32_t status = 200;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> headers;
  std::uint8_t passThrough = 0;
  std::uint32_t passThroughCode = 0;
  std::optional<ScriptedStream> stream;
  bool hasRelease = true;  // false leaves the release function unset

  [[nodiscard]] static ScriptedResponse withBody(HostValue body, std::uint32_t status = 200);
  [[nodiscard]] static ScriptedResponse withError(std::string error, std::uint32_t status);
  [[nodiscard]] static ScriptedResponse withStream(ScriptedStream stream,
                                                   std::uint32_t status = 200);
  // The text streamed in chunks of chunkSize bytes, with its size as the hint.
  [[nodiscard]] static ScriptedResponse withStreamedText(std::string_view text,
                                                         std::size_t chunkSize = 4096);
};

}  // namespace zel::host
