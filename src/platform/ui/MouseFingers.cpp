#include "platform/ui/MouseFingers.h"

#include <algorithm>
#include <iterator>

#include "platform/ui/Application.h"

namespace ui {

Point MouseFingers::second(Point p) const {
  if (pan_) return {p.x + kSecondFingerOffset, p.y};
  return {2 * mirrorCentre_.x - p.x, 2 * mirrorCentre_.y - p.y};
}

std::vector<FingerChange> MouseFingers::fingers(Point p, TouchPhase phase, std::optional<double> madeAt) const {
  std::vector<FingerChange> changes{{pointerId_, p, phase, madeAt}};
  if (twoFingers_) changes.push_back({pointerId_ + 1, second(p), phase, madeAt});
  return changes;
}

std::vector<FingerChange> MouseFingers::cancel(std::optional<double> madeAt) {
  if (!down_) return {};
  down_ = false;
  return fingers(last_, TouchPhase::Cancelled, madeAt);
}

std::vector<FingerChange> MouseFingers::change(Action action, Point p, MouseModifiers modifiers,
                                               std::optional<double> madeAt) {
  std::vector<FingerChange> changes;
  switch (action) {
    case Action::Down:
      changes = cancel(madeAt);
      down_ = true;
      twoFingers_ = modifiers.ctrl;
      pan_ = modifiers.shift;
      mirrorCentre_ = {p.x + kSecondFingerOffset / 2, p.y};
      pointerId_ += 2;
      last_ = p;
      for (const FingerChange& f : fingers(p, TouchPhase::Began, madeAt)) changes.push_back(f);
      return changes;
    case Action::Move:
      if (!down_) return {};
      last_ = p;
      return fingers(p, TouchPhase::Moved, madeAt);
    case Action::Up:
      if (!down_) return {};
      down_ = false;
      return fingers(p, TouchPhase::Ended, madeAt);
  }
  return changes;
}

void MouseFingers::dispatch(const std::vector<FingerChange>& changes) {
  std::vector<FingerChange> cancelled, others;
  std::partition_copy(changes.begin(), changes.end(), std::back_inserter(cancelled), std::back_inserter(others),
                      [](const FingerChange& f) { return f.phase == TouchPhase::Cancelled; });
  TouchDispatcher& touches = Application::shared().touches();
  if (!cancelled.empty()) touches.dispatch(cancelled);
  if (!others.empty()) touches.dispatch(others);
}

}  // namespace ui
