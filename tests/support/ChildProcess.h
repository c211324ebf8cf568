#pragma once
// Runs a piece of a test in a forked child, so that a test can kill the
// program at a chosen step (fd::armCrashPoint) and then look at what the
// parent finds on disk. The child starts from the parent's state at the fork:
// fork before starting threads of your own (queues, GL) in the parent.
#include <functional>
#include <iosfwd>

namespace testing_support {

struct ChildResult {
  bool exited = false;   // ended through exit/_exit
  int exitCode = -1;     // when exited
  int signal = 0;        // when killed by a signal
  bool crashedAtPoint() const;
  bool ranThrough() const { return exited && exitCode == 0; }
};

// "exited with 1", "killed by signal 9": for a failing test's message.
std::ostream& operator<<(std::ostream& out, const ChildResult& child);

// Waits for the child pid to end and tells how it ended.
ChildResult waitForChild(int pid);

// Forks, runs body in the child and ends the child with exit code 0 after it
// (or the crash point's code if an armed step was reached). The child's gtest
// failures make it exit with code 1, an exception out of the body with 3.
ChildResult runInChild(const std::function<void()>& body);
// The same without waiting: the child's pid, for the test to watch it and
// kill it (then waitForChild); -1 when it could not be started.
int startChild(const std::function<void()>& body);

}  // namespace testing_support
