// HttpRequestBody: the Beast body type a request body is read into, and the
// share of HttpLimits::bodyBudgetBytes it holds. A body holds of the budget
// what its text holds in memory, taken as its bytes arrive, never what it
// announces: Beast's own string body reserves a whole Content-Length at
// once, so that bodies announcing much and sending nothing would hold the
// budget (or the memory) they never use.
//
//   BodyBudgetShare share(server.bodyReserved, limits.bodyBudgetBytes);
//   http::request_parser<HttpRequestBody> parser;
//   parser.get().body().share = &share;
//   parser.get().body().limit = limits.maxBodyBytes;
//   ... parser.put(...) fails with share.refused() once the budget is used up
//   share.giveBack();   // however the body ends
//
// The session owns the share and the parser; the body's text points at the
// share, which outlives the parser. Only the session (internal/session.h)
// includes this header (it needs Beast).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffers_range.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>
#include <boost/system/error_code.hpp>

namespace zel::host::internal {

// One body's part of what all bodies being read hold together. Taken on the
// server's thread; a session that ends while the server stops may give it
// back from the stopping thread, which only ever makes room.
class BodyBudgetShare {
 public:
  BodyBudgetShare(std::atomic<std::size_t>& total, std::size_t budget)
      : total_(total), budget_(budget) {}
  BodyBudgetShare(const BodyBudgetShare&) = delete;
  BodyBudgetShare& operator=(const BodyBudgetShare&) = delete;
  ~BodyBudgetShare() { giveBack(); }

  // Holds `bytes` in all, taking the difference from the budget; false (and
  // refused() from then on) when that would pass the budget.
  bool holdAtLeast(std::size_t bytes) {
    if (bytes <= held_) return true;
    std::size_t more = bytes - held_;
    std::size_t taken = total_.load();
    do {
      if (taken > budget_ || more > budget_ - taken) {
        refused_ = true;
        return false;
      }
    } while (!total_.compare_exchange_weak(taken, taken + more));
    held_ = bytes;
    return true;
  }

  // Holds `bytes` in all whatever the budget says: memory that is already held.
  void hold(std::size_t bytes) {
    if (bytes <= held_) return;
    total_ += bytes - held_;
    held_ = bytes;
  }

  // What the budget has left for this body to grow into.
  std::size_t free() const {
    std::size_t taken = total_.load();
    return taken >= budget_ ? 0 : budget_ - taken;
  }

  std::size_t held() const { return held_; }
  bool refused() const { return refused_; }
  // The body could not grow (the process is out of memory): refused as well.
  void refuse() { refused_ = true; }

  void giveBack() {
    total_ -= held_;
    held_ = 0;
    refused_ = false;
  }

 private:
  std::atomic<std::size_t>& total_;
  const std::size_t budget_;
  std::size_t held_ = 0;
  bool refused_ = false;
};

struct HttpRequestBody {
  struct value_type {
    std::string text;
    BodyBudgetShare* share = nullptr;
    // The most the text grows to at a step: a chunked body's maximum (a
    // Content-Length body grows to its length at most).
    std::size_t limit = 0;
  };

  // Appends what arrives, growing the text by doubling (from a first step
  // of one read) up to the body's length, or into what the budget has
  // left; a body that cannot grow within the budget fails the parse with
  // its share refused().
  class reader {
   public:
    static constexpr std::size_t kFirstStep = 16u << 10;

    template <bool isRequest, class Fields>
    reader(boost::beast::http::header<isRequest, Fields>&, value_type& body) : body_(body) {}

    void init(const boost::optional<std::uint64_t>& length, boost::beast::error_code& error) {
      limit_ = body_.limit;
      if (length && *length < limit_) limit_ = static_cast<std::size_t>(*length);
      error = {};
    }

    template <class ConstBufferSequence>
    std::size_t put(const ConstBufferSequence& buffers, boost::beast::error_code& error) {
      std::size_t incoming = boost::asio::buffer_size(buffers);
      std::string& text = body_.text;
      if (incoming > text.max_size() - text.size() || !fits(text.size() + incoming)) {
        error = boost::system::errc::make_error_code(boost::system::errc::not_enough_memory);
        return 0;
      }
      for (auto piece : boost::beast::buffers_range_ref(buffers)) {
        text.append(static_cast<const char*>(piece.data()), piece.size());
      }
      error = {};
      return incoming;
    }

    void finish(boost::beast::error_code& error) { error = {}; }

   private:
    // Makes room for `needed` bytes of text, its memory held of the budget.
    bool fits(std::size_t needed) {
      std::string& text = body_.text;
      BodyBudgetShare& share = *body_.share;
      if (needed <= text.capacity()) return share.held() >= needed || share.holdAtLeast(needed);
      std::size_t capacity = text.capacity();
      std::size_t target = std::max(needed, std::min(limit_, std::max(2 * capacity, kFirstStep)));
      if (!share.holdAtLeast(target)) {
        // Whatever is left, when the bytes fit in it.
        std::size_t left = share.held() + share.free();
        if (left < needed || !share.holdAtLeast(left)) return false;
        target = left;
      }
      try {
        // A fresh string gets the capacity asked exactly (reserve on a
        // string that has one may round it up).
        std::string grown;
        grown.reserve(target);
        grown.append(text);
        text.swap(grown);
      } catch (const std::bad_alloc&) {
        share.refuse();
        return false;
      }
      share.hold(text.capacity());
      return true;
    }

    value_type& body_;
    std::size_t limit_ = 0;
  };
};

}  // namespace zel::host::internal
