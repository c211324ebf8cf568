#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

namespace fd {

namespace {
// Shortest repeat interval, as a repeating timer of interval 0 would spin.
constexpr double kMinRepeatInterval = 1e-4;
// Slack for fire dates summed in floating point on the virtual clock.
constexpr double kClockSlack = 1e-9;
}  // namespace

namespace detail {

struct RunLoopState {
  RunLoopState(bool virtualClock, std::thread::id main) : mainThread(main), usesVirtualClock(virtualClock) {}

  ~RunLoopState() { dropPendingWork(); }

  // Drops the tasks still waiting and the timers' callbacks. Callbacks often
  // hold their own timer; dropping them breaks those cycles. What they own
  // may call back into the loop from its destructor (cancelling its delayed
  // performs), so they are destroyed outside the lock, and by the loop's
  // owner while the loop is still whole.
  void dropPendingWork() {
    for (;;) {
      std::deque<std::function<void()>> tasks;
      std::vector<std::function<void()>> callbacks;
      {
        std::lock_guard lock(m);
        tasks.swap(posted);
        for (auto& [id, timer] : timers) {
          std::lock_guard timerLock(timer->m_);
          timer->valid_ = false;
          callbacks.push_back(std::move(timer->fn_));
        }
        timers.clear();
      }
      if (tasks.empty() && callbacks.empty()) return;
    }
  }

  double now() const {
    if (usesVirtualClock) return virtualNow.load();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin).count();
  }

  void notifyLocked() {
    ++changes;
    cv.notify_all();
  }

  void post(std::function<void()> fn) {
    std::lock_guard lock(m);
    posted.push_back(std::move(fn));
    notifyLocked();
  }

  void removeTimer(std::uint64_t id) {
    std::lock_guard lock(m);
    timers.erase(id);
  }

  // Caller holds m.
  TimerRef earliestTimerLocked() const {
    TimerRef best;
    double bestDate = 0;
    for (const auto& [id, timer] : timers) {
      std::lock_guard lock(timer->m_);
      if (!timer->valid_) continue;
      if (!best || timer->fireDate_ < bestDate) {
        best = timer;
        bestDate = timer->fireDate_;
      }
    }
    return best;
  }

  std::optional<double> nextFireDate() {
    std::lock_guard lock(m);
    TimerRef t = earliestTimerLocked();
    if (!t) return std::nullopt;
    return t->fireDate();
  }

  bool runOnePosted() {
    std::function<void()> fn;
    {
      std::lock_guard lock(m);
      if (posted.empty()) return false;
      fn = std::move(posted.front());
      posted.pop_front();
    }
    fn();
    return true;
  }

  bool fireOneTimer(double cutoff) {
    TimerRef timer;
    {
      std::lock_guard lock(m);
      timer = earliestTimerLocked();
      if (!timer || timer->fireDate() > cutoff) return false;
      if (!timer->repeats_) timers.erase(timer->id_);
    }
    std::function<void()> fn;
    if (timer->takeForFiring(cutoff, fn)) fn();
    return true;
  }

  // Posted tasks first, then timers due by the cutoff, until neither is left.
  void runUntilIdle(double cutoff) {
    while (runOnePosted() || fireOneTimer(cutoff)) {
    }
  }

  std::chrono::steady_clock::time_point realTime(double t) const {
    return origin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(t));
  }

  // Sleeps until something is posted or scheduled, or the clock reaches
  // until (or the next timer, on a real clock).
  void waitForWork(double until) {
    std::unique_lock lock(m);
    if (!posted.empty() || stopRequested) return;
    std::uint64_t seen = changes;
    auto changed = [&] { return changes != seen || stopRequested; };
    if (usesVirtualClock) {
      TimerRef t = earliestTimerLocked();
      if (t && t->fireDate() <= virtualNow.load()) return;
      cv.wait_for(lock, std::chrono::duration<double>(std::max(0.0, until - now())), changed);
      return;
    }
    if (TimerRef t = earliestTimerLocked()) until = std::min(until, t->fireDate());
    if (until <= now()) return;
    cv.wait_until(lock, realTime(until), changed);
  }

  mutable std::mutex m;
  std::condition_variable cv;
  std::thread::id mainThread;
  const bool usesVirtualClock;
  std::atomic<double> virtualNow{0};
  const std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
  std::deque<std::function<void()>> posted;
  std::map<std::uint64_t, TimerRef> timers;
  std::uint64_t nextId = 1;
  std::uint64_t changes = 0;
  bool stopRequested = false;
};

}  // namespace detail

Timer::Timer(std::weak_ptr<detail::RunLoopState> loop, std::uint64_t id, double interval, bool repeats,
             std::function<void()> fn, const void* target)
    : loop_(std::move(loop)), id_(id), interval_(interval), repeats_(repeats), target_(target), fn_(std::move(fn)) {}

void Timer::invalidate() {
  std::function<void()> dead;
  {
    std::lock_guard lock(m_);
    if (!valid_) return;
    valid_ = false;
    dead = std::move(fn_);
  }
  if (auto loop = loop_.lock()) loop->removeTimer(id_);
}

bool Timer::isValid() const {
  std::lock_guard lock(m_);
  return valid_;
}

double Timer::fireDate() const {
  std::lock_guard lock(m_);
  return fireDate_;
}

double Timer::interval() const { return interval_; }
bool Timer::repeats() const { return repeats_; }

void Timer::fire() {
  std::function<void()> fn;
  {
    std::lock_guard lock(m_);
    if (!valid_) return;
    fn = fn_;
  }
  if (!repeats_) invalidate();
  fn();
}

bool Timer::takeForFiring(double now, std::function<void()>& fn) {
  std::lock_guard lock(m_);
  if (!valid_) return false;
  if (!repeats_) {
    valid_ = false;
    fn = std::move(fn_);
    return true;
  }
  fn = fn_;
  double step = std::max(interval_, kMinRepeatInterval);
  fireDate_ += step;
  if (fireDate_ <= now) fireDate_ += std::floor((now - fireDate_) / step + 1) * step;
  return true;
}

RunLoop::RunLoop() : state_(std::make_shared<detail::RunLoopState>(false, std::this_thread::get_id())) {}

RunLoop& RunLoop::main() {
  // Never destroyed: queues and timers post to it until the process ends.
  // Its waiting work is dropped at the program's exit, while the loop can
  // still be reached: a task may own a view whose destructor cancels its
  // delayed performs.
  static RunLoop* loop = [] {
    auto* made = new RunLoop;
    std::atexit([] {
      if (auto s = main().state()) s->dropPendingWork();
    });
    return made;
  }();
  return *loop;
}

void RunLoop::resetMainForTesting(bool virtualClock) {
  RunLoop& loop = main();
  auto fresh = std::make_shared<detail::RunLoopState>(virtualClock, std::this_thread::get_id());
  std::shared_ptr<detail::RunLoopState> old;
  {
    std::lock_guard lock(loop.stateMutex_);
    old = std::exchange(loop.state_, std::move(fresh));
  }
  old->dropPendingWork();
}

std::shared_ptr<detail::RunLoopState> RunLoop::state() const {
  std::lock_guard lock(stateMutex_);
  return state_;
}

void RunLoop::makeCurrentThreadMain() {
  auto s = state();
  std::lock_guard lock(s->m);
  s->mainThread = std::this_thread::get_id();
}

bool RunLoop::isMainThread() const {
  auto s = state();
  std::lock_guard lock(s->m);
  return s->mainThread == std::this_thread::get_id();
}

double RunLoop::now() const { return state()->now(); }
bool RunLoop::usesVirtualClock() const { return state()->usesVirtualClock; }

TimerRef RunLoop::schedule(double delay, double interval, bool repeats, std::function<void()> fn,
                           const void* target) {
  auto s = state();
  std::lock_guard lock(s->m);
  TimerRef timer(new Timer(s, s->nextId++, interval, repeats, std::move(fn), target));
  timer->fireDate_ = s->now() + std::max(delay, 0.0);
  s->timers.emplace(timer->id_, timer);
  s->notifyLocked();
  return timer;
}

TimerRef RunLoop::scheduleTimer(double interval, bool repeats, std::function<void()> fn) {
  return schedule(interval, interval, repeats, std::move(fn), nullptr);
}

TimerRef RunLoop::scheduleTicks(double interval, std::function<void()> tick) {
  struct Count {
    double start = 0;
    double step = 0;
    long taken = 0;
    std::weak_ptr<Timer> timer;
  };
  auto count = std::make_shared<Count>();
  count->step = std::max(interval, kMinRepeatInterval);
  TimerRef timer = schedule(interval, interval, true, [this, count, tick = std::move(tick)] {
    // A tick is due when the clock has reached its date; the slack absorbs
    // dates summed in floating point.
    const long due = static_cast<long>(std::floor((now() - count->start) / count->step + 1e-6));
    const long cap = std::max(1L, std::lround(1.0 / count->step));
    if (due - count->taken > cap) count->taken = due - cap;
    while (count->taken < due) {
      ++count->taken;
      tick();
      TimerRef self = count->timer.lock();
      if (!self || !self->isValid()) return;
    }
  }, nullptr);
  count->start = timer->fireDate() - std::max(interval, 0.0);
  count->timer = timer;
  return timer;
}

TimerRef RunLoop::performAfterDelay(double delay, std::function<void()> fn, const void* target) {
  return schedule(delay, delay, false, std::move(fn), target);
}

void RunLoop::cancelPerforms(const void* target) {
  if (target == nullptr) return;
  auto s = state();
  std::vector<TimerRef> matching;
  {
    std::lock_guard lock(s->m);
    for (const auto& [id, timer] : s->timers)
      if (timer->target_ == target) matching.push_back(timer);
  }
  for (const TimerRef& t : matching) t->invalidate();
}

void RunLoop::post(std::function<void()> fn) { state()->post(std::move(fn)); }

void RunLoop::runUntilIdle() {
  auto s = state();
  s->runUntilIdle(s->now());
}

void RunLoop::advance(double dt) {
  auto s = state();
  if (!s->usesVirtualClock) {
    double deadline = s->now() + dt;
    do {
      runOnce(deadline - s->now());
    } while (s->now() < deadline);
    return;
  }
  double target = s->virtualNow.load() + std::max(dt, 0.0);
  s->runUntilIdle(s->virtualNow.load());
  while (auto next = s->nextFireDate()) {
    if (*next > target + kClockSlack) break;
    if (*next > s->virtualNow.load()) s->virtualNow.store(*next);
    s->runUntilIdle(s->virtualNow.load());
  }
  if (target > s->virtualNow.load()) s->virtualNow.store(target);
  s->runUntilIdle(s->virtualNow.load());
}

void RunLoop::run() {
  auto s = state();
  for (;;) {
    {
      std::lock_guard lock(s->m);
      if (s->stopRequested) {
        s->stopRequested = false;
        return;
      }
    }
    if (!s->usesVirtualClock) {
      runOnce(3600);
      continue;
    }
    // A virtual clock jumps straight to the next timer when nothing else is left.
    s->runUntilIdle(s->virtualNow.load());
    std::unique_lock lock(s->m);
    if (!s->posted.empty() || s->stopRequested) continue;
    if (TimerRef t = s->earliestTimerLocked()) {
      s->virtualNow.store(std::max(s->virtualNow.load(), t->fireDate()));
      continue;
    }
    std::uint64_t seen = s->changes;
    s->cv.wait(lock, [&] { return s->changes != seen || s->stopRequested; });
  }
}

void RunLoop::stop() {
  auto s = state();
  std::lock_guard lock(s->m);
  s->stopRequested = true;
  s->notifyLocked();
}

void RunLoop::runOnce(double maxWait) {
  auto s = state();
  s->waitForWork(s->now() + std::max(maxWait, 0.0));
  s->runUntilIdle(s->now());
}

void RunLoop::stall(double dt) {
  auto s = state();
  if (dt <= 0) return;
  if (s->usesVirtualClock) {
    s->virtualNow.store(s->virtualNow.load() + dt);
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(dt));
}

bool isMainThread() { return RunLoop::main().isMainThread(); }

void performOnMain(std::function<void()> fn, bool wait) {
  RunLoop& loop = RunLoop::main();
  if (loop.isMainThread()) {
    fn();
    return;
  }
  if (!wait) {
    loop.post(std::move(fn));
    return;
  }
  struct Completion {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;
  };
  auto completion = std::make_shared<Completion>();
  loop.post([completion, fn = std::move(fn)] {
    try {
      fn();
    } catch (...) {
      completion->error = std::current_exception();
    }
    std::lock_guard lock(completion->m);
    completion->done = true;
    completion->cv.notify_all();
  });
  std::unique_lock lock(completion->m);
  completion->cv.wait(lock, [&] { return completion->done; });
  if (completion->error) std::rethrow_exception(completion->error);
}

}  // namespace fd
