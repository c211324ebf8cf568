#include "support/ChildProcess.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/foundation/CrashPoint.h"

namespace testing_support {

bool ChildResult::crashedAtPoint() const { return exited && exitCode == fd::kCrashPointExitCode; }

ChildResult runInChild(const std::function<void()>& body) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return {};
  }
  if (pid == 0) {
    body();
    bool failed = ::testing::Test::HasFailure();
    std::fflush(nullptr);
    ::_exit(failed ? 1 : 0);
  }
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

}  // namespace testing_support
