// The regularising steps: exact right angles and isosceles triangles, and
// snapping nearly axis-parallel sides onto the axes.
#include <cmath>
#include <optional>

#include "canvas/shape/ShapeClassification.h"
#include "canvas/shape/ShapeGeometry.h"

namespace shape {

namespace {

constexpr float kAxisTolerance = 5;

bool nearHorizontal(float slope) { return std::fabs(slope) < kAxisTolerance; }
bool nearVertical(float slope) { return std::fabs(std::fabs(slope) - 90) < kAxisTolerance; }

// Slope of p1p2 for the triangle corrections: a vertical side counts as flat.
float slopeOrFlat(ShapePoint p1, ShapePoint p2) {
  return p1.x == p2.x ? 0.0f : (p2.y - p1.y) / (p2.x - p1.x);
}

// Where the line PQ meets the line through R perpendicular to RQ: moving P
// there makes the angle at R exactly right. None when the lines are parallel.
std::optional<ShapePoint> rightAngleCorrection(ShapePoint r, ShapePoint p, ShapePoint q) {
  const float m1 = slopeOrFlat(q, p);
  if (r.y == q.y) return ShapePoint{r.x, q.y + m1 * (r.x - q.x)};
  const float m2 = -(q.x - r.x) / (q.y - r.y);
  if (m1 == m2) return std::nullopt;
  const float x = (r.y - q.y + m1 * q.x - m2 * r.x) / (m1 - m2);
  return ShapePoint{x, q.y + m1 * (x - q.x)};
}

// Foot of p on the line through origin with the slope of the side origin->other.
ShapePoint footOn(ShapePoint p, ShapePoint origin, ShapePoint other) {
  const float m = slopeOrFlat(origin, other);
  const float t = ((p.x - origin.x) + m * (p.y - origin.y)) / (1 + m * m);
  return {origin.x + t, origin.y + m * t};
}

ShapePoint reflect(ShapePoint p, ShapePoint through) {
  return {2 * through.x - p.x, 2 * through.y - p.y};
}

// Replaces target by candidate when the move is at most limit.
void moveIfClose(ShapePoint& target, std::optional<ShapePoint> candidate, double limit) {
  if (candidate && DistanceBetweenPoints(target, *candidate) <= limit) target = *candidate;
}

// Places p on the given side of origin at distance length along one axis.
float along(float origin, float old, double length) {
  return static_cast<float>(old >= origin ? origin + length : origin - length);
}

}  // namespace

TrianglePoints ClassifyTriangle(ShapePoint a, ShapePoint b, ShapePoint c) {
  const float ea = std::fabs(InteriorAngle(b, a, c) - 90);
  const float eb = std::fabs(InteriorAngle(a, b, c) - 90);
  const float ec = std::fabs(InteriorAngle(a, c, b) - 90);
  if (ea < 15 || eb < 15 || ec < 15) {
    constexpr double kMaxRightAngleMove = 30;
    if (ea < eb && ea < ec) {
      moveIfClose(b, rightAngleCorrection(a, b, c), kMaxRightAngleMove);
      return {a, b, c};
    }
    if (eb < ea && eb < ec) {
      moveIfClose(a, rightAngleCorrection(b, a, c), kMaxRightAngleMove);
      return {a, b, c};
    }
    if (ec < ea && ec < eb) {
      moveIfClose(a, rightAngleCorrection(c, a, b), kMaxRightAngleMove);
      return {a, b, c};
    }
  }

  const double ab = DistanceBetweenPoints(a, b), bc = DistanceBetweenPoints(b, c);
  const double ca = DistanceBetweenPoints(c, a);
  constexpr double kMaxIsoscelesMove = 20;
  if (std::fabs(ab - bc) < 15)
    moveIfClose(c, reflect(a, footOn(b, a, c)), kMaxIsoscelesMove);
  else if (std::fabs(bc - ca) < 15)
    moveIfClose(b, reflect(a, footOn(c, a, b)), kMaxIsoscelesMove);
  else if (std::fabs(ab - ca) < 15)
    moveIfClose(c, reflect(b, footOn(a, b, c)), kMaxIsoscelesMove);
  return {a, b, c};
}

TrianglePoints SnapTriangleToAxes(ShapePoint a, ShapePoint b, ShapePoint c) {
  const float slopeAB = SlopeAngle(a, b), slopeAC = SlopeAngle(a, c), slopeBC = SlopeAngle(b, c);
  if (nearHorizontal(slopeAB))
    b.y = a.y;
  else if (nearVertical(slopeAB))
    b.x = a.x;
  if (nearHorizontal(slopeAC))
    c.y = a.y;
  else if (nearVertical(slopeAC))
    c.x = a.x;
  if (nearHorizontal(slopeBC))
    c.y = b.y;
  else if (nearVertical(slopeBC))
    c.x = b.x;
  return {a, b, c};
}

LinePoints SnapLineToAxis(ShapePoint start, ShapePoint end) {
  const float slope = SlopeAngle(start, end);
  if (nearHorizontal(slope)) end.y = start.y;
  if (nearVertical(slope)) end.x = start.x;
  return {start, end};
}

QuadPoints AdjustRectangle(const QuadPoints& in) {
  const ShapePoint p2 = in.p[1], p3 = in.p[2], p4 = in.p[3];
  const float slope23 = SlopeAngle(p2, p3), slope34 = SlopeAngle(p3, p4);
  const double l23 = DistanceBetweenPoints(p2, p3), l34 = DistanceBetweenPoints(p3, p4);
  ShapePoint n2 = p2, n4 = p4;
  ShapePoint horizontal, vertical;  // the new neighbours of P3 along each axis
  if (nearHorizontal(slope34)) {
    n4 = {along(p3.x, p4.x, l34), p3.y};
    n2 = {p3.x, along(p3.y, p2.y, l23)};
    horizontal = n4, vertical = n2;
  } else if (nearVertical(slope34)) {
    n4 = {p3.x, along(p3.y, p4.y, l34)};
    n2 = {along(p3.x, p2.x, l23), p3.y};
    horizontal = n2, vertical = n4;
  } else if (nearHorizontal(slope23)) {
    n2 = {along(p3.x, p2.x, l23), p3.y};
    n4 = {p3.x, along(p3.y, p4.y, l34)};
    horizontal = n2, vertical = n4;
  } else if (nearVertical(slope23)) {
    n2 = {p3.x, along(p3.y, p2.y, l23)};
    n4 = {along(p3.x, p4.x, l34), p3.y};
    horizontal = n4, vertical = n2;
  } else {
    return in;
  }
  return {{{horizontal.x, vertical.y}, n2, p3, n4}};
}

QuadPoints AdjustParallelogram(const QuadPoints& in) {
  QuadPoints out = in;
  ShapePoint& p1 = out.p[0];
  ShapePoint& p2 = out.p[1];
  const ShapePoint p3 = out.p[2];
  ShapePoint& p4 = out.p[3];
  if (nearHorizontal(SlopeAngle(p3, p4))) {
    p4 = {along(p3.x, p4.x, DistanceBetweenPoints(p3, p4)), p3.y};
    p1 = {p2.x + (p4.x - p3.x), p2.y};
  } else if (nearHorizontal(SlopeAngle(p2, p3))) {
    p2 = {along(p3.x, p2.x, DistanceBetweenPoints(p2, p3)), p3.y};
    p1 = {p4.x + (p2.x - p3.x), p4.y};
  }
  return out;
}

}  // namespace shape
