#include "platform/ui/Control.h"

#include <algorithm>

namespace ui {

Control::Control(const Rect& frame) : View(frame) {}

void Control::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (!on) highlighted_ = false;
  stateChanged();
}
void Control::setSelected(bool on) {
  if (on == selected_) return;
  selected_ = on;
  stateChanged();
}
void Control::setHighlighted(bool on) {
  if (on == highlighted_) return;
  highlighted_ = on;
  stateChanged();
}

unsigned Control::state() const {
  unsigned s = StateNormal;
  if (highlighted_) s |= StateHighlighted;
  if (!enabled_) s |= StateDisabled;
  if (selected_) s |= StateSelected;
  return s;
}

void Control::addTarget(const void* target, Action action, unsigned events) {
  actions_.push_back({target, std::move(action), events});
}

void Control::removeTarget(const void* target, unsigned events) {
  for (auto& e : actions_)
    if (target == nullptr || e.target == target) e.events &= ~events;
  std::erase_if(actions_, [](const Entry& e) { return e.events == 0; });
}

void Control::sendActionsForControlEvents(unsigned events, const Event* event) {
  // An action may remove targets or release this control: work on a copy.
  std::shared_ptr<View> keep = weak_from_this().lock();
  std::vector<Entry> copy = actions_;
  for (auto& e : copy)
    if (e.events & events) e.action(this, event);
}

bool Control::insideForTracking(const Touch* t) const {
  Point p = t->locationInView(this);
  Rect b = bounds();
  return insetRect(b, -kTrackingMargin, -kTrackingMargin).contains(p);
}

void Control::touchesBegan(const TouchSet& touches, const Event& event) {
  if (!enabled_ || tracking_ || touches.empty()) return;
  const Touch* t = touches.front();
  trackedTouch_ = t;
  tracking_ = true;
  touchInside_ = true;
  setHighlighted(true);
  unsigned events = TouchDown;
  if (t->tapCount() > 1) events |= TouchDownRepeat;
  sendActionsForControlEvents(events, &event);
}

void Control::touchesMoved(const TouchSet& touches, const Event& event) {
  if (!enabled_ || !tracking_) return;
  if (std::find(touches.begin(), touches.end(), trackedTouch_) == touches.end()) return;
  bool inside = insideForTracking(trackedTouch_);
  unsigned events = inside ? TouchDragInside : TouchDragOutside;
  if (inside != touchInside_) events |= inside ? TouchDragEnter : TouchDragExit;
  touchInside_ = inside;
  setHighlighted(inside);
  sendActionsForControlEvents(events, &event);
}

void Control::touchesEnded(const TouchSet& touches, const Event& event) {
  if (!enabled_ || !tracking_) return;
  if (std::find(touches.begin(), touches.end(), trackedTouch_) == touches.end()) return;
  bool inside = insideForTracking(trackedTouch_);
  tracking_ = false;
  trackedTouch_ = nullptr;
  touchInside_ = inside;
  setHighlighted(false);
  sendActionsForControlEvents(inside ? TouchUpInside : TouchUpOutside, &event);
}

void Control::touchesCancelled(const TouchSet& touches, const Event& event) {
  if (!tracking_) return;
  if (std::find(touches.begin(), touches.end(), trackedTouch_) == touches.end()) return;
  tracking_ = false;
  trackedTouch_ = nullptr;
  setHighlighted(false);
  sendActionsForControlEvents(TouchCancel, &event);
}

}  // namespace ui
