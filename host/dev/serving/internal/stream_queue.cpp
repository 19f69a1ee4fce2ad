#include "host/dev/serving/internal/stream_queue.h"

#include <cstdio>

namespace zel::host::internal {

void StreamQueue::queueChunk(std::string_view text, bool last) {
  if (!text.empty()) {
    char size[20];
    std::snprintf(size, sizeof size, "%zx\r\n", text.size());
    queued_ += size;
    queued_ += text;
    queued_ += "\r\n";
  }
  if (last) queued_ += "0\r\n\r\n";
}

std::string* StreamQueue::startWrite() {
  if (!writing_.empty() || queued_.empty()) return nullptr;
  writing_.swap(queued_);
  return &writing_;
}

}  // namespace zel::host::internal
