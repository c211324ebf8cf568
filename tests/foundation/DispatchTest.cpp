#include "platform/foundation/Dispatch.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/MemoryCeiling.h"

using fd::DispatchQueue;
using fd::Semaphore;

TEST(DispatchQueue, RunsJobsInOrderOnOneThread) {
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  {
    DispatchQueue q("order");
    for (int i = 0; i < 100; ++i)
      q.async([&, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
    q.drain();
    EXPECT_EQ(order.size(), 100u);
  }
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
  for (auto id : threads) EXPECT_EQ(id, threads.front());
  EXPECT_NE(threads.front(), std::this_thread::get_id());
}

TEST(DispatchQueue, DestructionRunsEveryQueuedJob) {
  std::atomic<int> ran{0};
  {
    DispatchQueue q("drain");
    q.async([] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
    for (int i = 0; i < 50; ++i) q.async([&] { ++ran; });
  }
  EXPECT_EQ(ran, 50);
}

TEST(DispatchQueue, SyncWaitsAndRunsInlineFromTheQueue) {
  DispatchQueue q("sync");
  int value = 0;
  q.async([&] { value = 1; });
  q.sync([&] { value *= 10; });
  EXPECT_EQ(value, 10);

  bool innerOnQueue = false;
  q.sync([&] {
    q.sync([&] { innerOnQueue = q.isCurrent(); });  // would deadlock if queued
  });
  EXPECT_TRUE(innerOnQueue);
  EXPECT_FALSE(q.isCurrent());
  EXPECT_EQ(q.label(), "sync");
}

TEST(DispatchQueue, SyncRethrowsAndTheQueueSurvivesAThrowingJob) {
  DispatchQueue q("throws");
  EXPECT_THROW(q.sync([] { throw std::runtime_error("x"); }), std::runtime_error);
  q.async([] { throw std::runtime_error("logged, not fatal"); });
  int after = 0;
  q.sync([&] { after = 1; });
  EXPECT_EQ(after, 1);
}

TEST(DispatchQueue, DrainWaitsForJobsQueuedFromOtherThreads) {
  DispatchQueue q("multi");
  std::atomic<int> sum{0};
  std::vector<std::thread> producers;
  for (int t = 0; t < 4; ++t)
    producers.emplace_back([&] {
      for (int i = 0; i < 100; ++i) q.async([&] { ++sum; });
    });
  for (auto& p : producers) p.join();
  q.drain();
  EXPECT_EQ(sum, 400);
}

// Under an address-space ceiling a queue's thread may find no room for its
// stack, and the queue ended the program (entering the desk, its undo
// manager's queue did). It goes on without a thread of its own: its callers
// run the jobs, in the order queued, one at a time; a job queued from a job
// runs after it, as on the queue's thread.
TEST(DispatchQueue, AQueueWhoseThreadCannotStartHasItsCallersRunTheJobsInOrder) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set";
#endif
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{256} << 10, [] {
    ASSERT_TRUE(testing_support::mapEveryNewThreadStackAnew());
    std::vector<std::string> order;
    order.reserve(16);
    std::vector<std::thread::id> threads;
    threads.reserve(16);
    {
      DispatchQueue q("no thread");
      q.async([&] {
        order.push_back("a");
        q.async([&] { order.push_back("c"); });
        order.push_back("b");
        threads.push_back(std::this_thread::get_id());
      });
      q.sync([&] {
        EXPECT_TRUE(q.isCurrent());
        q.sync([&] { order.push_back("d"); });
        threads.push_back(std::this_thread::get_id());
      });
      EXPECT_FALSE(q.isCurrent());
      EXPECT_THROW(q.sync([] { throw std::runtime_error("refused"); }), std::runtime_error);
      q.async([] { throw std::runtime_error("dropped"); });
      q.drain();
      q.async([&] { order.push_back("e"); });
    }
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    for (std::thread::id id : threads) EXPECT_EQ(id, std::this_thread::get_id()) << "a thread started after all";
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "exit " << child.exitCode << ", signal " << child.signal;
}

TEST(Semaphore, CountsPermits) {
  Semaphore s(2);
  EXPECT_TRUE(s.waitFor(0));
  EXPECT_TRUE(s.waitFor(0));
  EXPECT_FALSE(s.waitFor(0.01));
  s.signal();
  EXPECT_TRUE(s.waitFor(0));
}

TEST(Semaphore, WakesAWaiterOnAnotherThread) {
  Semaphore s(0);
  std::atomic<bool> through{false};
  std::thread waiter([&] {
    s.wait();
    through = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(through);
  s.signal();
  waiter.join();
  EXPECT_TRUE(through);
}

TEST(Dispatch, DetachedJobsRun) {
  Semaphore done(0);
  fd::dispatchGlobalAsync([&] { done.signal(); });
  fd::detachThread([&] { done.signal(); });
  EXPECT_TRUE(done.waitFor(5));
  EXPECT_TRUE(done.waitFor(5));
}

// Work that may take seconds and nobody waits for (emptying a deleted
// project's folder) takes only the time the program's other threads leave,
// also when the program itself was started under nice.
TEST(Dispatch, ABackgroundDetachedJobRunsBelowItsCallersPriority) {
  const auto niceness = [] {
    errno = 0;
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
  };
  const int caller = niceness();
  // A detached thread, and a queue's worker.
  const std::function<void(std::function<void()>, DispatchQueue::Priority)> starts[] = {
      [](std::function<void()> job, DispatchQueue::Priority priority) { fd::detachThread(std::move(job), priority); },
      [](std::function<void()> job, DispatchQueue::Priority priority) {
        DispatchQueue queue("priority", priority);
        queue.async(std::move(job));
      }};
  for (const auto& start : starts) {
    for (const auto priority : {DispatchQueue::Priority::Default, DispatchQueue::Priority::Background}) {
      Semaphore done(0);
      std::atomic<int> seen{caller};
      start([&] {
        seen = niceness();
        done.signal();
      }, priority);
      ASSERT_TRUE(done.waitFor(5));
      if (priority == DispatchQueue::Priority::Default) {
        EXPECT_EQ(seen, caller);
      } else if (caller < 19) {
        EXPECT_GT(seen, caller);
      } else {
        EXPECT_EQ(seen, caller) << "nothing runs below the lowest priority";
      }
    }
  }
  EXPECT_EQ(niceness(), caller) << "the caller's own priority changed";
}
