// Corner finding: stroke directions, candidate lists and the line or polyline
// made from the corners.
#include <gtest/gtest.h>

#include "StrokeMaker.h"
#include "canvas/shape/CornerFinding.h"
#include "canvas/shape/ShapeGeometry.h"
#include "canvas/shape/StrokePreparation.h"

using namespace shape;
using shapetest::StrokeMaker;

TEST(CornerFinding, DirectionAlongStraightRuns) {
  std::vector<ShapePoint> flat, diagonal, upright;
  for (int i = 0; i < 12; ++i) {
    flat.push_back({10.0f + 5 * i, 30});
    diagonal.push_back({10.0f + 5 * i, 10.0f + 5 * i});
    upright.push_back({30, 10.0f + 5 * i});
  }
  for (int i = 1; i < 11; ++i) {
    EXPECT_EQ(TangentAngleAt(flat, i), 0.0) << i;
    EXPECT_NEAR(TangentAngleAt(diagonal, i), 45, 0.2) << i;
    EXPECT_NEAR(TangentAngleAt(upright, i), 90, 0.2) << i;
  }
}

TEST(CornerFinding, MergedListsAreAscendingWithoutRepeats) {
  const std::vector<int> a{0, 3, 5, 9}, b{3, 4, 9};
  EXPECT_EQ(MergeIndexLists(a, b), (std::vector<int>{0, 3, 4, 5, 9}));
  EXPECT_EQ(MergeIndexLists(a, {}), a);
}

TEST(CornerFinding, TurningAngleIgnoresRepeatedPoints) {
  // The corner at index 2 is found; the repeated point at index 4 is no corner.
  const std::vector<ShapePoint> p{{0, 0}, {10, 0}, {20, 0}, {20, 10}, {20, 10}, {20, 20}};
  EXPECT_EQ(TurningAngleCorners(p), (std::vector<int>{2}));
}

TEST(CornerFinding, FilterMeasuresBetweenConsecutiveCandidates) {
  std::vector<ShapePoint> p;
  for (int i = 0; i <= 40; ++i) p.push_back({i * 5.0f, 0});
  for (int i = 1; i <= 40; ++i) p.push_back({200, i * 5.0f});
  // 38, 39, 40 are each 5 from the previous candidate: only the first of a
  // close run that is 15 or more from its predecessor survives...
  const std::vector<int> candidates{0, 38, 39, 40, 80};
  EXPECT_EQ(FilterCorners(p, candidates, 15, 15), (std::vector<int>{0, 38, 80}));
  // ...and a candidate on a straight run fails the angle test.
  const std::vector<int> straight{0, 20, 40, 80};
  EXPECT_EQ(FilterCorners(p, straight, 15, 15), (std::vector<int>{0, 40, 80}));
}

TEST(CornerFinding, TwoCornersMakeALineFromEndToEnd) {
  StrokeMaker maker(3, 0.2f);
  const auto prepared = *PrepareStrokePoints(maker.path({{40, 40}, {240, 120}}, 3));
  const ShapeRecord r = FindInflexionPoints(prepared);
  ASSERT_EQ(r.type, kShapeLine);
  EXPECT_EQ(r.output.line.points[0], prepared.front());
  EXPECT_EQ(r.output.line.points[1], prepared.back());
}

TEST(CornerFinding, PolylineClosesOnlyWithFourCornersOrMore) {
  StrokeMaker maker(5, 0.2f);
  // A narrow V whose ends are 20 apart: three corners, left open.
  const auto vee = *PrepareStrokePoints(maker.path({{100, 100}, {110, 260}, {120, 100}}, 3));
  const ShapeRecord open = FindInflexionPoints(vee);
  ASSERT_EQ(open.type, kShapePolyline);
  ASSERT_EQ(open.output.polyline.count, 3);
  EXPECT_EQ(open.vertices()[2], vee.back());
  EXPECT_NEAR(open.vertices()[1].y, 260, 15);  // the first candidate reaching the tip

  // Four corners with the ends 16 apart: the outline ends on the first point.
  const auto hook = *PrepareStrokePoints(maker.path({{100, 100}, {260, 100}, {180, 230}, {110, 112}}, 3));
  const ShapeRecord closed = FindInflexionPoints(hook);
  ASSERT_EQ(closed.type, kShapePolyline);
  ASSERT_EQ(closed.output.polyline.count, 4);
  EXPECT_EQ(closed.vertices()[3], hook.front());
}

TEST(CornerFinding, TooFewPointsForCorners) {
  EXPECT_EQ(FindInflexionPoints({}).type, kShapeNone);
  EXPECT_EQ(FindInflexionPoints(std::vector<ShapePoint>{{4, 4}}).type, kShapeNone);
  EXPECT_EQ(FindInflexionPoints(std::vector<ShapePoint>{{4, 4}, {40, 4}}).type, kShapeLine);
}
