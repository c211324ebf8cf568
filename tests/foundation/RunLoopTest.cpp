#include "platform/foundation/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "support/ChildProcess.h"
#include "support/Sandbox.h"

using fd::RunLoop;
using fd::TimerRef;

class RunLoopTest : public testing_support::SandboxTest {
 protected:
  RunLoop& loop = RunLoop::main();
  std::vector<std::string> log;
};

TEST_F(RunLoopTest, TimersFireInDateOrderOnTheVirtualClock) {
  ASSERT_TRUE(loop.usesVirtualClock());
  EXPECT_EQ(loop.now(), 0.0);
  loop.scheduleTimer(0.3, false, [&] { log.push_back("c@" + std::to_string(loop.now())); });
  loop.scheduleTimer(0.1, false, [&] { log.push_back("a@" + std::to_string(loop.now())); });
  loop.performAfterDelay(0.2, [&] { log.push_back("b@" + std::to_string(loop.now())); });
  loop.advance(0.25);
  EXPECT_EQ(log, (std::vector<std::string>{"a@0.100000", "b@0.200000"}));
  EXPECT_DOUBLE_EQ(loop.now(), 0.25);
  loop.advance(1);
  EXPECT_EQ(log.back(), "c@0.300000");
  EXPECT_EQ(log.size(), 3u);
}

TEST_F(RunLoopTest, RepeatingTimerFiresOncePerInterval) {
  int fired = 0;
  TimerRef t = loop.scheduleTimer(0.1, true, [&] { ++fired; });
  loop.advance(1.0);
  EXPECT_EQ(fired, 10);
  EXPECT_TRUE(t->isValid());
  EXPECT_NEAR(t->fireDate(), 1.1, 1e-9);
  t->invalidate();
  loop.advance(1.0);
  EXPECT_EQ(fired, 10);
  EXPECT_FALSE(t->isValid());
}

// A busy main thread reaches the timer late: a plain repeating timer runs
// once and drops what it missed, a tick timer makes the missed ticks up.
TEST_F(RunLoopTest, TickTimerMakesUpTicksABusyThreadMissed) {
  int calls = 0, plainCalls = 0;
  std::vector<double> tickTimes;
  TimerRef ticks = loop.scheduleTicks(0.01, [&] { tickTimes.push_back(loop.now()); });
  TimerRef counter = loop.scheduleTimer(0.01, true, [&] { ++calls; });
  TimerRef plain = loop.scheduleTimer(0.01, true, [&] { ++plainCalls; });
  for (int round = 0; round < 20; ++round) {
    loop.advance(0.01);
    loop.stall(0.025);  // each turn the thread is away for two and a half ticks
  }
  loop.advance(0.005);
  const double elapsed = loop.now();
  EXPECT_NEAR(elapsed, 20 * 0.035 + 0.005, 1e-9);
  // Every 0.01 s the clock passed is one tick, however few calls there were.
  EXPECT_EQ(static_cast<long>(tickTimes.size()), static_cast<long>(elapsed / 0.01 + 1e-6));
  EXPECT_LT(plainCalls, 45);
  EXPECT_EQ(calls, plainCalls);
  // A made-up tick never runs before its date.
  for (std::size_t i = 0; i < tickTimes.size(); ++i) EXPECT_GE(tickTimes[i] + 1e-9, 0.01 * double(i + 1));
  ticks->invalidate();
  counter->invalidate();
  plain->invalidate();
}

TEST_F(RunLoopTest, TickTimerStopsWhenATickInvalidatesItAndCapsALongStall) {
  int ticks = 0;
  TimerRef t;
  t = loop.scheduleTicks(0.01, [&] {
    if (++ticks == 4) t->invalidate();
  });
  loop.advance(0.001);
  loop.stall(0.2);  // twenty ticks due at once; the fourth stops the timer
  loop.advance(0.001);
  EXPECT_EQ(ticks, 4);
  EXPECT_FALSE(t->isValid());

  // After a stall of a minute only a second's worth is made up, and the
  // count goes on from there.
  int later = 0;
  TimerRef u = loop.scheduleTicks(0.1, [&] { ++later; });
  loop.stall(60);
  loop.advance(0.0);
  EXPECT_EQ(later, 10);
  loop.advance(0.3);
  EXPECT_EQ(later, 13);
  u->invalidate();
}

TEST_F(RunLoopTest, OneShotTimerIsInvalidAfterFiring) {
  int fired = 0;
  TimerRef t = loop.scheduleTimer(0.5, false, [&] { ++fired; });
  loop.advance(0.49);
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(t->isValid());
  loop.advance(0.01);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(t->isValid());
  loop.advance(5);
  EXPECT_EQ(fired, 1);
}

TEST_F(RunLoopTest, CallbacksMayInvalidateAndSchedule) {
  int repeats = 0;
  TimerRef self;
  self = loop.scheduleTimer(0.1, true, [&] {
    if (++repeats == 3) self->invalidate();
  });
  TimerRef victim = loop.scheduleTimer(0.25, false, [&] { log.push_back("victim"); });
  loop.scheduleTimer(0.2, false, [&] {
    victim->invalidate();
    loop.scheduleTimer(0.0, false, [&] { log.push_back("chained"); });
    loop.post([&] { log.push_back("posted"); });
  });
  loop.advance(1);
  EXPECT_EQ(repeats, 3);
  EXPECT_EQ(log, (std::vector<std::string>{"posted", "chained"}));
}

TEST_F(RunLoopTest, TimerThatOwnsItselfIsReleasedOnInvalidate) {
  auto marker = std::make_shared<int>(0);
  std::weak_ptr<int> watch = marker;
  TimerRef t = loop.scheduleTimer(0.1, true, [marker] { ++*marker; });
  marker.reset();
  loop.advance(0.3);
  EXPECT_EQ(*watch.lock(), 3);
  t->invalidate();
  EXPECT_TRUE(watch.expired()) << "an invalidated timer drops its callback";
}

TEST_F(RunLoopTest, CancelPerformsDropsOnlyThatTarget) {
  int mine = 0, other = 0;
  int keyA = 0, keyB = 0;
  loop.performAfterDelay(0.1, [&] { ++mine; }, &keyA);
  loop.performAfterDelay(0.2, [&] { ++mine; }, &keyA);
  loop.performAfterDelay(0.1, [&] { ++other; }, &keyB);
  loop.cancelPerforms(&keyA);
  loop.advance(1);
  EXPECT_EQ(mine, 0);
  EXPECT_EQ(other, 1);
}

TEST_F(RunLoopTest, ManualFireOfAOneShotInvalidatesIt) {
  int fired = 0;
  TimerRef once = loop.scheduleTimer(1, false, [&] { ++fired; });
  TimerRef rep = loop.scheduleTimer(1, true, [&] { ++fired; });
  once->fire();
  rep->fire();
  EXPECT_EQ(fired, 2);
  EXPECT_FALSE(once->isValid());
  EXPECT_TRUE(rep->isValid());
  loop.advance(1);
  EXPECT_EQ(fired, 3);
}

TEST_F(RunLoopTest, PostedTasksRunInOrderFromAnyThread) {
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) loop.post([&log = log, i] { log.push_back(std::to_string(i)); });
  });
  worker.join();
  EXPECT_TRUE(log.empty());
  loop.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"0", "1", "2"}));
}

TEST_F(RunLoopTest, PerformOnMainRunsInlineOnMain) {
  bool ran = false;
  fd::performOnMain([&] { ran = true; }, false);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(fd::isMainThread());
}

TEST_F(RunLoopTest, PerformOnMainWaitFromAWorkerWhileTheLoopRuns) {
  std::atomic<bool> workerDone{false};
  std::thread::id ranOn;
  int value = 0;
  std::thread worker([&] {
    EXPECT_FALSE(fd::isMainThread());
    fd::performOnMain(
        [&] {
          ranOn = std::this_thread::get_id();
          value = 42;
        },
        true);
    EXPECT_EQ(value, 42) << "wait=true returns after the block ran";
    workerDone = true;
    fd::performOnMain([&] { loop.stop(); }, false);
  });
  loop.run();
  worker.join();
  EXPECT_TRUE(workerDone);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(RunLoopTest, PerformOnMainPassesExceptionsBack) {
  std::atomic<bool> caught{false};
  std::thread worker([&] {
    try {
      fd::performOnMain([] { throw std::runtime_error("boom"); }, true);
    } catch (const std::runtime_error&) {
      caught = true;
    }
  });
  while (!caught) loop.runOnce(0.01);
  worker.join();
}

TEST_F(RunLoopTest, VirtualRunJumpsToTimersUntilStopped) {
  loop.scheduleTimer(5, false, [&] { log.push_back("five"); });
  loop.scheduleTimer(10, false, [&] { loop.stop(); });
  loop.run();
  EXPECT_EQ(log, std::vector<std::string>{"five"});
  EXPECT_DOUBLE_EQ(loop.now(), 10.0);
}

TEST(RunLoopRealClock, RunSleepsUntilTheTimerAndWakesOnPost) {
  RunLoop::resetMainForTesting(false);
  RunLoop& loop = RunLoop::main();
  double start = loop.now();
  int ticks = 0;
  loop.scheduleTimer(0.02, true, [&] {
    if (++ticks == 3) loop.stop();
  });
  loop.run();
  EXPECT_EQ(ticks, 3);
  EXPECT_GE(loop.now() - start, 0.06 - 1e-3);

  bool posted = false;
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    loop.post([&] {
      posted = true;
      loop.stop();
    });
  });
  loop.run();
  worker.join();
  EXPECT_TRUE(posted);
  RunLoop::resetMainForTesting(true);
}

TEST(RunLoopReset, OldTimersOutliveAReset) {
  RunLoop::resetMainForTesting(true);
  int fired = 0;
  TimerRef t = RunLoop::main().scheduleTimer(1, false, [&] { ++fired; });
  RunLoop::resetMainForTesting(true);
  EXPECT_FALSE(t->isValid());
  t->invalidate();
  RunLoop::main().advance(2);
  EXPECT_EQ(fired, 0);
}

namespace {

// Owned by a task still waiting when the loop goes; like a view, it cancels
// its delayed performs when it is destroyed, and notes each destruction.
struct CancelsOnDestruction {
  explicit CancelsOnDestruction(std::filesystem::path n) : note(std::move(n)) {}
  std::filesystem::path note;
  ~CancelsOnDestruction() {
    RunLoop::main().cancelPerforms(this);
    std::ofstream(note, std::ios::app) << 'x';
  }
};

}  // namespace

// Work still waiting when the loop is reset or the program exits is dropped
// once, while the loop can still be reached from the destructors it runs.
TEST_F(RunLoopTest, WaitingWorkIsDroppedOnceAtAResetAndAtExit) {
  const auto atReset = root() / "reset.txt";
  {
    auto owner = std::make_shared<CancelsOnDestruction>(atReset);
    loop.post([owner] {});
    loop.performAfterDelay(1, [owner] {}, owner.get());
  }
  RunLoop::resetMainForTesting(true);
  EXPECT_EQ(testing_support::fileBytes(atReset).value_or(fd::Data{}), fd::Data{'x'});

  const auto atExit = root() / "exit.txt";
  const testing_support::ChildResult child = testing_support::runInChild([&] {
    auto owner = std::make_shared<CancelsOnDestruction>(atExit);
    RunLoop::main().post([owner] {});
    RunLoop::main().performAfterDelay(1, [owner] {}, owner.get());
    owner.reset();
    // A real exit, with the static destructors the child would otherwise skip.
    std::exit(0);
  });
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(testing_support::fileBytes(atExit).value_or(fd::Data{}), fd::Data{'x'});
}
