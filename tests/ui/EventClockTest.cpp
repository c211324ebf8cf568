// The window system's stamps on input events, brought onto the run loop's
// clock: an event read late is placed when it was made, to within the
// soonest read seen, across the stamps' wrap, a drift between the clocks,
// and a first event that was itself read late; never after it was read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "platform/ui/EventClock.h"

using ui::EventClock;

namespace {

// A window system whose clock stood at `originMs` when the run loop's read 0
// and runs `rate` times as fast as ours.
struct Server {
  double originMs;
  double rate = 1;
  std::uint32_t stampAt(double t) const {
    const double ms = std::floor(originMs + t * 1000 * rate);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms) & 0xFFFFFFFFu);
  }
};

}  // namespace

TEST(EventClockTest, AnEventReadLateIsPlacedWhenItWasMade) {
  for (const double origin : {0.0, 123456789.0, 4294967296.0 - 2000}) {  // the last wraps on the way
    SCOPED_TRACE(origin);
    const Server server{origin};
    EventClock clock;
    double t = 1;
    for (const double latency : {0.012, 0.004, 0.009, 0.016}) {
      t += 0.25;
      EXPECT_NEAR(clock.madeAt(server.stampAt(t), t + latency), t, latency + 0.002);
    }
    // The loop held up for half a second: the tap is placed when it was made.
    t += 0.4;
    EXPECT_NEAR(clock.madeAt(server.stampAt(t), t + 0.5), t, 0.006);
    EXPECT_NEAR(clock.madeAt(server.stampAt(t + 0.05), t + 0.5), t + 0.05, 0.006);
    // Read promptly again once the wrap is long past.
    t += 3;
    EXPECT_NEAR(clock.madeAt(server.stampAt(t), t + 0.002), t, 0.006);
  }
}

TEST(EventClockTest, AFirstEventReadLateIsTakenAsReadUntilOneReadSoonerTells) {
  const Server server{5e6};
  EventClock clock;
  EXPECT_NEAR(clock.madeAt(server.stampAt(2), 2.7), 2.7, 1e-9);
  EXPECT_NEAR(clock.madeAt(server.stampAt(3), 3.003), 3, 0.004);
  EXPECT_NEAR(clock.madeAt(server.stampAt(3.1), 3.9), 3.1, 0.005);
}

TEST(EventClockTest, ClocksThatDriftApartAreFollowedEitherWay) {
  for (const double rate : {1 - 300e-6, 1 + 300e-6}) {
    SCOPED_TRACE(rate);
    const Server server{77777, rate};
    EventClock clock;
    // An hour of input read promptly, one event a second.
    double t = 0;
    for (; t < 3600; t += 1) {
      const double made = clock.madeAt(server.stampAt(t), t + 0.005);
      EXPECT_LE(made, t + 0.005);
      ASSERT_NEAR(made, t, 0.01) << t;
    }
    EXPECT_NEAR(clock.madeAt(server.stampAt(t), t + 0.6), t, 0.01);
  }
}

TEST(EventClockTest, NothingIsPlacedAfterItWasReadNorFarBeforeWhenTheClockGoesBack) {
  const Server server{1e6};
  EventClock clock;
  EXPECT_NEAR(clock.madeAt(server.stampAt(1), 1.001), 1, 0.002);
  // A stamp ahead of what the offset allows (the window system's clock
  // jumped on): not after the read.
  EXPECT_NEAR(clock.madeAt(server.stampAt(3), 1.5), 1.5, 1e-9);
  // Its clock went back a minute: no event is placed a minute early for
  // good; the estimate starts afresh and the next sooner read tells.
  const Server behind{1e6 - 60000};
  EXPECT_NEAR(clock.madeAt(behind.stampAt(4), 4.002), 4.002, 1e-9);
  EXPECT_NEAR(clock.madeAt(behind.stampAt(5), 5.3), 5, 0.004);
}

// Events another program sent (a tool clicking or typing for the user) carry
// the stamp 0 or one of the sender's choosing: each is taken as made when it
// was read, however many come and whatever came before, and the server's own
// events are still placed by their stamps around them.
TEST(EventClockTest, AnEventAnotherProgramSentIsTakenAsMadeWhenRead) {
  const Server server{3e7};
  EventClock clock;
  EXPECT_NEAR(clock.madeAt(server.stampAt(1), 1.002), 1, 0.003);
  for (const double t : {1.5, 2.5, 5.5, 9.0}) {
    EXPECT_DOUBLE_EQ(clock.madeAt(0, t + 0.004, true), t + 0.004);
    EXPECT_DOUBLE_EQ(clock.madeAt(0, t + 0.3), t + 0.3) << "stamped 0: now";
    EXPECT_DOUBLE_EQ(clock.madeAt(server.stampAt(t - 4), t + 0.5, true), t + 0.5) << "a stamp of the sender's";
  }
  // The server's own, read half a second late, between them.
  EXPECT_NEAR(clock.madeAt(server.stampAt(10), 10.5), 10, 0.02);
  EXPECT_DOUBLE_EQ(clock.madeAt(0, 10.6, true), 10.6);
  EXPECT_NEAR(clock.madeAt(server.stampAt(10.2), 10.601), 10.2, 0.02);
}

// A loop held up far longer than any fade (a stopped process, a machine
// swapping) reads what was made meanwhile: it is still placed when it was
// made, and prompt reads afterwards are placed as before.
TEST(EventClockTest, AReadLongAfterTheEventIsNotTakenForTheClockGoingBack) {
  for (const double stall : {12.0, 100.0}) {
    SCOPED_TRACE(stall);
    const Server server{8e5};
    EventClock clock;
    double t = 1;
    for (; t < 3; t += 0.25) EXPECT_NEAR(clock.madeAt(server.stampAt(t), t + 0.003), t, 0.004);
    const double readAt = t + stall;
    EXPECT_NEAR(clock.madeAt(server.stampAt(t), readAt), t, 0.004 + stall * EventClock::kDrift);
    EXPECT_NEAR(clock.madeAt(server.stampAt(t + 0.1), readAt), t + 0.1, 0.004 + stall * EventClock::kDrift);
    EXPECT_NEAR(clock.madeAt(server.stampAt(readAt + 1), readAt + 1.002), readAt + 1, 0.004);
  }
}

// Events stamped alike (a press and the motion made with it, a burst read
// in pieces) are placed alike however late the later one is read: an equal
// stamp is not the window system's clock going back.
TEST(EventClockTest, EventsStampedAlikeArePlacedAlike) {
  const Server server{2e6};
  EventClock clock;
  double t = 1;
  for (; t < 2; t += 0.25) clock.madeAt(server.stampAt(t), t + 0.003);
  const std::uint32_t stamp = server.stampAt(t);
  const double first = clock.madeAt(stamp, t + 0.003);
  EXPECT_NEAR(first, t, 0.004);
  for (const double late : {0.003, 0.3, 2.0})
    EXPECT_NEAR(clock.madeAt(stamp, t + late), first, late * EventClock::kDrift + 1e-6) << late;
}
