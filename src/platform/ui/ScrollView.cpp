#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Animation.h"
#include "platform/ui/TouchDispatcher.h"

namespace ui {

ScrollView::ScrollView(const Rect& frame) : View(frame) { setClipsToBounds(true); }

void ScrollView::setContentSize(Size s) {
  contentSize_ = s;
  setNeedsLayout();
}

Point ScrollView::maxContentOffset() const {
  Rect b = bounds();
  return {std::max(0.0f, contentSize_.width - b.width), std::max(0.0f, contentSize_.height - b.height)};
}

Point ScrollView::clamp(Point p) const {
  Point m = maxContentOffset();
  return {std::clamp(p.x, 0.0f, m.x), std::clamp(p.y, 0.0f, m.y)};
}

void ScrollView::setContentOffset(Point offset, bool animated) {
  Rect b = bounds();
  if (b.x == offset.x && b.y == offset.y) return;
  b.x = offset.x;
  b.y = offset.y;
  if (animated) {
    std::weak_ptr<View> weak = weak_from_this();
    Animations::Options o;
    o.curve = AnimationCurve::EaseOut;
    o.beginFromCurrentState = true;
    Animations::animate(kPagingDuration, 0, o, [this, b] { setBounds(b); }, [weak, this](bool) {
      if (!weak.lock()) return;
      if (decelerating_) {
        decelerating_ = false;
        if (delegate_) delegate_->scrollViewDidEndDecelerating(*this);
      } else if (delegate_) {
        delegate_->scrollViewDidEndScrollingAnimation(*this);
      }
    });
  } else {
    setBounds(b);
  }
  didScroll();
  if (delegate_) delegate_->scrollViewDidScroll(*this);
}

void ScrollView::beginDraggingWithTouch(Touch* touch) {
  if (tracked_ != touch) {
    tracked_ = touch;
    startPoint_ = touch->locationInView(nullptr);
    startOffset_ = contentOffset();
  }
  if (!dragging_) {
    dragging_ = true;
    if (delegate_) delegate_->scrollViewWillBeginDragging(*this);
  }
}

void ScrollView::touchesBegan(const TouchSet& touches, const Event&) {
  if (tracked_ || touches.empty()) return;
  tracked_ = touches.front();
  startPoint_ = tracked_->locationInView(nullptr);
  startOffset_ = contentOffset();
  dragging_ = false;
}

void ScrollView::touchesMoved(const TouchSet& touches, const Event&) {
  if (!tracked_ || std::find(touches.begin(), touches.end(), tracked_) == touches.end()) return;
  if (!scrollEnabled_) return;
  Point p = tracked_->locationInView(nullptr);
  if (!dragging_) {
    if (distance(p, startPoint_) < TouchDispatcher::kScrollSlop) return;
    dragging_ = true;
    if (delegate_) delegate_->scrollViewWillBeginDragging(*this);
  }
  // Window movement turned into this view's axes (the view may be rotated).
  AffineTransform toLocal = transformToWindow().inverted();
  Point a = toLocal.apply(startPoint_), b = toLocal.apply(p);
  setContentOffset(clamp({startOffset_.x - (b.x - a.x), startOffset_.y - (b.y - a.y)}));
}

void ScrollView::endDrag() {
  dragging_ = false;
  tracked_ = nullptr;
  Point off = contentOffset();
  Point target = off;
  if (paging_) {
    Rect b = bounds();
    if (b.width > 0) target.x = std::round(off.x / b.width) * b.width;
    if (b.height > 0) target.y = std::round(off.y / b.height) * b.height;
    target = clamp(target);
  }
  bool decelerate = target.x != off.x || target.y != off.y;
  if (delegate_) delegate_->scrollViewDidEndDragging(*this, decelerate);
  if (decelerate) {
    decelerating_ = true;
    setContentOffset(target, true);
  }
}

void ScrollView::touchesEnded(const TouchSet& touches, const Event&) {
  if (!tracked_ || std::find(touches.begin(), touches.end(), tracked_) == touches.end()) return;
  if (dragging_) endDrag();
  else tracked_ = nullptr;
}

void ScrollView::touchesCancelled(const TouchSet& touches, const Event&) {
  if (!tracked_ || std::find(touches.begin(), touches.end(), tracked_) == touches.end()) return;
  // A touch being handed over to this view keeps dragging.
  if (tracked_->view() != this && dragging_) return;
  if (dragging_) endDrag();
  else tracked_ = nullptr;
}

}  // namespace ui
