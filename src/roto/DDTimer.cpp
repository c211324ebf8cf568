#include "roto/DDTimer.h"

#include <cmath>
#include <cstdio>

namespace roto {

void DDTimer::startTimerWithTimeInterval(double interval) {
  endTimer();
  totalTime_ = 0;
  timer_ = fd::RunLoop::main().scheduleTimer(interval, true, [this, interval] { timerCallback(interval); });
}

void DDTimer::endTimer() {
  if (timer_) timer_->invalidate();
  timer_.reset();
}

void DDTimer::timerCallback(double interval) {
  totalTime_ += interval;
  if (delegate_) delegate_->ddTimerDidFiredWithTotalTime(totalTime_);
}

std::string DDTimer::timeIntervalToString(double seconds, const char* format) {
  const int s = static_cast<int>(std::lround(seconds));
  const int h = s / 3600, r = s - 3600 * h, m = r / 60, sec = r - 60 * m;
  char buf[64];
  std::snprintf(buf, sizeof buf, format, s / 36000, h % 10, r / 600, m % 10, sec / 10, sec % 10);
  return buf;
}

}  // namespace roto
