#include "canvas/shape/ShapeFitting.h"

#include <cmath>
#include <optional>

#include "canvas/shape/BaseLineClimb.h"
#include "canvas/shape/ReachBound.h"
#include "canvas/shape/ShapeGeometry.h"

namespace shape {

FittedRectangle FitMinimumRectangle(std::span<const ShapePoint> p) {
  FittedRectangle result;
  if (p.empty()) return result;
  std::size_t ref = 0;
  for (std::size_t i = 1; i < p.size(); ++i)
    if (p[i].y < p[ref].y) ref = i;
  const ShapePoint origin = p[ref];

  struct Extent {
    float minU, maxU, minV, maxV;
  };
  auto extentAt = [&](int degrees) {
    const float a = static_cast<float>(degrees * kPi / 180.0);
    const float s = std::sin(a), c = std::cos(a);
    Extent e{32767, 0, 32767, 0};
    for (const ShapePoint& q : p) {
      const float dx = q.x - origin.x, dy = q.y - origin.y;
      const float u = s * dx + c * dy;
      const float v = c * dx - s * dy;
      e.minU = std::min(e.minU, u);
      e.maxU = std::max(e.maxU, u);
      e.minV = std::min(e.minV, v);
      e.maxV = std::max(e.maxV, v);
    }
    return e;
  };

  // Areas are compared against the recogniser's starting bound; a stroke too
  // large to beat it at any angle keeps the upright box.
  float bestArea = 8388607;
  int bestAngle = 0;
  Extent best = extentAt(0);
  for (int degrees = 0; degrees < 90; ++degrees) {
    const Extent e = extentAt(degrees);
    const float area = (e.maxU - e.minU) * (e.maxV - e.minV);
    if (area < bestArea) {
      bestArea = area;
      bestAngle = degrees;
      best = e;
    }
  }

  const double a = static_cast<float>(bestAngle * kPi / 180.0);
  const double s = std::sin(static_cast<float>(a)), c = std::cos(static_cast<float>(a));
  const double x0 = origin.x, y0 = origin.y;
  auto corner = [&](float u, float v) {
    return ShapePoint{static_cast<float>(x0 + u * s + v * c), static_cast<float>(y0 + u * c - v * s)};
  };
  result.corners[0] = corner(best.maxU, best.maxV);
  result.corners[1] = corner(best.maxU, best.minV);
  result.corners[2] = corner(best.minU, best.minV);
  result.corners[3] = corner(best.minU, best.maxV);
  result.angle = bestAngle * kPi / 180.0;
  return result;
}

FittedTriangle FitLargestTriangle(std::span<const ShapePoint> p) {
  FittedTriangle best;
  const int n = static_cast<int>(p.size());
  // Each scan resumes where it stopped for the previous base end, so the
  // walks stay short without an index.
  for (int i = 0; i + 1 < n; ++i) {
    int farStart = i + 1, nearStart = i + 1;
    for (int j = i + 1; j < n; ++j) {
      const BaseLine line(p[i], p[j]);
      if (line.degenerate()) continue;
      const Climb far = ClimbScaled(p, line, farStart, n);
      const Climb near = ClimbScaled(p, line, nearStart, j);
      farStart = far.apex;
      nearStart = near.apex;
      // Compared before dividing by the norm: one division instead of two,
      // the same choice. Most areas are measured only roughly, enough to see
      // that they do not beat the best.
      const Climb& apex = near.distance > far.distance ? near : far;
      if (!AreaMayExceed(p[i], p[j], apex.distance, line, best.area)) continue;
      const double area = DistanceBetweenPoints(p[i], p[j]) * (apex.distance / line.norm()) * 0.5;
      if (area > best.area) {
        best.area = area;
        best.vertices[0] = p[i];
        best.vertices[1] = p[j];
        best.vertices[2] = p[apex.apex];
      }
    }
  }
  return best;
}

FittedQuadrangle FitLargestQuadrangle(std::span<const ShapePoint> p) {
  FittedQuadrangle best;
  const int n = static_cast<int>(p.size());
  // Every climb starts afresh from the diagonal's ends: the index saves them
  // from walking round the whole outline. A diagonal is not climbed from at
  // all when the reach of the points either climb could visit bounds its area
  // to no more than the best: only a strictly larger area would replace it.
  const ClimbIndex index(p);
  const ReachBound bound(p);
  // Its table costs about what climbing a few thousand diagonals does: it is
  // built only for outlines round enough to let that many through.
  std::optional<FineReachBound> fine;
  constexpr int kPassedBeforeFineBound = 4000;
  int passed = 0;
  for (int i = 0; i + 1 < n; ++i) {
    Reach between;  // of the points i+1 .. j-1, where the near climb runs
    for (int j = i + 1; j < n; ++j) {
      if (j > i + 1) between.include(p[j - 1]);
      const BaseLine line(p[i], p[j]);
      if (line.degenerate()) continue;
      if (!bound.mayExceed(line, p[i], p[j], between, j + 1, best.area)) continue;
      if (!fine && bound.usable() && ++passed > kPassedBeforeFineBound) fine.emplace(p);
      if (fine && !fine->mayExceed(line, p[i], p[j], i + 1, j, j + 1, best.area)) continue;
      const double diagonal = DistanceBetweenPoints(p[i], p[j]);
      const Climb far = index.climb(line, j + 1, n);
      const Climb near = index.climb(line, i + 1, j);
      const double area = (diagonal * far.distance + diagonal * near.distance) * 0.5;
      if (area > best.area) {
        best.area = area;
        best.vertices[0] = p[i];
        best.vertices[1] = p[j];
        best.vertices[2] = p[std::min(far.apex, n - 1)];
        best.vertices[3] = p[near.apex];
      }
    }
  }
  return best;
}

int TrimClosedTail(std::span<const ShapePoint> p, int limit, int window) {
  const int n = static_cast<int>(p.size());
  if (n == 0) return 0;
  double current = DistanceBetweenPoints(p.front(), p.back());
  if (!(current < limit) || window <= 1) return n;
  int end = n - 1;
  for (int k = std::max(0, n - window); k <= n - 2; ++k) {
    const double d = DistanceBetweenPoints(p.front(), p[k]);
    if (d <= current) {
      end = k;
      current = d;
    }
  }
  return end + 1;
}

}  // namespace shape
