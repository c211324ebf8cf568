#include "canvas/shape/ShapeRecord.h"

#include <algorithm>

std::span<const ShapePoint> ShapeRecord::vertices() const {
  switch (type) {
    case kShapeLine:
      return output.line.points;
    case kShapeTriangle:
      return output.triangle.points;
    case kShapeRectangle:
      return output.rectangle.corners;
    case kShapeDiamond:
    case kShapeParallelogram:
      return output.quadrangle.points;
    case kShapeArrow:
      return output.arrow.points;
    case kShapePolyline:
      if (output.polyline.points && output.polyline.count > 0)
        return {output.polyline.points, static_cast<std::size_t>(output.polyline.count)};
      return {};
    default:
      return {};
  }
}

ShapeRecord ShapeRecord::makeLine(ShapePoint start, ShapePoint end) {
  ShapeRecord r;
  r.type = kShapeLine;
  r.output.line = {{start, end}};
  return r;
}

ShapeRecord ShapeRecord::makeTriangle(ShapePoint a, ShapePoint b, ShapePoint c) {
  ShapeRecord r;
  r.type = kShapeTriangle;
  r.output.triangle = {{a, b, c}};
  return r;
}

ShapeRecord ShapeRecord::makeRectangle(const ShapePoint (&corners)[4], double angle) {
  ShapeRecord r;
  r.type = kShapeRectangle;
  std::copy(std::begin(corners), std::end(corners), r.output.rectangle.corners);
  r.output.rectangle.angle = angle;
  return r;
}

ShapeRecord ShapeRecord::makeCircle(ShapePoint center, std::int32_t radius) {
  ShapeRecord r;
  r.type = kShapeCircle;
  r.output.circle.center = center;
  r.output.circle.radius = radius;
  return r;
}

ShapeRecord ShapeRecord::makeEllipse(float width, float height, ShapePoint center, double angle) {
  ShapeRecord r;
  r.type = kShapeEllipse;
  r.output.ellipse.width = width;
  r.output.ellipse.height = height;
  r.output.ellipse.center = center;
  r.output.ellipse.angle = angle;
  return r;
}

ShapeRecord ShapeRecord::makeQuadrangle(std::int32_t type, const ShapePoint (&points)[4]) {
  ShapeRecord r;
  r.type = type;
  std::copy(std::begin(points), std::end(points), r.output.quadrangle.points);
  return r;
}

ShapeRecord ShapeRecord::makePolyline(std::span<const ShapePoint> points) {
  ShapeRecord r;
  r.type = kShapePolyline;
  r.polylineStorage = std::make_shared<ShapePoint[]>(points.size());
  std::copy(points.begin(), points.end(), r.polylineStorage.get());
  r.output.polyline.points = r.polylineStorage.get();
  r.output.polyline.count = static_cast<std::int32_t>(points.size());
  return r;
}

ShapeRecord ShapeRecord::makeArrow(ShapePoint tail, ShapePoint head, ShapePoint wing1, ShapePoint wing2) {
  ShapeRecord r;
  r.type = kShapeArrow;
  r.output.arrow = {{tail, head, wing1, wing2}};
  return r;
}
