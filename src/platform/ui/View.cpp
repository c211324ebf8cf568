#include "platform/ui/View.h"

#include <algorithm>
#include <atomic>

#include "platform/ui/Animation.h"
#include "platform/ui/AnimationState.h"
#include "platform/ui/Compositor.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
// Distributes a change of the superview's extent over the flexible parts of
// one axis in proportion to their sizes (equally when they are all zero).
void resizeAxis(float& origin, float& size, float oldExtent, float newExtent, bool flexLead, bool flexSize,
                bool flexTrail) {
  float delta = newExtent - oldExtent;
  int count = flexLead + flexSize + flexTrail;
  if (delta == 0 || count == 0) return;
  float lead = origin, trail = oldExtent - origin - size;
  float sum = (flexLead ? lead : 0) + (flexSize ? size : 0) + (flexTrail ? trail : 0);
  float dLead, dSize;
  if (sum > 0) {
    dLead = flexLead ? delta * lead / sum : 0;
    dSize = flexSize ? delta * size / sum : 0;
  } else {
    dLead = flexLead ? delta / count : 0;
    dSize = flexSize ? delta / count : 0;
  }
  origin += dLead;
  size += dSize;
}

// Views and content versions share one counter: no two are ever alike.
std::uint64_t nextSerial() {
  static std::atomic<std::uint64_t> serial{0};
  return serial.fetch_add(1, std::memory_order_relaxed) + 1;
}
}  // namespace

View::View(const Rect& frame) : id_(nextSerial()), contentVersion_(nextSerial()) {
  Rect f = frame.standardized();
  bounds_ = {0, 0, f.width, f.height};
  center_ = {f.x + f.width / 2, f.y + f.height / 2};
}

View::~View() {
  if (animation_) Animator::shared().viewDestroyed(this);
  for (auto& sv : subviews_) sv->superview_ = nullptr;
}

Rect View::frame() const {
  Rect local{-bounds_.width / 2, -bounds_.height / 2, bounds_.width, bounds_.height};
  Rect f = transform_.isIdentity() ? local : transform_.apply(local);
  return {f.x + center_.x, f.y + center_.y, f.width, f.height};
}

Rect View::presentationFrame() const {
  Geometry g = presentation();
  Rect local{-g.bounds.width / 2, -g.bounds.height / 2, g.bounds.width, g.bounds.height};
  Rect f = g.transform.apply(local);
  return {f.x + g.center.x, f.y + g.center.y, f.width, f.height};
}

void View::setFrame(const Rect& frame) {
  Rect f = frame.standardized();
  Rect b = bounds_;
  if (transform_.isIdentity()) {
    b.width = f.width;
    b.height = f.height;
  } else {
    Rect old = this->frame();
    if (old.width != 0) b.width = bounds_.width * f.width / old.width;
    if (old.height != 0) b.height = bounds_.height * f.height / old.height;
  }
  setCenter({f.x + f.width / 2 - transform_.tx, f.y + f.height / 2 - transform_.ty});
  setBounds(b);
}

void View::setBounds(const Rect& bounds) {
  if (Animator::shared().recording()) Animator::shared().record(this, Animator::Property::Bounds);
  Size old{bounds_.width, bounds_.height};
  if (bounds_ != bounds) Screen::noteChange();
  bounds_ = bounds;
  if (old.width != bounds.width || old.height != bounds.height) boundsSizeChanged(old);
}

void View::boundsSizeChanged(Size oldSize) {
  if (autoresizesSubviews_) autoresizeSubviews(oldSize);
  needsLayout_ = true;
  if (contentMode_ == ContentMode::Redraw) needsDisplay_ = true;
}

void View::setCenter(Point center) {
  if (Animator::shared().recording()) Animator::shared().record(this, Animator::Property::Center);
  if (center_ != center) Screen::noteChange();
  center_ = center;
}

void View::setTransform(const AffineTransform& t) {
  if (Animator::shared().recording()) Animator::shared().record(this, Animator::Property::Transform);
  if (transform_ != t) Screen::noteChange();
  transform_ = t;
}

void View::setAlpha(float alpha) {
  if (Animator::shared().recording()) Animator::shared().record(this, Animator::Property::Alpha);
  const float clamped = std::clamp(alpha, 0.0f, 1.0f);
  if (alpha_ != clamped) Screen::noteChange();
  alpha_ = clamped;
}

void View::setHidden(bool hidden) {
  if (hidden_ != hidden) Screen::noteChange();
  hidden_ = hidden;
}

void View::setBackgroundColor(const Color& c) {
  if (Animator::shared().recording()) Animator::shared().record(this, Animator::Property::BackgroundColor);
  if (backgroundColor_ != c) Screen::noteChange();
  backgroundColor_ = c;
}

void View::setClipsToBounds(bool clips) {
  if (clipsToBounds_ != clips) Screen::noteChange();
  clipsToBounds_ = clips;
}

void View::setContentMode(ContentMode m) {
  contentMode_ = m;
  needsDisplay_ = true;
  contentChanged();
}

View* View::viewWithTag(int tag) {
  if (tag_ == tag) return this;
  for (auto& sv : subviews_)
    if (View* v = sv->viewWithTag(tag)) return v;
  return nullptr;
}

// --- the tree

Window* View::window() const {
  const View* v = this;
  while (v->superview_) v = v->superview_;
  return dynamic_cast<Window*>(const_cast<View*>(v));
}

std::size_t View::indexOf(const View* v) const {
  for (std::size_t i = 0; i < subviews_.size(); ++i)
    if (subviews_[i].get() == v) return i;
  return subviews_.size();
}

void View::setSuperview(View* sv) { superview_ = sv; }

void View::notifyWindowChange() {
  didMoveToWindow();
  for (auto& sv : std::vector<std::shared_ptr<View>>(subviews_)) sv->notifyWindowChange();
}

void View::insertSubview(std::shared_ptr<View> view, std::size_t index) {
  if (!view || view.get() == this) return;
  Screen::noteChange();
  if (view->superview_ == this) {
    std::size_t at = indexOf(view.get());
    subviews_.erase(subviews_.begin() + static_cast<std::ptrdiff_t>(at));
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    return;
  }
  Window* oldWindow = view->window();
  if (view->superview_) view->removeFromSuperview();
  view->willMoveToSuperview(this);
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
  view->superview_ = this;
  view->didMoveToSuperview();
  didAddSubview(view.get());
  if (view->window() != oldWindow) view->notifyWindowChange();
}

void View::addSubview(std::shared_ptr<View> view) { insertSubview(std::move(view), subviews_.size()); }

void View::insertSubviewAbove(std::shared_ptr<View> view, const View* sibling) {
  std::size_t i = indexOf(sibling);
  if (view && view->superview_ == this && indexOf(view.get()) < i) --i;
  insertSubview(std::move(view), i == subviews_.size() ? i : i + 1);
}

void View::insertSubviewBelow(std::shared_ptr<View> view, const View* sibling) {
  std::size_t i = indexOf(sibling);
  if (view && view->superview_ == this && indexOf(view.get()) < i) --i;
  insertSubview(std::move(view), i);
}

void View::removeFromSuperview() {
  View* sv = superview_;
  if (!sv) return;
  Screen::noteChange();
  std::shared_ptr<View> keep = shared_from_this();
  Window* oldWindow = window();
  sv->willRemoveSubview(this);
  willMoveToSuperview(nullptr);
  sv->subviews_.erase(sv->subviews_.begin() + static_cast<std::ptrdiff_t>(sv->indexOf(this)));
  superview_ = nullptr;
  didMoveToSuperview();
  if (oldWindow) notifyWindowChange();
}

void View::bringSubviewToFront(const View* view) {
  std::size_t i = indexOf(view);
  if (i == subviews_.size()) return;
  Screen::noteChange();
  auto v = subviews_[i];
  subviews_.erase(subviews_.begin() + static_cast<std::ptrdiff_t>(i));
  subviews_.push_back(std::move(v));
}

void View::sendSubviewToBack(const View* view) {
  std::size_t i = indexOf(view);
  if (i == subviews_.size()) return;
  Screen::noteChange();
  auto v = subviews_[i];
  subviews_.erase(subviews_.begin() + static_cast<std::ptrdiff_t>(i));
  subviews_.insert(subviews_.begin(), std::move(v));
}

void View::exchangeSubviews(std::size_t i, std::size_t j) {
  if (i >= subviews_.size() || j >= subviews_.size()) return;
  Screen::noteChange();
  std::swap(subviews_[i], subviews_[j]);
}

bool View::isDescendantOf(const View* view) const {
  for (const View* v = this; v; v = v->superview_)
    if (v == view) return true;
  return false;
}

// --- layout

void View::setNeedsLayout() {
  needsLayout_ = true;
  Screen::noteChange();
}

void View::layoutIfNeeded() {
  if (needsLayout_) {
    needsLayout_ = false;
    layoutSubviews();
  }
  for (auto& sv : std::vector<std::shared_ptr<View>>(subviews_)) sv->layoutIfNeeded();
}

void View::sizeToFit() {
  Size s = sizeThatFits({bounds_.width, bounds_.height});
  Rect b = bounds_;
  b.width = s.width;
  b.height = s.height;
  Point c = center_;
  Rect f = frame();
  // Keeps the frame's origin, as the phone does.
  setBounds(b);
  Rect nf = frame();
  setCenter({c.x + (f.x - nf.x), c.y + (f.y - nf.y)});
}

void View::autoresizeSubviews(Size oldSize) {
  for (auto& sv : subviews_) sv->resizeWithOldSuperviewSize(oldSize, {bounds_.width, bounds_.height});
}

void View::resizeWithOldSuperviewSize(Size oldSize, Size newSize) {
  unsigned m = autoresizingMask_;
  if (m == AutoresizingNone) return;
  Rect f = frame();
  resizeAxis(f.x, f.width, oldSize.width, newSize.width, m & FlexibleLeftMargin, m & FlexibleWidth,
             m & FlexibleRightMargin);
  resizeAxis(f.y, f.height, oldSize.height, newSize.height, m & FlexibleTopMargin, m & FlexibleHeight,
             m & FlexibleBottomMargin);
  setFrame(f);
}

// --- coordinates

AffineTransform View::transformToSuperview(bool presentationValues) const {
  if (presentationValues) return transformToSuperview(presentation());
  return transformToSuperview(Geometry{bounds_, center_, transform_, alpha_, backgroundColor_});
}

AffineTransform View::transformToSuperview(const Geometry& g) {
  const Rect& b = g.bounds;
  return AffineTransform::makeTranslation(-b.x - b.width / 2, -b.y - b.height / 2)
      .concat(g.transform)
      .concat(AffineTransform::makeTranslation(g.center.x, g.center.y));
}

AffineTransform View::transformToWindow() const {
  AffineTransform t;
  for (const View* v = this; v->superview_; v = v->superview_) t = t.concat(v->transformToSuperview());
  return t;
}

Point View::convertPointTo(Point p, const View* to) const {
  Point w = transformToWindow().apply(p);
  return to ? to->transformToWindow().inverted().apply(w) : w;
}

Point View::convertPointFrom(Point p, const View* from) const {
  Point w = from ? from->transformToWindow().apply(p) : p;
  return transformToWindow().inverted().apply(w);
}

Rect View::convertRectTo(const Rect& r, const View* to) const {
  AffineTransform t = transformToWindow();
  if (to) t = t.concat(to->transformToWindow().inverted());
  return t.apply(r);
}

Rect View::convertRectFrom(const Rect& r, const View* from) const {
  AffineTransform t = from ? from->transformToWindow() : AffineTransform{};
  t = t.concat(transformToWindow().inverted());
  return t.apply(r);
}

// --- hit testing

bool View::pointInside(Point p, const Event*) const { return presentation().bounds.contains(p); }

View* View::hitTest(Point p, const Event* event) { return hitTestPlaced(p, event, true); }

View* View::hitTestAtFinalPlaces(Point p) { return hitTestPlaced(p, nullptr, false); }

View* View::hitTestPlaced(Point p, const Event* event, bool drawn) {
  if (hidden_ || !userInteraction_ || alpha_ < 0.01f) return nullptr;
  if (drawn ? !pointInside(p, event) : !bounds_.contains(p)) return nullptr;
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    View* sv = it->get();
    const Point q = sv->transformToSuperview(drawn).inverted().apply(p);
    if (View* hit = drawn ? sv->hitTest(q, event) : sv->hitTestPlaced(q, nullptr, false)) return hit;
  }
  return this;
}

// --- drawing

void View::setNeedsDisplay() {
  needsDisplay_ = true;
  contentChanged();
}

void View::contentChanged() {
  contentVersion_ = nextSerial();
  Screen::noteChange();
}

void View::drawRect(gfx::Context&, const Rect&) {}

void View::drawLayerContent(Compositor& compositor, const Geometry& g) {
  if (drawsContent()) compositor.drawViewContent(*this, g);
}

gfx::Image View::renderToImage(float scale) const {
  if (scale <= 0) scale = Screen::main().scale();
  Compositor compositor;
  return compositor.renderView(*this, scale);
}

Responder* View::nextResponder() const {
  if (controller_) return controller_;
  return superview_;
}

}  // namespace ui
