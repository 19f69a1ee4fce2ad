#include <memory>
#include <string>

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "host/conversions/text_template.h"
#include "host/dev/serving/internal/answer_framing.h"
#include "host/dev/serving/internal/session.h"
#include "host/dev/serving/messages.h"

namespace zel::host::internal {

namespace asio = boost::asio;
namespace beast = boost::beast;

void HttpSession::openStream() {
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
  watchClose();
  // Written by hand: the stream's chunks follow as they come.
  stream_.queue(streamHead(first));
  writeStream();
  pollStream();
}

void HttpSession::watchClose() {
  auto space = buffer_.prepare(512);
  socket_.async_read_some(space, [self = shared_from_this()](beast::error_code error, std::size_t) {
    if (error) return self->close();
    self->buffer_.consume(self->buffer_.size());
    self->watchClose();
  });
}

void HttpSession::writeStream() {
  std::string* text = stream_.startWrite();
  if (text == nullptr) return;
  // A client that does not read is dropped at the deadline.
  arm(limits().writeDeadline);
  asio::async_write(socket_, asio::buffer(*text),
                    [self = shared_from_this()](beast::error_code error, std::size_t) {
                      self->disarm();
                      self->stream_.written();
                      if (error) return self->close();
                      self->writeStream();
                      if (self->streamEnded_) {
                        if (self->stream_.unsent() == 0) self->finish();
                        return;
                      }
                      if (!self->pollPending_) self->pollStream();
                    });
}

void HttpSession::pollStream() {
  pollPending_ = false;
  if (!socket_.is_open() || streamEnded_) return;
  if (stream_.unsent() > limits().maxUnsentStreamBytes) return;
  std::string text;
  bool more = false;
  try {
    more = source_->poll(text) && !server_.stopping;
  } catch (...) {
    more = false;
  }
  streamEnded_ = !more;
  stream_.queueChunk(text, streamEnded_);
  writeStream();
  if (streamEnded_) {
    if (stream_.unsent() == 0) finish();
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

}  // namespace zel::host::internal
