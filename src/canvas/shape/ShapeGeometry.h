#pragma once
// Measures shared by every stage of the shape recogniser: lengths, areas and
// angles on single-precision point lists, with the recogniser's own pi.
#include <span>

#include "canvas/shape/ShapeRecord.h"

namespace shape {

// The recogniser's thresholds were tuned with this value of pi; keep it.
inline constexpr double kPi = 3.1415926;

double DistanceBetweenPoints(float x1, float y1, float x2, float y2);
inline double DistanceBetweenPoints(ShapePoint a, ShapePoint b) {
  return DistanceBetweenPoints(a.x, a.y, b.x, b.y);
}

// Closed outline: includes the segment from the last point back to the first.
double PolygonPerimeter(std::span<const ShapePoint> points);
double PolygonArea(std::span<const ShapePoint> points);

// Degrees in -90..90; exactly 90 for a vertical segment.
float SlopeAngle(float x1, float y1, float x2, float y2);
inline float SlopeAngle(ShapePoint a, ShapePoint b) { return SlopeAngle(a.x, a.y, b.x, b.y); }

// Degrees at b between a and c; 0 when either arm has no length.
float InteriorAngle(ShapePoint a, ShapePoint b, ShapePoint c);
// Degrees between the directions a1->a2 and b1->b2; 0 for a zero-length one.
float AngleBetweenSegments(ShapePoint a1, ShapePoint a2, ShapePoint b1, ShapePoint b2);

// Degrees turned from u to v with the dot product truncated toward zero first,
// as the corner finders measure it; 0 when either vector has no length.
double TurnAngle(ShapePoint u, ShapePoint v);

// acos in degrees with its argument held to -1..1: rounding can push a cosine
// of nearly parallel vectors just past 1, which would give NaN.
double AcosDegrees(double cosine);

// Truncation toward zero to int that saturates instead of overflowing (huge
// or non-finite inputs); NaN gives 0.
int TruncToInt(double v);

inline ShapePoint operator-(ShapePoint a, ShapePoint b) { return {a.x - b.x, a.y - b.y}; }
inline ShapePoint operator+(ShapePoint a, ShapePoint b) { return {a.x + b.x, a.y + b.y}; }

}  // namespace shape
