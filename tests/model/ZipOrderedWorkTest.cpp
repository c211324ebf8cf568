// The ordered worker pool under the zip writer and reader: results handed on
// strictly in list order, never more than the window prepared ahead, nothing
// started after a stop, a throw in a worker reaching the caller, and the work
// done with fewer threads when not all of them can start.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "graphics/MemoryCeiling.h"
#include "model/zip/OrderedWork.h"

namespace {

struct Tracker {
  std::atomic<std::size_t> started{0};
  std::atomic<std::size_t> consumed{0};
  std::atomic<std::size_t> worstAhead{0};
  std::atomic<int> workers{0};

  auto maker() {
    return [this] {
      ++workers;
      return [this](std::size_t i) {
        const std::size_t ahead = ++started - consumed.load();
        std::size_t seen = worstAhead.load();
        while (ahead > seen && !worstAhead.compare_exchange_weak(seen, ahead)) {
        }
        // Uneven work makes later items finish before earlier ones.
        std::this_thread::sleep_for(std::chrono::microseconds((i * 37) % 5 * 200));
        return i * 3;
      };
    };
  }
};

TEST(ZipOrderedWork, HandsResultsOnInOrderWithinTheWindow) {
  Tracker tracker;
  std::vector<std::size_t> seen;
  const bool all = orderedwork::run<std::size_t>(200, 4, 6, tracker.maker(), [&](std::size_t i, std::size_t& r) {
    EXPECT_EQ(r, i * 3);
    seen.push_back(i);
    ++tracker.consumed;
    return true;
  });
  EXPECT_TRUE(all);
  ASSERT_EQ(seen.size(), 200u);
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i);
  EXPECT_EQ(tracker.workers.load(), 4);
  // Started minus consumed counts the one being consumed too.
  EXPECT_LE(tracker.worstAhead.load(), 6u + 1u);
}

TEST(ZipOrderedWork, StopsWhenTheConsumerRefuses) {
  Tracker tracker;
  std::size_t last = 0;
  const bool all = orderedwork::run<std::size_t>(500, 4, 4, tracker.maker(), [&](std::size_t i, std::size_t&) {
    last = i;
    ++tracker.consumed;
    return i < 20;
  });
  EXPECT_FALSE(all);
  EXPECT_EQ(last, 20u);
  EXPECT_LE(tracker.started.load(), 21u + 4u);
}

TEST(ZipOrderedWork, RunsInlineForOneThreadAndPassesThrowsOn) {
  Tracker tracker;
  std::vector<std::size_t> seen;
  EXPECT_TRUE(orderedwork::run<std::size_t>(5, 1, 1, tracker.maker(), [&](std::size_t i, std::size_t&) {
    seen.push_back(i);
    return true;
  }));
  EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(tracker.workers.load(), 1);

  const auto throwing = [] {
    return [](std::size_t i) -> int {
      if (i == 7) throw std::runtime_error("item 7");
      return static_cast<int>(i);
    };
  };
  std::size_t consumed = 0;
  EXPECT_THROW(orderedwork::run<int>(50, 3, 4, throwing,
                                     [&](std::size_t, int&) {
                                       ++consumed;
                                       return true;
                                     }),
               std::runtime_error);
  EXPECT_EQ(consumed, 7u);
  // A throw while handing on stops the workers before it reaches the caller.
  EXPECT_THROW(orderedwork::run<int>(50, 3, 4, throwing,
                                     [](std::size_t i, int&) -> bool {
                                       if (i == 3) throw std::logic_error("consumer");
                                       return true;
                                     }),
               std::logic_error);
  EXPECT_TRUE(orderedwork::run<int>(0, 3, 4, throwing, [](std::size_t, int&) { return false; }));
}

// Under an address-space ceiling a worker's stack may not be mapped: a pool
// that could start some of its threads, or none, used to end the process (a
// started thread left unjoined) or throw out of an import or export. The work
// is done all the same, in order, with the threads that did start.
TEST(ZipOrderedWork, WorkGoesOnWithTheThreadsThatCouldStart) {
  pthread_attr_t attr;
  std::size_t stack = std::size_t{8} << 20;
  if (pthread_getattr_default_np(&attr) == 0) {
    pthread_attr_getstacksize(&attr, &stack);
    pthread_attr_destroy(&attr);
  }
  // Room for no stack at all, then for one stack but not two.
  for (const std::size_t room : {std::size_t{256} << 10, stack + stack / 2}) {
    SCOPED_TRACE(room);
    const auto child = testing_support::runUnderMemoryCeiling(room, [] {
      Tracker tracker;
      std::vector<std::size_t> seen;
      seen.reserve(64);
      bool all = false;
      EXPECT_NO_THROW(all = orderedwork::run<std::size_t>(64, 8, 8, tracker.maker(), [&](std::size_t i, std::size_t& r) {
        EXPECT_EQ(r, i * 3);
        seen.push_back(i);
        ++tracker.consumed;
        return true;
      }));
      EXPECT_TRUE(all);
      ASSERT_EQ(seen.size(), 64u);
      for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i);
#ifndef FD_TEST_UNDER_ASAN
      EXPECT_LT(tracker.workers.load(), 8) << "every thread started despite the ceiling";
#endif
    });
    EXPECT_TRUE(child.exited && child.exitCode == 0) << "exit " << child.exitCode << ", signal " << child.signal;
  }
}

}  // namespace
