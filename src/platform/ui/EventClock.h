#pragma once
// The window system stamps each input event on a clock of its own:
// milliseconds from an origin of its own, wrapping at 32 bits. The run loop
// reads events late when it is busy (a slow frame, a page write, a loaded
// machine), and input is judged by when it was made, so the stamps are
// brought onto the run loop's clock.
#include <cstdint>

namespace ui {

class EventClock {
 public:
  // How far the window system's clock may run apart from ours (1 ms in a
  // second, far more than any two clocks drift): the estimate of their
  // offset loosens by this, so that it follows a drift either way.
  static constexpr double kDrift = 1e-3;
  // When the event stamped `stampMs` was made, on the run loop's clock, given
  // that it was read at `readAt`: never after `readAt`. An event is read at
  // or after it is made, so the read time less the stamp bounds the clocks'
  // offset from above; the least bound seen (the event read soonest) is
  // the offset taken, however late a read comes after it. Stamps that go
  // back (the window system's clock set back) start the estimate afresh.
  // An event another program sent (`sent`) carries whatever stamp it chose,
  // most often 0 for "now": it, and any stamped 0, is taken as made when it
  // was read, and tells nothing of the clocks.
  double madeAt(std::uint32_t stampMs, double readAt, bool sent = false);

 private:
  bool started_ = false;
  std::uint32_t lastStamp_ = 0;
  // The stamps counted on past their wraps, in seconds.
  double stampSeconds_ = 0;
  double offset_ = 0;
  double lastRead_ = 0;
};

}  // namespace ui
