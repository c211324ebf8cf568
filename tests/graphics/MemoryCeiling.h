#pragma once
// Runs a test body in a forked child whose address space may grow by only so
// much, so a decoder that reaches for gigabytes fails there at once instead of
// merely being slow. AddressSanitizer reserves terabytes of shadow memory, so
// under it the ceiling is left off and the body runs uncapped.
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "support/ChildProcess.h"

#if defined(__SANITIZE_ADDRESS__)
#define FD_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FD_TEST_UNDER_ASAN 1
#endif
#endif

namespace testing_support {

// From now on this process's address space may grow by extraBytes only.
// In a child: a test that must first build what it works in (a desk, whose
// GL driver reserves address space of its own) sets the ceiling after that.
inline void limitAddressSpaceGrowth(std::size_t extraBytes) {
#ifndef FD_TEST_UNDER_ASAN
  unsigned long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  const rlim_t ceiling = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + extraBytes;
  const rlimit limit{ceiling, ceiling};
  ::setrlimit(RLIMIT_AS, &limit);
#else
  (void)extraBytes;
#endif
}

// From now on every thread made needs a stack mapped anew, which a ceiling
// can refuse: stacks that ended threads left cached for reuse are smaller
// than what threads now ask for. False when the default could not be set.
inline bool mapEveryNewThreadStackAnew() {
  pthread_attr_t attr;
  if (pthread_getattr_default_np(&attr) != 0) return false;
  const bool set = pthread_attr_setstacksize(&attr, std::size_t{64} << 20) == 0 && pthread_setattr_default_np(&attr) == 0;
  pthread_attr_destroy(&attr);
  return set;
}

inline ChildResult runUnderMemoryCeiling(std::size_t extraBytes, const std::function<void()>& body) {
  return runInChild([&] {
    limitAddressSpaceGrowth(extraBytes);
    body();
  });
}

}  // namespace testing_support
