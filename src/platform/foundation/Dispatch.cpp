#include "platform/foundation/Dispatch.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <exception>

#include "platform/foundation/Log.h"

namespace fd {

namespace {
constexpr int kBackgroundNice = 10;
}  // namespace

DispatchQueue::DispatchQueue(std::string label, Priority priority)
    : label_(std::move(label)), priority_(priority), worker_([this] { work(); }) {}

DispatchQueue::~DispatchQueue() {
  {
    std::lock_guard lock(m_);
    stopping_ = true;
  }
  cv_.notify_all();
  worker_.join();
}

void DispatchQueue::async(std::function<void()> job) {
  std::lock_guard lock(m_);
  jobs_.push_back(std::move(job));
  cv_.notify_all();
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

bool DispatchQueue::isCurrent() const { return worker_.get_id() == std::this_thread::get_id(); }

void DispatchQueue::work() {
  // On Linux the nice value belongs to the thread, and threads it starts
  // inherit it.
  if (priority_ == Priority::Background) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kBackgroundNice);
  std::unique_lock lock(m_);
  for (;;) {
    cv_.wait(lock, [&] { return !jobs_.empty() || stopping_; });
    if (jobs_.empty()) return;  // stopping, and everything has run
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    try {
      job();
    } catch (const std::exception& e) {
      Log("DispatchQueue %s: job threw: %s", label_.c_str(), e.what());
    } catch (...) {
      Log("DispatchQueue %s: job threw", label_.c_str());
    }
    job = nullptr;
    lock.lock();
    running_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
}

void dispatchGlobalAsync(std::function<void()> job) { std::thread(std::move(job)).detach(); }

void detachThread(std::function<void()> job) { std::thread(std::move(job)).detach(); }

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
