#pragma once
// The main thread's run loop: timers, delayed performs, tasks posted from any
// thread. Its clock is injectable so tests advance time by hand.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace fd {

class RunLoop;
namespace detail {
struct RunLoopState;
}

// A scheduled timer. Handles are shared; invalidate() stops it for good and
// drops the callback, so a callback may hold its own timer.
class Timer {
 public:
  void invalidate();
  bool isValid() const;
  double fireDate() const;  // on the run loop's clock
  double interval() const;
  bool repeats() const;
  // Runs the callback now; a one-shot timer is then invalid.
  void fire();

 private:
  friend class RunLoop;
  friend struct detail::RunLoopState;
  Timer(std::weak_ptr<detail::RunLoopState> loop, std::uint64_t id, double interval, bool repeats,
        std::function<void()> fn, const void* target);
  // Takes the callback for one firing; false when the timer is no longer valid.
  bool takeForFiring(double now, std::function<void()>& fn);
  // The loop's reference is weak: a timer may outlive a loop reset in tests.
  std::weak_ptr<detail::RunLoopState> loop_;
  std::uint64_t id_;
  double interval_;
  bool repeats_;
  const void* target_;
  std::function<void()> fn_;
  mutable std::mutex m_;
  bool valid_ = true;
  double fireDate_ = 0;
};
using TimerRef = std::shared_ptr<Timer>;

class RunLoop {
 public:
  // The main run loop. The thread that first calls main() (or that calls
  // makeCurrentThreadMain) is the main thread.
  static RunLoop& main();
  // Tests: a fresh main loop on the calling thread with a virtual clock at 0.
  static void resetMainForTesting(bool virtualClock = true);
  void makeCurrentThreadMain();
  bool isMainThread() const;

  // Seconds on the loop's clock (monotonic, or virtual in tests).
  double now() const;
  bool usesVirtualClock() const;

  // Timers fire on the main thread. A repeating timer's next fire date is its
  // previous one plus the interval (skipping missed ones, as the phone does).
  TimerRef scheduleTimer(double interval, bool repeats, std::function<void()> fn);
  // A repeating timer for clocks that must keep time: each firing runs `tick`
  // once for every interval the clock has passed since the last, so ticks a
  // busy or late main thread missed are made up at the next firing (at most
  // a second's worth; after a longer stall the count starts afresh). Ticks
  // stop early when `tick` invalidates the timer.
  TimerRef scheduleTicks(double interval, std::function<void()> tick);

  // A delayed perform tied to a target, cancellable as a group.
  TimerRef performAfterDelay(double delay, std::function<void()> fn, const void* target = nullptr);
  void cancelPerforms(const void* target);

  // From any thread: run fn on the main thread at its next turn.
  void post(std::function<void()> fn);

  // Runs due timers and posted tasks until nothing is due now.
  void runUntilIdle();
  // Virtual clock: moves time forward by dt in steps that stop at each timer's
  // fire date, running what falls due in order. On a real clock it runs the
  // loop for dt seconds.
  void advance(double dt);
  // Runs until stop() is called (the program's main loop). Between turns it
  // sleeps until the next timer or posted task; a virtual clock jumps straight
  // to the next timer instead. A stop() that came before run() ends it at once.
  void run();
  void stop();
  // One turn: waits at most maxWait seconds for work, runs what is due.
  void runOnce(double maxWait);
  // Time passes while the main thread is busy elsewhere: a virtual clock
  // moves on by dt and nothing runs (what fell due runs at the next turn, a
  // repeating timer once); a real clock sleeps.
  void stall(double dt);

 private:
  RunLoop();
  std::shared_ptr<detail::RunLoopState> state() const;
  TimerRef schedule(double delay, double interval, bool repeats, std::function<void()> fn, const void* target);
  mutable std::mutex stateMutex_;
  std::shared_ptr<detail::RunLoopState> state_;
};

bool isMainThread();
// Runs fn on the main thread. wait=true blocks until it has run (the main
// thread must be turning its loop) and rethrows what fn threw; called on the
// main thread, fn runs inline either way.
void performOnMain(std::function<void()> fn, bool wait);

}  // namespace fd
