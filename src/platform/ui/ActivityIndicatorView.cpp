#include "platform/ui/ActivityIndicatorView.h"

#include <cmath>

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

namespace ui {

namespace {
float sideFor(ActivityIndicatorStyle style) { return style == ActivityIndicatorStyle::WhiteLarge ? 37.0f : 20.0f; }
}  // namespace

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorStyle style)
    : View(Rect{0, 0, sideFor(style), sideFor(style)}), style_(style) {
  setUserInteractionEnabled(false);
  setHidden(true);
}

ActivityIndicatorView::~ActivityIndicatorView() {
  if (timer_) timer_->invalidate();
}

void ActivityIndicatorView::startAnimating() {
  if (timer_) return;
  setHidden(false);
  timer_ = fd::RunLoop::main().scheduleTimer(kStepInterval, true, [this] {
    step_ = (step_ + 1) % kSpokes;
    setNeedsDisplay();
  });
}

void ActivityIndicatorView::stopAnimating() {
  if (timer_) timer_->invalidate();
  timer_.reset();
  if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicatorView::setHidesWhenStopped(bool on) {
  hidesWhenStopped_ = on;
  if (on && !timer_) setHidden(true);
}

void ActivityIndicatorView::drawRect(gfx::Context& ctx, const Rect&) {
  const Rect b = bounds();
  const float cx = b.width / 2, cy = b.height / 2;
  const float outer = std::min(b.width, b.height) / 2;
  const float inner = outer * 0.45f;
  const float grey = style_ == ActivityIndicatorStyle::Gray ? 0.35f : 1.0f;
  ctx.setLineWidth(std::max(1.5f, outer * 0.18f));
  ctx.setLineCap(gfx::LineCap::Round);
  for (int i = 0; i < kSpokes; ++i) {
    // The spoke at the current step is brightest; those behind it fade.
    const int behind = (step_ - i + kSpokes) % kSpokes;
    const float alpha = 1.0f - 0.75f * static_cast<float>(behind) / kSpokes;
    const float angle = static_cast<float>(i) * 2.0f * static_cast<float>(M_PI) / kSpokes - static_cast<float>(M_PI) / 2;
    gfx::Path spoke;
    spoke.moveTo({cx + inner * std::cos(angle), cy + inner * std::sin(angle)});
    spoke.lineTo({cx + (outer - 1.5f) * std::cos(angle), cy + (outer - 1.5f) * std::sin(angle)});
    ctx.setStrokeColor(gfx::Color{grey, grey, grey, alpha});
    ctx.strokePath(spoke);
  }
}

}  // namespace ui
