#include "host/dev/serving/internal/event_stream.h"

#include <string_view>

#include "host/conversions/text_template.h"
#include "host/dev/documents/json_value.h"
#include "host/dev/serving/messages.h"

namespace zel::host::internal {

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// "16 MiB" for whole MiB, else "N bytes".
std::string sizeText(std::size_t bytes) {
  if (bytes != 0 && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

void appendComment(std::string& text, std::string_view comment) {
  text += ": ";
  text += comment;
  text += "\n\n";
}

}  // namespace

EventStream::EventStream(std::shared_ptr<EventListener> listener,
                         std::chrono::milliseconds keepAliveEvery)
    : listener_(std::move(listener)), keepAliveEvery_(keepAliveEvery) {}

bool EventStream::poll(std::string& text) {
  if (ended_) return false;
  auto now = std::chrono::steady_clock::now();
  std::size_t limit = text.size() + kEventStreamPollBytes;
  if (!greeted_) appendComment(text, messages::kEventStreamOpened);
  greeted_ = true;
  while (text.size() < limit) {
    if (!current_) {
      // Closed before the queue was found empty: nothing more can come.
      bool closed = listener_->closed();
      current_ = listener_->nextShared(std::chrono::milliseconds(0));
      if (!current_) {
        if (!closed) break;
        ended_ = true;
        if (listener_->fellBehind()) {
          appendComment(text, fillTemplate(messages::kListenerFellBehind,
                                           {sizeText(listener_->maxBacklogBytes())}));
        }
        return false;
      }
      beginEvent(text);
    }
    continueEvent(text, limit);
  }
  if (text.empty() && now - lastWrite_ > keepAliveEvery_) appendComment(text, "keep-alive");
  if (!text.empty()) lastWrite_ = now;
  return true;
}

void EventStream::beginEvent(std::string& text) {
  // A line break in the name would end the field early, or the event.
  std::string name = toValidUtf8(current_->name);
  for (char& c : name) c = (c == '\r' || c == '\n') ? ' ' : c;
  text += "id: " + std::to_string(current_->sequence) + "\nevent: " + name + "\ndata: ";
  sent_ = 0;
  afterReturn_ = false;
}

void EventStream::continueEvent(std::string& text, std::size_t limit) {
  // A client reads CR, LF and CR LF each as the end of a line: every one in
  // the payload starts the next data line, a CR LF split between two pieces
  // only once.
  std::string_view payload = current_->payloadJson;
  while (sent_ < payload.size() && text.size() < limit) {
    std::string_view piece = payload.substr(sent_, limit - text.size());
    std::size_t lineEnd = piece.find_first_of("\r\n");
    if (lineEnd == std::string_view::npos) {
      text += piece;
      sent_ += piece.size();
      afterReturn_ = false;
      continue;
    }
    text += piece.substr(0, lineEnd);
    char c = piece[lineEnd];
    bool secondHalfOfCrLf = c == '\n' && lineEnd == 0 && afterReturn_;
    if (!secondHalfOfCrLf) text += "\ndata: ";
    afterReturn_ = c == '\r';
    sent_ += lineEnd + 1;
  }
  if (sent_ == payload.size()) {
    text += "\n\n";
    current_.reset();
  }
}

}  // namespace zel::host::internal
