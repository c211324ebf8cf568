#pragma once
// A view that tracks one touch and sends actions to targets on control
// events (touch-down, touch-up-inside, ...), with normal, highlighted,
// selected and disabled states.
#include <functional>
#include <vector>

#include "platform/ui/View.h"

namespace ui {

enum ControlEvent : unsigned {
  TouchDown = 1 << 0,
  TouchDownRepeat = 1 << 1,
  TouchDragInside = 1 << 2,
  TouchDragOutside = 1 << 3,
  TouchDragEnter = 1 << 4,
  TouchDragExit = 1 << 5,
  TouchUpInside = 1 << 6,
  TouchUpOutside = 1 << 7,
  TouchCancel = 1 << 8,
  ValueChanged = 1 << 12,
  EditingDidBegin = 1 << 16,
  EditingChanged = 1 << 17,
  EditingDidEnd = 1 << 18,
  EditingDidEndOnExit = 1 << 19,
  AllTouchEvents = 0x0FFF,
  AllEditingEvents = 0x000F0000,
  AllEvents = 0xFFFFFFFF,
};

enum ControlState : unsigned {
  StateNormal = 0,
  StateHighlighted = 1 << 0,
  StateDisabled = 1 << 1,
  StateSelected = 1 << 2,
};

class Control : public View {
 public:
  using Action = std::function<void(Control* sender, const Event* event)>;

  explicit Control(const Rect& frame = {});

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool on);
  bool isSelected() const { return selected_; }
  void setSelected(bool on);
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool on);
  unsigned state() const;

  // Actions run in the order they were added. target is a key for removal.
  void addTarget(const void* target, Action action, unsigned events);
  // nullptr target: every target for those events.
  void removeTarget(const void* target, unsigned events);
  void sendActionsForControlEvents(unsigned events, const Event* event = nullptr);
  std::size_t actionCount() const { return actions_.size(); }

  bool isTracking() const { return tracking_; }
  bool isTouchInside() const { return touchInside_; }

  // A disabled control swallows touches without acting on them.
  void touchesBegan(const TouchSet& touches, const Event& event) override;
  void touchesMoved(const TouchSet& touches, const Event& event) override;
  void touchesEnded(const TouchSet& touches, const Event& event) override;
  void touchesCancelled(const TouchSet& touches, const Event& event) override;

  // A finger counts as inside this far beyond the bounds, as on the phone.
  static constexpr float kTrackingMargin = 70;

 protected:
  virtual void stateChanged() {}

 private:
  bool insideForTracking(const Touch* t) const;
  struct Entry {
    const void* target;
    Action action;
    unsigned events;
  };
  std::vector<Entry> actions_;
  bool enabled_ = true, selected_ = false, highlighted_ = false;
  bool tracking_ = false, touchInside_ = false;
  const Touch* trackedTouch_ = nullptr;
};

}  // namespace ui
