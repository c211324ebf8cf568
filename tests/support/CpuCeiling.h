#pragma once
// Runs a test body in a forked child that may use only so many seconds of
// processor time, so that work growing faster than its input (a quadratic walk
// over a long list) is stopped there by the kernel instead of merely being
// slow. The ceiling is a guard, not a measurement: set it far above what the
// linear work on the test's input needs (sanitizers included) and far below
// what the runaway work takes. A child stopped by it ends with SIGXCPU or
// SIGKILL.
#include <sys/resource.h>

#include <functional>

#include "support/ChildProcess.h"

namespace testing_support {

// Limits the calling process to the seconds of processor time from now on
// (for a body already running in a child, beside another ceiling).
inline void limitCpuSeconds(unsigned seconds) {
  rusage used{};
  ::getrusage(RUSAGE_SELF, &used);
  const rlim_t spent = static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec);
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  const rlimit limit{spent + seconds, spent + seconds + 1};
  ::setrlimit(RLIMIT_CPU, &limit);
}

inline ChildResult runUnderCpuCeiling(unsigned seconds, const std::function<void()>& body) {
  return runInChild([&] {
    limitCpuSeconds(seconds);
    body();
  });
}

}  // namespace testing_support
