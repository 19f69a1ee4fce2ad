// What a test scripts the host to answer to a request of the plugin: an
// inline body, an error text, a status, headers, or a body stream that the
// plugin pulls in chunks (with "no data yet" reads that make it yield, and
// read failures); and what a host keeps of the conversation: the journal of
// the responses it handed out, and its copies of every call the plugin made
// through the HostApi table.
//
//   ScriptedResponse ok = ScriptedResponse::withBody(HostValue::makeCollection({}));
//   ScriptedResponse failed = ScriptedResponse::withError("Not found", 404);
//   ScriptedResponse streamed = ScriptedResponse::withStream(
//       ScriptedStream().pending().data("[1,").data("2]"));
//   for (const RecordedRequest& request : host.requests()) { request.url; }
//
// Plain values; the recording host turns the scripts into HostResponse
// records. The records are copies taken during each call, so they stay
// readable after the plugin has freed its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boundary/host_api.h"
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

// What happened to the responses one host handed out.
struct ResponseJournal {
  std::atomic<std::uint32_t> given{0};
  std::atomic<std::uint32_t> released{0};
  std::atomic<std::uint32_t> streamReads{0};
  std::atomic<std::uint32_t> streamCloses{0};

  void addFault(std::string text);
  [[nodiscard]] std::vector<std::string> faults() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> faults_;
};

// What a host records of the plugin's calls through its HostApi table
// (host/hosting/request_copy.h copies a request record).

// The ten entries of the table, in table order.
enum class HostCall : std::uint8_t {
  SendRequest,
  Reserved1,
  SendEvent,
  Subscribe,
  Unsubscribe,
  Reserved5,
  Yield,
  BeginWait,
  EndWait,
  WriteLog,
};

struct RecordedParameter {
  std::optional<std::string> name;  // none: a positional argument
  HostValue value;
};

struct RecordedRequest {
  std::uint32_t method = 0;
  std::string url;
  std::vector<RecordedParameter> parameters;
  std::vector<std::pair<std::string, std::string>> headers;
  std::optional<std::string> contentType;
  std::optional<std::string> body;  // bodyLength bytes
  std::uint32_t pluginHandle = 0;
  std::optional<std::string> customMethod;
  void* context = nullptr;
};

struct RecordedEvent {
  std::string name;
  HostValue payload;
  std::uint32_t flags = 0;
  void* context = nullptr;
};

struct RecordedSubscription {
  std::string eventName;
  std::uint32_t pluginHandle = 0;
  HostEventCallback callback = nullptr;
  void* context = nullptr;
  std::uint32_t flag = 0;
};

struct RecordedUnsubscription {
  std::string eventName;
  std::uint32_t pluginHandle = 0;
};

struct RecordedWait {
  std::string label;
  std::uint32_t flags = 0;
};

struct RecordedLog {
  std::int32_t level = 0;
  std::string text;
};

}  // namespace zel::host
