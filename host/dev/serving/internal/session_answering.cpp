#include <exception>
#include <memory>

#include <boost/asio/post.hpp>
#include <boost/beast/http/write.hpp>

#include "host/conversions/text_template.h"
#include "host/dev/serving/internal/answer_framing.h"
#include "host/dev/serving/internal/session.h"
#include "host/dev/serving/messages.h"

namespace zel::host::internal {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;

std::optional<HttpResponse> HttpSession::screen() {
  if (!server_.handlers.screen) return std::nullopt;
  try {
    return server_.handlers.screen(request_);
  } catch (const std::exception& exception) {
    return server_.refusal(500, fillTemplate(messages::kBridgeFailed, {exception.what()}));
  } catch (...) {
    return server_.refusal(500, fillTemplate(messages::kBridgeFailed, {"unknown"}));
  }
}

void HttpSession::dispatch() {
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

void HttpSession::refuseWith(HttpResponse response) {
  phase_ = Phase::other;
  evictable_ = false;
  keepAlive_ = false;
  drainAfter_ = true;
  parser_.reset();
  releaseBody();
  answer(std::move(response));
}

void HttpSession::answer(HttpResponse response) {
  // A body the screen refused is still on its way: drop it after the answer.
  if (parser_ && !parser_->is_done()) {
    keepAlive_ = false;
    drainAfter_ = true;
  }
  parser_.reset();
  if (server_.stopping) keepAlive_ = false;
  auto message = std::make_shared<AnswerMessage>();
  int status = frameAnswer(std::move(response), request_.method == "HEAD", keepAlive_, *message);
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

void HttpSession::onWritten(beast::error_code error) {
  request_ = HttpRequest();
  releaseBody();
  lastActivity_ = Clock::now();
  if (error) return close();
  if (drainAfter_) return drain();
  if (!keepAlive_) return finish();
  readRequest();
}

void HttpSession::releaseBody() {
  share_.giveBack();
  pace_.release();
}

void HttpSession::drain() {
  beast::error_code ignored;
  socket_.shutdown(tcp::socket::shutdown_send, ignored);
  buffer_.consume(buffer_.size());
  buffer_.shrink_to_fit();
  evictable_ = true;
  arm(kDrainDeadline);
  drainSome();
}

void HttpSession::drainSome() {
  auto space = buffer_.prepare(kDrainChunk);
  socket_.async_read_some(space,
                          [self = shared_from_this()](beast::error_code error, std::size_t read) {
                            self->drained_ += read;
                            if (read > 0) self->lastActivity_ = Clock::now();
                            if (error || self->drained_ > kMaxDrainBytes) return self->close();
                            self->drainSome();
                          });
}

}  // namespace zel::host::internal
