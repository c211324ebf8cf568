#include "canvas/shape/ShapeGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace shape {

double DistanceBetweenPoints(float x1, float y1, float x2, float y2) {
  const double dx = static_cast<double>(x1) - x2;
  const double dy = static_cast<double>(y1) - y2;
  return std::sqrt(dx * dx + dy * dy);
}

double PolygonPerimeter(std::span<const ShapePoint> p) {
  if (p.empty()) return 0;
  double sum = 0;
  for (std::size_t i = 0; i + 1 < p.size(); ++i) sum += DistanceBetweenPoints(p[i], p[i + 1]);
  return sum + DistanceBetweenPoints(p.back(), p.front());
}

double PolygonArea(std::span<const ShapePoint> p) {
  if (p.empty()) return 0;
  double sum = 0;
  const std::size_t n = p.size();
  for (std::size_t i = 0; i < n; ++i) {
    const ShapePoint a = p[i];
    const ShapePoint b = p[(i + 1) % n];
    sum += (static_cast<double>(b.x) - a.x) * (static_cast<double>(a.y) + b.y) * 0.5;
  }
  return std::fabs(sum);
}

float SlopeAngle(float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1;
  if (dx == 0) return 90.0f;
  return static_cast<float>(std::atan((y2 - y1) / dx) * 180.0 / kPi);
}

double AcosDegrees(double cosine) {
  return std::acos(std::clamp(cosine, -1.0, 1.0)) * 180.0 / kPi;
}

namespace {
double vectorAngle(ShapePoint u, ShapePoint v) {
  const double lu = std::hypot(static_cast<double>(u.x), static_cast<double>(u.y));
  const double lv = std::hypot(static_cast<double>(v.x), static_cast<double>(v.y));
  if (lu == 0 || lv == 0) return 0;
  const double dot = static_cast<double>(u.x) * v.x + static_cast<double>(u.y) * v.y;
  return AcosDegrees(dot / (lu * lv));
}
}  // namespace

float InteriorAngle(ShapePoint a, ShapePoint b, ShapePoint c) {
  return static_cast<float>(vectorAngle(a - b, c - b));
}

float AngleBetweenSegments(ShapePoint a1, ShapePoint a2, ShapePoint b1, ShapePoint b2) {
  return static_cast<float>(vectorAngle(a2 - a1, b2 - b1));
}

double TurnAngle(ShapePoint u, ShapePoint v) {
  const double lu = std::hypot(static_cast<double>(u.x), static_cast<double>(u.y));
  const double lv = std::hypot(static_cast<double>(v.x), static_cast<double>(v.y));
  if (lu == 0 || lv == 0) return 0;
  const float dot = u.x * v.x + u.y * v.y;
  return AcosDegrees(std::trunc(static_cast<double>(dot)) / (lu * lv));
}

int TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace shape
