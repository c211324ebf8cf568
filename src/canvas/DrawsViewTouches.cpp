// Touch routing of the editor canvas: the gates, the single-finger path
// (strokes, fills, printing), pinch zoom and move, the two-finger double tap.
#include <algorithm>
#include <cmath>

#include "canvas/DrawsView.h"
#include "model/ExtendDataModel.h"
#include "model/ZTDataModel.h"

namespace {

bool contains(const gfx::Rect& outer, const gfx::Rect& inner) {
  const gfx::Rect a = outer.standardized(), b = inner.standardized();
  return b.x >= a.x && b.y >= a.y && b.x + b.width <= a.x + a.width && b.y + b.height <= a.y + a.height;
}

bool usable(const gfx::Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height) &&
         r.width > 0 && r.height > 0;
}

}  // namespace

// --- geometry

void DrawsView::applyFrame(gfx::Rect r, bool animated) {
  drawRect_ = r;
  setFrame(r);
  if (frameObserver_) frameObserver_(r, animated);
  if (zoomMoveDelegate_ != nullptr) zoomMoveDelegate_->drawViewFrameChanged(r);
}

void DrawsView::setDrawRect(gfx::Rect r) {
  // A frame without area would leave the canvas with no scale to map touches.
  if (!usable(r)) return;
  factor_ = r.width / kPageWidth;
  applyFrame(r, false);
}

void DrawsView::setBaseRect(gfx::Rect r) {
  baseRect_ = r;
  if (!isZoomEnd_) setDrawRect(r);
}

gfx::Rect DrawsView::endRectWithinZoom(gfx::Rect r, gfx::Rect b) {
  if (r.width > kMaxZoom * b.width) {
    r.x += (r.width - kMaxZoom * b.width) / 2;
    r.y += (r.height - kMaxZoom * b.height) / 2;
    r.width = kMaxZoom * b.width;
    r.height = kMaxZoom * b.height;
  }
  if (r.width < b.width) r = {0, 0, b.width, b.height};
  if (r.x + r.width < b.x + b.width) r.x = b.x + b.width - r.width;
  if (r.y + r.height < b.y + b.height) r.y = b.y + b.height - r.height;
  if (r.x > b.x) r.x = b.x;
  if (r.y > b.y) r.y = b.y;
  return r;
}

void DrawsView::setDrawRectEnd(gfx::Rect r) {
  r = endRectWithinZoom(r, baseRect_);
  if (!usable(r)) return;
  factor_ = r.width / kPageWidth;
  applyFrame(r, true);
}

gfx::Rect DrawsView::pinchStep(const std::vector<CanvasTouch>& touches, bool atEnd) const {
  const CanvasTouch& p = touches[0];
  const CanvasTouch& q = touches[1];
  const float now = distanceBetweenPoints(p.location, q.location);
  const float before = distanceBetweenPoints(p.previousLocation, q.previousLocation);
  float s = (now - before) / kPinchDistanceScale;
  if (drawRect_.width >= kMaxZoom * baseRect_.width || drawRect_.width < baseRect_.width) s *= kDampedStep;

  gfx::Point o = rectOffsetWithPoints(p.previousLocation, p.location, q.previousLocation, q.location);
  const bool inside = contains(baseRect_, drawRect_);
  if ((!atEnd && inside) || (atEnd && !inside)) o = {o.x * kDampedStep, o.y * kDampedStep};

  // However fast the fingers close or open, the frame keeps a sane size.
  const float w = drawRect_.width;
  const float minW = kMinPinchZoom * baseRect_.width;
  const float maxW = kMaxPinchZoom * baseRect_.width;
  if (w > 0 && minW > 0) s = std::clamp(s, std::min(minW / w - 1, 0.0f), std::max(maxW / w - 1, 0.0f));

  const float dw = drawRect_.width * s;
  const float dh = drawRect_.height * s;
  return {drawRect_.x - o.x - dw / 2, drawRect_.y - o.y - dh / 2, drawRect_.width + dw, drawRect_.height + dh};
}

gfx::Rect DrawsView::doubleTapTarget(gfx::Rect r, gfx::Rect base, gfx::Point l) {
  // Zoomed or not is told by the size: a zoomed page panned back to its
  // place, or tapped at its edge, is still zoomed.
  if (!(r.width > 0) || std::fabs(r.width - base.width) >= 1) return base;
  const float k = kMaxZoom * base.width / r.width - 1;
  return {r.x - k * l.x, r.y - k * l.y, kMaxZoom * base.width, kMaxZoom * base.height};
}

void DrawsView::doubleTapZoom(gfx::Point l) { setDrawRectEnd(doubleTapTarget(drawRect_, baseRect_, l)); }

// --- touches

bool DrawsView::passesGates() {
  const bool canDraw = isCanDrawDelegate_ == nullptr || isCanDrawDelegate_->isCanDraw();
  const ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
  if (settings.isOpicaty() || settings.isSize() || settings.isBrush() || !canDraw) return false;
  isDraw_ = true;
  return true;
}

void DrawsView::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
  touchesBegan(canvasTouches(touches, event, *this), event.timestamp());
}
void DrawsView::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  touchesMoved(canvasTouches(touches, event, *this), event.timestamp());
}
void DrawsView::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  touchesEnded(canvasTouches(touches, event, *this), event.timestamp());
}
void DrawsView::touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) {
  touchesCancelled(canvasTouches(touches, event, *this), event.timestamp());
}

namespace {
// While a touch event is handled, the changes it makes are dated by it.
class MadeAt {
 public:
  MadeAt(std::optional<double>& slot, std::optional<double> at) : slot_(slot) { slot_ = at; }
  ~MadeAt() { slot_.reset(); }
  MadeAt(const MadeAt&) = delete;
  MadeAt& operator=(const MadeAt&) = delete;

 private:
  std::optional<double>& slot_;
};
}  // namespace

void DrawsView::touchesBegan(const std::vector<CanvasTouch>& touches, std::optional<double> madeAt) {
  const MadeAt dated(inputMadeAt_, madeAt);
  touchesDown(true);
  route(touches, Phase::Began);
}
void DrawsView::touchesMoved(const std::vector<CanvasTouch>& touches, std::optional<double> madeAt) {
  const MadeAt dated(inputMadeAt_, madeAt);
  route(touches, Phase::Moved);
}
void DrawsView::touchesEnded(const std::vector<CanvasTouch>& touches, std::optional<double> madeAt) {
  const MadeAt dated(inputMadeAt_, madeAt);
  route(touches, Phase::Ended);
  touchesDown(false);
}

void DrawsView::touchesCancelled(const std::vector<CanvasTouch>& touches, std::optional<double> madeAt) {
  const MadeAt dated(inputMadeAt_, madeAt);
  const bool drawing = strokeActive();
  EAGLView::touchesCancelled(touches.empty() ? gfx::Point{0, 0} : touches.front().location);
  // What the stroke drew so far stays, and is saved.
  if (drawing) changed();
  touchesDown(false);
}

void DrawsView::route(const std::vector<CanvasTouch>& touches, Phase phase) {
  if (touches.empty() || !passesGates()) return;
  const std::size_t n = touches.size();
  const int taps = touches.front().tapCount;
  if (n >= 2 && taps >= 2 && !isPrintView_) {
    if (phase == Phase::Began && enabledZoom_) doubleTapZoom(touches.front().location);
    isDraw_ = false;
  } else if (n < 2 || (phase != Phase::Began && isPrintView_)) {
    singleFinger(touches.front(), phase);
  } else {
    twoFingers(touches, phase);
  }
}

void DrawsView::singleFinger(const CanvasTouch& touch, Phase phase) {
  switch (phase) {
    case Phase::Began:
      if (!isFillTool_) {
        EAGLView::touchesBegan(touch.location);
        changed();
      }
      break;
    case Phase::Moved:
      if (!isFillTool_) {
        EAGLView::touchesMoved(touch.location);
        // A write read before these dabs must not count them as saved.
        ++changeGeneration_;
        noteUnsaved();
      }
      break;
    case Phase::Ended:
      if (!isFillTool_) {
        EAGLView::touchesEnded(touch.location);
      } else {
        fillStart(touch.location);
      }
      if (printDrawViewDelegate_ != nullptr) printDrawViewDelegate_->printImageInDrawview();
      changed();
      break;
  }
}

void DrawsView::twoFingers(const std::vector<CanvasTouch>& touches, Phase phase) {
  // A second finger turns a stroke under way into a gesture; what was drawn
  // so far stays and is marked.
  if (strokeActive()) cancelStroke();
  if (phase == Phase::Began) {
    isDraw_ = false;
    isZoomEnd_ = false;
    return;
  }
  if (!enabledZoom_) {
    isDraw_ = false;
    return;
  }
  if (phase == Phase::Moved) {
    isZoomEnd_ = false;
    setDrawRect(pinchStep(touches, false));
  } else {
    isZoomEnd_ = true;
    setDrawRectEnd(pinchStep(touches, true));
  }
  isDraw_ = false;
}
