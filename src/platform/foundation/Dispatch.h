#pragma once
// Serial dispatch queues (one worker thread each) and a counting semaphore.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace fd {

class DispatchQueue {
 public:
  // A background queue's worker (and the threads it starts) runs below the
  // priority of the program's other threads, so that its work takes only
  // the time they leave.
  enum class Priority { Default, Background };
  // A queue whose thread cannot start (no room for its stack) still takes
  // every job: the threads that queue them run them, in order, one at a time.
  explicit DispatchQueue(std::string label, Priority priority = Priority::Default);
  // Runs every queued job, then joins the worker.
  ~DispatchQueue();
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  void async(std::function<void()> job);
  // Runs job on the queue and waits for it; inline when called from the queue
  // (from a job it runs).
  void sync(const std::function<void()>& job);
  // Waits until every job queued so far has run.
  void drain();
  bool isCurrent() const;
  const std::string& label() const { return label_; }

 private:
  void work();
  // Without a thread of its own: runs the queued jobs on the calling thread,
  // unless a caller already runs them.
  void runQueuedJobs(std::unique_lock<std::mutex>& lock);
  void runJob(const std::function<void()>& job) const;
  std::string label_;
  Priority priority_;
  std::mutex m_;
  std::condition_variable cv_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;
  bool stopping_ = false;
  std::atomic<std::thread::id> caller_{};  // the caller running the jobs, without a thread
  std::thread worker_;
};

// A global concurrent queue stand-in: each job on a detached thread.
void dispatchGlobalAsync(std::function<void()> job);
// A detached thread, as the phone's detachNewThreadSelector. When no thread
// can start (no room for its stack), the job runs on the caller, at the
// caller's priority.
void detachThread(std::function<void()> job, DispatchQueue::Priority priority = DispatchQueue::Priority::Default);

class Semaphore {
 public:
  explicit Semaphore(int count);
  void wait();
  // false when the timeout (seconds) passed first.
  bool waitFor(double seconds);
  void signal();

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int count_;
};

}  // namespace fd
