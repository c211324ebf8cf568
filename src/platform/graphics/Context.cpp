#include "platform/graphics/Context.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/graphics/ContextImpl.h"

namespace gfx {

namespace {

constexpr int kMaxPixels = 1 << 27;

cairo_operator_t operatorFor(BlendMode mode) {
  switch (mode) {
    case BlendMode::Copy: return CAIRO_OPERATOR_SOURCE;
    case BlendMode::Multiply: return CAIRO_OPERATOR_MULTIPLY;
    case BlendMode::Clear: return CAIRO_OPERATOR_CLEAR;
    case BlendMode::Normal: break;
  }
  return CAIRO_OPERATOR_OVER;
}

// cairo's GOOD filter is bilinear when enlarging and averages the covered
// pixels when shrinking, so that icons made from full-size pictures do not
// drop thin lines the way plain bilinear sampling does.
cairo_filter_t filterFor(Interpolation i) {
  return i == Interpolation::Nearest ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD;
}

void setFillRule(cairo_t* cr, FillRule rule) {
  cairo_set_fill_rule(cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
}

// Maps user space onto the picture's pixels for a picture of pw x ph pixels
// drawn into r; topAtMinY puts pixel row 0 at r's minimum y, else at its maximum.
cairo_matrix_t patternMatrix(const Rect& r, int pw, int ph, bool topAtMinY) {
  const double sx = pw / static_cast<double>(r.width), sy = ph / static_cast<double>(r.height);
  cairo_matrix_t m;
  if (topAtMinY) cairo_matrix_init(&m, sx, 0, 0, sy, -r.x * sx, -r.y * sy);
  else cairo_matrix_init(&m, sx, 0, 0, -sy, -r.x * sx, (r.y + static_cast<double>(r.height)) * sy);
  return m;
}

}  // namespace

// --- Impl

Context::Impl::~Impl() {
  if (cr) cairo_destroy(cr);
  if (surface) cairo_surface_destroy(surface);
}

void Context::Impl::applyBlend(BlendMode mode) { cairo_set_operator(cr, operatorFor(mode)); }

void Context::Impl::setSource(const Color& c) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, static_cast<double>(c.a) * state.alpha);
  applyBlend(state.blend);
}

std::vector<std::uint8_t> Context::Impl::snapshotTarget() {
  cairo_surface_t* t = cairo_get_group_target(cr);
  cairo_surface_flush(t);
  const unsigned char* data = cairo_image_surface_get_data(t);
  const std::size_t n = static_cast<std::size_t>(cairo_image_surface_get_stride(t)) * cairo_image_surface_get_height(t);
  return std::vector<std::uint8_t>(data, data + n);
}

void Context::Impl::blendBackOutsideMask(const std::vector<std::uint8_t>& before, const MaskLayer& mask) {
  cairo_surface_t* t = cairo_get_group_target(cr);
  cairo_surface_flush(t);
  unsigned char* data = cairo_image_surface_get_data(t);
  const int stride = cairo_image_surface_get_stride(t);
  const int tw = cairo_image_surface_get_width(t), th = cairo_image_surface_get_height(t);
  double ox = 0, oy = 0;
  cairo_surface_get_device_offset(t, &ox, &oy);
  const int dx0 = static_cast<int>(-ox), dy0 = static_cast<int>(-oy);  // device pixel of target pixel (0, 0)
  for (int y = 0; y < th; ++y) {
    const int dy = y + dy0;
    for (int x = 0; x < tw; ++x) {
      const int dx = x + dx0;
      const unsigned m = dx >= 0 && dy >= 0 && dx < width && dy < height
                             ? mask.coverage[static_cast<std::size_t>(dy) * width + dx]
                             : 0u;
      if (m == 255) continue;
      unsigned char* now = data + static_cast<std::size_t>(y) * stride + x * 4;
      const unsigned char* old = before.data() + static_cast<std::size_t>(y) * stride + x * 4;
      for (int k = 0; k < 4; ++k) now[k] = static_cast<unsigned char>((now[k] * m + old[k] * (255 - m) + 127) / 255);
    }
  }
  cairo_surface_mark_dirty(t);
}

// --- construction

Context::Context(int pixelWidth, int pixelHeight, float scale, Origin origin)
    : impl_(std::make_unique<Impl>()), scale_(scale > 0 ? scale : 1.0f), origin_(origin) {
  if (pixelWidth <= 0 || pixelHeight <= 0 || pixelWidth > kMaxPixels / pixelHeight) return;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return;
  }
  impl_->surface = s;
  impl_->cr = cairo_create(s);
  impl_->width = width_ = pixelWidth;
  impl_->height = height_ = pixelHeight;
  if (origin == Origin::BottomLeft) {
    cairo_translate(impl_->cr, 0, pixelHeight);
    cairo_scale(impl_->cr, scale_, -scale_);
  } else {
    cairo_scale(impl_->cr, scale_, scale_);
  }
}

Context Context::withImage(const Image& image, Origin origin) {
  Context ctx(image.pixelWidth(), image.pixelHeight(), image.scale(), origin);
  if (!ctx.valid()) return ctx;
  cairo_surface_t* src = surfaceFromImage(image);
  if (src == nullptr) return ctx;
  cairo_t* cr = cairo_create(ctx.impl_->surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, src, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(src);
  return ctx;
}

Context::~Context() = default;
Context::Context(Context&&) noexcept = default;
Context& Context::operator=(Context&&) noexcept = default;

bool Context::valid() const { return impl_ && impl_->cr != nullptr; }

Image Context::makeImage(bool premultiplied) const {
  if (!valid()) return Image();
  Image img = imageFromSurface(impl_->surface, premultiplied);
  img.setScale(scale_);
  return img;
}

// --- state

void Context::save() {
  if (!valid()) return;
  GraphicsState s = impl_->state;
  s.opensGroup = false;
  impl_->saved.push_back(std::move(s));
  cairo_save(impl_->cr);
}

void Context::restore() {
  if (!valid() || impl_->saved.empty() || impl_->saved.back().opensGroup) return;
  impl_->state = std::move(impl_->saved.back());
  impl_->saved.pop_back();
  cairo_restore(impl_->cr);
}

AffineTransform Context::ctm() const {
  if (!valid()) return {};
  cairo_matrix_t m;
  cairo_get_matrix(impl_->cr, &m);
  return {static_cast<float>(m.xx), static_cast<float>(m.yx), static_cast<float>(m.xy),
          static_cast<float>(m.yy), static_cast<float>(m.x0), static_cast<float>(m.y0)};
}

void Context::concat(const AffineTransform& t) {
  if (!valid()) return;
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  // cairo refuses (and breaks the context on) singular matrices; such a
  // transform would draw nothing anyway, so shrink to nothing instead.
  if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS) {
    clipToRect(Rect{});
    return;
  }
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  cairo_transform(impl_->cr, &m);
}

void Context::translate(float x, float y) { concat(AffineTransform::makeTranslation(x, y)); }
void Context::scaleBy(float sx, float sy) { concat(AffineTransform::makeScale(sx, sy)); }
void Context::rotate(float radians) { concat(AffineTransform::makeRotation(radians)); }

void Context::setAlpha(float alpha) {
  if (valid()) impl_->state.alpha = std::isnan(alpha) ? 0.0f : std::fmin(1.0f, std::fmax(0.0f, alpha));
}
float Context::alpha() const { return valid() ? impl_->state.alpha : 1.0f; }
void Context::setBlendMode(BlendMode mode) { if (valid()) impl_->state.blend = mode; }
void Context::setInterpolation(Interpolation i) { if (valid()) impl_->state.interpolation = i; }
void Context::setAntialias(bool on) {
  if (valid()) cairo_set_antialias(impl_->cr, on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}
void Context::setFillColor(const Color& c) { if (valid()) impl_->state.fill = c; }
void Context::setStrokeColor(const Color& c) { if (valid()) impl_->state.stroke = c; }
void Context::setLineWidth(float width) { if (valid()) cairo_set_line_width(impl_->cr, std::fmax(0.0f, width)); }

void Context::setLineCap(LineCap cap) {
  if (!valid()) return;
  constexpr cairo_line_cap_t kCaps[] = {CAIRO_LINE_CAP_BUTT, CAIRO_LINE_CAP_ROUND, CAIRO_LINE_CAP_SQUARE};
  cairo_set_line_cap(impl_->cr, kCaps[static_cast<int>(cap)]);
}

void Context::setLineJoin(LineJoin join) {
  if (!valid()) return;
  constexpr cairo_line_join_t kJoins[] = {CAIRO_LINE_JOIN_MITER, CAIRO_LINE_JOIN_ROUND, CAIRO_LINE_JOIN_BEVEL};
  cairo_set_line_join(impl_->cr, kJoins[static_cast<int>(join)]);
}

void Context::setLineDash(float phase, const std::vector<float>& lengths) {
  if (!valid()) return;
  std::vector<double> d;
  bool anyPositive = false;
  for (float l : lengths) {
    if (l < 0 || !std::isfinite(l)) return;  // cairo would put the context in an error state
    anyPositive = anyPositive || l > 0;
    d.push_back(l);
  }
  if (!anyPositive) d.clear();
  cairo_set_dash(impl_->cr, d.data(), static_cast<int>(d.size()), phase);
}

// --- clipping

void Context::clipToRect(const Rect& r) {
  if (!valid()) return;
  cairo_new_path(impl_->cr);
  cairo_rectangle(impl_->cr, r.x, r.y, r.width, r.height);
  cairo_clip(impl_->cr);
}

void Context::clipToPath(const Path& p, FillRule rule) {
  if (!valid()) return;
  appendCairoPath(impl_->cr, p);
  setFillRule(impl_->cr, rule);
  cairo_clip(impl_->cr);
}

void Context::clipToMask(const Rect& r, const Image& mask) {
  if (!valid()) return;
  auto layer = std::make_shared<MaskLayer>();
  layer->depth = impl_->groupDepth;
  layer->coverage.assign(static_cast<std::size_t>(width_) * height_, 0);
  cairo_surface_t* src = surfaceFromImage(mask);
  if (src != nullptr && !r.isEmpty()) {
    cairo_surface_t* a8 = cairo_image_surface_create(CAIRO_FORMAT_A8, width_, height_);
    cairo_t* mc = cairo_create(a8);
    cairo_matrix_t ctm;
    cairo_get_matrix(impl_->cr, &ctm);
    cairo_set_matrix(mc, &ctm);
    cairo_rectangle(mc, r.x, r.y, r.width, r.height);
    cairo_clip(mc);
    cairo_pattern_t* pat = cairo_pattern_create_for_surface(src);
    cairo_matrix_t pm = patternMatrix(r, mask.pixelWidth(), mask.pixelHeight(), false);
    cairo_pattern_set_matrix(pat, &pm);
    cairo_pattern_set_extend(pat, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pat, filterFor(impl_->state.interpolation));
    cairo_set_source(mc, pat);
    cairo_paint(mc);
    cairo_pattern_destroy(pat);
    cairo_destroy(mc);
    cairo_surface_flush(a8);
    const unsigned char* data = cairo_image_surface_get_data(a8);
    const int stride = cairo_image_surface_get_stride(a8);
    for (int y = 0; y < height_; ++y)
      std::memcpy(layer->coverage.data() + static_cast<std::size_t>(y) * width_, data + y * stride, width_);
    cairo_surface_destroy(a8);
  }
  if (src) cairo_surface_destroy(src);
  const auto& old = impl_->state.mask;
  if (old && old->depth == layer->depth) {
    for (std::size_t i = 0; i < layer->coverage.size(); ++i)
      layer->coverage[i] = static_cast<std::uint8_t>((layer->coverage[i] * old->coverage[i] + 127) / 255);
  }
  impl_->state.mask = std::move(layer);
}

Rect Context::clipBounds() const {
  if (!valid()) return {};
  double x0, y0, x1, y1;
  cairo_clip_extents(impl_->cr, &x0, &y0, &x1, &y1);
  return {static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1 - x0), static_cast<float>(y1 - y0)};
}

// --- drawing

void Context::clear() {
  if (!valid()) return;
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_reset_clip(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);
}

void Context::clearRect(const Rect& r) {
  if (!valid()) return;
  cairo_t* cr = impl_->cr;
  impl_->draw([&] {
    cairo_new_path(cr);
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
  });
}

void Context::fillRect(const Rect& r) {
  Path p;
  p.addRect(r);
  fillPath(p);
}

void Context::fillPath(const Path& p, FillRule rule) {
  if (!valid() || p.empty()) return;
  cairo_t* cr = impl_->cr;
  impl_->draw([&] {
    appendCairoPath(cr, p);
    setFillRule(cr, rule);
    impl_->setSource(impl_->state.fill);
    cairo_fill(cr);
  });
}

void Context::strokeRect(const Rect& r) {
  Path p;
  p.addRect(r);
  strokePath(p);
}

void Context::strokePath(const Path& p) {
  if (!valid() || p.empty()) return;
  cairo_t* cr = impl_->cr;
  impl_->draw([&] {
    appendCairoPath(cr, p);
    impl_->setSource(impl_->state.stroke);
    cairo_stroke(cr);
  });
}

void Context::strokePolyline(const std::vector<Point>& points, bool closed) {
  if (points.size() < 2) return;
  Path p;
  p.addLines(points, closed);
  strokePath(p);
}

void Context::fillPolygon(const std::vector<Point>& points, FillRule rule) {
  if (points.size() < 3) return;
  Path p;
  p.addLines(points, true);
  fillPath(p, rule);
}

void Context::drawImage(const Image& image, const Rect& r) {
  if (image.orientation() == Orientation::Up) drawImageMapped(image, r, true);
  else drawImageMapped(image.normalizedOrientation(), r, true);
}

void Context::drawImageYUp(const Image& image, const Rect& r) { drawImageMapped(image, r, false); }

void Context::drawImageMapped(const Image& image, const Rect& r, bool topAtMinY) {
  if (!valid() || image.empty() || r.isEmpty() || !std::isfinite(r.width) || !std::isfinite(r.height)) return;
  cairo_surface_t* src = surfaceFromImage(image);
  if (src == nullptr) return;
  cairo_t* cr = impl_->cr;
  cairo_pattern_t* pat = cairo_pattern_create_for_surface(src);
  cairo_matrix_t pm = patternMatrix(r, image.pixelWidth(), image.pixelHeight(), topAtMinY);
  cairo_pattern_set_matrix(pat, &pm);
  // Edge pixels repeat outwards so that a scaled picture keeps crisp, opaque
  // borders; the clip to r keeps the repeat from showing.
  cairo_pattern_set_extend(pat, CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(pat, filterFor(impl_->state.interpolation));
  impl_->draw([&] {
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    cairo_clip(cr);
    cairo_set_source(cr, pat);
    impl_->applyBlend(impl_->state.blend);
    if (impl_->state.alpha >= 1.0f) cairo_paint(cr);
    else cairo_paint_with_alpha(cr, impl_->state.alpha);
    cairo_restore(cr);
  });
  cairo_pattern_destroy(pat);
  cairo_surface_destroy(src);
}

void Context::beginGroup() {
  if (!valid()) return;
  GraphicsState s = impl_->state;
  s.opensGroup = true;
  impl_->saved.push_back(std::move(s));
  ++impl_->groupDepth;
  cairo_push_group(impl_->cr);
}

void Context::endGroup(float groupAlpha) {
  if (!valid() || impl_->groupDepth == 0) return;
  while (!impl_->saved.back().opensGroup) restore();
  cairo_t* cr = impl_->cr;
  cairo_pattern_t* group = cairo_pop_group(cr);
  impl_->state = std::move(impl_->saved.back());
  impl_->state.opensGroup = false;
  impl_->saved.pop_back();
  --impl_->groupDepth;
  const double a = static_cast<double>(impl_->state.alpha) * std::fmin(1.0f, std::fmax(0.0f, groupAlpha));
  impl_->draw([&] {
    cairo_save(cr);
    cairo_set_source(cr, group);
    impl_->applyBlend(impl_->state.blend);
    if (a >= 1.0) cairo_paint(cr);
    else cairo_paint_with_alpha(cr, a);
    cairo_restore(cr);
  });
  cairo_pattern_destroy(group);
}

}  // namespace gfx
