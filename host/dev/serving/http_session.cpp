#include "host/dev/serving/http_session.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string_view>

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include "host/conversions/text_template.h"
#include "host/dev/serving/http_request_body.h"
#include "host/dev/serving/messages.h"

namespace zel::host {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

HttpServerShared::HttpServerShared(HttpLimits limits, HttpHandlers handlers)
    : limits(limits), handlers(std::move(handlers)), workers(limits.workerThreads) {}

HttpResponse HttpServerShared::refusal(int status, std::string_view text) const {
  try {
    if (handlers.refusal) return handlers.refusal(status, text);
  } catch (...) {
  }
  HttpResponse response;
  response.status = status;
  response.contentType = "text/plain; charset=utf-8";
  response.body = std::string(text);
  return response;
}

namespace {

// What one read of a connection takes at most; the read buffer holds a
// request head's limit and one read besides.
constexpr std::size_t kReadChunk = 16u << 10;
// How often a stream is polled for new text.
constexpr std::chrono::milliseconds kStreamPoll{100};
// A refused body still arriving is read and dropped, within these bounds,
// so that the client, which writes before it reads, gets to read the answer.
constexpr std::chrono::milliseconds kDrainDeadline{10'000};
constexpr std::size_t kMaxDrainBytes = std::size_t{256} << 20;
constexpr std::size_t kDrainChunk = 16u << 10;

// One connection, from accept to close. Every member runs on the server's
// thread but answer(), which a worker runs while the connection waits.
class HttpSession final : public HttpConnection, public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(HttpServerShared& server, tcp::socket socket)
      : server_(server),
        socket_(std::move(socket)),
        deadline_(socket_.get_executor()),
        pollTimer_(socket_.get_executor()),
        buffer_(server.limits.maxHeadBytes + kReadChunk),
        share_(server.bodyReserved, server.limits.bodyBudgetBytes),
        lastActivity_(Clock::now()) {
    std::lock_guard lock(server_.sessionsMutex);
    self_ = server_.sessions.insert(server_.sessions.end(), this);
  }

  ~HttpSession() override {
    releaseBody();
    if (streaming_) --server_.streams;
    std::lock_guard lock(server_.sessionsMutex);
    server_.sessions.erase(self_);
    server_.sessionsEnded.notify_all();
  }

  void start() { readRequest(); }

  void closeNow() override {
    evictable_ = false;
    close();
  }

  bool evictable() const override { return evictable_; }
  Clock::time_point lastActivity() const override { return lastActivity_; }

 private:
  enum class Phase { head, body, other };
  // What the armed deadline of a body stands for.
  enum class BodyCut { deadline, stall, pace };

  const HttpLimits& limits() const { return server_.limits; }

  // Every read and write runs under a deadline; one that passes cancels
  // what is pending, which then completes with operation_aborted and
  // timedOut_ set.
  void arm(std::chrono::milliseconds within) { armAt(Clock::now() + within); }

  void armAt(Clock::time_point when) {
    timedOut_ = false;
    std::uint64_t generation = ++generation_;
    deadline_.expires_at(when);
    deadline_.async_wait([self = shared_from_this(), generation](beast::error_code error) {
      if (error || generation != self->generation_) return;
      self->timedOut_ = true;
      beast::error_code ignored;
      self->socket_.cancel(ignored);
    });
  }

  void disarm() {
    ++generation_;
    deadline_.cancel();
  }

  // ---- reading a request

  void readRequest() {
    parser_.emplace();
    parser_->get().body().share = &share_;
    parser_->get().body().limit = limits().maxBodyBytes;
    parser_->header_limit(static_cast<std::uint32_t>(limits().maxHeadBytes));
    parser_->body_limit(static_cast<std::uint64_t>(limits().maxBodyBytes));
    request_ = HttpRequest();
    phase_ = Phase::head;
    headDue_ = Clock::now() + limits().headDeadline;
    headBytesRead_ = 0;
    bodyBytesRead_ = 0;
    evictable_ = true;
    // Bytes of the next request may have come with the last one.
    pump();
  }

  // Gives the parser what the buffer holds, then reads more if it needs it.
  void pump() {
    beast::error_code error;
    // Each round consumes at least a byte or stops.
    for (std::size_t round = 0, rounds = buffer_.size() + 4; round < rounds; ++round) {
      if (buffer_.size() == 0 || parser_->is_done()) break;
      if (phase_ == Phase::head && parser_->is_header_done()) break;
      std::size_t used = parser_->put(buffer_.data(), error);
      buffer_.consume(used);
      if (phase_ == Phase::body) {
        bodyBytesRead_ += used;
      } else {
        headBytesRead_ += used;
      }
      if (error == http::error::need_more) {
        error = {};
        break;
      }
      if (error || used == 0) break;
    }
    if (error) return onParseError(error);
    if (phase_ == Phase::head) {
      if (parser_->is_header_done()) {
        if (headBytesRead_ > limits().maxHeadBytes) return refuseHeadTooLarge();
        return onHead();
      }
      // What the parser took and what it waits to see whole both belong to
      // this head (the parser alone counts only the part it waits on).
      if (headBytesRead_ + buffer_.size() >= limits().maxHeadBytes) return refuseHeadTooLarge();
    }
    if (phase_ == Phase::body) {
      if (framingBytes() > limits().maxChunkFramingBytes) return refuseFraming();
      if (parser_->is_done()) return dispatch();
    }
    // The parser needs more than a full buffer: a chunk line or a trailer
    // section that is too long.
    if (buffer_.size() >= buffer_.max_size()) return refuseFraming();
    readSome();
  }

  // What a chunked body has sent besides its data so far.
  std::size_t framingBytes() const {
    std::size_t data = parser_->get().body().text.size();
    return bodyBytesRead_ > data ? bodyBytesRead_ - data : 0;
  }

  void readSome() {
    if (phase_ == Phase::head) {
      armAt(headDue_);
    } else {
      // One deadline for the three ways a body is cut: whichever comes first.
      Clock::time_point now = Clock::now();
      Clock::time_point behind = behindPaceAt();
      if (behind <= now) {
        bodyCut_ = BodyCut::pace;
        return onTimeout();
      }
      Clock::time_point due = bodyDue_;
      bodyCut_ = BodyCut::deadline;
      if (now + limits().bodyStallDeadline < due) {
        due = now + limits().bodyStallDeadline;
        bodyCut_ = BodyCut::stall;
      }
      if (behind < due) {
        due = behind;
        bodyCut_ = BodyCut::pace;
      }
      armAt(due);
    }
    std::size_t room = std::min(kReadChunk, buffer_.max_size() - buffer_.size());
    socket_.async_read_some(buffer_.prepare(room),
                            [self = shared_from_this()](beast::error_code error, std::size_t read) {
                              self->disarm();
                              self->onRead(error, read);
                            });
  }

  // When the body falls behind the pace rule (HttpLimits::bodyStallDeadline)
  // unless more arrives: its share, received in bodyDeadline after a grace
  // of bodyStallDeadline. What waits in the buffer to be parsed has arrived.
  Clock::time_point behindPaceAt() const {
    std::size_t received = bodyBytesRead_ + buffer_.size();
    if (paceShare_ == 0 || received >= paceShare_) return Clock::time_point::max();
    std::chrono::duration<double> allowed =
        std::chrono::duration<double>(limits().bodyDeadline) *
        (static_cast<double>(received) / static_cast<double>(paceShare_));
    return bodyStarted_ + limits().bodyStallDeadline +
           std::chrono::duration_cast<Clock::duration>(allowed);
  }

  void onRead(beast::error_code error, std::size_t read) {
    if (!socket_.is_open()) return;  // closed to make room, or the server stops
    if (read > 0) {
      buffer_.commit(read);
      lastActivity_ = Clock::now();
    }
    if (!error) return pump();
    if (timedOut_) return onTimeout();
    if (error == asio::error::eof) {
      if (phase_ == Phase::head && !parser_->got_some() && buffer_.size() == 0) return close();
      beast::error_code ended;
      parser_->put_eof(ended);
      if (!ended && parser_->is_done()) return dispatch();
    }
    close();  // the client went away mid-request: nothing to answer
  }

  void onTimeout() {
    if (phase_ == Phase::head) {
      // A kept-alive connection that sent nothing more ends quietly.
      if (!parser_->got_some() && buffer_.size() == 0) return close();
      return refuse(408, fillTemplate(messages::kHeadTimedOut,
                                      {std::to_string(limits().headDeadline.count() / 1000)}));
    }
    // A body that got nothing since it began falls behind its pace as its
    // stall deadline passes: it hears that it stalled.
    bool silent = Clock::now() - lastActivity_ >= limits().bodyStallDeadline;
    if (bodyCut_ == BodyCut::stall || (bodyCut_ == BodyCut::pace && silent)) {
      return refuse(408, fillTemplate(messages::kBodyStalled,
                                      {std::to_string(limits().bodyStallDeadline.count() / 1000)}));
    }
    if (bodyCut_ == BodyCut::pace) {
      return refuse(408, fillTemplate(messages::kBodyTooSlow,
                                      {std::to_string(limits().bodyDeadline.count() / 1000)}));
    }
    refuse(408, fillTemplate(messages::kHttpRefused, {"408", "Request Timeout"}));
  }

  void onParseError(beast::error_code error) {
    // The body's next bytes would pass what all bodies may hold at once.
    if (share_.refused()) return refuse(503, messages::kServerBusy);
    if (error == http::error::header_limit) return refuseHeadTooLarge();
    if (error == http::error::body_limit) return refuse(413, messages::kBodyTooLarge);
    refuse(400, fillTemplate(messages::kHttpRefused, {"400", "Bad Request"}));
  }

  void onHead() {
    started_ = Clock::now();
    evictable_ = false;
    phase_ = Phase::other;
    const auto& head = parser_->get();
    request_.method = std::string(head.method_string());
    request_.target = std::string(head.target());
    std::size_t count = 0;
    for (const auto& field : head) {
      if (++count > limits().maxHeaderCount) return refuseHeadTooLarge();
      request_.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    keepAlive_ = head.keep_alive();
    if (std::optional<HttpResponse> refused = checkTransferEncoding()) {
      return refuseWith(std::move(*refused));
    }

    std::optional<HttpResponse> refused = screen();
    if (refused) return answer(std::move(*refused));
    if (server_.handlers.wantsStream && server_.handlers.wantsStream(request_)) {
      return openStream();
    }
    if (parser_->is_done()) return dispatch();
    // A body follows. It holds of the budget what it has received (the
    // parser's reader takes it as the bytes come), and must come at the
    // pace of its length, or of the largest body when chunked.
    paceShare_ = limits().maxBodyBytes;
    if (auto length = parser_->content_length()) paceShare_ = static_cast<std::size_t>(*length);
    if (const std::string* expect = request_.header("Expect");
        expect != nullptr && equalsIgnoringCase(*expect, "100-continue")) {
      auto text = std::make_shared<std::string>("HTTP/1.1 100 Continue\r\n\r\n");
      arm(limits().writeDeadline);
      asio::async_write(socket_, asio::buffer(*text),
                        [self = shared_from_this(), text](beast::error_code error, std::size_t) {
                          self->disarm();
                          if (error) return self->close();
                          self->readBody();
                        });
      return;
    }
    readBody();
  }

  // A body is framed by chunked as the last coding or by Content-Length;
  // a Transfer-Encoding that ends otherwise leaves its end to guesswork,
  // and what one server reads as a body another reads as a request.
  std::optional<HttpResponse> checkTransferEncoding() const {
    std::vector<std::string> codings;
    bool present = false;
    for (const auto& [name, value] : request_.headers) {
      if (!equalsIgnoringCase(name, "Transfer-Encoding")) continue;
      present = true;
      std::string_view rest = value;
      for (std::size_t round = 0; round <= value.size(); ++round) {
        std::size_t comma = rest.find(',');
        std::string_view coding = rest.substr(0, comma);
        while (!coding.empty() && (coding.front() == ' ' || coding.front() == '\t'))
          coding.remove_prefix(1);
        while (!coding.empty() && (coding.back() == ' ' || coding.back() == '\t'))
          coding.remove_suffix(1);
        if (!coding.empty()) codings.push_back(lowerCaseAscii(coding));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    }
    if (!present) return std::nullopt;
    std::string shown;
    for (const auto& [name, value] : request_.headers) {
      if (equalsIgnoringCase(name, "Transfer-Encoding"))
        shown += (shown.empty() ? "" : ", ") + value;
    }
    if (codings.empty() || codings.back() != "chunked" ||
        std::count(codings.begin(), codings.end(), "chunked") > 1) {
      return server_.refusal(400, fillTemplate(messages::kBadTransferEncoding, {shown}));
    }
    if (codings.size() > 1) {
      return server_.refusal(501, fillTemplate(messages::kUnknownTransferCoding, {shown}));
    }
    return std::nullopt;
  }

  void readBody() {
    phase_ = Phase::body;
    evictable_ = true;
    bodyStarted_ = Clock::now();
    bodyDue_ = bodyStarted_ + limits().bodyDeadline;
    pump();
  }

  std::optional<HttpResponse> screen() {
    if (!server_.handlers.screen) return std::nullopt;
    try {
      return server_.handlers.screen(request_);
    } catch (const std::exception& exception) {
      return server_.refusal(500, fillTemplate(messages::kBridgeFailed, {exception.what()}));
    } catch (...) {
      return server_.refusal(500, fillTemplate(messages::kBridgeFailed, {"unknown"}));
    }
  }

  // The whole request is in: a worker answers it, and the answer comes back
  // to the server's thread to be written. HEAD is answered as GET, whose
  // headers it gets without the body.
  void dispatch() {
    phase_ = Phase::other;
    evictable_ = false;
    request_.body = std::move(parser_->get().body().text);
    parser_.reset();
    asio::post(server_.workers, [self = shared_from_this()]() mutable {
      HttpResponse response;
      bool head = self->request_.method == "HEAD";
      if (head) self->request_.method = "GET";
      try {
        response = self->server_.handlers.answer(self->request_);
      } catch (const std::exception& exception) {
        response =
            self->server_.refusal(500, fillTemplate(messages::kBridgeFailed, {exception.what()}));
      } catch (...) {
        response = self->server_.refusal(500, fillTemplate(messages::kBridgeFailed, {"unknown"}));
      }
      if (head) self->request_.method = "HEAD";
      auto executor = self->socket_.get_executor();
      asio::post(executor, [self = std::move(self), response = std::move(response)]() mutable {
        self->answer(std::move(response));
      });
    });
  }

  void refuseHeadTooLarge() {
    refuse(431, fillTemplate(messages::kHeadTooLarge, {std::to_string(limits().maxHeaderCount),
                                                       std::to_string(limits().maxHeadBytes)}));
  }

  void refuseFraming() {
    refuse(413, fillTemplate(messages::kChunkFramingTooLarge,
                             {std::to_string(limits().maxChunkFramingBytes),
                              std::to_string(limits().maxHeadBytes)}));
  }

  // A refusal ends the connection: what the client still sends is drained.
  void refuse(int status, std::string_view text) { refuseWith(server_.refusal(status, text)); }

  void refuseWith(HttpResponse response) {
    phase_ = Phase::other;
    evictable_ = false;
    keepAlive_ = false;
    drainAfter_ = true;
    parser_.reset();
    releaseBody();
    answer(std::move(response));
  }

  // ---- writing the answer

  void answer(HttpResponse response) {
    // A body the screen refused is still on its way: drop it after the answer.
    if (parser_ && !parser_->is_done()) {
      keepAlive_ = false;
      drainAfter_ = true;
    }
    parser_.reset();
    if (server_.stopping) keepAlive_ = false;
    auto message = std::make_shared<http::response<http::string_body>>();
    try {
      message->result(static_cast<unsigned>(response.status));
    } catch (const std::exception&) {
      message->result(http::status::internal_server_error);
    }
    int status = static_cast<int>(message->result_int());
    // No body, nor framing for one (RFC 9110, 15.2, 15.3.5, 15.4.5); a 1xx
    // is no final answer, so the connection ends after it.
    bool bodiless = status < 200 || status == 204 || status == 304;
    if (status < 200) keepAlive_ = false;
    message->version(11);
    if (!response.contentType.empty() && !bodiless)
      message->set(http::field::content_type, response.contentType);
    message->set("X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : response.headers) message->insert(name, value);
    // The server frames the body, whatever the handler's headers say.
    message->erase(http::field::content_length);
    message->erase(http::field::transfer_encoding);
    if (bodiless) {
      // Nothing to add: the answer ends with its head.
    } else if (request_.method == "HEAD") {
      message->content_length(response.body.size());
    } else {
      message->body() = std::move(response.body);
      message->content_length(message->body().size());
    }
    message->keep_alive(keepAlive_);
    if (!request_.method.empty() && server_.handlers.log) {
      try {
        server_.handlers.log(request_, status, Clock::now() - started_);
      } catch (...) {
      }
    }
    arm(limits().writeDeadline);
    http::async_write(socket_, *message,
                      [self = shared_from_this(), message](beast::error_code error, std::size_t) {
                        self->disarm();
                        self->onWritten(error);
                      });
  }

  void onWritten(beast::error_code error) {
    request_ = HttpRequest();
    releaseBody();
    lastActivity_ = Clock::now();
    if (error) return close();
    if (drainAfter_) return drain();
    if (!keepAlive_) return finish();
    readRequest();
  }

  // The body's text is gone or goes with the request (both held by this
  // connection alone): its share of the budget comes back.
  void releaseBody() {
    share_.giveBack();
    paceShare_ = 0;
  }

  // Sends nothing more and reads what the client still sends, without
  // keeping it, until it closes; then closes.
  void drain() {
    beast::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    buffer_.consume(buffer_.size());
    buffer_.shrink_to_fit();
    evictable_ = true;
    arm(kDrainDeadline);
    drainSome();
  }

  void drainSome() {
    auto space = buffer_.prepare(kDrainChunk);
    socket_.async_read_some(space,
                            [self = shared_from_this()](beast::error_code error, std::size_t read) {
                              self->drained_ += read;
                              if (read > 0) self->lastActivity_ = Clock::now();
                              if (error || self->drained_ > kMaxDrainBytes) return self->close();
                              self->drainSome();
                            });
  }

  // An answer that ends the connection: the client reads it to the close.
  void finish() {
    beast::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    close();
  }

  // Ends the connection and gives back what it held at once, though
  // handlers still pending keep the session itself a little longer.
  void close() {
    beast::error_code ignored;
    evictable_ = false;
    disarm();
    pollTimer_.cancel();
    socket_.close(ignored);
    parser_.reset();
    releaseBody();
    buffer_.consume(buffer_.size());
    buffer_.shrink_to_fit();
  }

  // ---- long-lived answers

  void openStream() {
    if (server_.streams >= limits().maxStreams) {
      refuse(503, fillTemplate(messages::kTooManyStreams, {std::to_string(limits().maxStreams)}));
      return;
    }
    HttpResponse first;
    try {
      source_ = server_.handlers.openStream(request_, first);
    } catch (...) {
      source_ = nullptr;
    }
    if (!source_) {
      refuse(500, fillTemplate(messages::kBridgeFailed, {"no stream"}));
      return;
    }
    streaming_ = true;
    ++server_.streams;
    parser_.reset();
    // Written by hand: the stream's chunks follow as they come.
    std::string text =
        "HTTP/1.1 " + std::to_string(first.status) + " " +
        std::string(
            http::obsolete_reason(http::int_to_status(static_cast<unsigned>(first.status)))) +
        "\r\nContent-Type: " + first.contentType + "\r\nX-Content-Type-Options: nosniff\r\n";
    for (const auto& [name, value] : first.headers) text += name + ": " + value + "\r\n";
    text += "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    watchClose();
    streamQueued_ = std::move(text);
    writeStream();
    pollStream();
  }

  // Reads (and drops) what a streaming client sends, to learn when it leaves.
  void watchClose() {
    auto space = buffer_.prepare(512);
    socket_.async_read_some(space,
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                              if (error) return self->close();
                              self->buffer_.consume(self->buffer_.size());
                              self->watchClose();
                            });
  }

  std::size_t unsentStream() const { return streamQueued_.size() + streamWriting_.size(); }

  // Frames a poll's text as one chunk (none when empty), and the last chunk
  // once the stream has ended, straight into what waits to be written.
  void queueChunk(std::string_view text, bool last) {
    if (!text.empty()) {
      char size[20];
      std::snprintf(size, sizeof size, "%zx\r\n", text.size());
      streamQueued_ += size;
      streamQueued_ += text;
      streamQueued_ += "\r\n";
    }
    if (last) streamQueued_ += "0\r\n\r\n";
    writeStream();
  }

  // Starts writing what is queued, unless a write is under way.
  void writeStream() {
    if (!streamWriting_.empty() || streamQueued_.empty()) return;
    streamWriting_.swap(streamQueued_);
    // A client that does not read is dropped at the deadline.
    arm(limits().writeDeadline);
    asio::async_write(socket_, asio::buffer(streamWriting_),
                      [self = shared_from_this()](beast::error_code error, std::size_t) {
                        self->disarm();
                        self->streamWriting_.clear();
                        if (error) return self->close();
                        self->writeStream();
                        if (self->streamEnded_) {
                          if (self->unsentStream() == 0) self->finish();
                          return;
                        }
                        if (!self->pollPending_) self->pollStream();
                      });
  }

  // Polls the source while the client keeps up: above the unsent maximum,
  // the next poll waits for a write to end.
  void pollStream() {
    pollPending_ = false;
    if (!socket_.is_open() || streamEnded_) return;
    if (unsentStream() > limits().maxUnsentStreamBytes) return;
    std::string text;
    bool more = false;
    try {
      more = source_->poll(text) && !server_.stopping;
    } catch (...) {
      more = false;
    }
    streamEnded_ = !more;
    queueChunk(text, streamEnded_);
    if (streamEnded_) {
      if (unsentStream() == 0) finish();
      return;
    }
    if (!text.empty()) {
      // More may be ready: ask again at once (which waits for a write to
      // end while too much is unsent).
      pollPending_ = true;
      asio::post(socket_.get_executor(), [self = shared_from_this()] { self->pollStream(); });
      return;
    }
    pollPending_ = true;
    pollTimer_.expires_after(kStreamPoll);
    pollTimer_.async_wait([self = shared_from_this()](beast::error_code error) {
      if (!error) self->pollStream();
    });
  }

  HttpServerShared& server_;
  std::list<HttpConnection*>::iterator self_;
  tcp::socket socket_;
  asio::steady_timer deadline_;
  asio::steady_timer pollTimer_;
  std::uint64_t generation_ = 0;
  bool timedOut_ = false;
  BodyCut bodyCut_ = BodyCut::deadline;
  beast::flat_buffer buffer_;
  // Declared before the parser, whose body points at it.
  BodyBudgetShare share_;
  std::optional<http::request_parser<HttpRequestBody>> parser_;
  Phase phase_ = Phase::other;
  Clock::time_point headDue_;
  Clock::time_point bodyStarted_;
  Clock::time_point bodyDue_;
  std::size_t headBytesRead_ = 0;  // of this request's head, by the parser
  std::size_t bodyBytesRead_ = 0;
  HttpRequest request_;
  Clock::time_point started_;
  Clock::time_point lastActivity_;
  std::size_t paceShare_ = 0;  // S of the pace rule, HttpLimits::bodyStallDeadline
  std::size_t drained_ = 0;
  bool keepAlive_ = false;
  bool drainAfter_ = false;
  bool evictable_ = false;
  bool streaming_ = false;
  std::unique_ptr<HttpStream> source_;
  std::string streamQueued_;   // chunks polled but not yet being written
  std::string streamWriting_;  // the chunks being written
  bool streamEnded_ = false;
  bool pollPending_ = false;  // a poll is due: the timer is armed or a poll posted
};

}  // namespace

void startSession(HttpServerShared& server, tcp::socket socket) {
  std::make_shared<HttpSession>(server, std::move(socket))->start();
}

}  // namespace zel::host
