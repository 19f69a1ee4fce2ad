#include "host/dev/http_server.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <list>
#include <mutex>
#include <thread>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include "host/conversions/text_template.h"
#include "host/dev/messages.h"

namespace zel::host {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

// How often a stream is polled for new text.
constexpr std::chrono::milliseconds kStreamPoll{100};
// A refused body still arriving is read and dropped, within these bounds,
// so that the client, which writes before it reads, gets to read the answer.
constexpr std::chrono::milliseconds kDrainDeadline{10'000};
constexpr std::size_t kMaxDrainBytes = std::size_t{256} << 20;
constexpr std::size_t kDrainChunk = 16u << 10;

}  // namespace

std::string lowerCaseAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

const std::string* HttpRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoringCase(key, name)) return &value;
  }
  return nullptr;
}

class HttpSession;

struct HttpServer::Impl {
  Impl(HttpLimits limits, HttpHandlers handlers)
      : limits_(limits), handlers_(std::move(handlers)), workers_(limits.workerThreads) {}

  void accept();
  // The server's own refusal, never throwing.
  HttpResponse refusal(int status, std::string_view text) const;

  const HttpLimits limits_;
  const HttpHandlers handlers_;

  // Every open connection, for stop(); declared before what may hold them.
  std::mutex sessionsMutex_;
  std::list<HttpSession*> sessions_;
  std::condition_variable sessionsEnded_;

  asio::thread_pool workers_;
  asio::io_context io_{1};
  tcp::acceptor acceptor_{io_};
  int port_ = -1;
  std::string error_;
  // Counted on the server's thread; a connection that ends while the server
  // stops may give its share back from the stopping thread.
  std::atomic<std::size_t> streams_{0};
  std::atomic<std::size_t> bodyReserved_{0};
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
};

// One connection, from accept to close. Every member runs on the server's
// thread but answer(), which a worker runs while the connection waits.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(HttpServer::Impl& server, tcp::socket socket)
      : server_(server),
        socket_(std::move(socket)),
        deadline_(socket_.get_executor()),
        pollTimer_(socket_.get_executor()) {
    std::lock_guard lock(server_.sessionsMutex_);
    self_ = server_.sessions_.insert(server_.sessions_.end(), this);
  }

  ~HttpSession() {
    releaseBody();
    if (streaming_) --server_.streams_;
    std::lock_guard lock(server_.sessionsMutex_);
    server_.sessions_.erase(self_);
    server_.sessionsEnded_.notify_all();
  }

  void start() { readHead(); }

  // Ends the connection at once (stop()).
  void closeNow() {
    evictable_ = false;
    close();
  }

  // Between requests, still receiving a head or draining a refused body:
  // nothing would be lost if it ended (the server's thread only).
  bool evictable() const { return evictable_; }

 private:
  const HttpLimits& limits() const { return server_.limits_; }

  // Every read and write runs under a deadline; one that passes cancels
  // what is pending, which then completes with operation_aborted and
  // timedOut_ set.
  void arm(std::chrono::milliseconds within) {
    timedOut_ = false;
    std::uint64_t generation = ++generation_;
    deadline_.expires_after(within);
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

  void readHead() {
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(limits().maxHeadBytes));
    parser_->body_limit(static_cast<std::uint64_t>(limits().maxBodyBytes));
    request_ = HttpRequest();
    evictable_ = true;
    arm(limits().headDeadline);
    http::async_read_header(socket_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                              self->disarm();
                              self->onHead(error);
                            });
  }

  void onHead(beast::error_code error) {
    started_ = Clock::now();
    evictable_ = false;
    if (error) {
      if (timedOut_ && parser_->got_some()) {
        refuse(408, fillTemplate(messages::kHeadTimedOut,
                                 {std::to_string(limits().headDeadline.count() / 1000)}));
      } else if (error == http::error::header_limit) {
        refuseHeadTooLarge();
      } else if (error == http::error::body_limit) {
        refuse(413, messages::kBodyTooLarge);
      } else if (timedOut_ || error == http::error::end_of_stream ||
                 error == asio::error::operation_aborted || !parser_->got_some()) {
        close();  // an idle connection ended, or the server stops
      } else {
        refuse(400, fillTemplate(messages::kHttpRefused, {"400", "Bad Request"}));
      }
      return;
    }
    const auto& head = parser_->get();
    request_.method = std::string(head.method_string());
    request_.target = std::string(head.target());
    std::size_t count = 0;
    for (const auto& field : head) {
      if (++count > limits().maxHeaderCount) {
        refuseHeadTooLarge();
        return;
      }
      request_.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    keepAlive_ = head.keep_alive();

    std::optional<HttpResponse> refused = screen();
    if (refused) {
      answer(std::move(*refused));
      return;
    }
    if (server_.handlers_.wantsStream && server_.handlers_.wantsStream(request_)) {
      openStream();
      return;
    }
    if (parser_->is_done()) {
      dispatch();
      return;
    }
    // A body follows: it must fit in what is left of the budget.
    std::size_t wanted = limits().maxBodyBytes;
    if (auto length = parser_->content_length()) wanted = static_cast<std::size_t>(*length);
    if (server_.bodyReserved_ + wanted > limits().bodyBudgetBytes) {
      refuse(503, messages::kServerBusy);
      return;
    }
    server_.bodyReserved_ += wanted;
    reserved_ = wanted;
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

  void readBody() {
    arm(limits().bodyDeadline);
    http::async_read(socket_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, std::size_t) {
                       self->disarm();
                       self->onBody(error);
                     });
  }

  void onBody(beast::error_code error) {
    if (!error) {
      dispatch();
    } else if (error == http::error::body_limit) {
      refuse(413, messages::kBodyTooLarge);
    } else if (timedOut_) {
      refuse(408, fillTemplate(messages::kHttpRefused, {"408", "Request Timeout"}));
    } else if (error == http::error::partial_message || error == asio::error::operation_aborted ||
               error == asio::error::eof || error == asio::error::connection_reset) {
      close();
    } else {
      refuse(400, fillTemplate(messages::kHttpRefused, {"400", "Bad Request"}));
    }
  }

  std::optional<HttpResponse> screen() {
    if (!server_.handlers_.screen) return std::nullopt;
    try {
      return server_.handlers_.screen(request_);
    } catch (const std::exception& exception) {
      return server_.refusal(500, fillTemplate(messages::kBridgeFailed, {exception.what()}));
    } catch (...) {
      return server_.refusal(500, fillTemplate(messages::kBridgeFailed, {"unknown"}));
    }
  }

  // The whole request is in: a worker answers it, and the answer comes back
  // to the server's thread to be written.
  void dispatch() {
    request_.body = std::move(parser_->get().body());
    parser_.reset();
    asio::post(server_.workers_, [self = shared_from_this()]() mutable {
      HttpResponse response;
      try {
        response = self->server_.handlers_.answer(self->request_);
      } catch (const std::exception& exception) {
        response =
            self->server_.refusal(500, fillTemplate(messages::kBridgeFailed, {exception.what()}));
      } catch (...) {
        response = self->server_.refusal(500, fillTemplate(messages::kBridgeFailed, {"unknown"}));
      }
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

  // A refusal ends the connection: what the client still sends is drained.
  void refuse(int status, std::string_view text) {
    keepAlive_ = false;
    drainAfter_ = true;
    parser_.reset();
    releaseBody();
    answer(server_.refusal(status, text));
  }

  void answer(HttpResponse response) {
    // A body the screen refused is still on its way: drop it after the answer.
    if (parser_ && !parser_->is_done()) {
      keepAlive_ = false;
      drainAfter_ = true;
    }
    if (server_.stopping_) keepAlive_ = false;
    auto message = std::make_shared<http::response<http::string_body>>();
    try {
      message->result(static_cast<unsigned>(response.status));
    } catch (const std::exception&) {
      message->result(http::status::internal_server_error);
    }
    message->version(11);
    if (!response.contentType.empty())
      message->set(http::field::content_type, response.contentType);
    message->set("X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : response.headers) message->insert(name, value);
    bool head = request_.method == "HEAD";
    if (head) {
      message->content_length(response.body.size());
    } else {
      message->body() = std::move(response.body);
      message->prepare_payload();
    }
    message->keep_alive(keepAlive_);
    int status = static_cast<int>(message->result_int());
    if (!request_.method.empty() && server_.handlers_.log) {
      try {
        server_.handlers_.log(request_, status, Clock::now() - started_);
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
    releaseBody();
    request_ = HttpRequest();
    if (error) return close();
    if (drainAfter_) return drain();
    if (!keepAlive_) return finish();
    readHead();
  }

  void releaseBody() {
    server_.bodyReserved_ -= reserved_;
    reserved_ = 0;
  }

  // Sends nothing more and reads what the client still sends, without
  // keeping it, until it closes; then closes.
  void drain() {
    beast::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    buffer_.consume(buffer_.size());
    evictable_ = true;
    arm(kDrainDeadline);
    drainSome();
  }

  void drainSome() {
    auto space = buffer_.prepare(kDrainChunk);
    socket_.async_read_some(space,
                            [self = shared_from_this()](beast::error_code error, std::size_t read) {
                              self->drained_ += read;
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

  void close() {
    beast::error_code ignored;
    disarm();
    pollTimer_.cancel();
    socket_.close(ignored);
  }

  // ---- long-lived answers

  void openStream() {
    if (server_.streams_ >= limits().maxStreams) {
      refuse(503, fillTemplate(messages::kTooManyStreams, {std::to_string(limits().maxStreams)}));
      return;
    }
    HttpResponse first;
    try {
      source_ = server_.handlers_.openStream(request_, first);
    } catch (...) {
      source_ = nullptr;
    }
    if (!source_) {
      refuse(500, fillTemplate(messages::kBridgeFailed, {"no stream"}));
      return;
    }
    streaming_ = true;
    ++server_.streams_;
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
    writeStream(std::move(text), true);
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

  void writeStream(std::string text, bool more) {
    auto out = std::make_shared<std::string>(std::move(text));
    // A client that does not read is dropped at the deadline.
    arm(limits().writeDeadline);
    asio::async_write(socket_, asio::buffer(*out),
                      [self = shared_from_this(), out, more](beast::error_code error, std::size_t) {
                        self->disarm();
                        if (error) return self->close();
                        if (!more) return self->finish();
                        self->pollStream();
                      });
  }

  void pollStream() {
    if (!socket_.is_open()) return;
    std::string text;
    bool more = false;
    try {
      more = source_->poll(text) && !server_.stopping_;
    } catch (...) {
      more = false;
    }
    if (text.empty() && more) {
      pollTimer_.expires_after(kStreamPoll);
      pollTimer_.async_wait([self = shared_from_this()](beast::error_code error) {
        if (!error) self->pollStream();
      });
      return;
    }
    std::string chunked;
    if (!text.empty()) {
      char size[20];
      std::snprintf(size, sizeof size, "%zx\r\n", text.size());
      chunked = size + text + "\r\n";
    }
    if (!more) chunked += "0\r\n\r\n";
    writeStream(std::move(chunked), more);
  }

  HttpServer::Impl& server_;
  std::list<HttpSession*>::iterator self_;
  tcp::socket socket_;
  asio::steady_timer deadline_;
  asio::steady_timer pollTimer_;
  std::uint64_t generation_ = 0;
  bool timedOut_ = false;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  HttpRequest request_;
  Clock::time_point started_;
  std::size_t reserved_ = 0;
  std::size_t drained_ = 0;
  bool keepAlive_ = false;
  bool drainAfter_ = false;
  bool evictable_ = false;
  bool streaming_ = false;
  std::unique_ptr<HttpStream> source_;
};

HttpResponse HttpServer::Impl::refusal(int status, std::string_view text) const {
  try {
    if (handlers_.refusal) return handlers_.refusal(status, text);
  } catch (...) {
  }
  HttpResponse response;
  response.status = status;
  response.contentType = "text/plain; charset=utf-8";
  response.body = std::string(text);
  return response;
}

void HttpServer::Impl::accept() {
  acceptor_.async_accept([this](beast::error_code error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (!error) {
      bool room = !stopping_;
      {
        // At the cap, the oldest connection that is only waiting (for a
        // head, or for a refused body to end) makes room: idle or slow
        // connections cannot lock others out.
        std::lock_guard lock(sessionsMutex_);
        if (room && sessions_.size() >= limits_.maxConnections) {
          auto idle = std::find_if(sessions_.begin(), sessions_.end(),
                                   [](const HttpSession* session) { return session->evictable(); });
          if (idle != sessions_.end()) {
            (*idle)->closeNow();
          } else {
            room = false;
          }
        }
      }
      if (room) {
        std::make_shared<HttpSession>(*this, std::move(socket))->start();
      } else {
        beast::error_code ignored;
        socket.close(ignored);
      }
    }
    accept();
  });
}

HttpServer::HttpServer(HttpLimits limits, HttpHandlers handlers)
    : impl_(std::make_unique<Impl>(limits, std::move(handlers))) {}

HttpServer::~HttpServer() {
  stop();
}

bool HttpServer::bind(const std::string& address, int port) {
  Impl& impl = *impl_;
  beast::error_code error;
  auto fail = [&](std::string_view reason) {
    beast::error_code ignored;
    impl.acceptor_.close(ignored);
    impl.error_ = fillTemplate(messages::kCannotListen, {address, std::to_string(port), reason});
    impl.port_ = -1;
    return false;
  };
  asio::ip::address ip = asio::ip::make_address(address, error);
  if (error) return fail(error.message());
  tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
  impl.acceptor_.open(endpoint.protocol(), error);
  if (error) return fail(error.message());
#if defined(_WIN32)
  // Windows lets a second socket bind a port in use unless the first one
  // asks for it alone.
  using ExclusiveAddressUse = asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
  impl.acceptor_.set_option(ExclusiveAddressUse(true), error);
#else
  // On Linux this only lets a restart take the port over from connections
  // still closing; a port that another socket listens on stays refused.
  impl.acceptor_.set_option(tcp::acceptor::reuse_address(true), error);
#endif
  impl.acceptor_.bind(endpoint, error);
  if (error == asio::error::address_in_use) return fail(messages::kAddressInUse);
  if (error) return fail(error.message());
  impl.acceptor_.listen(asio::socket_base::max_listen_connections, error);
  if (error == asio::error::address_in_use) return fail(messages::kAddressInUse);
  if (error) return fail(error.message());
  impl.port_ = impl.acceptor_.local_endpoint(error).port();
  return !error || fail(error.message());
}

int HttpServer::port() const {
  return impl_->port_;
}

const std::string& HttpServer::error() const {
  return impl_->error_;
}

void HttpServer::run() {
  Impl& impl = *impl_;
  if (impl.stopping_ || !impl.acceptor_.is_open()) return;
  auto work = asio::make_work_guard(impl.io_);
  asio::dispatch(impl.io_, [&impl] { impl.accept(); });
  impl.running_ = true;
  // A handler that throws (an allocation that fails) loses its own
  // connection, never the server.
  while (!impl.io_.stopped()) {
    try {
      impl.io_.run();
    } catch (...) {
    }
  }
  impl.running_ = false;
}

void HttpServer::stop() {
  Impl& impl = *impl_;
  if (impl.stopping_.exchange(true)) return;
  asio::post(impl.io_, [&impl] {
    beast::error_code ignored;
    impl.acceptor_.close(ignored);
    std::lock_guard lock(impl.sessionsMutex_);
    for (HttpSession* session : impl.sessions_) session->closeNow();
  });
  if (impl.running_) {
    // The closed connections end on the server's thread; a second at most.
    std::unique_lock lock(impl.sessionsMutex_);
    impl.sessionsEnded_.wait_for(lock, std::chrono::seconds(1),
                                 [&impl] { return impl.sessions_.empty(); });
  }
  impl.io_.stop();
  impl.workers_.stop();
  impl.workers_.join();
}

}  // namespace zel::host
