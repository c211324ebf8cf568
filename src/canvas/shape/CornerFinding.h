#pragma once
// Finds the corners of a prepared stroke (where its direction changes) and
// turns the stroke into a line or a polyline through them.
#include <span>
#include <vector>

#include "canvas/shape/ShapeRecord.h"

namespace shape {

// Direction of the stroke at point i, degrees in 0..180, from a least-squares
// line through up to two neighbours on each side.
double TangentAngleAt(std::span<const ShapePoint> points, int i);

struct CurvatureMeans {
  // Means of the positive and negative curvatures; +inf and -inf when a side
  // has no values, so that no point qualifies against it.
  float positive;
  float negative;
};
// Fills curvature (one entry per point, ends 0) and returns its means.
CurvatureMeans CurvatureProfile(std::span<const ShapePoint> points, std::vector<double>& curvature);

// Fills lengths (length of the step into each point, ends 1000) and returns
// the mean step length.
double SegmentLengths(std::span<const ShapePoint> points, std::vector<double>& lengths);

// Index 0, the points of strong curvature, then the last index.
std::vector<int> CurvatureCorners(float factor, float divisor, std::span<const ShapePoint> points);
// Interior points where the stroke turns by more than 15 degrees.
std::vector<int> TurningAngleCorners(std::span<const ShapePoint> points);
// Union of two ascending index lists, ascending, without repeats.
std::vector<int> MergeIndexLists(std::span<const int> a, std::span<const int> b);
// Drops candidates too close to their predecessor or on a straight run.
std::vector<int> FilterCorners(std::span<const ShapePoint> points, std::span<const int> candidates,
                               double minDistance, double minAngle);

// Fewer than two corners: not recognised; two: a line from the first to the
// last point; more: a polyline through them, closed when the ends meet.
ShapeRecord FindInflexionPoints(std::span<const ShapePoint> points);

}  // namespace shape
