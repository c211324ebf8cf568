#include "platform/ui/Compositor.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/graphics/PixelFormat.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
void setTransform(cairo_t* cr, const AffineTransform& t) {
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  cairo_transform(cr, &m);
}

cairo_surface_t* surfaceFromImage(const gfx::Image& img) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, img.pixelWidth(), img.pixelHeight());
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < img.pixelHeight(); ++y)
    gfx::pixelformat::rgbaToArgb32(img.pixel(0, y), reinterpret_cast<std::uint32_t*>(data + y * stride),
                                   img.pixelWidth(), img.premultiplied());
  cairo_surface_mark_dirty(s);
  return s;
}

gfx::Image imageFromSurface(cairo_surface_t* s, float scale) {
  cairo_surface_flush(s);
  int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  gfx::Image img(w, h, scale);
  for (int y = 0; y < h; ++y)
    gfx::pixelformat::argb32ToRgba(reinterpret_cast<const std::uint32_t*>(data + y * stride), img.pixel(0, y), w,
                                   false);
  return img;
}
}  // namespace

Compositor::Compositor() = default;

Compositor::~Compositor() {
  for (auto& [k, c] : cache_) cairo_surface_destroy(c.surface);
  if (frame_) cairo_surface_destroy(frame_);
}

float Compositor::defaultScale() { return Screen::main().scale(); }

void Compositor::pruneCache() {
  for (auto it = cache_.begin(); it != cache_.end();) {
    if (it->second.image.expired()) {
      cairo_surface_destroy(it->second.surface);
      it = cache_.erase(it);
    } else {
      ++it;
    }
  }
}

cairo_surface_t* Compositor::surfaceFor(const std::shared_ptr<const gfx::Image>& image) {
  if (!image || image->empty()) return nullptr;
  auto it = cache_.find(image.get());
  if (it != cache_.end()) {
    if (auto live = it->second.image.lock(); live == image) return it->second.surface;
    cairo_surface_destroy(it->second.surface);
    cache_.erase(it);
  }
  cairo_surface_t* s = surfaceFromImage(*image);
  if (s) cache_[image.get()] = {image, s};
  return s;
}

// --- incremental composing

Compositor::Box Compositor::Box::intersection(const Box& o) const {
  Box r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
  return r.empty() ? Box{} : r;
}

Compositor::Box Compositor::Box::unionWith(const Box& o) const {
  if (empty()) return o;
  if (o.empty()) return *this;
  return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
}

bool Compositor::Item::sameLookAs(const Item& o) const {
  return box == o.box && toFrame == o.toFrame && bounds == o.bounds && clip == o.clip && alpha == o.alpha &&
         background == o.background && transition == o.transition;
}

Compositor::Box Compositor::pixelBox(const AffineTransform& t, const Rect& r, int margin) const {
  const Rect f = t.apply(r.standardized());
  auto lo = [](float v) { return std::isfinite(v) ? static_cast<int>(std::clamp(std::floor(v), -1e6f, 1e6f)) : 0; };
  auto hi = [](float v) { return std::isfinite(v) ? static_cast<int>(std::clamp(std::ceil(v), -1e6f, 1e6f)) : 0; };
  if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.width) || !std::isfinite(f.height))
    return frameBox();
  return {lo(f.x) - margin, lo(f.y) - margin, hi(f.x + f.width) + margin, hi(f.y + f.height) + margin};
}

Compositor::Box Compositor::listItems(View& v, const AffineTransform& parent, const Box& clip, float alpha,
                                      std::vector<Item>& items) {
  if (v.hidden_) return {};
  const View::Geometry g = v.presentation();
  if (g.alpha <= 0) return {};
  Placed& placed = placed_[&v];
  placed.g = g;
  placed.toSuperview = View::transformToSuperview(g);
  const AffineTransform toFrame = placed.toSuperview.concat(parent);
  // Edges that fall between pixels are blended: a pixel more on each side.
  Box inner = clip;
  if (v.clipsToBounds_) inner = clip.intersection(pixelBox(toFrame, g.bounds, 1));
  Item item;
  item.viewId = v.id_;
  item.view = &v;
  item.box = pixelBox(toFrame, v.drawnExtent(g), 1).intersection(inner);
  item.toFrame = toFrame;
  item.bounds = g.bounds;
  item.clip = inner;
  item.alpha = alpha * g.alpha;
  item.background = g.backgroundColor;
  item.content = v.contentVersion_;
  if (const Animator::Transition* t = Animator::shared().transitionFor(&v))
    item.transition = Animator::transitionProgress(*t, Animator::shared().now());
  placed.own = item.box;
  items.push_back(item);
  Box subtree = item.box;
  const std::size_t first = passViews_.size(), count = v.subviews_.size();
  placed.firstChild = first;
  placed.children = count;
  passViews_.insert(passViews_.end(), v.subviews_.begin(), v.subviews_.end());
  for (std::size_t i = first; i < first + count; ++i) {
    View& child = *passViews_[i];  // the vector may grow, the view stays
    subtree = subtree.unionWith(listItems(child, toFrame, inner, item.alpha, items));
  }
  // The map may have grown since `placed` was taken.
  placed_[&v].subtree = subtree;
  return subtree;
}

void Compositor::addDamage(std::vector<Box>& damage, Box box) const {
  box = box.intersection(frameBox());
  if (box.empty()) return;
  // Boxes that overlap or nearly touch become one: fewer, larger clips draw
  // faster than many small ones.
  constexpr int kSlack = 8;
  for (bool merged = true; merged;) {
    merged = false;
    const Box near{box.x0 - kSlack, box.y0 - kSlack, box.x1 + kSlack, box.y1 + kSlack};
    for (auto it = damage.begin(); it != damage.end(); ++it) {
      if (it->intersects(near)) {
        box = box.unionWith(*it);
        damage.erase(it);
        merged = true;
        break;
      }
    }
  }
  damage.push_back(box);
  constexpr std::size_t kMostBoxes = 16;
  if (damage.size() > kMostBoxes) {
    Box all;
    for (const Box& d : damage) all = all.unionWith(d);
    damage.assign(1, all);
  }
}

std::vector<Compositor::Box> Compositor::findDamage(std::vector<Item>& items) {
  std::unordered_map<std::uint64_t, std::size_t> before;
  before.reserve(items_.size());
  for (std::size_t i = 0; i < items_.size(); ++i) before.emplace(items_[i].viewId, i);
  std::vector<bool> kept(items_.size(), false);
  std::vector<Box> damage;
  // Items in both lists: their places in the new list and in the old.
  std::vector<std::size_t> newAt, oldAt;
  for (std::size_t n = 0; n < items.size(); ++n) {
    const Item& item = items[n];
    auto found = before.find(item.viewId);
    if (found == before.end()) {
      addDamage(damage, item.box);
      continue;
    }
    const Item& old = items_[found->second];
    kept[found->second] = true;
    newAt.push_back(n);
    oldAt.push_back(found->second);
    if (!item.sameLookAs(old)) {
      addDamage(damage, old.box);
      addDamage(damage, item.box);
    } else if (item.content != old.content) {
      const std::optional<Rect> part = item.view->contentDamageSince(old.content);
      if (!part) addDamage(damage, item.box);
      else if (!part->isEmpty()) addDamage(damage, pixelBox(item.toFrame, *part, 1).intersection(item.box));
    }
  }
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (!kept[i]) addDamage(damage, items_[i].box);
  // Items that changed places in the drawing order cover others anew: the
  // longest run that kept its order stays, the rest is drawn again.
  for (std::size_t k : movedInOrder(oldAt)) {
    addDamage(damage, items_[oldAt[k]].box);
    addDamage(damage, items[newAt[k]].box);
  }
  long area = 0;
  for (const Box& d : damage) area += d.area();
  if (area * 10 > frameBox().area() * 7) return {frameBox()};
  return damage;
}

// The positions of a sequence outside one of its longest increasing
// subsequences.
std::vector<std::size_t> Compositor::movedInOrder(const std::vector<std::size_t>& order) {
  std::vector<std::size_t> tails, tailAt, previous(order.size(), order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    auto it = std::lower_bound(tails.begin(), tails.end(), order[i]);
    const std::size_t len = static_cast<std::size_t>(it - tails.begin());
    if (len > 0) previous[i] = tailAt[len - 1];
    if (it == tails.end()) {
      tails.push_back(order[i]);
      tailAt.push_back(i);
    } else {
      *it = order[i];
      tailAt[len] = i;
    }
  }
  std::vector<bool> inRun(order.size(), false);
  for (std::size_t i = tailAt.empty() ? order.size() : tailAt.back(); i < order.size(); i = previous[i]) inRun[i] = true;
  std::vector<std::size_t> moved;
  for (std::size_t i = 0; i < order.size(); ++i)
    if (!inRun[i]) moved.push_back(i);
  return moved;
}

bool Compositor::touchesDamage(const Box& b) const {
  if (damage_ == nullptr) return true;
  for (const Box& d : *damage_)
    if (d.intersects(b)) return true;
  return false;
}

bool Compositor::composeScreen(const std::vector<std::shared_ptr<Window>>& windows, Size points, float scale) {
  pruneCache();
  int w = static_cast<int>(std::lround(points.width * scale)), h = static_cast<int>(std::lround(points.height * scale));
  bool whole = !incremental_;
  if (!frame_ || frameW_ != w || frameH_ != h || frameScale_ != scale) {
    if (frame_) cairo_surface_destroy(frame_);
    frame_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    frameW_ = w, frameH_ = h;
    whole = true;
  }
  frameScale_ = scale;
  scale_ = scale;
  presentation_ = true;
  changed_.clear();
  for (const auto& win : windows) win->layoutIfNeeded();
  const std::uint64_t changes = Screen::changeCount();
  std::vector<std::uint64_t> shown;
  for (const auto& win : windows) shown.push_back(win->viewId());
  if (!whole && changes == composedChanges_ && shown == composedWindows_) return false;

  placed_.clear();
  passViews_.clear();
  std::vector<Item> items;
  for (const auto& win : windows) listItems(*win, AffineTransform::makeScale(scale, scale), frameBox(), 1, items);
  std::vector<Box> damage;
  if (whole) {
    damage.push_back(frameBox());
  } else {
    damage = findDamage(items);
  }
  items_ = std::move(items);
  composedChanges_ = changes;
  composedWindows_ = std::move(shown);
  if (damage.empty()) {
    passViews_.clear();
    return false;
  }

  cr_ = cairo_create(frame_);
  for (const Box& d : damage) cairo_rectangle(cr_, d.x0, d.y0, d.x1 - d.x0, d.y1 - d.y0);
  cairo_clip(cr_);
  cairo_set_source_rgb(cr_, 0, 0, 0);
  cairo_paint(cr_);
  cairo_scale(cr_, scale, scale);
  damage_ = whole ? nullptr : &damage;
  usePlaced_ = true;
  for (const auto& win : windows) drawView(*win, false);
  usePlaced_ = false;
  damage_ = nullptr;
  passViews_.clear();
  cairo_destroy(cr_);
  cr_ = nullptr;
  cairo_surface_flush(frame_);
  for (const Box& d : damage) changed_.push_back({d.x0, d.y0, d.x1 - d.x0, d.y1 - d.y0});
  return true;
}

const std::uint32_t* Compositor::framePixels() const {
  return frame_ ? reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(frame_)) : nullptr;
}
int Compositor::frameStride() const { return frame_ ? cairo_image_surface_get_stride(frame_) : 0; }

gfx::Image Compositor::frameImage() const {
  if (!frame_) return {};
  return imageFromSurface(frame_, frameScale_);
}

gfx::Image Compositor::renderView(const View& view, float scale, bool presentation) {
  Rect b = presentation ? view.presentation().bounds : view.bounds();
  int w = static_cast<int>(std::ceil(b.width * scale)), h = static_cast<int>(std::ceil(b.height * scale));
  if (w <= 0 || h <= 0) return {};
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return {};
  }
  cairo_t* saved = cr_;
  float savedScale = scale_;
  bool savedPresentation = presentation_;
  const bool savedPlaced = usePlaced_;
  const std::vector<Box>* savedDamage = damage_;
  usePlaced_ = false;
  damage_ = nullptr;
  scale_ = scale;
  presentation_ = presentation;
  cr_ = cairo_create(s);
  cairo_scale(cr_, scale, scale);
  cairo_translate(cr_, -b.x, -b.y);
  const_cast<View&>(view).layoutIfNeeded();
  drawView(view, true);
  cairo_destroy(cr_);
  cr_ = saved;
  scale_ = savedScale;
  presentation_ = savedPresentation;
  usePlaced_ = savedPlaced;
  damage_ = savedDamage;
  gfx::Image img = imageFromSurface(s, scale);
  cairo_surface_destroy(s);
  return img;
}

void Compositor::drawView(const View& v, bool isRoot) {
  if (v.hidden_ && !isRoot) return;
  View::Geometry g;
  AffineTransform toSuperview;
  bool drawOwn = true;
  std::size_t firstChild = 0, children = 0;
  std::vector<std::shared_ptr<View>> subviews;
  if (usePlaced_) {
    // Drawn with the values the list was made with; only views whose
    // drawing reaches the damage.
    auto found = placed_.find(&v);
    if (found == placed_.end() || !touchesDamage(found->second.subtree)) return;
    g = found->second.g;
    toSuperview = found->second.toSuperview;
    drawOwn = touchesDamage(found->second.own);
    firstChild = found->second.firstChild;
    children = found->second.children;
  } else {
    subviews = v.subviews_;
    g = presentation_ ? v.presentation() : View::Geometry{v.bounds_, v.center_, v.transform_, v.alpha_, v.backgroundColor_};
    toSuperview = View::transformToSuperview(g);
  }
  if (g.alpha <= 0) return;
  cairo_save(cr_);
  if (!isRoot) setTransform(cr_, toSuperview);
  const Rect& b = g.bounds;
  if (v.clipsToBounds_) {
    cairo_rectangle(cr_, b.x, b.y, b.width, b.height);
    cairo_clip(cr_);
  }
  bool group = g.alpha < 1;
  if (group) cairo_push_group(cr_);
  if (drawOwn) {
    if (g.backgroundColor.a > 0) fillRect(b, g.backgroundColor);
    const_cast<View&>(v).drawLayerContent(*this, g);
  }
  // A view's drawing may change the tree under it; the pass walks the
  // subviews it listed (or a copy), which it holds.
  if (usePlaced_) {
    for (std::size_t i = firstChild; i < firstChild + children; ++i) drawView(*passViews_[i], false);
  } else {
    for (const auto& sv : subviews) drawView(*sv, false);
  }
  if (drawOwn && presentation_ && Animator::shared().isTransitioning(&v)) drawTransitionOverlay(v, g);
  if (group) {
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, g.alpha);
  }
  cairo_restore(cr_);
}

void Compositor::fillRect(const Rect& r, const Color& c) {
  cairo_set_source_rgba(cr_, c.r, c.g, c.b, c.a);
  cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
  cairo_fill(cr_);
}

void Compositor::drawSurface(cairo_surface_t* s, int, int, const Rect& src, const Rect& dst) {
  if (dst.width <= 0 || dst.height <= 0 || src.width <= 0 || src.height <= 0) return;
  double sx = src.width / dst.width, sy = src.height / dst.height;
  cairo_pattern_t* p = cairo_pattern_create_for_surface(s);
  cairo_matrix_t m;
  cairo_matrix_init(&m, sx, 0, 0, sy, src.x - dst.x * sx, src.y - dst.y * sy);
  cairo_pattern_set_matrix(p, &m);
  cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(p, CAIRO_FILTER_BILINEAR);
  cairo_set_source(cr_, p);
  cairo_rectangle(cr_, dst.x, dst.y, dst.width, dst.height);
  cairo_fill(cr_);
  cairo_pattern_destroy(p);
}

void Compositor::drawImage(const std::shared_ptr<const gfx::Image>& image, const Rect& dst) {
  cairo_surface_t* s = surfaceFor(image);
  if (!s) return;
  int pw = image->pixelWidth(), ph = image->pixelHeight();
  drawSurface(s, pw, ph, {0, 0, float(pw), float(ph)}, dst);
}

void Compositor::drawPixels(const std::uint32_t* argb, int width, int height, const Rect& dst) {
  if (argb == nullptr || width <= 0 || height <= 0) return;
  cairo_surface_t* s = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(argb)), CAIRO_FORMAT_ARGB32, width, height, width * 4);
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS)
    drawSurface(s, width, height, {0, 0, float(width), float(height)}, dst);
  cairo_surface_destroy(s);
}

void Compositor::drawPicture(const Picture& picture, const Rect& dst) {
  if (picture.empty()) return;
  if (!picture.isStretchable()) {
    drawImage(picture.shared(), dst);
    return;
  }
  cairo_surface_t* s = surfaceFor(picture.shared());
  if (!s) return;
  const gfx::Image& img = *picture.image();
  int pw = img.pixelWidth(), ph = img.pixelHeight();
  float k = img.scale();
  // Source edges in pixels and destination edges in points for one axis: the
  // caps keep their size (shrunk together when the target is too small), the
  // one-point middle stretches.
  auto axis = [k](int cap, int pixels, float dstPos, float dstLen, float src[4], float dst[4]) {
    float total = pixels / k;
    if (cap <= 0 || cap >= total) {
      src[0] = 0, src[1] = 0, src[2] = float(pixels), src[3] = float(pixels);
      dst[0] = dstPos, dst[1] = dstPos, dst[2] = dstPos + dstLen, dst[3] = dstPos + dstLen;
      return;
    }
    float lead = float(cap), trail = std::max(0.0f, total - cap - 1);
    float shrink = (lead + trail) > dstLen && lead + trail > 0 ? dstLen / (lead + trail) : 1.0f;
    src[0] = 0, src[1] = lead * k, src[2] = (total - trail) * k, src[3] = float(pixels);
    dst[0] = dstPos, dst[1] = dstPos + lead * shrink, dst[2] = dstPos + dstLen - trail * shrink, dst[3] = dstPos + dstLen;
  };
  float sx[4], dx[4], sy[4], dy[4];
  axis(picture.leftCap(), pw, dst.x, dst.width, sx, dx);
  axis(picture.topCap(), ph, dst.y, dst.height, sy, dy);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i)
      drawSurface(s, pw, ph, {sx[i], sy[j], sx[i + 1] - sx[i], sy[j + 1] - sy[j]},
                  {dx[i], dy[j], dx[i + 1] - dx[i], dy[j + 1] - dy[j]});
}

void Compositor::drawViewContent(View& view, const View::Geometry& g) {
  const Rect& b = g.bounds;
  int pw = static_cast<int>(std::ceil(b.width * scale_)), ph = static_cast<int>(std::ceil(b.height * scale_));
  if (pw <= 0 || ph <= 0) return;
  if (view.needsDisplay_ || !view.content_ || view.content_->pixelWidth() != pw || view.content_->pixelHeight() != ph) {
    gfx::Context ctx(pw, ph, scale_, gfx::Origin::TopLeft);
    ctx.translate(-b.x, -b.y);
    view.drawRect(ctx, b);
    view.content_ = std::make_shared<const gfx::Image>(ctx.makeImage(true));
    view.needsDisplay_ = false;
  }
  drawImage(view.content_, b);
}

void Compositor::drawTransitionOverlay(const View& v, const View::Geometry& g) {
  const Animator::Transition* t = Animator::shared().transitionFor(&v);
  if (!t) return;
  const gfx::Image& snap = Animator::transitionSnapshot(*t);
  if (snap.empty()) return;
  float p = Animator::transitionProgress(*t, Animator::shared().now());
  cairo_surface_t* s = surfaceFromImage(snap);
  if (!s) return;
  const Rect& b = g.bounds;
  float pw = float(snap.pixelWidth()), ph = float(snap.pixelHeight());
  AnimationTransition kind = Animator::transitionKind(*t);
  if (kind == AnimationTransition::CurlUp || kind == AnimationTransition::CurlDown) {
    bool up = kind == AnimationTransition::CurlUp;
    // The old page keeps the part not yet lifted; the lifted part shows its
    // pale back as a band along the fold.
    float keep = b.height * (1 - p);
    float band = std::min(b.height - keep, b.height * 0.25f * std::sin(std::numbers::pi_v<float> * p) + 2);
    if (up) {
      float srcH = ph * (1 - p);
      drawSurface(s, int(pw), int(ph), {0, 0, pw, srcH}, {b.x, b.y, b.width, keep});
      cairo_pattern_t* grad = cairo_pattern_create_linear(0, b.y + keep, 0, b.y + keep + band);
      cairo_pattern_add_color_stop_rgba(grad, 0, 0.96, 0.96, 0.94, 0.95);
      cairo_pattern_add_color_stop_rgba(grad, 1, 0.75, 0.75, 0.72, 0.6);
      cairo_set_source(cr_, grad);
      cairo_rectangle(cr_, b.x, b.y + keep, b.width, band);
      cairo_fill(cr_);
      cairo_pattern_destroy(grad);
    } else {
      float top = b.height - keep;
      drawSurface(s, int(pw), int(ph), {0, ph * p, pw, ph * (1 - p)}, {b.x, b.y + top, b.width, keep});
      cairo_pattern_t* grad = cairo_pattern_create_linear(0, b.y + top, 0, b.y + top - band);
      cairo_pattern_add_color_stop_rgba(grad, 0, 0.96, 0.96, 0.94, 0.95);
      cairo_pattern_add_color_stop_rgba(grad, 1, 0.75, 0.75, 0.72, 0.6);
      cairo_set_source(cr_, grad);
      cairo_rectangle(cr_, b.x, b.y + top - band, b.width, band);
      cairo_fill(cr_);
      cairo_pattern_destroy(grad);
    }
  } else {
    // Flips stand in as a cross-fade of the old picture.
    cairo_push_group(cr_);
    drawSurface(s, int(pw), int(ph), {0, 0, pw, ph}, b);
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, 1 - p);
  }
  cairo_surface_destroy(s);
}

}  // namespace ui
