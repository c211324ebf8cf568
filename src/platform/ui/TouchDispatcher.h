#pragma once
// Turns finger changes from a host into touch deliveries: hit testing on the
// topmost window, one touch object per finger that stays with the view it
// began in, tap counts, multi-touch and exclusive-touch rules, and scroll
// views taking over touches that start dragging inside them.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/Responder.h"

namespace ui {

struct FingerChange {
  std::int64_t id = 0;
  Point location;  // screen points
  TouchPhase phase = TouchPhase::Moved;
  // When the finger did this, on the run loop's clock; none: as it is read.
  std::optional<double> madeAt = std::nullopt;
};

class TouchDispatcher {
 public:
  // A finger that goes down within this time of a lift of the last tap and
  // this close to where that finger lifted continues its count (a double
  // tap, with one finger or several).
  static constexpr double kMultiTapInterval = 0.35;
  static constexpr float kMultiTapDistance = 25;
  // A touch inside a scroll view that moves this far starts a drag.
  static constexpr float kScrollSlop = 10;

  // One event: fingers going down, moving, lifting or cancelled together.
  void dispatch(const std::vector<FingerChange>& changes);
  // Cancels every finger (the program going to the background).
  void cancelAll();

  std::size_t activeTouches() const { return touches_.size(); }
  // The touch object of a finger that is down, else nullptr.
  Touch* touchFor(std::int64_t id) const;
  void reset();

 private:
  // Shared: a delivery holds the touches it walks, since a view's answer may
  // cancel every finger (the program going to the background) or reset them.
  struct Slot {
    std::int64_t id;
    std::shared_ptr<Touch> touch;
    double downAt;  // when it was made, for tap counts
  };
  Touch* begin(const FingerChange& f, double now);
  int tapCountFor(const View& view, Point location, double downAt) const;
  void noteLift(const Slot& slot, double liftedAt);
  using Held = std::vector<std::shared_ptr<Touch>>;
  void deliver(const std::vector<Touch*>& changed, TouchPhase phase, const Event& event, const Held& held);
  void stealForScrollViews(std::vector<Touch*>& moved, Event& event, const Held& held);

  std::vector<Slot> touches_;
  std::vector<std::int64_t> ignored_;
  // Where each finger of a tap lifted: the fingers of one tap are those
  // that were down together, lifting in one event or one after another.
  struct Lift {
    Point location;
    double time = 0;
    int count = 0;  // 0: it moved off, no tap to continue
    std::uint64_t viewId = 0;  // a view's address may be reused once it is gone
  };
  std::vector<Lift> lastTap_;
};

}  // namespace ui
