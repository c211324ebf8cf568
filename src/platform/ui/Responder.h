#pragma once
// Touches, events and the responder chain: a touch stays with the view it began
// in, and an unhandled touch message walks view -> superview -> controller.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/Types.h"

namespace ui {

class View;
class Window;
class Event;
class Touch;

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

using TouchSet = std::vector<Touch*>;

class Responder {
 public:
  virtual ~Responder() = default;
  virtual Responder* nextResponder() const { return nullptr; }

  // The defaults hand the message on to the next responder, as the phone does.
  virtual void touchesBegan(const TouchSet& touches, const Event& event);
  virtual void touchesMoved(const TouchSet& touches, const Event& event);
  virtual void touchesEnded(const TouchSet& touches, const Event& event);
  virtual void touchesCancelled(const TouchSet& touches, const Event& event);
};

// One finger on the screen, from touch-down to lift or cancellation.
class Touch {
 public:
  // nullptr: window coordinates.
  Point locationInView(const View* view) const;
  Point previousLocationInView(const View* view) const;
  View* view() const { return view_.get(); }
  Window* window() const { return window_.get(); }
  TouchPhase phase() const { return phase_; }
  int tapCount() const { return tapCount_; }
  // When the finger last changed, as it was made (never after it was read),
  // on the run loop's clock.
  double timestamp() const { return timestamp_; }
  std::int64_t identifier() const { return id_; }

 private:
  friend class TouchDispatcher;
  std::int64_t id_ = 0;
  std::shared_ptr<View> view_;  // kept alive while the finger is down
  std::shared_ptr<Window> window_;
  TouchPhase phase_ = TouchPhase::Began;
  Point location_, previous_, start_;  // window coordinates
  int tapCount_ = 1;
  double timestamp_ = 0;
};

// The touches of one delivery: every finger currently down.
class Event {
 public:
  const std::vector<Touch*>& allTouches() const { return all_; }
  TouchSet touchesForView(const View* view) const;
  // When the latest change it delivers was made, on the run loop's clock.
  double timestamp() const { return timestamp_; }

 private:
  friend class TouchDispatcher;
  std::vector<Touch*> all_;
  double timestamp_ = 0;
};

}  // namespace ui
