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
  // The second finger's offset from the first when Ctrl goes down.
  static constexpr float kSecondFingerOffset = 60;

  // What the button or pointer doing `action` at `p` (screen points) does to
  // the fingers; nothing when it changes none (a move with the button up).
  // A press while the button is down means the window missed its release
  // (the window was unmapped, or another program took the pointer, and the
  // application may have cancelled the fingers meanwhile): the fingers of
  // the last press are cancelled and new ones go down, so the press draws.
  std::vector<FingerChange> change(Action action, Point p, MouseModifiers modifiers,
                                   std::optional<double> madeAt = std::nullopt);
  // The window no longer hears the button: the fingers are cancelled where
  // they were, and the next press starts anew.
  std::vector<FingerChange> cancel(std::optional<double> madeAt = std::nullopt);
  // Hands changes to the application's touches, the cancelled fingers in an
  // event before the others: a view hears the cancel before a new press.
  static void dispatch(const std::vector<FingerChange>& changes);

 private:
  std::vector<FingerChange> fingers(Point p, TouchPhase phase, std::optional<double> madeAt) const;
  Point second(Point p) const;
  bool down_ = false;
  bool twoFingers_ = false;
  bool pan_ = false;
  Point mirrorCentre_;
  Point last_;
  // Each press has fingers of its own: the pointer's id, the second one's
  // next to it, so that a press can follow a cancel in one event.
  std::int64_t pointerId_ = 1;
};

}  // namespace ui
