#include "canvas/ArbitraryPathClip.h"

#include <cmath>

#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"

namespace {

constexpr gfx::Color kLineColor{1, 0, 0, 1};

gfx::Context screenContext(const ui::Rect& bounds) {
  const float s = ui::Screen::main().scale();
  return gfx::Context(static_cast<int>(std::lround(bounds.width * s)), static_cast<int>(std::lround(bounds.height * s)),
                      s, gfx::Origin::TopLeft);
}

}  // namespace

ArbitraryPathClip::ArbitraryPathClip(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(gfx::Color::clear());
  setUserInteractionEnabled(true);
  setMultipleTouchEnabled(true);
}

// The timer calls back into this view, so it must not outlive it.
ArbitraryPathClip::~ArbitraryPathClip() { stopTimer(); }

void ArbitraryPathClip::startTimer() {
  if (isMarching()) return;
  timer_ = fd::RunLoop::main().scheduleTimer(kDashInterval, true, [this] { dotLineOffset(); });
}

void ArbitraryPathClip::stopTimer() {
  if (timer_) timer_->invalidate();
  timer_.reset();
}

void ArbitraryPathClip::dotLineOffset() {
  offSet_ += kDashStep;
  setNeedsDisplay();
}

bool ArbitraryPathClip::maskViewHasImage() {
  if (delegate_ == nullptr) return false;
  ui::ImageView* view = delegate_->maskView();
  return view != nullptr && !view->image().empty();
}

void ArbitraryPathClip::generateCGPath(float sx, float sy) {
  for (gfx::Point& p : points_) p = {p.x * sx, p.y * sy};
  gfx::Path path;
  if (!points_.empty()) path.addLines(points_, true);
  clipPath_ = std::move(path);
}

void ArbitraryPathClip::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
  stopTimer();
  dotline_ = false;
  isMove_ = false;
  points_.clear();
  setNeedsDisplay();
  if (touches.size() >= 2 && superview() != nullptr) superview()->touchesBegan(touches, event);
}

void ArbitraryPathClip::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  if (touches.size() >= 2) {
    if (superview() != nullptr) superview()->touchesMoved(touches, event);
    return;
  }
  if (touches.empty()) return;
  isMove_ = true;
  points_.push_back(touches.front()->locationInView(this));
  setNeedsDisplay();
}

void ArbitraryPathClip::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  if (touches.size() >= 2) {
    if (superview() != nullptr) superview()->touchesEnded(touches, event);
    return;
  }
  if (!isMove_) {
    points_.clear();
    return;
  }
  generateCGPath(1, 1);
  if (maskViewHasImage()) {
    dotline_ = false;
    delegate_->switchInteface();
    delegate_->showPathViewImage(true);
  } else {
    dotline_ = true;
    if (delegate_ != nullptr && delegate_->arbitraryClipBtnIsSelected()) delegate_->setAlbumBtnEnabled(false);
  }
  setNeedsDisplay();
  startTimer();
}

void ArbitraryPathClip::scale(float sx, float sy) {
  setNeedsDisplay();
  if (!isMove_) {
    points_.clear();
    return;
  }
  generateCGPath(sx, sy);
  dotline_ = !maskViewHasImage();
  startTimer();
}

void ArbitraryPathClip::pathDisappear() {
  stopTimer();
  dotline_ = false;
  isMove_ = false;
  points_.clear();
  setNeedsDisplay();
}

void ArbitraryPathClip::setViewActivity(bool active) {
  viewActivity_ = active;
  if (active) return;
  points_.clear();
  clipPath_.reset();
  stopTimer();
  setNeedsDisplay();
}

void ArbitraryPathClip::drawRect(gfx::Context& ctx, const ui::Rect&) {
  ctx.save();
  ctx.setLineWidth(kLineWidth);
  ctx.setStrokeColor(kLineColor);
  if (!dotline_) {
    if (points_.size() >= 2) ctx.strokePolyline(points_);
  } else if (clipPath_) {
    ctx.setLineDash(offSet_, {kDashLength, kDashLength});
    ctx.strokePath(*clipPath_);
  }
  ctx.restore();
  if (clear_) ctx.clear();
}

gfx::Image ArbitraryPathClip::generateMaskImage() const {
  gfx::Context ctx = screenContext(bounds());
  if (clipPath_) {
    ctx.setFillColor(gfx::Color::black());
    ctx.fillPath(*clipPath_);
  }
  return ctx.makeImage();
}

gfx::Image ArbitraryPathClip::clipImageWithMaskImage(const gfx::Image& mask, const gfx::Image& picture) const {
  const ui::Rect b{0, 0, bounds().width, bounds().height};
  gfx::Context ctx = screenContext(b);
  // A y-up user space, as the phone's bitmap contexts have: the mask and the
  // picture both land with their top rows at the top of the view.
  ctx.translate(0, b.height);
  ctx.scaleBy(1, -1);
  ctx.clear();
  ctx.clipToMask(b, mask);
  ctx.drawImageYUp(picture, b);
  return ctx.makeImage();
}

gfx::Image ArbitraryPathClip::clipImageWithMask(const gfx::Image& picture) const {
  return clipImageWithMaskImage(generateMaskImage(), picture);
}
