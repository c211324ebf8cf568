#include "platform/foundation/CrashPoint.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

namespace fd {
namespace {

struct Armed {
  std::mutex mutex;
  std::string step;
  int remaining = 0;
  bool throws = false;  // std::bad_alloc instead of the end of the process
  std::atomic<bool> any{false};

  Armed() {
    const char* env = std::getenv("FLIPDESK_CRASH_AT");
    if (env == nullptr || *env == '\0') return;
    std::string setting(env);
    int hit = 1;
    if (auto colon = setting.rfind(':'); colon != std::string::npos) {
      hit = std::atoi(setting.c_str() + colon + 1);
      setting.resize(colon);
    }
    step = setting;
    remaining = hit < 1 ? 1 : hit;
    any = true;
  }
};

Armed& armed() {
  static Armed* a = new Armed;  // never destroyed: writes on any thread pass crash points
  return *a;
}

void arm(std::string step, int hit, bool throws) {
  Armed& a = armed();
  std::lock_guard lock(a.mutex);
  a.step = std::move(step);
  a.remaining = hit < 1 ? 1 : hit;
  a.throws = throws;
  a.any = true;
}

}  // namespace

void crashPoint(std::string_view step) {
  Armed& a = armed();
  if (!a.any.load(std::memory_order_relaxed)) return;
  std::lock_guard lock(a.mutex);
  if (a.step != step) return;
  if (--a.remaining > 0) return;
  if (!a.throws) ::_exit(kCrashPointExitCode);
  a.any = false;
  a.step.clear();
  a.throws = false;
  throw std::bad_alloc();
}

void armCrashPoint(std::string step, int hit) { arm(std::move(step), hit, false); }

void armAllocationFailure(std::string step, int hit) { arm(std::move(step), hit, true); }

void disarmCrashPoint() {
  Armed& a = armed();
  std::lock_guard lock(a.mutex);
  a.any = false;
  a.step.clear();
  a.throws = false;
}

}  // namespace fd
