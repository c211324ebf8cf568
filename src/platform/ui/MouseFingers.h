#pragma once
// The fingers a mouse stands for: the pointer with its button down is one
// finger, and holding Ctrl as the button goes down adds a second one,
// mirrored about a point beside the first (pinch and turn) or, with Shift
// too, following at a fixed offset (two-finger pans). The window host and
// the headless one make the same fingers of the same clicks.
#include <optional>
#include <vector>

#include "platform/ui/TouchDispatcher.h"

namespace ui {

struct MouseModifiers {
  bool ctrl = false;
  bool shift = false;
};

class MouseFingers {
 public:
  enum class Action { Down, Move, Up };
  static constexpr std::int64_t kPointerFinger = 1;
  static constexpr std::int64_t kSecondFinger = 2;
  // The second finger's offset from the first when Ctrl goes down.
  static constexpr float kSecondFingerOffset = 60;

  // What the button or pointer doing `action` at `p` (screen points) does to
  // the fingers; nothing when it changes none (a move with the button up).
  std::vector<FingerChange> change(Action action, Point p, MouseModifiers modifiers,
                                   std::optional<double> madeAt = std::nullopt);

 private:
  Point second(Point p) const;
  bool down_ = false;
  bool twoFingers_ = false;
  bool pan_ = false;
  Point mirrorCentre_;
};

}  // namespace ui
