#pragma once
// The shape recogniser's answer: which clean shape a stroke was taken for and
// its regularised geometry, ready for the brush canvas to draw.
#include <cstdint>
#include <memory>
#include <span>

// A stroke point in the canvas's view points, single precision.
struct ShapePoint {
  float x = 0;
  float y = 0;
  bool operator==(const ShapePoint&) const = default;
};

// Shape kinds as stored in ShapeRecord::type.
enum ShapeType : std::int32_t {
  kShapeLine = 0,
  kShapeTriangle = 1,
  kShapeRectangle = 2,
  kShapeCircle = 3,
  kShapeEllipse = 4,
  kShapeDiamond = 5,  // a quadrangle that is neither rectangle nor parallelogram
  kShapePolyline = 6,
  kShapeUnused = 7,   // declared kind that nothing produces
  kShapeArrow = 8,
  kShapeParallelogram = 9,
  kShapeNone = 10,    // not recognised; the output carries nothing
};

struct ShapeRecord {
  std::int32_t type = kShapeNone;

  // Which member is meaningful depends on type (see ShapeType).
  union Output {
    struct {
      ShapePoint points[2];  // start, end
    } line;
    struct {
      ShapePoint points[3];
    } triangle;
    struct {
      ShapePoint center;
      std::int32_t radius;  // truncated toward zero
    } circle;
    struct {
      float width;   // full length of the fitted rectangle's first side
      float height;  // full length of its second side
      ShapePoint center;
      double angle;  // radians
    } ellipse;
    struct {
      ShapePoint corners[4];  // in order around the outline
      double angle;           // radians
    } rectangle;
    struct {
      const ShapePoint* points;  // into ShapeRecord::polylineStorage
      std::int32_t count;
    } polyline;
    float unused[6];
    struct {
      ShapePoint points[4];  // in order around the outline (diamond, parallelogram)
    } quadrangle;
    struct {
      ShapePoint points[4];  // tail, head, first head point, second head point
    } arrow;
  } output{};

  // The polyline's vertices. Held here so that copies of a record share the
  // array and nobody has to remember to free it.
  std::shared_ptr<ShapePoint[]> polylineStorage;

  // The vertices the canvas draws for this kind: 2 for a line, 3 for a
  // triangle, 4 for rectangles, quadrangles and arrows, the polyline's own;
  // empty for circles, ellipses and unrecognised strokes.
  std::span<const ShapePoint> vertices() const;

  // Record builders; each sets type and the matching member.
  static ShapeRecord makeLine(ShapePoint start, ShapePoint end);
  static ShapeRecord makeTriangle(ShapePoint a, ShapePoint b, ShapePoint c);
  static ShapeRecord makeRectangle(const ShapePoint (&corners)[4], double angle);
  static ShapeRecord makeCircle(ShapePoint center, std::int32_t radius);
  static ShapeRecord makeEllipse(float width, float height, ShapePoint center, double angle);
  static ShapeRecord makeQuadrangle(std::int32_t type, const ShapePoint (&points)[4]);
  static ShapeRecord makePolyline(std::span<const ShapePoint> points);
  static ShapeRecord makeArrow(ShapePoint tail, ShapePoint head, ShapePoint wing1, ShapePoint wing2);
};
