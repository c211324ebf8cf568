#pragma once
// Runs a test body in a forked child whose address space may grow by only so
// much, so a decoder that reaches for gigabytes fails there at once instead of
// merely being slow; or the test program afresh under a ceiling set before it
// starts, as a shell's `ulimit -v` sets it. AddressSanitizer reserves
// terabytes of shadow memory, so under it the ceiling is left off and the body
// runs uncapped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

#if defined(__SANITIZE_ADDRESS__)
#define FD_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FD_TEST_UNDER_ASAN 1
#endif
#endif

// Skips a test that needs an address-space ceiling where none can be set.
#ifdef FD_TEST_UNDER_ASAN
#define FD_SKIP_WITHOUT_ADDRESS_SPACE_CEILING() \
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set"
#else
#define FD_SKIP_WITHOUT_ADDRESS_SPACE_CEILING() static_cast<void>(0)
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

// Set in the environment of the test program runTestUnderCeiling starts.
inline constexpr const char* kUnderCeilingVariable = "FLIPDESK_TEST_UNDER_CEILING";

// Whether this process is the test program started again by
// runTestUnderCeiling, to run the test's body there.
inline bool startedUnderCeiling() { return std::getenv(kUnderCeilingVariable) != nullptr; }

// Starts this test program again in a fresh process whose address space may
// reach `ceiling` bytes from its very start, running only the test that calls
// this (which, there, finds startedUnderCeiling()); its output goes to log.
// The test passed there when the child exited with 0 and its log says so.
inline ChildResult runTestUnderCeiling(std::uint64_t ceiling, const std::filesystem::path& log) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string logPath = log.string();
  // Made before the fork: between it and exec the child only makes calls
  // safe while another thread may hold the allocator's lock.
  const std::string marker = std::string(kUnderCeilingVariable) + "=1";
  std::vector<char*> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.push_back(*e);
  environment.push_back(const_cast<char*>(marker.c_str()));
  environment.push_back(nullptr);
  char* const arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(filter.c_str()), nullptr};
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return {};
  }
  if (pid == 0) {
    const rlimit limit{static_cast<rlim_t>(ceiling), static_cast<rlim_t>(ceiling)};
    const int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::setrlimit(RLIMIT_AS, &limit) != 0 || out < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) ::_exit(126);
    ::execve(arguments[0], arguments, environment.data());
    ::_exit(127);
  }
  return waitForChild(pid);
}

inline ChildResult runUnderMemoryCeiling(std::size_t extraBytes, const std::function<void()>& body) {
  return runInChild([&] {
    limitAddressSpaceGrowth(extraBytes);
    body();
  });
}

}  // namespace testing_support
