#pragma once
// A repeating main-loop timer that sums its intervals, and the elapsed-time
// text of the screen's time label.
#include <string>

#include "platform/foundation/RunLoop.h"

namespace roto {

class DDTimerDelegate {
 public:
  virtual ~DDTimerDelegate() = default;
  virtual void ddTimerDidFiredWithTotalTime(double total) = 0;
};

class DDTimer {
 public:
  DDTimer() = default;
  ~DDTimer() { endTimer(); }
  DDTimer(const DDTimer&) = delete;
  DDTimer& operator=(const DDTimer&) = delete;

  void setDelegate(DDTimerDelegate* d) { delegate_ = d; }
  // Restarts the total at 0.
  void startTimerWithTimeInterval(double interval);
  void endTimer();
  double totalTime() const { return totalTime_; }
  bool isRunning() const { return timer_ != nullptr; }

  // The format takes six integers: tens and units of hours, minutes, seconds.
  static std::string timeIntervalToString(double seconds, const char* format);

 private:
  void timerCallback(double interval);
  DDTimerDelegate* delegate_ = nullptr;
  double totalTime_ = 0;
  fd::TimerRef timer_;
};

}  // namespace roto
