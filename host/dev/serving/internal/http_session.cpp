#include "host/dev/serving/internal/http_session.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "host/dev/serving/internal/session.h"

namespace zel::host::internal {

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

namespace beast = boost::beast;

HttpSession::HttpSession(HttpServerShared& server, tcp::socket socket)
    : server_(server),
      socket_(std::move(socket)),
      deadline_(socket_.get_executor()),
      pollTimer_(socket_.get_executor()),
      buffer_(server.limits.maxHeadBytes + kReadChunk),
      share_(server.bodyReserved, server.limits.bodyBudgetBytes),
      pace_(server.limits),
      lastActivity_(Clock::now()) {
  std::lock_guard lock(server_.sessionsMutex);
  self_ = server_.sessions.insert(server_.sessions.end(), this);
}

HttpSession::~HttpSession() {
  releaseBody();
  if (streaming_) --server_.streams;
  std::lock_guard lock(server_.sessionsMutex);
  server_.sessions.erase(self_);
  server_.sessionsEnded.notify_all();
}

void HttpSession::closeNow() {
  evictable_ = false;
  close();
}

void HttpSession::armAt(Clock::time_point when) {
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

void HttpSession::disarm() {
  ++generation_;
  deadline_.cancel();
}

void HttpSession::finish() {
  beast::error_code ignored;
  socket_.shutdown(tcp::socket::shutdown_send, ignored);
  close();
}

void HttpSession::close() {
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

void startSession(HttpServerShared& server, boost::asio::ip::tcp::socket socket) {
  std::make_shared<HttpSession>(server, std::move(socket))->start();
}

}  // namespace zel::host::internal
