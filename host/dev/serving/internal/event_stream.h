// EventStream: the events of one hub listener as server-sent events, the
// answer of zel-host serve's GET /events, polled by the HTTP server.
//
//   auto stream = std::make_unique<EventStream>(hub.listen());
//   std::string text;
//   stream->poll(text);   // ": zel-host events\n\n", then the events:
//                         // "id: 1\nevent: NAME\ndata: {...}\n\n"
//
// The stream opens with that comment, so that a client knows it is
// subscribed, and sends a comment line when it has been quiet a while. A
// name is one line (line breaks become spaces); a payload with line breaks
// becomes one "data:" line per line. One poll gives at most about
// kEventStreamPollBytes: a large event goes out in pieces, read from the
// event the listeners share, so that a connection copies no more of it at
// once. When its listener fell behind (event_hub.h) the stream ends with a
// comment saying so; when the hub closed it, it ends once drained.
// The stream owns its listener; the hub only sees it weakly.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "host/dev/hosting/event_hub.h"
#include "host/dev/serving/http_server.h"

namespace zel::host::internal {

// The most text that one poll appends, besides the end of a line it has begun
// and the head of an event (its id and name).
inline constexpr std::size_t kEventStreamPollBytes = std::size_t{256} << 10;

class EventStream : public HttpStream {
 public:
  explicit EventStream(std::shared_ptr<EventListener> listener,
                       std::chrono::milliseconds keepAliveEvery = std::chrono::seconds(15));

  bool poll(std::string& text) override;

 private:
  void beginEvent(std::string& text);
  // Appends the current event's payload up to limit bytes of text, and its
  // end once the whole payload is out.
  void continueEvent(std::string& text, std::size_t limit);

  std::shared_ptr<EventListener> listener_;
  const std::chrono::milliseconds keepAliveEvery_;
  std::chrono::steady_clock::time_point lastWrite_ = std::chrono::steady_clock::now();
  bool greeted_ = false;
  bool ended_ = false;
  SharedEvent current_;       // the event being sent, none between events
  std::size_t sent_ = 0;      // bytes of its payload sent
  bool afterReturn_ = false;  // the last payload byte sent was a CR
};

}  // namespace zel::host::internal
