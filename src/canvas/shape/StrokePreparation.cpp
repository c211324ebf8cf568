#include "canvas/shape/StrokePreparation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "canvas/shape/ShapeFitting.h"
#include "canvas/shape/ShapeGeometry.h"

namespace shape {

namespace {

// Points inserted between a and b: one per 15 units once the gap reaches 16.
std::size_t insertedBetween(ShapePoint a, ShapePoint b) {
  const int d = TruncToInt(DistanceBetweenPoints(a, b));
  return d >= 16 ? static_cast<std::size_t>(d / 15) : 0;
}

bool coordinatesInRange(std::span<const ShapePoint> points) {
  for (const ShapePoint& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    if (std::fabs(p.x) > kMaxCoordinate || std::fabs(p.y) > kMaxCoordinate) return false;
  }
  return true;
}

}  // namespace

bool IsDegenerateStroke(std::span<const ShapePoint> points) {
  if (points.size() < 2) return true;
  const FittedRectangle box = FitMinimumRectangle(points);
  const double side1 = DistanceBetweenPoints(box.corners[0], box.corners[1]);
  const double side2 = DistanceBetweenPoints(box.corners[1], box.corners[2]);
  const double extent = std::max(side1, side2);
  if (extent < kMinShapeExtent) return true;
  if (std::min(side1, side2) >= kMaxRetraceBreadth) return false;
  const ShapePoint from = side1 >= side2 ? box.corners[0] : box.corners[1];
  const ShapePoint to = side1 >= side2 ? box.corners[1] : box.corners[2];
  const double ux = (static_cast<double>(to.x) - from.x) / extent;
  const double uy = (static_cast<double>(to.y) - from.y) / extent;
  double travel = 0;
  for (std::size_t i = 0; i + 1 < points.size(); ++i)
    travel += std::fabs((static_cast<double>(points[i + 1].x) - points[i].x) * ux +
                        (static_cast<double>(points[i + 1].y) - points[i].y) * uy);
  // Drawn once, a line travels its extent along the band; retraced, at least
  // half as much again.
  return travel > 1.5 * extent;
}

bool IsDot(std::span<const ShapePoint> points) {
  if (points.size() < 2) return true;
  const FittedRectangle box = FitMinimumRectangle(points);
  return std::max(DistanceBetweenPoints(box.corners[0], box.corners[1]),
                  DistanceBetweenPoints(box.corners[1], box.corners[2])) < kMaxDotExtent;
}

std::vector<ShapePoint> SubsampleStrokePoints(std::span<const ShapePoint> points, int r) {
  const std::size_t k = r < 10 ? 9 : static_cast<std::size_t>(r - 5);
  std::vector<ShapePoint> out;
  out.reserve(points.size() / k + 2);
  for (std::size_t i = 0; i < points.size(); i += k) out.push_back(points[i]);
  // The last point always ends the list, even when that repeats the last one
  // kept; skipping it when the count is a multiple of k would cut off the
  // stroke's end and open a closed outline.
  if (!points.empty()) out.push_back(points.back());
  return out;
}

std::size_t DensifiedCount(std::span<const ShapePoint> points) {
  if (points.empty()) return 0;
  std::size_t count = points.size();
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    count += insertedBetween(points[i], points[i + 1]);
    // Stop counting once past any sensible size; the caller only compares.
    if (count > kMaxPreparedPoints * 16) return count;
  }
  return count;
}

std::vector<ShapePoint> DensifyStrokePoints(std::span<const ShapePoint> points) {
  std::vector<ShapePoint> out;
  if (points.empty()) return out;
  out.reserve(DensifiedCount(points));
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const ShapePoint a = points[i];
    const ShapePoint b = points[i + 1];
    out.push_back(a);
    const std::size_t q = insertedBetween(a, b);
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float parts = static_cast<float>(q + 1);
    for (std::size_t j = 1; j <= q; ++j) {
      const float fj = static_cast<float>(j);
      out.push_back({a.x + fj * dx / parts, a.y + fj * dy / parts});
    }
  }
  out.push_back(points.back());
  return out;
}

std::optional<std::vector<ShapePoint>> PrepareStrokePoints(std::span<const ShapePoint> raw) {
  if (!coordinatesInRange(raw)) return std::nullopt;
  if (raw.empty()) return std::vector<ShapePoint>{};
  const double length = PolygonPerimeter(raw);
  const int n = static_cast<int>(raw.size() > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : raw.size());
  const int r = TruncToInt(length / n);
  std::vector<ShapePoint> thinned;
  std::span<const ShapePoint> source = raw;
  if (r < 18 && n >= 75 && length > 320) {
    thinned = SubsampleStrokePoints(raw, r);
    source = thinned;
  }
  if (DensifiedCount(source) > kMaxPreparedPoints) return std::nullopt;
  return DensifyStrokePoints(source);
}

}  // namespace shape
