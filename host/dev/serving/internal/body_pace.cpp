#include "host/dev/serving/internal/body_pace.h"

#include "host/conversions/text_template.h"
#include "host/dev/serving/messages.h"

namespace zel::host::internal {

void BodyPace::start(Clock::time_point now) {
  started_ = now;
  due_ = now + limits_.bodyDeadline;
}

BodyCutAt BodyPace::nextCut(Clock::time_point now, std::size_t received) const {
  Clock::time_point behind = behindPaceAt(received);
  if (behind <= now) return {behind, BodyCut::pace, true};
  BodyCutAt first{due_, BodyCut::deadline};
  if (now + limits_.bodyStallDeadline < first.when) {
    first = {now + limits_.bodyStallDeadline, BodyCut::stall};
  }
  if (behind < first.when) first = {behind, BodyCut::pace};
  return first;
}

// Its share, received in bodyDeadline after a grace of bodyStallDeadline.
BodyPace::Clock::time_point BodyPace::behindPaceAt(std::size_t received) const {
  if (share_ == 0 || received >= share_) return Clock::time_point::max();
  std::chrono::duration<double> allowed =
      std::chrono::duration<double>(limits_.bodyDeadline) *
      (static_cast<double>(received) / static_cast<double>(share_));
  return started_ + limits_.bodyStallDeadline +
         std::chrono::duration_cast<Clock::duration>(allowed);
}

std::string BodyPace::cutText(BodyCut cut, bool silent) const {
  if (cut == BodyCut::stall || (cut == BodyCut::pace && silent)) {
    return fillTemplate(messages::kBodyStalled,
                        {std::to_string(limits_.bodyStallDeadline.count() / 1000)});
  }
  if (cut == BodyCut::pace) {
    return fillTemplate(messages::kBodyTooSlow,
                        {std::to_string(limits_.bodyDeadline.count() / 1000)});
  }
  return fillTemplate(messages::kHttpRefused, {"408", "Request Timeout"});
}

}  // namespace zel::host::internal
