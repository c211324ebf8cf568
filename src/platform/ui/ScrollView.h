#pragma once
// A view whose bounds origin is a content offset the user drags, clamped to
// the content size, optionally snapping to pages of the view's size. A finger
// that starts on a control inside and then drags is taken over by the scroll
// view (the control hears a cancel).
#include "platform/ui/DelegateRef.h"
#include "platform/ui/View.h"

namespace ui {

class ScrollView;

class ScrollViewDelegate : public DelegateLife {
 public:
  virtual ~ScrollViewDelegate() = default;
  virtual void scrollViewDidScroll(ScrollView&) {}
  virtual void scrollViewWillBeginDragging(ScrollView&) {}
  virtual void scrollViewDidEndDragging(ScrollView&, bool /*willDecelerate*/) {}
  virtual void scrollViewDidEndDecelerating(ScrollView&) {}
  virtual void scrollViewDidEndScrollingAnimation(ScrollView&) {}
};

class ScrollView : public View {
 public:
  explicit ScrollView(const Rect& frame = {});

  Size contentSize() const { return contentSize_; }
  void setContentSize(Size s);
  Point contentOffset() const { return {bounds().x, bounds().y}; }
  // Not clamped (the program may place it anywhere); drags clamp.
  void setContentOffset(Point offset, bool animated = false);
  // The largest offset a drag reaches.
  Point maxContentOffset() const;

  bool isPagingEnabled() const { return paging_; }
  void setPagingEnabled(bool on) { paging_ = on; }
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool on) { scrollEnabled_ = on; }
  bool canCancelContentTouches() const { return canCancel_; }
  void setCanCancelContentTouches(bool on) { canCancel_ = on; }
  bool isDragging() const { return dragging_; }
  bool isDecelerating() const { return decelerating_; }

  ScrollViewDelegate* delegate() const { return delegate_.get(); }
  void setDelegate(ScrollViewDelegate* d) { delegate_ = d; }

  // The touch dispatcher hands over a finger that dragged on the content.
  void beginDraggingWithTouch(Touch* touch);

  void touchesBegan(const TouchSet& touches, const Event& event) override;
  void touchesMoved(const TouchSet& touches, const Event& event) override;
  void touchesEnded(const TouchSet& touches, const Event& event) override;
  void touchesCancelled(const TouchSet& touches, const Event& event) override;

  static constexpr double kPagingDuration = 0.3;

 protected:
  // Runs after every change of the offset (table views tile their cells).
  virtual void didScroll() {}
  // True while a finger that did not drag is down (for taps on content).
  const Touch* trackedTouch() const { return tracked_; }
  bool trackedTouchDragged() const { return dragging_; }

 private:
  Point clamp(Point p) const;
  void endDrag();
  Size contentSize_;
  bool paging_ = false, scrollEnabled_ = true, canCancel_ = true;
  bool dragging_ = false, decelerating_ = false;
  const Touch* tracked_ = nullptr;
  Point startPoint_, startOffset_;
  DelegateRef<ScrollViewDelegate> delegate_;
};

}  // namespace ui
