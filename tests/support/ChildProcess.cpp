#include "support/ChildProcess.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <ostream>

#include "platform/foundation/CrashPoint.h"

namespace testing_support {

bool ChildResult::crashedAtPoint() const { return exited && exitCode == fd::kCrashPointExitCode; }

std::ostream& operator<<(std::ostream& out, const ChildResult& child) {
  if (child.exited) return out << "exited with " << child.exitCode;
  return out << "killed by signal " << child.signal;
}

ChildResult waitForChild(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  ChildResult r;
  if (WIFEXITED(status)) {
    r.exited = true;
    r.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    r.signal = WTERMSIG(status);
  }
  return r;
}

ChildResult runInChild(const std::function<void()>& body) {
  const int pid = startChild(body);
  return pid < 0 ? ChildResult{} : waitForChild(pid);
}

int startChild(const std::function<void()>& body) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return -1;
  }
  if (pid == 0) {
    // Whatever the body throws ends the child here: the test framework
    // catching it would run the rest of the test in the child as well.
    try {
      body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "the child threw: %s\n", e.what());
      std::fflush(nullptr);
      ::_exit(3);
    } catch (...) {
      std::fprintf(stderr, "the child threw\n");
      std::fflush(nullptr);
      ::_exit(3);
    }
    bool failed = ::testing::Test::HasFailure();
    std::fflush(nullptr);
    ::_exit(failed ? 1 : 0);
  }
  return pid;
}

}  // namespace testing_support
