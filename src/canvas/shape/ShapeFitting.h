#pragma once
// Reference shapes fitted to a closed stroke: the smallest enclosing
// rectangle and the largest triangle and quadrangle with vertices on it.
#include <cstddef>
#include <span>

#include "canvas/shape/ShapeRecord.h"

namespace shape {

// The largest-polygon fits look at every pair of points. Their climbs pass
// over provably rising stretches in a few steps, and the quadrangle fit skips
// the pairs whose area provably cannot win, but the pairs alone make the cost
// grow with the square of the count: on a perfectly smooth outline about
// 45 ms at this many points and 0.2 s at twice as many, and a fast scribble
// densified past it costs as much. A longer closed stroke is left to the
// corner finder rather than stall touch-up.
inline constexpr std::size_t kMaxFittedPoints = 1200;

struct FittedRectangle {
  ShapePoint corners[4];  // P1..P4 in order around the rectangle
  double angle = 0;       // radians, 0 .. 89 degrees
};
FittedRectangle FitMinimumRectangle(std::span<const ShapePoint> points);

struct FittedTriangle {
  ShapePoint vertices[3];  // base start, base end, apex
  double area = 0;
};
FittedTriangle FitLargestTriangle(std::span<const ShapePoint> points);

struct FittedQuadrangle {
  ShapePoint vertices[4];  // diagonal start, diagonal end, far apex, near apex
  double area = 0;
};
FittedQuadrangle FitLargestQuadrangle(std::span<const ShapePoint> points);

// Drops a tail that overshoots the start of a closed stroke: among the last
// `window` points, the one nearest the first point ends the stroke. Returns
// the new count.
int TrimClosedTail(std::span<const ShapePoint> points, int limit, int window);

}  // namespace shape
