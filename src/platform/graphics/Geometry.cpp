#include "platform/graphics/Geometry.h"

#include <algorithm>
#include <cmath>

namespace gfx {

Rect Rect::intersection(const Rect& o) const {
  float x0 = std::max(minX(), o.minX()), y0 = std::max(minY(), o.minY());
  float x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::unionWith(const Rect& o) const {
  if (isEmpty()) return o.standardized();
  if (o.isEmpty()) return standardized();
  float x0 = std::min(minX(), o.minX()), y0 = std::min(minY(), o.minY());
  float x1 = std::max(maxX(), o.maxX()), y1 = std::max(maxY(), o.maxY());
  return {x0, y0, x1 - x0, y1 - y0};
}

AffineTransform AffineTransform::makeRotation(float radians) {
  float s = std::sin(radians), c = std::cos(radians);
  return {c, s, -s, c, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& t) const {
  return {a * t.a + b * t.c,         a * t.b + b * t.d,         c * t.a + d * t.c,
          c * t.b + d * t.d,         tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
}

AffineTransform AffineTransform::inverted() const {
  float det = a * d - b * c;
  if (det == 0 || !std::isfinite(det)) return *this;
  float ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
  return {ia, ib, ic, id, -(tx * ia + ty * ic), -(tx * ib + ty * id)};
}

Rect AffineTransform::apply(const Rect& r) const {
  const Point corners[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                            apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
  float x0 = corners[0].x, x1 = corners[0].x, y0 = corners[0].y, y1 = corners[0].y;
  for (const Point& p : corners) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace gfx
