// The recogniser entry: regularised results, degenerate strokes, the stroke
// history and arrows read across two strokes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "StrokeMaker.h"
#include "canvas/shape/ShapeGeometry.h"
#include "canvas/shape/StrokeHistory.h"
#include "canvas/shape/StrokePreparation.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"

using shapetest::RecogniserTest;
using shapetest::StrokeMaker;

namespace {

const std::vector<ShapePoint> kShaftPath{{50, 150}, {300, 150}};

std::vector<ShapePoint> shaft(StrokeMaker& m) { return m.path(kShaftPath, 3); }

// A quick flick: sparse touch points, as a short fast stroke gives. Dense
// jittered points would hide its corner among jitter corners.
std::vector<ShapePoint> vee(StrokeMaker& m, ShapePoint tip, float dx) {
  return m.path({{tip.x + dx, tip.y + 22}, tip, {tip.x + dx, tip.y - 22}}, 5);
}

void expectArrow(const ShapeRecord& r, ShapePoint tail, ShapePoint head) {
  ASSERT_EQ(r.type, kShapeArrow);
  const auto v = r.vertices();
  EXPECT_NEAR(v[0].x, tail.x, 2);
  EXPECT_NEAR(v[0].y, tail.y, 2);
  EXPECT_NEAR(v[1].x, head.x, 2);
  EXPECT_NEAR(v[1].y, head.y, 2);
  // The head points straddle the shaft, symmetric about it, near the head.
  const ShapePoint mid{(v[2].x + v[3].x) / 2, (v[2].y + v[3].y) / 2};
  EXPECT_NEAR(shape::DistanceBetweenPoints(mid, v[1]), shape::DistanceBetweenPoints(v[0], v[1]) / 12, 1);
  EXPECT_GT(shape::DistanceBetweenPoints(v[2], v[3]), 10);
}

}  // namespace

TEST_F(RecogniserTest, RegularisedShapes) {
  StrokeMaker m(11, 0.5f);
  // A line 3 degrees off horizontal comes back level.
  const ShapeRecord line = Unitily::recogniseWithPoints(m.path({{40, 100}, {240, 110}}, 3));
  ASSERT_EQ(line.type, kShapeLine);
  EXPECT_EQ(line.output.line.points[1].y, line.output.line.points[0].y);

  // A rectangle turned by 2 degrees comes back axis-parallel.
  const ShapeRecord rect =
      Unitily::recogniseWithPoints(m.path({{100, 100}, {260, 105}, {257, 195}, {97, 190}}, 4, true));
  ASSERT_EQ(rect.type, kShapeRectangle);
  const auto c = rect.vertices();
  EXPECT_EQ(c[0].x, c[3].x == c[2].x ? c[1].x : c[3].x);
  for (int i = 0; i < 4; ++i) {
    const ShapePoint a = c[i], b = c[(i + 1) % 4];
    EXPECT_TRUE(a.x == b.x || a.y == b.y) << i;
  }

  // A right triangle with nearly axis-parallel legs comes back exact.
  const ShapeRecord tri = Unitily::recogniseWithPoints(m.path({{100, 100}, {250, 103}, {102, 200}}, 4, true));
  ASSERT_EQ(tri.type, kShapeTriangle);
  int levelSides = 0;
  const auto t = tri.vertices();
  for (int i = 0; i < 3; ++i) levelSides += t[i].x == t[(i + 1) % 3].x || t[i].y == t[(i + 1) % 3].y;
  EXPECT_EQ(levelSides, 2);

  const ShapeRecord para =
      Unitily::recogniseWithPoints(m.path({{100, 100}, {220, 102}, {270, 180}, {150, 180}}, 4, true));
  ASSERT_EQ(para.type, kShapeParallelogram);

  EXPECT_EQ(Unitily::recogniseWithPoints(m.ellipse({200, 150}, 70, 70, 0, 110)).type, kShapeCircle);
  const ShapeRecord ellipse = Unitily::recogniseWithPoints(m.ellipse({200, 150}, 100, 50, 30, 120));
  ASSERT_EQ(ellipse.type, kShapeEllipse);
  EXPECT_NEAR(ellipse.output.ellipse.center.x, 200, 4);
}

TEST_F(RecogniserTest, DegenerateStrokesAreNotRecognised) {
  StrokeMaker m(21, 0.4f);
  const float big = std::numeric_limits<float>::max();
  const std::vector<std::vector<ShapePoint>> strokes{
      {{120, 80}},                                          // one point
      {{120, 80}, {120, 80}},                               // a tap
      m.path({{100, 100}, {100.6f, 100.3f}}, 0.05f),        // a dot
      m.path({{50, 50}, {250, 50}, {50, 50}}, 4),           // back and forth
      m.path({{50, 50}, {90, 60}, {50, 50}, {90, 60}}, 2),  // scribbled back and forth
      {{1e30f, 1e30f}, {-1e30f, 2e30f}, {big, -big}, {3, 4}},
      m.path({{1e6f, 1e6f}, {2e6f, 1e6f}, {2e6f, 2e6f}}, 1e4f),
  };
  for (std::size_t i = 0; i < strokes.size(); ++i)
    EXPECT_EQ(Unitily::recogniseWithPoints(strokes[i]).type, kShapeNone) << i;
}

// Two to five prepared points make a line from the first to the last point,
// whatever their shape and however short; a dot stays nothing.
TEST_F(RecogniserTest, FewPointsAreALineFromFirstToLast) {
  const std::vector<std::vector<ShapePoint>> strokes{
      {{100, 100}, {103, 100}},                                 // three units long
      {{100, 100}, {102, 101}, {104, 100}},                     // a tiny zigzag
      {{50, 50}, {56, 51}, {51, 52}, {56, 53}},                 // back and forth
      {{10, 10}, {11, 12}, {12, 10}, {13, 12}, {14, 13}},       // five points
  };
  for (std::size_t i = 0; i < strokes.size(); ++i) {
    const auto prepared = shape::PrepareStrokePoints(strokes[i]);
    ASSERT_TRUE(prepared && prepared->size() <= 5) << i;
    Unitily::resetHistory();
    const ShapeRecord r = Unitily::recogniseWithPoints(strokes[i]);
    ASSERT_EQ(r.type, kShapeLine) << i;
    EXPECT_EQ(r.output.line.points[0], strokes[i].front()) << i;
  }
  Unitily::resetHistory();
  EXPECT_EQ(Unitily::recogniseWithPoints(std::vector<ShapePoint>{{100, 100}, {100.4f, 100.3f}}).type, kShapeNone);
  EXPECT_EQ(Unitily::recogniseWithPoints(std::vector<ShapePoint>{{100, 100}, {100.5f, 100}, {100.2f, 100.6f}}).type,
            kShapeNone);
}

TEST_F(RecogniserTest, SlowStraightStrokesAreLines) {
  // Many touch points on a short line: the line is decided before any of the
  // costly closed-shape fits, so no point limit may stand in its way.
  std::vector<ShapePoint> slow;
  for (int i = 0; i < 1500; ++i) slow.push_back({50 + i * 0.1f, 100 + i * 0.02f});
  const ShapeRecord line = Unitily::recogniseWithPoints(slow);
  ASSERT_EQ(line.type, kShapeLine);
  EXPECT_NEAR(line.output.line.points[1].x, 199.9f, 0.01);

  // Whole-pixel steps along a diagonal, wobbling back a pixel now and then.
  std::vector<ShapePoint> stepped{{100, 100}};
  for (int i = 0; i < 70; ++i) {
    const ShapePoint p = stepped.back();
    stepped.push_back({p.x + 1, p.y});
    stepped.push_back({p.x + 1, p.y + 1});
    if (i % 12 == 5) {
      stepped.push_back({p.x, p.y + 1});
      stepped.push_back({p.x + 1, p.y + 1});
    }
  }
  const ShapeRecord diagonal = Unitily::recogniseWithPoints(stepped);
  ASSERT_EQ(diagonal.type, kShapeLine);
  EXPECT_EQ(diagonal.output.line.points[0], (ShapePoint{100, 100}));
  EXPECT_EQ(diagonal.output.line.points[1], (ShapePoint{170, 170}));
}

TEST_F(RecogniserTest, RefusedStrokeTakesItsTurnInTheHistory) {
  StrokeMaker m(7, 0.2f);
  ASSERT_EQ(Unitily::recogniseWithPoints(shaft(m)).type, kShapeLine);
  const std::vector<ShapePoint> broken{{300, 150}, {std::nanf(""), 160}, {280, 170}};
  EXPECT_EQ(Unitily::recogniseWithPoints(broken).type, kShapeNone);
  EXPECT_EQ(Unitily::historyCount(), 2);
  // The stroke before the head was no line, so no arrow is made with the
  // shaft drawn earlier.
  EXPECT_EQ(Unitily::recogniseWithPoints(vee(m, {300, 150}, -25)).type, kShapePolyline);
}

TEST_F(RecogniserTest, EmptyStrokeLeavesTheHistoryAlone) {
  StrokeMaker m(2, 0.3f);
  EXPECT_EQ(Unitily::recogniseWithPoints({}).type, kShapeNone);
  EXPECT_EQ(Unitily::historyCount(), 0);
  Unitily::recogniseWithPoints(shaft(m));
  EXPECT_EQ(Unitily::recogniseWithPoints({}).type, kShapeNone);
  EXPECT_EQ(Unitily::historyCount(), 1);
}

TEST_F(RecogniserTest, ArrowHeadDrawnInOneStroke) {
  StrokeMaker m(3, 0.2f);
  ASSERT_EQ(Unitily::recogniseWithPoints(shaft(m)).type, kShapeLine);
  const ShapeRecord atEnd = Unitily::recogniseWithPoints(vee(m, {300, 150}, -25));
  expectArrow(atEnd, {50, 150}, {300, 150});

  ASSERT_EQ(Unitily::recogniseWithPoints(shaft(m)).type, kShapeLine);
  const ShapeRecord atStart = Unitily::recogniseWithPoints(vee(m, {50, 150}, 25));
  expectArrow(atStart, {300, 150}, {50, 150});
}

TEST_F(RecogniserTest, ArrowHeadSideDrawnAsLine) {
  StrokeMaker m(4, 0.2f);
  ASSERT_EQ(Unitily::recogniseWithPoints(shaft(m)).type, kShapeLine);
  // From the shaft's end back at 45 degrees.
  expectArrow(Unitily::recogniseWithPoints(m.path({{300, 150}, {280, 170}}, 3)), {50, 150}, {300, 150});

  // A side leaving the shaft at 90 degrees is no arrow: the line stays a line.
  ASSERT_EQ(Unitily::recogniseWithPoints(shaft(m)).type, kShapeLine);
  EXPECT_EQ(Unitily::recogniseWithPoints(m.path({{300, 150}, {300, 178}}, 3)).type, kShapeLine);
}

TEST_F(RecogniserTest, NoArrowWithoutAPreviousLine) {
  StrokeMaker m(5, 0.2f);
  const auto head = vee(m, {300, 150}, -25);
  // The first stroke after start cannot complete an arrow.
  EXPECT_EQ(Unitily::recogniseWithPoints(head).type, kShapePolyline);
  // A circle is no shaft.
  Unitily::recogniseWithPoints(m.ellipse({200, 150}, 60, 60, 0, 90));
  EXPECT_EQ(Unitily::recogniseWithPoints(head).type, kShapePolyline);
  // A rectangle after a line goes nowhere near arrow detection.
  Unitily::recogniseWithPoints(shaft(m));
  EXPECT_EQ(Unitily::recogniseWithPoints(m.path({{100, 100}, {260, 100}, {260, 190}, {100, 190}}, 4, true)).type,
            kShapeRectangle);
}

TEST_F(RecogniserTest, HistoryIsEmptiedEveryTenthStroke) {
  StrokeMaker m(6, 0.3f);
  for (int i = 1; i <= 9; ++i) {
    const ShapeRecord r = Unitily::recogniseWithPoints(m.path({{40, 100}, {240, 110}}, 3));
    ASSERT_EQ(r.type, kShapeLine);
    EXPECT_EQ(r.output.line.points[0].y, r.output.line.points[1].y) << i;
    EXPECT_EQ(Unitily::historyCount(), i);
  }
  // The tenth line is neither snapped nor kept...
  const ShapeRecord tenth = Unitily::recogniseWithPoints(shaft(m));
  ASSERT_EQ(tenth.type, kShapeLine);
  EXPECT_EQ(Unitily::historyCount(), 0);
  // ...so a head drawn next finds no shaft before it.
  EXPECT_EQ(Unitily::recogniseWithPoints(vee(m, {300, 150}, -25)).type, kShapePolyline);
}

TEST(StrokeHistory, ClearingEmptiesEverySlot) {
  shape::StrokeHistory h;
  for (int i = 0; i < shape::kHistorySlots; ++i) {
    h.strokes[i].assign(5, ShapePoint{1, 2});
    h.types[i] = shape::kHistoryLine;
  }
  h.counter = 7;
  h.clear();
  EXPECT_EQ(h.counter, 0);
  for (int i = 0; i < shape::kHistorySlots; ++i) {
    EXPECT_TRUE(h.strokes[i].empty());
    EXPECT_NE(h.types[i], shape::kHistoryLine);
  }
  EXPECT_EQ(shape::HistoryTypeCode(kShapeLine), 8);
  EXPECT_EQ(shape::HistoryTypeCode(kShapeArrow), 9);
  EXPECT_EQ(shape::HistoryTypeCode(kShapeEllipse), 4);
  EXPECT_EQ(shape::HistoryTypeCode(kShapeParallelogram), -1);
  EXPECT_EQ(shape::HistoryTypeCode(kShapeNone), -1);
}

TEST(ShapeArrow, HeadOfAVerticalShaft) {
  const ShapeRecord r = shape::BuildArrow(240, {100, 0}, {100, 120});
  const auto v = r.vertices();
  // Base at 11/12 of the way; head points 20 below the head, 10 apart.
  EXPECT_FLOAT_EQ(v[2].y, (110 + 100) / 2.0f);
  EXPECT_FLOAT_EQ(v[3].x - v[2].x, 10);
}

TEST(ShapeRecordCopies, PolylineVerticesOutliveTheOriginal) {
  std::vector<ShapePoint> pts{{1, 2}, {3, 4}, {5, 6}};
  ShapeRecord copy;
  {
    const ShapeRecord original = ShapeRecord::makePolyline(pts);
    copy = original;
  }
  ASSERT_EQ(copy.vertices().size(), 3u);
  EXPECT_EQ(copy.vertices()[2], (ShapePoint{5, 6}));
  EXPECT_TRUE(ShapeRecord{}.vertices().empty());
  EXPECT_TRUE(ShapeRecord::makeCircle({1, 1}, 4).vertices().empty());
}

TEST_F(RecogniserTest, PostShapeNotifies) {
  fd::Value received;
  auto& centre = fd::NotificationCenter::defaultCenter();
  const auto id = centre.addObserver(kNeedDrawShapeNotification,
                                     [&](const fd::Notification& n) { received = n.userInfo[kShapePointsKey]; });
  Unitily::postShape(fd::Value("outline"));
  centre.removeObserver(id);
  EXPECT_EQ(received, fd::Value("outline"));
}
