#include "platform/ui/TouchDispatcher.h"

#include <algorithm>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"

namespace ui {

Touch* TouchDispatcher::touchFor(std::int64_t id) const {
  for (auto& s : touches_)
    if (s.id == id) return s.touch.get();
  return nullptr;
}

void TouchDispatcher::reset() {
  touches_.clear();
  ignored_.clear();
  lastTap_ = {};
}

Touch* TouchDispatcher::begin(const FingerChange& f, double now) {
  // A finger put down while an answer was pending is nobody's, to its lift,
  // even when the loop reads it only after the answer has acted.
  if (Application::shared().isInputHeldAt(f.madeAt)) return nullptr;
  const std::vector<std::shared_ptr<Window>> windows = Application::shared().windows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const std::shared_ptr<Window>& w = *it;
    Point local = w->transformToSuperview().inverted().apply(f.location);
    View* hit = w->hitTest(local, nullptr);
    if (!hit) continue;
    // A view an animation moves without letting it take touches takes none,
    // neither where it is drawn nor where it will stand, and passes none on
    // to what lies under it there.
    const Animator& animator = Animator::shared();
    if (animator.blocksInteraction(hit)) return nullptr;
    if (View* standing = w->hitTestAtFinalPlaces(local); standing && animator.blocksInteraction(standing))
      return nullptr;
    // A view that takes one finger at a time ignores the others, and while an
    // exclusive-touch view holds a finger no other view takes one (nor does
    // it take a second while others are down).
    for (auto& s : touches_) {
      View* owner = s.touch->view();
      if (owner == hit && !hit->isMultipleTouchEnabled()) return nullptr;
      if (owner != hit && owner && owner->isExclusiveTouch()) return nullptr;
    }
    if (hit->isExclusiveTouch() && !touches_.empty()) return nullptr;
    auto t = std::make_shared<Touch>();
    t->id_ = f.id;
    t->view_ = hit->shared_from_this();
    t->window_ = w;
    t->phase_ = TouchPhase::Began;
    t->location_ = t->previous_ = t->start_ = local;
    const double downAt = std::min(now, f.madeAt.value_or(now));
    t->timestamp_ = downAt;
    t->tapCount_ = tapCountFor(*hit, local, downAt);
    Touch* raw = t.get();
    touches_.push_back({f.id, std::move(t), downAt});
    return raw;
  }
  return nullptr;
}

int TouchDispatcher::tapCountFor(const View& view, Point location, double downAt) const {
  // The nearest finger of the last tap that this one can continue.
  const Lift* continued = nullptr;
  for (const Lift& lift : lastTap_) {
    if (lift.viewId != view.viewId() || downAt < lift.time || downAt - lift.time > kMultiTapInterval) continue;
    const float d = distance(lift.location, location);
    if (d <= kMultiTapDistance && (!continued || d < distance(continued->location, location))) continued = &lift;
  }
  return continued ? continued->count + 1 : 1;
}

void TouchDispatcher::noteLift(const Slot& slot, double liftedAt) {
  // A finger lifts no sooner than it went down, whatever the clocks say: a
  // click's press and release made in one millisecond may be placed a
  // millisecond apart the other way, the loop's reads being counted in
  // whole milliseconds.
  liftedAt = std::max(liftedAt, slot.downAt);
  // A finger that went down after the last tap's fingers had all lifted
  // begins another tap.
  const bool sameTap = !lastTap_.empty() && lastTap_.back().time >= slot.downAt;
  if (!sameTap) lastTap_.clear();
  // However many fingers a host reports, a tap keeps the last few.
  constexpr std::size_t kMostFingers = 10;
  if (lastTap_.size() >= kMostFingers) lastTap_.erase(lastTap_.begin());
  const Touch& t = *slot.touch;
  const bool movedOff = distance(t.start_, t.location_) > kMultiTapDistance;
  lastTap_.push_back({t.location_, liftedAt, movedOff ? 0 : t.tapCount_, t.view_->viewId()});
}

namespace {
// A view that nothing but the fingers on it holds any more has left the
// screen with its owner, whose actions and delegates it would call: its
// fingers hear nothing more.
bool orphaned(const std::shared_ptr<View>& view, long otherHolders, const std::vector<std::shared_ptr<Touch>>& held) {
  long holders = otherHolders;
  for (const auto& t : held)
    if (t->view() == view.get()) ++holders;
  return view.use_count() <= holders;
}
}  // namespace

void TouchDispatcher::deliver(const std::vector<Touch*>& changed, TouchPhase phase, const Event& event,
                              const Held& held) {
  // One message per view with that view's touches, in the order the views
  // first appear among the changed touches. A touch an earlier message
  // cancelled is not delivered again in another phase.
  std::vector<std::shared_ptr<View>> views;
  for (Touch* t : changed)
    if (std::find(views.begin(), views.end(), t->view_) == views.end()) views.push_back(t->view_);
  for (const std::shared_ptr<View>& v : views) {
    TouchSet set;
    for (Touch* t : changed)
      if (t->view_ == v && t->phase_ == phase) set.push_back(t);
    if (set.empty()) continue;
    if (phase != TouchPhase::Began && orphaned(v, 1, held)) {
      for (Touch* t : set) t->phase_ = TouchPhase::Cancelled;
      continue;
    }
    switch (phase) {
      case TouchPhase::Began: v->touchesBegan(set, event); break;
      case TouchPhase::Moved: v->touchesMoved(set, event); break;
      case TouchPhase::Ended: v->touchesEnded(set, event); break;
      case TouchPhase::Cancelled: v->touchesCancelled(set, event); break;
      case TouchPhase::Stationary: break;
    }
  }
}

void TouchDispatcher::stealForScrollViews(std::vector<Touch*>& moved, Event& event, const Held& held) {
  for (Touch* t : moved) {
    if (t->phase_ != TouchPhase::Moved) continue;  // cancelled by an earlier answer
    View* v = t->view();
    ScrollView* sv = nullptr;
    for (View* p = v->superview(); p; p = p->superview())
      if (auto* s = dynamic_cast<ScrollView*>(p); s && s->isScrollEnabled() && s->canCancelContentTouches()) {
        sv = s;
        break;
      }
    if (!sv || distance(t->start_, t->location_) < kScrollSlop) continue;
    // The content loses the finger; the scroll view drags from here on (it
    // adopts the touch first, so a cancel forwarded to it keeps the drag).
    sv->beginDraggingWithTouch(t);
    t->phase_ = TouchPhase::Cancelled;
    deliver({t}, TouchPhase::Cancelled, event, held);
    t->view_ = sv->shared_from_this();
    t->phase_ = TouchPhase::Moved;
  }
}

void TouchDispatcher::dispatch(const std::vector<FingerChange>& changes) {
  double now = fd::RunLoop::main().now();
  std::vector<Touch*> began, moved, ended, cancelled;
  std::vector<double> liftedAt;  // when each of `ended` was made
  for (const FingerChange& f : changes) {
    if (std::find(ignored_.begin(), ignored_.end(), f.id) != ignored_.end()) {
      if (f.phase == TouchPhase::Ended || f.phase == TouchPhase::Cancelled) std::erase(ignored_, f.id);
      continue;
    }
    Touch* t = touchFor(f.id);
    if (f.phase == TouchPhase::Began) {
      if (t) continue;  // a finger already down cannot go down again
      t = begin(f, now);
      if (!t) {
        ignored_.push_back(f.id);
        continue;
      }
      began.push_back(t);
      continue;
    }
    if (!t) continue;
    t->previous_ = t->location_;
    t->location_ = t->window_->transformToSuperview().inverted().apply(f.location);
    // A finger changes no sooner than its last change, whatever the clocks say.
    t->timestamp_ = std::max(t->timestamp_, std::min(now, f.madeAt.value_or(now)));
    t->phase_ = f.phase;
    if (f.phase == TouchPhase::Moved) {
      moved.push_back(t);
    } else if (f.phase == TouchPhase::Ended) {
      ended.push_back(t);
      liftedAt.push_back(t->timestamp_);
    } else if (f.phase == TouchPhase::Cancelled) {
      cancelled.push_back(t);
    }
  }
  if (began.empty() && moved.empty() && ended.empty() && cancelled.empty()) return;

  Event event;
  for (const auto* list : {&began, &moved, &ended, &cancelled})
    for (const Touch* t : *list) event.timestamp_ = std::max(event.timestamp_, t->timestamp_);
  std::vector<std::shared_ptr<Touch>> held;
  for (auto& s : touches_) {
    held.push_back(s.touch);
    event.all_.push_back(s.touch.get());
  }
  if (!began.empty()) deliver(began, TouchPhase::Began, event, held);
  if (!moved.empty()) {
    stealForScrollViews(moved, event, held);
    deliver(moved, TouchPhase::Moved, event, held);
  }
  if (!ended.empty()) deliver(ended, TouchPhase::Ended, event, held);
  if (!cancelled.empty()) deliver(cancelled, TouchPhase::Cancelled, event, held);

  // In the order they lifted; a finger an answer cancelled or a reset let go
  // of made no tap.
  for (std::size_t i = 0; i < ended.size(); ++i)
    for (const Slot& s : touches_)
      if (s.touch.get() == ended[i] && s.touch->phase_ == TouchPhase::Ended) noteLift(s, liftedAt[i]);
  std::erase_if(touches_, [](const Slot& s) {
    return s.touch->phase_ == TouchPhase::Ended || s.touch->phase_ == TouchPhase::Cancelled;
  });
}

void TouchDispatcher::cancelAll() {
  // Fingers that lifted or were cancelled in the event being delivered have
  // had their last message.
  std::vector<FingerChange> changes;
  for (auto& s : touches_)
    if (s.touch->phase_ != TouchPhase::Ended && s.touch->phase_ != TouchPhase::Cancelled)
      changes.push_back({s.id, s.touch->window_->transformToSuperview().apply(s.touch->location_), TouchPhase::Cancelled});
  if (!changes.empty()) dispatch(changes);
  ignored_.clear();
}

}  // namespace ui
