// StreamQueue: what a stream's connection has to write, as chunks framed
// straight into the text that waits, and the text being written. One write
// at a time: the next one takes all that queued meanwhile.
//
//   queue.queue(head);                     // the answer's head, as is
//   queue.queueChunk(polled, ended);       // a chunk (none when empty), the last one
//   if (std::string* text = queue.startWrite()) async_write(*text, ...);
//   queue.written();                       // once that write is done
//
// Plain state of one session, on the server's thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zel::host::internal {

class StreamQueue {
 public:
  void queue(std::string text) { queued_ += text; }
  // A poll's text as one chunk (none when empty), and the last chunk once
  // the stream has ended.
  void queueChunk(std::string_view text, bool last);
  // The text to write now, taking all that is queued; null while a write is
  // under way or when nothing waits.
  std::string* startWrite();
  void written() { writing_.clear(); }
  std::size_t unsent() const { return queued_.size() + writing_.size(); }

 private:
  std::string queued_;   // chunks polled but not yet being written
  std::string writing_;  // the chunks being written
};

}  // namespace zel::host::internal
