#include "platform/foundation/StopRequest.h"

#include <atomic>
#include <utility>

#include "platform/foundation/RunLoop.h"

namespace fd {

namespace {
std::atomic<bool> gRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets it");

// Set and asked on the main thread only.
std::function<bool()>& endWatch() {
  static auto* watch = new std::function<bool()>;  // never destroyed: work may look while the process ends
  return *watch;
}
}  // namespace

void requestStop() { gRequested.store(true, std::memory_order_relaxed); }

bool stopRequested() { return gRequested.load(std::memory_order_relaxed); }

void clearStopRequest() { gRequested.store(false, std::memory_order_relaxed); }

bool endAsked() {
  if (stopRequested()) return true;
  if (!isMainThread()) return false;
  const std::function<bool()>& watch = endWatch();
  return (watch && watch()) || stopRequested();
}

void setEndWatch(std::function<bool()> watch) { endWatch() = std::move(watch); }

}  // namespace fd
