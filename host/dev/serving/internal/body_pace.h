// BodyPace: when a request body being read is cut off, and what it is told.
// Three deadlines hold a body (HttpLimits): the body deadline from its start,
// the stall deadline from its last byte, and the pace rule, by which a body
// whose share is S must have received S x (T - bodyStallDeadline) /
// bodyDeadline bytes at T after it began. The session arms its one timer at
// the first of them before each read.
//
//   BodyPace pace(limits);
//   pace.setShare(contentLength);            // at the head
//   pace.start(Clock::now());                // as the body's first read begins
//   BodyCutAt cut = pace.nextCut(Clock::now(), received);
//   ... the timer fires: refuse(408, pace.cutText(cut.cut, silent));
//
// Plain state of one session, on the server's thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "host/dev/serving/http_server.h"

namespace zel::host::internal {

// What the armed deadline of a body stands for.
enum class BodyCut { deadline, stall, pace };

struct BodyCutAt {
  std::chrono::steady_clock::time_point when;
  BodyCut cut = BodyCut::deadline;
  // Already behind its pace: cut now, without waiting for the timer.
  bool overdue = false;
};

class BodyPace {
 public:
  using Clock = std::chrono::steady_clock;

  explicit BodyPace(const HttpLimits& limits) : limits_(limits) {}

  // S of the pace rule: the body's Content-Length, or the largest body when
  // it is chunked. Zero (release()): no pace to keep.
  void setShare(std::size_t share) { share_ = share; }
  void release() { share_ = 0; }
  void start(Clock::time_point now);

  // The first of the three deadlines, given the bytes received so far
  // (framing of a chunked body included, and what waits to be parsed).
  BodyCutAt nextCut(Clock::time_point now, std::size_t received) const;

  // The 408 text of a cut. silent: nothing arrived for the stall deadline,
  // which a body that got nothing since it began hears as a stall.
  std::string cutText(BodyCut cut, bool silent) const;

 private:
  // When the body falls behind the pace rule unless more arrives.
  Clock::time_point behindPaceAt(std::size_t received) const;

  const HttpLimits& limits_;
  std::size_t share_ = 0;
  Clock::time_point started_;
  Clock::time_point due_;
};

}  // namespace zel::host::internal
