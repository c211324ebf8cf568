#include "platform/graphics/Path.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/ContextImpl.h"

namespace gfx {

namespace {

// Control-point distance that makes a cubic curve a close quarter circle.
constexpr float kQuarterArc = 0.5522847498f;

}  // namespace

void appendCairoPath(cairo_t* cr, const Path& path) {
  cairo_new_path(cr);
  Point last{};
  for (const Path::Element& e : path.elements()) {
    switch (e.op) {
      case Path::Op::MoveTo:
      case Path::Op::LineTo:
        if (e.op == Path::Op::MoveTo) cairo_move_to(cr, e.pts[0].x, e.pts[0].y);
        else cairo_line_to(cr, e.pts[0].x, e.pts[0].y);
        last = e.pts[0];
        break;
      case Path::Op::QuadTo: {
        // cairo draws cubics only: the controls sit 2/3 of the way to the quadratic's control point.
        const Point c = e.pts[0], q = e.pts[1];
        cairo_curve_to(cr, last.x + 2.0 / 3 * (c.x - last.x), last.y + 2.0 / 3 * (c.y - last.y),
                       q.x + 2.0 / 3 * (c.x - q.x), q.y + 2.0 / 3 * (c.y - q.y), q.x, q.y);
        last = q;
        break;
      }
      case Path::Op::CurveTo:
        cairo_curve_to(cr, e.pts[0].x, e.pts[0].y, e.pts[1].x, e.pts[1].y, e.pts[2].x, e.pts[2].y);
        last = e.pts[2];
        break;
      case Path::Op::Close: {
        cairo_close_path(cr);
        double x = 0, y = 0;
        cairo_get_current_point(cr, &x, &y);
        last = {static_cast<float>(x), static_cast<float>(y)};
        break;
      }
    }
  }
}

void Path::moveTo(Point p) {
  elements_.push_back({Op::MoveTo, {p}});
  current_ = subpathStart_ = p;
}

void Path::lineTo(Point p) {
  if (!current_) return moveTo(p);
  elements_.push_back({Op::LineTo, {p}});
  current_ = p;
}

void Path::quadTo(Point control, Point end) {
  if (!current_) moveTo(control);
  elements_.push_back({Op::QuadTo, {control, end}});
  current_ = end;
}

void Path::curveTo(Point control1, Point control2, Point end) {
  if (!current_) moveTo(control1);
  elements_.push_back({Op::CurveTo, {control1, control2, end}});
  current_ = end;
}

void Path::close() {
  if (!current_) return;
  elements_.push_back({Op::Close, {}});
  current_ = subpathStart_;
}

void Path::addRect(const Rect& r) {
  moveTo({r.x, r.y});
  lineTo({r.x + r.width, r.y});
  lineTo({r.x + r.width, r.y + r.height});
  lineTo({r.x, r.y + r.height});
  close();
}

void Path::addRoundedRect(const Rect& rect, float radius) {
  const Rect r = rect.standardized();
  radius = std::min(radius, std::min(r.width, r.height) / 2);
  if (radius <= 0) return addRect(r);
  const float k = radius * kQuarterArc;
  const float x0 = r.x, y0 = r.y, x1 = r.x + r.width, y1 = r.y + r.height;
  moveTo({x0 + radius, y0});
  lineTo({x1 - radius, y0});
  curveTo({x1 - radius + k, y0}, {x1, y0 + radius - k}, {x1, y0 + radius});
  lineTo({x1, y1 - radius});
  curveTo({x1, y1 - radius + k}, {x1 - radius + k, y1}, {x1 - radius, y1});
  lineTo({x0 + radius, y1});
  curveTo({x0 + radius - k, y1}, {x0, y1 - radius + k}, {x0, y1 - radius});
  lineTo({x0, y0 + radius});
  curveTo({x0, y0 + radius - k}, {x0 + radius - k, y0}, {x0 + radius, y0});
  close();
}

void Path::addEllipse(const Rect& rect) {
  const Rect r = rect.standardized();
  const float rx = r.width / 2, ry = r.height / 2, cx = r.x + rx, cy = r.y + ry;
  const float kx = rx * kQuarterArc, ky = ry * kQuarterArc;
  moveTo({cx + rx, cy});
  curveTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
  curveTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
  curveTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
  curveTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
  close();
}

void Path::addLines(const std::vector<Point>& points, bool closed) {
  if (points.empty()) return;
  moveTo(points.front());
  for (std::size_t i = 1; i < points.size(); ++i) lineTo(points[i]);
  if (closed) close();
}

std::optional<Point> Path::currentPoint() const { return current_; }

Path Path::transformed(const AffineTransform& t) const {
  Path out = *this;
  for (Element& e : out.elements_)
    for (Point& p : e.pts) p = t.apply(p);
  if (out.current_) out.current_ = t.apply(*out.current_);
  if (out.subpathStart_) out.subpathStart_ = t.apply(*out.subpathStart_);
  return out;
}

Rect Path::bounds() const {
  bool any = false;
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  constexpr int kPointsOf[] = {1, 1, 2, 3, 0};
  for (const Element& e : elements_) {
    for (int i = 0; i < kPointsOf[static_cast<int>(e.op)]; ++i) {
      const Point p = e.pts[i];
      if (!any) x0 = x1 = p.x, y0 = y1 = p.y, any = true;
      x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
      y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
  }
  return {x0, y0, x1 - x0, y1 - y0};
}

bool Path::contains(Point p, FillRule rule) const {
  if (elements_.empty()) return false;
  // cairo answers from its own fill rasteriser; a 1x1 scratch surface is enough.
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  appendCairoPath(cr, *this);
  cairo_set_fill_rule(cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  const bool inside = cairo_in_fill(cr, p.x, p.y);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return inside;
}

}  // namespace gfx
