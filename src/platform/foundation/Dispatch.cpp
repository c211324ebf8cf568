#include "platform/foundation/Dispatch.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <system_error>

#include "platform/foundation/Log.h"

namespace fd {

namespace {
// How far below its caller a background thread runs, and the lowest
// priority there is.
constexpr int kBackgroundNiceStep = 10;
constexpr int kLowestNice = 19;

// On Linux the nice value belongs to the thread, and threads it starts
// inherit it. The step is taken from where the thread stands, so that a
// program started under nice still keeps its background work below its other
// threads, down to the lowest priority.
void lowerPriority() {
  const auto self = static_cast<id_t>(::gettid());
  errno = 0;
  const int now = ::getpriority(PRIO_PROCESS, self);
  if (errno != 0 || now >= kLowestNice) return;
  ::setpriority(PRIO_PROCESS, self, std::min(now + kBackgroundNiceStep, kLowestNice));
}
}  // namespace

DispatchQueue::DispatchQueue(std::string label, Priority priority) : label_(std::move(label)), priority_(priority) {
  try {
    worker_ = std::thread([this] { work(); });
  } catch (const std::system_error& e) {
    // No room for another thread (its stack under an address-space ceiling):
    // the queue goes on without one, its jobs run by the threads that queue
    // them, still one at a time and in order.
    Log("DispatchQueue %s: no thread of its own (%s); its callers run its work", label_.c_str(), e.what());
  }
}

DispatchQueue::~DispatchQueue() {
  {
    std::unique_lock lock(m_);
    stopping_ = true;
    if (!worker_.joinable()) {
      runQueuedJobs(lock);
      idle_.wait(lock, [&] { return jobs_.empty() && !running_; });
      return;
    }
  }
  cv_.notify_all();
  worker_.join();
}

void DispatchQueue::async(std::function<void()> job) {
  std::unique_lock lock(m_);
  jobs_.push_back(std::move(job));
  if (worker_.joinable()) {
    cv_.notify_all();
    return;
  }
  runQueuedJobs(lock);
}

void DispatchQueue::runQueuedJobs(std::unique_lock<std::mutex>& lock) {
  // A job queued while another caller (or this one, from inside a job) runs
  // the queue waits its turn there, as it would on the queue's own thread.
  if (running_) return;
  running_ = true;
  caller_ = std::this_thread::get_id();
  while (!jobs_.empty()) {
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    runJob(job);
    job = nullptr;
    lock.lock();
  }
  caller_ = std::thread::id{};
  running_ = false;
  idle_.notify_all();
}

void DispatchQueue::runJob(const std::function<void()>& job) const {
  try {
    job();
  } catch (const std::exception& e) {
    Log("DispatchQueue %s: job threw: %s", label_.c_str(), e.what());
  } catch (...) {
    Log("DispatchQueue %s: job threw", label_.c_str());
  }
}

void DispatchQueue::sync(const std::function<void()>& job) {
  if (isCurrent()) {
    job();
    return;
  }
  std::mutex doneMutex;
  std::condition_variable doneCv;
  bool done = false;
  std::exception_ptr error;
  async([&] {
    try {
      job();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(doneMutex);
    done = true;
    doneCv.notify_all();
  });
  std::unique_lock lock(doneMutex);
  doneCv.wait(lock, [&] { return done; });
  if (error) std::rethrow_exception(error);
}

void DispatchQueue::drain() {
  if (isCurrent()) return;
  std::unique_lock lock(m_);
  idle_.wait(lock, [&] { return jobs_.empty() && !running_; });
}

bool DispatchQueue::isCurrent() const {
  const std::thread::id self = std::this_thread::get_id();
  return worker_.joinable() ? worker_.get_id() == self : caller_.load() == self;
}

void DispatchQueue::work() {
  if (priority_ == Priority::Background) lowerPriority();
  std::unique_lock lock(m_);
  for (;;) {
    cv_.wait(lock, [&] { return !jobs_.empty() || stopping_; });
    if (jobs_.empty()) return;  // stopping, and everything has run
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    runJob(job);
    job = nullptr;
    lock.lock();
    running_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
}

void dispatchGlobalAsync(std::function<void()> job) { detachThread(std::move(job)); }

void detachThread(std::function<void()> job, DispatchQueue::Priority priority) {
  // The job is moved into the thread only once it has started.
  auto shared = std::make_shared<std::function<void()>>(std::move(job));
  try {
    std::thread([shared, priority] {
      if (priority == DispatchQueue::Priority::Background) lowerPriority();
      (*shared)();
    }).detach();
  } catch (const std::system_error& e) {
    Log("no thread for a job (%s): it runs on its caller", e.what());
    (*shared)();
  }
}

Semaphore::Semaphore(int count) : count_(count) {}

void Semaphore::wait() {
  std::unique_lock lock(m_);
  cv_.wait(lock, [&] { return count_ > 0; });
  --count_;
}

bool Semaphore::waitFor(double seconds) {
  std::unique_lock lock(m_);
  if (!cv_.wait_for(lock, std::chrono::duration<double>(std::max(seconds, 0.0)), [&] { return count_ > 0; }))
    return false;
  --count_;
  return true;
}

void Semaphore::signal() {
  // Notified under the lock: a waiter may destroy the semaphore once it wakes.
  std::lock_guard lock(m_);
  ++count_;
  cv_.notify_one();
}

}  // namespace fd
