#pragma once
// A vector outline (the phone's CGPath): sub-paths of lines and curves, kept as
// plain data so that the canvas and the UI can build and transform it freely.
#include <optional>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace gfx {

enum class FillRule { Winding, EvenOdd };

class Path {
 public:
  enum class Op { MoveTo, LineTo, QuadTo, CurveTo, Close };
  struct Element {
    Op op;
    Point pts[3];  // MoveTo/LineTo use pts[0]; QuadTo pts[0..1]; CurveTo pts[0..2]
  };

  void moveTo(Point p);
  // Without a current point these start a sub-path at p instead.
  void lineTo(Point p);
  void quadTo(Point control, Point end);
  void curveTo(Point control1, Point control2, Point end);
  void close();

  void addRect(const Rect& r);
  // Corner radius cut to half the shorter side; a radius <= 0 gives a plain rect.
  void addRoundedRect(const Rect& r, float radius);
  void addEllipse(const Rect& r);
  // A sub-path through the points in order; closed adds the closing segment.
  void addLines(const std::vector<Point>& points, bool closed = false);

  bool empty() const { return elements_.empty(); }
  const std::vector<Element>& elements() const { return elements_; }
  std::optional<Point> currentPoint() const;
  Path transformed(const AffineTransform& t) const;
  // Bounds of every point, control points included (CGPathGetBoundingBox); the
  // zero rect for an empty path.
  Rect bounds() const;
  // Whether the point lies inside the filled outline.
  bool contains(Point p, FillRule rule = FillRule::Winding) const;

 private:
  std::vector<Element> elements_;
  std::optional<Point> current_;
  std::optional<Point> subpathStart_;
};

}  // namespace gfx
