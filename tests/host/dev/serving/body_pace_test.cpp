// Which of a body's three deadlines the session arms, and what a cut body
// hears: on a clock of its own, where the hostile-client tests can only
// race the real one.
#include "host/dev/serving/internal/body_pace.h"

#include <gtest/gtest.h>

namespace zel::host::internal {
namespace {

using std::chrono::milliseconds;
using Clock = BodyPace::Clock;

TEST(BodyPaceTest, ArmsTheFirstOfTheDeadlineTheStallAndThePace) {
  HttpLimits limits;
  limits.bodyDeadline = milliseconds(60'000);
  limits.bodyStallDeadline = milliseconds(5'000);
  const Clock::time_point start{};
  struct Row {
    int line;
    std::size_t share;     // 0: released, no pace to keep
    milliseconds elapsed;  // since the body began
    std::size_t received;
    BodyCut cut;
    milliseconds at;  // since the body began
    bool overdue;
  };
  const Row rows[] = {
      // Nothing received at the start: the pace falls due with the stall.
      {__LINE__, 1000, milliseconds(0), 0, BodyCut::stall, milliseconds(5'000), false},
      // Half received: behind the pace at 5 s + 30 s, after the stall.
      {__LINE__, 1000, milliseconds(10'000), 500, BodyCut::stall, milliseconds(15'000), false},
      {__LINE__, 1000, milliseconds(33'000), 500, BodyCut::pace, milliseconds(35'000), false},
      {__LINE__, 1000, milliseconds(35'000), 500, BodyCut::pace, milliseconds(35'000), true},
      {__LINE__, 1000, milliseconds(40'000), 500, BodyCut::pace, milliseconds(35'000), true},
      // All received: no pace to keep; the stall, then the body deadline.
      {__LINE__, 1000, milliseconds(40'000), 1000, BodyCut::stall, milliseconds(45'000), false},
      {__LINE__, 1000, milliseconds(56'000), 1000, BodyCut::deadline, milliseconds(60'000), false},
      {__LINE__, 0, milliseconds(56'000), 0, BodyCut::deadline, milliseconds(60'000), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    BodyPace pace(limits);
    pace.setShare(1000);
    pace.start(start);
    if (row.share == 0) pace.release();
    BodyCutAt next = pace.nextCut(start + row.elapsed, row.received);
    EXPECT_EQ(next.cut, row.cut);
    EXPECT_EQ(next.when, start + row.at);
    EXPECT_EQ(next.overdue, row.overdue);
  }
}

TEST(BodyPaceTest, ABodyThatGotNothingHearsThatItStalled) {
  HttpLimits limits;
  limits.bodyDeadline = milliseconds(60'000);
  limits.bodyStallDeadline = milliseconds(5'000);
  BodyPace pace(limits);
  struct Row {
    int line;
    BodyCut cut;
    bool silent;
    const char* text;
  };
  const Row rows[] = {
      {__LINE__, BodyCut::stall, false, "The request body stopped arriving for 5 s"},
      {__LINE__, BodyCut::pace, true, "The request body stopped arriving for 5 s"},
      {__LINE__, BodyCut::pace, false,
       "The request body arrives too slowly to be in within 60 s"},
      {__LINE__, BodyCut::deadline, true, "Request refused: 408 Request Timeout"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(pace.cutText(row.cut, row.silent), row.text);
  }
}

}  // namespace
}  // namespace zel::host::internal
