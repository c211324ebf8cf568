#pragma once
// Decides which clean shape a prepared stroke is (line, triangle, rectangle,
// circle, ellipse, parallelogram or other quadrangle) and regularises it.
#include <span>

#include "canvas/shape/ShapeFitting.h"
#include "canvas/shape/ShapeRecord.h"

namespace shape {

ShapeRecord ClassifyShape(std::span<const ShapePoint> points);

struct TrianglePoints {
  ShapePoint a, b, c;
};
// Makes a nearly right or nearly isosceles triangle exact.
TrianglePoints ClassifyTriangle(ShapePoint a, ShapePoint b, ShapePoint c);
// Makes sides within 5 degrees of an axis exactly horizontal or vertical.
TrianglePoints SnapTriangleToAxes(ShapePoint a, ShapePoint b, ShapePoint c);

// a, b, c, d in order around the quadrangle; rect is the fitted rectangle.
// Gives a rectangle (or square), a parallelogram or a diamond.
ShapeRecord ClassifyQuadrangle(ShapePoint a, ShapePoint b, ShapePoint c, ShapePoint d,
                               const FittedRectangle& rect);

struct LinePoints {
  ShapePoint start, end;
};
LinePoints SnapLineToAxis(ShapePoint start, ShapePoint end);

struct QuadPoints {
  ShapePoint p[4];
};
// Rebuilds a nearly axis-parallel rectangle exactly on its third corner.
QuadPoints AdjustRectangle(const QuadPoints& corners);
// Makes a parallelogram with a nearly horizontal side exactly horizontal.
QuadPoints AdjustParallelogram(const QuadPoints& vertices);

}  // namespace shape
