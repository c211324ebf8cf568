#include "platform/ui/EventClock.h"

#include <algorithm>

namespace ui {

double EventClock::madeAt(std::uint32_t stampMs, double readAt, bool sent) {
  if (sent || stampMs == 0) return readAt;
  // Stamps wrap every 49 days: each is counted on from the last by the
  // shorter way round; one that goes back is a clock set back.
  const std::int32_t step = static_cast<std::int32_t>(stampMs - lastStamp_);
  if (started_ && step < 0) started_ = false;
  if (started_)
    stampSeconds_ += step / 1000.0;
  else
    stampSeconds_ = stampMs / 1000.0;
  lastStamp_ = stampMs;
  const double bound = readAt - stampSeconds_;
  if (!started_) {
    offset_ = bound;
  } else {
    const double loosened = offset_ + std::max(0.0, readAt - lastRead_) * kDrift;
    offset_ = std::min(loosened, bound);
  }
  lastRead_ = started_ ? std::max(lastRead_, readAt) : readAt;
  started_ = true;
  return std::min(readAt, stampSeconds_ + offset_);
}

}  // namespace ui
