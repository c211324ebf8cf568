#include "canvas/shape/ShapeClassification.h"

#include <cmath>

#include "canvas/shape/ShapeGeometry.h"

namespace shape {

namespace {

// Ratios of one closed stroke against its fitted reference shapes.
struct Measures {
  double area = 0;            // enclosed area
  double lengthSquaredByArea = 0;
  double triangle = 0;        // |largest triangle - area| / area
  double rectangle = 0;       // |largest quadrangle - area| / area
  double external = 0;        // |area - enclosing rectangle| / area
  double diamond = 0;         // largest quadrangle / area
  double gap = 0;             // between the first and last point
  float side1 = 0, side2 = 0; // enclosing rectangle's sides
};

ShapePoint rectangleCentre(const FittedRectangle& r) {
  return {(r.corners[0].x + r.corners[2].x) / 2, (r.corners[0].y + r.corners[2].y) / 2};
}

ShapeRecord classifyTriangleShape(const FittedTriangle& tri) {
  const TrianglePoints t = ClassifyTriangle(tri.vertices[0], tri.vertices[1], tri.vertices[2]);
  const TrianglePoints s = SnapTriangleToAxes(t.a, t.b, t.c);
  return ShapeRecord::makeTriangle(s.a, s.b, s.c);
}

ShapeRecord rectangleRecord(const FittedRectangle& rect) {
  return ShapeRecord::makeRectangle(rect.corners, rect.angle);
}

ShapeRecord classifyFourSided(const Measures& m, const FittedQuadrangle& quad, const FittedRectangle& rect) {
  // The quadrangle fit lists its diagonal first; this order runs around it.
  auto quadrangle = [&] {
    return ClassifyQuadrangle(quad.vertices[0], quad.vertices[2], quad.vertices[1], quad.vertices[3], rect);
  };
  if (m.external <= 0.1) return rectangleRecord(rect);
  if (m.rectangle <= 0.11) return quadrangle();
  if (m.external <= 0.2) return rectangleRecord(rect);
  if (m.external < 0.5) return quadrangle();
  return {};
}

ShapeRecord classifyRound(const Measures& m, const FittedRectangle& rect) {
  const double q = std::max(m.side1, m.side2) / static_cast<double>(std::min(m.side1, m.side2));
  const double ratio = m.lengthSquaredByArea;
  const ShapePoint centre = rectangleCentre(rect);
  auto circle = [&] {
    return ShapeRecord::makeCircle(centre, TruncToInt((m.side1 + m.side2) * 0.25f));
  };
  auto ellipse = [&]() -> ShapeRecord {
    const double e = m.side1 * kPi * m.side2 * 0.25;
    // Deliberately one-sided: a stroke enclosing less than the ellipse passes.
    if (q > 1.05 && ratio > 13 && (m.area - e) / e < 0.2 && m.diamond < 0.8)
      return ShapeRecord::makeEllipse(m.side1, m.side2, centre, rect.angle);
    return {};
  };
  if (q > 1.1) return ellipse();
  if (ratio <= 13.5) return circle();
  if (ratio <= 15) {
    if (m.diamond >= 0.75) return {};
    const float r = (m.side1 + m.side2) * 0.25f;
    const double miss = std::fabs(std::trunc(m.area - kPi * r * r));
    return miss / m.area < 0.1 ? circle() : ShapeRecord{};
  }
  return ellipse();
}

}  // namespace

ShapeRecord ClassifyShape(std::span<const ShapePoint> p) {
  const int n = static_cast<int>(p.size());
  if (n < 2) return {};
  if (n <= 5) return ShapeRecord::makeLine(p.front(), p.back());

  const float outline = static_cast<float>(PolygonPerimeter(p));
  double length = outline;
  double area = PolygonArea(p);
  const double gap = DistanceBetweenPoints(p.front(), p.back());
  // A stroke enclosing nothing is as thin as it gets: only its spread decides.
  const bool thin = area > 0 ? outline * outline / static_cast<float>(area) > 100 : outline > 0;
  if (thin && gap > 0 && outline / gap <= 2.2) return ShapeRecord::makeLine(p.front(), p.back());

  std::span<const ShapePoint> q = p;
  if (n >= 11) {
    const int end = TrimClosedTail(p, TruncToInt(outline * 0.25), TruncToInt(n * 0.35));
    q = p.first(static_cast<std::size_t>(end));
    length = PolygonPerimeter(q);
    area = PolygonArea(q);
  }

  Measures m;
  m.area = area;
  m.gap = DistanceBetweenPoints(q.front(), q.back());
  if (m.gap > 35 || area < 100) return {};
  if (q.size() > kMaxFittedPoints) return {};

  const FittedRectangle rect = FitMinimumRectangle(q);
  const FittedQuadrangle quad = FitLargestQuadrangle(q);
  const FittedTriangle tri = FitLargestTriangle(q);
  m.side1 = static_cast<float>(DistanceBetweenPoints(rect.corners[0], rect.corners[1]));
  m.side2 = static_cast<float>(DistanceBetweenPoints(rect.corners[1], rect.corners[2]));
  m.lengthSquaredByArea = length * length / area;
  m.triangle = std::fabs(tri.area - area) / area;
  m.rectangle = std::fabs(quad.area - area) / area;
  m.external = std::fabs(area - m.side1 * m.side2) / area;
  m.diamond = quad.area / area;
  if (m.triangle < 0.25 && area > 550 && m.gap < 25 && m.lengthSquaredByArea >= 16.5 &&
      m.lengthSquaredByArea < 40)
    return classifyTriangleShape(tri);
  if (m.rectangle <= 0.15 && m.lengthSquaredByArea < 40 && area > 550 && m.gap < 25)
    return classifyFourSided(m, quad, rect);
  if (m.lengthSquaredByArea < 11 || m.lengthSquaredByArea > 22) return {};
  return classifyRound(m, rect);
}

ShapeRecord ClassifyQuadrangle(ShapePoint a, ShapePoint b, ShapePoint c, ShapePoint d,
                               const FittedRectangle& rect) {
  auto nearRight = [](float degrees) { return std::fabs(degrees - 90) < 15; };
  const double ab = DistanceBetweenPoints(a, b), bc = DistanceBetweenPoints(b, c);
  const double cd = DistanceBetweenPoints(c, d), da = DistanceBetweenPoints(d, a);
  if (nearRight(InteriorAngle(a, b, c)) && nearRight(InteriorAngle(d, a, b)) &&
      nearRight(InteriorAngle(c, d, a)) && nearRight(InteriorAngle(b, c, d))) {
    auto apart = [](double x, double y) { return std::fabs(x - y) >= 20; };
    if (apart(ab, bc) && apart(bc, cd) && apart(cd, da) && apart(da, ab)) return rectangleRecord(rect);
    // Two neighbouring sides nearly equal: a square of the mean side, turned
    // with the fitted rectangle.
    const ShapePoint* P = rect.corners;
    const double side = (DistanceBetweenPoints(P[0], P[1]) + DistanceBetweenPoints(P[1], P[2])) / 2;
    const double mx = (P[0].x + P[2].x) / 2.0, my = (P[0].y + P[2].y) / 2.0;
    const double h = side / 2, co = std::cos(rect.angle), si = std::sin(rect.angle);
    auto pt = [](double x, double y) { return ShapePoint{static_cast<float>(x), static_cast<float>(y)}; };
    const ShapePoint square[4] = {
        pt(mx - h * (co + si), my + h * (si - co)),
        pt(mx + h * (co - si), my - h * (co + si)),
        pt(mx + h * (co + si), my - h * (si - co)),
        pt(mx - h * (co - si), my + h * (co + si)),
    };
    return ShapeRecord::makeRectangle(square, rect.angle);
  }

  auto parallel = [](ShapePoint p1, ShapePoint p2, ShapePoint q1, ShapePoint q2) {
    return std::fabs(SlopeAngle(p1, p2) - SlopeAngle(q1, q2)) < 15;
  };
  auto equal = [](double x, double y) { return std::fabs(x - y) < 5; };
  const bool abcdParallel = parallel(a, b, c, d), bcdaParallel = parallel(b, c, d, a);
  const bool abcdEqual = equal(ab, cd), bcdaEqual = equal(bc, da);
  if ((abcdParallel && abcdEqual) || (bcdaEqual && (bcdaParallel || abcdEqual)) ||
      (abcdParallel && bcdaParallel)) {
    // b is rebuilt from the other three so that the figure is exact.
    const ShapePoint exact[4] = {a, a + (c - d), c, d};
    return ShapeRecord::makeQuadrangle(kShapeParallelogram, exact);
  }
  const ShapePoint drawn[4] = {a, b, c, d};
  return ShapeRecord::makeQuadrangle(kShapeDiamond, drawn);
}

}  // namespace shape
