// HttpSession: one connection of HttpServer, from accept to close, as the
// steps it goes through, each in a unit of its own:
//   http_session.cpp          its life: entering the server's list, the
//                             deadline every read and write runs under, closing;
//   session_reading.cpp       reading a request head, screening it, reading
//                             the body under its pace and the body budget;
//   session_answering.cpp     having a worker answer, writing the answer,
//                             draining a refused body;
//   session_streaming.cpp     long-lived answers (the event streams).
// It owns itself (it lives while an operation of it is pending, each holding
// a shared_ptr) and enters itself in the server's list, through which the
// server evicts or closes it. Every member runs on the server's thread but
// the handler's answer, which a worker runs while the connection waits.
//
// Only the session's units include this header (it needs Boost.Asio and
// Beast, which the library keeps to itself).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string_view>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>

#include "host/dev/serving/http_server.h"
#include "host/dev/serving/internal/body_pace.h"
#include "host/dev/serving/internal/http_request_body.h"
#include "host/dev/serving/internal/http_session.h"
#include "host/dev/serving/internal/stream_queue.h"

namespace zel::host::internal {

// What one read of a connection takes at most; the read buffer holds a
// request head's limit and one read besides.
inline constexpr std::size_t kReadChunk = 16u << 10;
// How often a stream is polled for new text.
inline constexpr std::chrono::milliseconds kStreamPoll{100};
// A refused body still arriving is read and dropped, within these bounds,
// so that the client, which writes before it reads, gets to read the answer.
inline constexpr std::chrono::milliseconds kDrainDeadline{10'000};
inline constexpr std::size_t kMaxDrainBytes = std::size_t{256} << 20;
inline constexpr std::size_t kDrainChunk = 16u << 10;

class HttpSession final : public HttpConnection, public std::enable_shared_from_this<HttpSession> {
 public:
  using Clock = std::chrono::steady_clock;
  using tcp = boost::asio::ip::tcp;

  HttpSession(HttpServerShared& server, tcp::socket socket);
  ~HttpSession() override;

  void start() { readRequest(); }

  void closeNow() override;
  bool evictable() const override { return evictable_; }
  Clock::time_point lastActivity() const override { return lastActivity_; }

 private:
  enum class Phase { head, body, other };

  const HttpLimits& limits() const { return server_.limits; }

  // ---- the connection's life (http_session.cpp)

  // Every read and write runs under a deadline; one that passes cancels
  // what is pending, which then completes with operation_aborted and
  // timedOut_ set.
  void arm(std::chrono::milliseconds within) { armAt(Clock::now() + within); }
  void armAt(Clock::time_point when);
  void disarm();
  // An answer that ends the connection: the client reads it to the close.
  void finish();
  // Ends the connection and gives back what it held at once, though
  // handlers still pending keep the session itself a little longer.
  void close();

  // ---- reading a request (session_reading.cpp)

  void readRequest();
  // Gives the parser what the buffer holds, then reads more if it needs it.
  void pump();
  // What a chunked body has sent besides its data so far.
  std::size_t framingBytes() const;
  void readSome();
  void onRead(boost::beast::error_code error, std::size_t read);
  void onTimeout();
  void onParseError(boost::beast::error_code error);
  void onHead();
  void readBody();
  void refuseHeadTooLarge();
  void refuseFraming();

  // ---- answering (session_answering.cpp)

  std::optional<HttpResponse> screen();
  // The whole request is in: a worker answers it, and the answer comes back
  // to the server's thread to be written. HEAD is answered as GET, whose
  // headers it gets without the body.
  void dispatch();
  // A refusal ends the connection: what the client still sends is drained.
  void refuse(int status, std::string_view text) { refuseWith(server_.refusal(status, text)); }
  void refuseWith(HttpResponse response);
  void answer(HttpResponse response);
  void onWritten(boost::beast::error_code error);
  // The body's text is gone or goes with the request (both held by this
  // connection alone): its share of the budget comes back.
  void releaseBody();
  // Sends nothing more and reads what the client still sends, without
  // keeping it, until it closes; then closes.
  void drain();
  void drainSome();

  // ---- long-lived answers (session_streaming.cpp)

  void openStream();
  // Reads (and drops) what a streaming client sends, to learn when it leaves.
  void watchClose();
  // Starts writing what is queued, unless a write is under way.
  void writeStream();
  // Polls the source while the client keeps up: above the unsent maximum,
  // the next poll waits for a write to end.
  void pollStream();

  HttpServerShared& server_;
  std::list<HttpConnection*>::iterator self_;
  tcp::socket socket_;
  boost::asio::steady_timer deadline_;
  boost::asio::steady_timer pollTimer_;
  std::uint64_t generation_ = 0;
  bool timedOut_ = false;
  BodyCut bodyCut_ = BodyCut::deadline;
  boost::beast::flat_buffer buffer_;
  // Declared before the parser, whose body points at it.
  BodyBudgetShare share_;
  std::optional<boost::beast::http::request_parser<HttpRequestBody>> parser_;
  Phase phase_ = Phase::other;
  Clock::time_point headDue_;
  BodyPace pace_;
  std::size_t headBytesRead_ = 0;  // of this request's head, by the parser
  std::size_t bodyBytesRead_ = 0;
  HttpRequest request_;
  Clock::time_point started_;
  Clock::time_point lastActivity_;
  std::size_t drained_ = 0;
  bool keepAlive_ = false;
  bool drainAfter_ = false;
  bool evictable_ = false;
  bool streaming_ = false;
  std::unique_ptr<HttpStream> source_;
  StreamQueue stream_;
  bool streamEnded_ = false;
  bool pollPending_ = false;  // a poll is due: the timer is armed or a poll posted
};

}  // namespace zel::host::internal
