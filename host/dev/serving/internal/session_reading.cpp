#include <algorithm>
#include <memory>
#include <string>

#include <boost/asio/write.hpp>

#include "host/conversions/text_template.h"
#include "host/dev/serving/internal/session.h"
#include "host/dev/serving/internal/transfer_coding.h"
#include "host/dev/serving/messages.h"

namespace zel::host::internal {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;

void HttpSession::readRequest() {
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

void HttpSession::pump() {
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

std::size_t HttpSession::framingBytes() const {
  std::size_t data = parser_->get().body().text.size();
  return bodyBytesRead_ > data ? bodyBytesRead_ - data : 0;
}

void HttpSession::readSome() {
  if (phase_ == Phase::head) {
    armAt(headDue_);
  } else {
    // One deadline for the three ways a body is cut: whichever comes first.
    // What waits in the buffer to be parsed has arrived.
    BodyCutAt next = pace_.nextCut(Clock::now(), bodyBytesRead_ + buffer_.size());
    bodyCut_ = next.cut;
    if (next.overdue) return onTimeout();
    armAt(next.when);
  }
  std::size_t room = std::min(kReadChunk, buffer_.max_size() - buffer_.size());
  socket_.async_read_some(buffer_.prepare(room),
                          [self = shared_from_this()](beast::error_code error, std::size_t read) {
                            self->disarm();
                            self->onRead(error, read);
                          });
}

void HttpSession::onRead(beast::error_code error, std::size_t read) {
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

void HttpSession::onTimeout() {
  if (phase_ == Phase::head) {
    // A kept-alive connection that sent nothing more ends quietly.
    if (!parser_->got_some() && buffer_.size() == 0) return close();
    return refuse(408, fillTemplate(messages::kHeadTimedOut,
                                    {std::to_string(limits().headDeadline.count() / 1000)}));
  }
  // A body that got nothing since it began falls behind its pace as its
  // stall deadline passes: it hears that it stalled.
  bool silent = Clock::now() - lastActivity_ >= limits().bodyStallDeadline;
  refuse(408, pace_.cutText(bodyCut_, silent));
}

void HttpSession::onParseError(beast::error_code error) {
  // The body's next bytes would pass what all bodies may hold at once.
  if (share_.refused()) return refuse(503, messages::kServerBusy);
  if (error == http::error::header_limit) return refuseHeadTooLarge();
  if (error == http::error::body_limit) return refuse(413, messages::kBodyTooLarge);
  refuse(400, fillTemplate(messages::kHttpRefused, {"400", "Bad Request"}));
}

void HttpSession::onHead() {
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
  if (std::optional<HeadRefusal> refused = checkTransferEncoding(request_)) {
    return refuse(refused->status, refused->text);
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
  std::size_t share = limits().maxBodyBytes;
  if (auto length = parser_->content_length()) share = static_cast<std::size_t>(*length);
  pace_.setShare(share);
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

void HttpSession::readBody() {
  phase_ = Phase::body;
  evictable_ = true;
  pace_.start(Clock::now());
  pump();
}

void HttpSession::refuseHeadTooLarge() {
  refuse(431, fillTemplate(messages::kHeadTooLarge, {std::to_string(limits().maxHeaderCount),
                                                     std::to_string(limits().maxHeadBytes)}));
}

void HttpSession::refuseFraming() {
  refuse(413, fillTemplate(messages::kChunkFramingTooLarge,
                           {std::to_string(limits().maxChunkFramingBytes),
                            std::to_string(limits().maxHeadBytes)}));
}

}  // namespace zel::host::internal
