// Classification of prepared strokes and the regularising steps that make the
// recognised shapes exact.
#include <gtest/gtest.h>

#include <cmath>

#include "StrokeMaker.h"
#include "canvas/shape/ShapeClassification.h"
#include "canvas/shape/ShapeGeometry.h"
#include "canvas/shape/StrokePreparation.h"

using namespace shape;
using shapetest::StrokeMaker;

namespace {

ShapeRecord classify(const std::vector<ShapePoint>& raw) { return ClassifyShape(*PrepareStrokePoints(raw)); }

double len(ShapePoint a, ShapePoint b) { return DistanceBetweenPoints(a, b); }

constexpr unsigned kSeeds = 8;

// Distance from p to the record's nearest vertex.
double nearestVertex(const ShapeRecord& r, ShapePoint p) {
  double best = 1e9;
  for (ShapePoint v : r.vertices()) best = std::min(best, DistanceBetweenPoints(v, p));
  return best;
}

}  // namespace

TEST(ShapeClassification, ClosedFourSidedStrokes) {
  for (unsigned seed = 1; seed <= kSeeds; ++seed) {
    StrokeMaker m(seed, 1.0f);
    const ShapeRecord rect = classify(m.path({{100, 100}, {260, 100}, {260, 190}, {100, 190}}, 4, true));
    ASSERT_EQ(rect.type, kShapeRectangle) << seed;
    EXPECT_NEAR(len(rect.output.rectangle.corners[0], rect.output.rectangle.corners[1]) *
                    len(rect.output.rectangle.corners[1], rect.output.rectangle.corners[2]),
                160 * 90, 160 * 90 * 0.06);
    EXPECT_EQ(classify(m.path({{100, 100}, {240, 150}, {210, 235}, {70, 185}}, 4, true)).type, kShapeRectangle);
    EXPECT_EQ(classify(m.path({{100, 100}, {200, 100}, {200, 200}, {100, 200}}, 4, true)).type, kShapeRectangle);

    const ShapeRecord para = classify(m.path({{100, 100}, {220, 100}, {270, 180}, {150, 180}}, 4, true));
    ASSERT_EQ(para.type, kShapeParallelogram) << seed;
    const auto v = para.vertices();
    // Rebuilt exact: both pairs of opposite sides are equal vectors.
    EXPECT_NEAR(v[1].x - v[0].x, v[2].x - v[3].x, 1e-3);
    EXPECT_NEAR(v[1].y - v[0].y, v[2].y - v[3].y, 1e-3);

    const ShapeRecord diamond = classify(m.path({{100, 100}, {230, 90}, {250, 220}, {120, 170}}, 4, true));
    ASSERT_EQ(diamond.type, kShapeDiamond) << seed;
    // Thinning keeps every ninth touch point, so a corner can be cut by half
    // of 36 units.
    for (ShapePoint corner : {ShapePoint{100, 100}, {230, 90}, {250, 220}, {120, 170}})
      EXPECT_LT(nearestVertex(diamond, corner), 20) << seed;
  }
}

TEST(ShapeClassification, TrianglesRoundShapesAndLines) {
  for (unsigned seed = 1; seed <= kSeeds; ++seed) {
    StrokeMaker m(seed, 1.0f);
    EXPECT_EQ(classify(m.path({{100, 100}, {250, 100}, {160, 220}}, 4, true)).type, kShapeTriangle) << seed;

    const ShapeRecord circle = classify(m.ellipse({200, 150}, 60, 60, 0, 90));
    ASSERT_EQ(circle.type, kShapeCircle) << seed;
    EXPECT_NEAR(circle.output.circle.center.x, 200, 3);
    EXPECT_NEAR(circle.output.circle.center.y, 150, 3);
    EXPECT_NEAR(circle.output.circle.radius, 60, 3);

    const ShapeRecord ellipse = classify(m.ellipse({200, 150}, 100, 50, 0, 120));
    ASSERT_EQ(ellipse.type, kShapeEllipse) << seed;
    const float w = ellipse.output.ellipse.width, h = ellipse.output.ellipse.height;
    EXPECT_NEAR(std::max(w, h), 200, 6);
    EXPECT_NEAR(std::min(w, h), 100, 6);

    // Axes 105 and 100 are too close for an ellipse: a circle.
    EXPECT_EQ(classify(m.ellipse({200, 150}, 52.5f, 50, 0, 80)).type, kShapeCircle) << seed;

    const ShapeRecord line = classify(m.path({{50, 50}, {300, 120}}, 4));
    ASSERT_EQ(line.type, kShapeLine);
  }
}

TEST(ShapeClassification, FewPoints) {
  EXPECT_EQ(ClassifyShape({}).type, kShapeNone);
  EXPECT_EQ(ClassifyShape(std::vector<ShapePoint>{{7, 7}}).type, kShapeNone);
  // Two to five points are a line whatever they outline.
  const std::vector<ShapePoint> square{{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 1}};
  const ShapeRecord r = ClassifyShape(square);
  ASSERT_EQ(r.type, kShapeLine);
  EXPECT_EQ(r.output.line.points[1], (ShapePoint{0, 1}));
}

TEST(ShapeClassification, GapBetweenEnds) {
  // A circle of radius 60 left open by a chord of 36 is nothing; by 34, a circle.
  const float openFor36 = 360 - 2 * std::asin(18.0f / 60) * 180 / float(M_PI);
  const float openFor34 = 360 - 2 * std::asin(17.0f / 60) * 180 / float(M_PI);
  StrokeMaker exact(1, 0);
  EXPECT_EQ(classify(exact.ellipse({200, 150}, 60, 60, 0, 90, openFor36)).type, kShapeNone);
  EXPECT_EQ(classify(exact.ellipse({200, 150}, 60, 60, 0, 90, openFor34)).type, kShapeCircle);
  // Four-sided shapes need the ends within 25.
  const ShapeRecord open = classify(exact.path({{100, 100}, {200, 100}, {200, 200}, {100, 200}, {100, 130}}, 4));
  EXPECT_NE(open.type, kShapeRectangle);
}

TEST(ShapeRegularisation, RightTriangleCorrection) {
  // The angle at a is 90 + ~5.7 degrees: b moves onto the perpendicular.
  const TrianglePoints fixed = ClassifyTriangle({0, 0}, {100, 10}, {0, 100});
  EXPECT_NEAR(InteriorAngle(fixed.b, fixed.a, fixed.c), 90, 0.01);
  EXPECT_EQ(fixed.a, (ShapePoint{0, 0}));
  EXPECT_EQ(fixed.c, (ShapePoint{0, 100}));
  // A correction longer than 30 is not taken.
  const ShapePoint far{150, 30};
  const TrianglePoints kept = ClassifyTriangle({0, 0}, far, {0, 100});
  EXPECT_EQ(kept.b, far);
}

TEST(ShapeRegularisation, IsoscelesCorrection) {
  // ab and bc differ by less than 15: c is mirrored from a across b's foot.
  const TrianglePoints t = ClassifyTriangle({0, 0}, {50, 120}, {106, 0});
  EXPECT_NEAR(len(t.a, t.b), len(t.b, t.c), 1e-3);
  EXPECT_NEAR(t.c.x, 100, 1e-3);
  // All sides far apart: unchanged.
  const TrianglePoints scalene = ClassifyTriangle({0, 0}, {40, 120}, {200, 0});
  EXPECT_EQ(scalene.c, (ShapePoint{200, 0}));
}

TEST(ShapeRegularisation, AxisSnapping) {
  const TrianglePoints t = SnapTriangleToAxes({0, 0}, {100, 4}, {3, 90});
  EXPECT_EQ(t.b.y, 0);
  EXPECT_EQ(t.c.x, 0);

  const LinePoints flat = SnapLineToAxis({10, 10}, {200, 20});
  EXPECT_EQ(flat.end, (ShapePoint{200, 10}));
  const LinePoints upright = SnapLineToAxis({10, 10}, {14, 200});
  EXPECT_EQ(upright.end, (ShapePoint{10, 200}));
  const LinePoints slanted = SnapLineToAxis({10, 10}, {100, 100});
  EXPECT_EQ(slanted.end, (ShapePoint{100, 100}));
}

TEST(ShapeRegularisation, RectangleRebuiltOnItsThirdCorner) {
  const QuadPoints tilted{{{98, 203}, {203, 198}, {200, 100}, {100, 103}}};
  const QuadPoints r = AdjustRectangle(tilted);
  EXPECT_EQ(r.p[2], tilted.p[2]);
  EXPECT_EQ(r.p[3].y, r.p[2].y);  // P3P4 horizontal, same length, same side
  EXPECT_NEAR(r.p[3].x, 200 - len(tilted.p[2], tilted.p[3]), 1e-3);
  EXPECT_EQ(r.p[1].x, r.p[2].x);
  EXPECT_NEAR(r.p[1].y, 100 + len(tilted.p[1], tilted.p[2]), 1e-3);
  EXPECT_EQ(r.p[0], (ShapePoint{r.p[3].x, r.p[1].y}));

  const QuadPoints turned{{{0, 0}, {70, 70}, {0, 140}, {-70, 70}}};
  const QuadPoints same = AdjustRectangle(turned);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(same.p[i], turned.p[i]);
}

TEST(ShapeRegularisation, ParallelogramWithNearlyHorizontalSide) {
  const QuadPoints in{{{100, 100}, {150, 180}, {270, 183}, {220, 100}}};
  const QuadPoints out = AdjustParallelogram(in);
  // P3P4 is not near horizontal (it is steep); P2P3 is: P2 moves level with P3.
  EXPECT_EQ(out.p[1].y, 183);
  EXPECT_NEAR(out.p[1].x, 270 - len(in.p[1], in.p[2]), 1e-3);
  EXPECT_EQ(out.p[0], (ShapePoint{out.p[3].x + (out.p[1].x - 270), 100}));
}

TEST(ShapeRegularisation, QuadrangleKinds) {
  FittedRectangle rect;
  const ShapePoint box[4] = {{110, 100}, {0, 100}, {0, 0}, {110, 0}};
  std::copy(std::begin(box), std::end(box), rect.corners);
  rect.angle = 0;
  // Right angles, neighbouring sides 10 apart: a square of the mean side.
  const ShapeRecord square = ClassifyQuadrangle({0, 0}, {110, 0}, {110, 100}, {0, 100}, rect);
  ASSERT_EQ(square.type, kShapeRectangle);
  const auto c = square.vertices();
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(len(c[i], c[(i + 1) % 4]), 105, 1e-3);
  EXPECT_NEAR((c[0].x + c[2].x) / 2, 55, 1e-3);
  EXPECT_NEAR((c[0].y + c[2].y) / 2, 50, 1e-3);
  // Right angles with sides 40 apart keep the fitted rectangle.
  const ShapeRecord oblong = ClassifyQuadrangle({0, 0}, {150, 0}, {150, 100}, {0, 100}, rect);
  ASSERT_EQ(oblong.type, kShapeRectangle);
  EXPECT_EQ(oblong.vertices()[0], box[0]);

  const ShapeRecord para = ClassifyQuadrangle({0, 0}, {100, 3}, {140, 80}, {40, 80}, rect);
  ASSERT_EQ(para.type, kShapeParallelogram);
  EXPECT_EQ(para.vertices()[1], (ShapePoint{100, 0}));

  const ShapeRecord diamond = ClassifyQuadrangle({0, 0}, {130, -10}, {150, 120}, {20, 70}, rect);
  EXPECT_EQ(diamond.type, kShapeDiamond);
}
