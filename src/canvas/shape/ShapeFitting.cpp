#include "canvas/shape/ShapeFitting.h"

#include <cmath>

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

namespace {

// Distance from a base line p[i]p[j] with the integer line coefficients the
// fits have always used; they make the areas coarse but reproducible.
class BaseLine {
 public:
  BaseLine(ShapePoint pi, ShapePoint pj) {
    const float dx = pi.x - pj.x, dy = pi.y - pj.y;
    a_ = std::trunc(static_cast<double>(dy));
    b_ = std::trunc(static_cast<double>(-dx));
    c_ = std::trunc(static_cast<double>(dx * pi.y - pi.x * dy));
    norm_ = std::sqrt(a_ * a_ + b_ * b_);
  }
  bool degenerate() const { return a_ == 0 && b_ == 0; }
  // The distance times the line's norm: climbs compare these, which orders
  // points as the distances do without a division per point.
  double scaledDistance(ShapePoint q) const {
    const float value = static_cast<float>(a_) * q.x + static_cast<float>(b_) * q.y + static_cast<float>(c_);
    return std::fabs(std::trunc(static_cast<double>(value)));
  }
  double norm() const { return norm_; }

 private:
  double a_, b_, c_, norm_;
};

struct Climb {
  int apex;
  double distance;
};

// Walks from start while the distance does not drop; stops before bound.
Climb climb(std::span<const ShapePoint> p, const BaseLine& line, int start, int bound) {
  Climb r{start, 0};
  for (int k = start; k < bound; ++k) {
    const double d = line.scaledDistance(p[k]);
    if (d < r.distance) break;
    r.distance = d;
    r.apex = k;
  }
  r.distance /= line.norm();
  return r;
}

}  // namespace

FittedTriangle FitLargestTriangle(std::span<const ShapePoint> p) {
  FittedTriangle best;
  const int n = static_cast<int>(p.size());
  for (int i = 0; i + 1 < n; ++i) {
    int farStart = i + 1, nearStart = i + 1;
    for (int j = i + 1; j < n; ++j) {
      const BaseLine line(p[i], p[j]);
      if (line.degenerate()) continue;
      const Climb far = climb(p, line, farStart, n);
      const Climb near = climb(p, line, nearStart, j);
      farStart = far.apex;
      nearStart = near.apex;
      const Climb& apex = near.distance > far.distance ? near : far;
      const double area = DistanceBetweenPoints(p[i], p[j]) * apex.distance * 0.5;
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
  for (int i = 0; i + 1 < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const BaseLine line(p[i], p[j]);
      if (line.degenerate()) continue;
      const Climb far = climb(p, line, j + 1, n);
      const Climb near = climb(p, line, i + 1, j);
      const double diagonal = DistanceBetweenPoints(p[i], p[j]);
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
