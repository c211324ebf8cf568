#include "platform/ui/MouseFingers.h"

namespace ui {

Point MouseFingers::second(Point p) const {
  if (pan_) return {p.x + kSecondFingerOffset, p.y};
  return {2 * mirrorCentre_.x - p.x, 2 * mirrorCentre_.y - p.y};
}

std::vector<FingerChange> MouseFingers::change(Action action, Point p, MouseModifiers modifiers,
                                               std::optional<double> madeAt) {
  TouchPhase phase = TouchPhase::Moved;
  switch (action) {
    case Action::Down:
      if (down_) return {};
      down_ = true;
      twoFingers_ = modifiers.ctrl;
      pan_ = modifiers.shift;
      mirrorCentre_ = {p.x + kSecondFingerOffset / 2, p.y};
      phase = TouchPhase::Began;
      break;
    case Action::Move:
      if (!down_) return {};
      break;
    case Action::Up:
      if (!down_) return {};
      down_ = false;
      phase = TouchPhase::Ended;
      break;
  }
  std::vector<FingerChange> changes{{kPointerFinger, p, phase, madeAt}};
  if (twoFingers_) changes.push_back({kSecondFinger, second(p), phase, madeAt});
  return changes;
}

}  // namespace ui
