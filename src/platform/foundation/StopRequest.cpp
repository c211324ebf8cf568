#include "platform/foundation/StopRequest.h"

#include <atomic>

namespace fd {

namespace {
std::atomic<bool> gRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets it");
}  // namespace

void requestStop() { gRequested.store(true, std::memory_order_relaxed); }

bool stopRequested() { return gRequested.load(std::memory_order_relaxed); }

void clearStopRequest() { gRequested.store(false, std::memory_order_relaxed); }

}  // namespace fd
