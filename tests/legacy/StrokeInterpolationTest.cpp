// The legacy stroke generator: the window of three touch points, the
// B-spline segments between their midpoints thinned to a point a pixel, and
// the dab sizes that follow the finger's speed.
#include <gtest/gtest.h>

#include <cmath>

#include "legacy/PointsArrayOfQuardCurveLine.h"

namespace {

using Curve = PointsArrayOfQuardCurveLine;

// Size 10 points at scale 2: M = 20, m = 10, thresholds (5i + 5) x 2.
Curve brush(float size = 10, float scale = 2, bool brush04 = false) {
  Curve c;
  c.beginOneNewQuardCurveLineWithBrushMaxSize(size, scale, brush04);
  return c;
}

float distance(gfx::Point a, gfx::Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// A straight stroke along y = 100 with the given spacing; returns every
// emitted list, in order.
std::vector<Curve::PointsWithSizes> straightStroke(Curve& c, float spacing, int count) {
  std::vector<Curve::PointsWithSizes> lists;
  for (int i = 0; i < count; ++i) {
    const bool end = i == count - 1;
    if (c.canGetQuardCurveLinePointsAfterSendingPoint({10 + i * spacing, 100}, end, false)) {
      lists.push_back(c.GetQuardCurveLinePointsWithSizes());
    }
  }
  return lists;
}

}  // namespace

TEST(StrokeInterpolationTest, TheLadderOfSizesAndThresholds) {
  Curve c = brush(10, 2);
  EXPECT_FLOAT_EQ(c.brushMaxSize(), 20);
  EXPECT_FLOAT_EQ(c.brushSize(), 1);
  const float expectedDistances[] = {20, 30, 40, 50, 60, 70};
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(c.distances()[i], expectedDistances[i]) << i;
  const float q = std::sqrt(10.0f / 32), k = 1.0f * q;
  EXPECT_FLOAT_EQ(c.brushSizes()[0], 20);
  EXPECT_FLOAT_EQ(c.brushSizes()[1], 20 - k * q * 2);
  EXPECT_FLOAT_EQ(c.brushSizes()[2], 20 - 2 * k * q * 2);
  EXPECT_FLOAT_EQ(c.brushSizes()[3], 20 - 4 * k * q * 2);
  EXPECT_FLOAT_EQ(c.brushSizes()[4], 20 - 8 * k * q * 2);
  EXPECT_FLOAT_EQ(c.brushSizes()[5], std::sqrt(5.0f));
  EXPECT_NEAR(c.sizeBase(), 150 * std::sqrt(3.2f), 1e-3);

  // Brush 4 halves the size; tiny sizes have no speed drop at all.
  EXPECT_FLOAT_EQ(brush(10, 2, true).brushMaxSize(), 10);
  Curve tiny = brush(1.5f, 1);
  EXPECT_FLOAT_EQ(tiny.brushSizes()[4], tiny.brushMaxSize());
  // Wider sizes widen the bands: a = 10 above 10 points, 15 above 20.
  EXPECT_FLOAT_EQ(brush(15, 1).distances()[0], 15);
  EXPECT_FLOAT_EQ(brush(30, 1).distances()[0], 20);
}

TEST(StrokeInterpolationTest, SpeedBandsIncludingTheOneWithoutALadderSize) {
  Curve c = brush(10, 2);
  const auto& s = c.brushSizes();
  EXPECT_FLOAT_EQ(c.targetSizeForSpeed(0), s[0]);
  EXPECT_FLOAT_EQ(c.targetSizeForSpeed(20), s[0]) << "a threshold belongs to the slower band";
  EXPECT_FLOAT_EQ(c.targetSizeForSpeed(25), s[1]);
  EXPECT_FLOAT_EQ(c.targetSizeForSpeed(35), s[2]);
  EXPECT_FLOAT_EQ(c.targetSizeForSpeed(45), s[2]) << "between the third and fourth threshold: the slower size";
  EXPECT_FLOAT_EQ(c.targetSizeForSpeed(55), s[3]);
  EXPECT_FLOAT_EQ(c.targetSizeForSpeed(65), s[4]);
  EXPECT_FLOAT_EQ(c.targetSizeForSpeed(500), s[5]);

  Curve b4 = brush(10, 2, true);
  const auto& r = b4.brushSizes();
  EXPECT_FLOAT_EQ(b4.targetSizeForSpeed(0), r[5]) << "brush 4 runs the ladder the other way";
  EXPECT_FLOAT_EQ(b4.targetSizeForSpeed(45), r[3]);
  EXPECT_FLOAT_EQ(b4.targetSizeForSpeed(500), r[0]);
}

TEST(StrokeInterpolationTest, TheFirstPointsWaitForTheWindow) {
  Curve c = brush();
  EXPECT_FALSE(c.canGetQuardCurveLinePointsAfterSendingPoint({10, 10}, false, false));
  EXPECT_FALSE(c.canGetQuardCurveLinePointsAfterSendingPoint({20, 10}, false, false));
  EXPECT_TRUE(c.canGetQuardCurveLinePointsAfterSendingPoint({30, 10}, false, false));

  // Interpolation fills the window with the newest point at once.
  Curve i = brush();
  EXPECT_FALSE(i.canGetQuardCurveLinePointsAfterSendingPoint({10, 10}, false, true));
  EXPECT_TRUE(i.canGetQuardCurveLinePointsAfterSendingPoint({20, 10}, false, true));
  EXPECT_FALSE(i.GetQuardCurveLinePointsWithSizes().points.empty());

  // A stroke of one point ended on it yields nothing: the window was empty.
  Curve one = brush();
  EXPECT_FALSE(one.canGetQuardCurveLinePointsAfterSendingPoint({10, 10}, true, false));
}

TEST(StrokeInterpolationTest, TwoPointsEndedGiveTheHalfSegmentToTheSecond) {
  Curve c = brush();
  c.canGetQuardCurveLinePointsAfterSendingPoint({10, 10}, false, false);
  ASSERT_TRUE(c.canGetQuardCurveLinePointsAfterSendingPoint({50, 10}, true, false));
  const auto& r = c.GetQuardCurveLinePointsWithSizes();
  ASSERT_GE(r.points.size(), 15u);
  EXPECT_FLOAT_EQ(r.points.front().x, 30);
  EXPECT_NEAR(r.points.back().x, 50, 1.0);
  for (const gfx::Point& p : r.points) EXPECT_FLOAT_EQ(p.y, 10);
  EXPECT_EQ(r.sizes.size(), r.points.size());

  // Two points at one place: that single point.
  Curve same = brush();
  same.canGetQuardCurveLinePointsAfterSendingPoint({40, 40}, false, false);
  ASSERT_TRUE(same.canGetQuardCurveLinePointsAfterSendingPoint({40, 40}, true, false));
  ASSERT_EQ(same.GetQuardCurveLinePointsWithSizes().points.size(), 1u);
  EXPECT_EQ(same.GetQuardCurveLinePointsWithSizes().points[0], (gfx::Point{40, 40}));
  EXPECT_FLOAT_EQ(same.GetQuardCurveLinePointsWithSizes().sizes[0], 20) << "a slow start is at full size";
}

TEST(StrokeInterpolationTest, PointsAreAboutOnePixelApartAlongTheCurve) {
  Curve c = brush();
  const auto lists = straightStroke(c, 7, 12);
  ASSERT_FALSE(lists.empty());
  // Every list but the last is one segment; the last also holds the final
  // half segment, whose start joins the segment before.
  for (std::size_t n = 0; n < lists.size(); ++n) {
    const auto& list = lists[n];
    for (std::size_t i = 1; i < list.points.size(); ++i) {
      const gfx::Point a = list.points[i - 1], b = list.points[i];
      if (n + 1 < lists.size()) {
        EXPECT_TRUE(std::trunc(b.x - a.x) != 0 || std::trunc(b.y - a.y) != 0) << "closer than a pixel";
      }
      EXPECT_LT(distance(a, b), 1.5f);
      EXPECT_FLOAT_EQ(b.y, 100);
    }
  }
  // The end of the stroke reaches its last touch.
  EXPECT_NEAR(lists.back().points.back().x, 10 + 11 * 7, 1.0);
}

TEST(StrokeInterpolationTest, SlowStrokesStayWideAndFastStrokesThin) {
  Curve slow = brush();
  const auto slowLists = straightStroke(slow, 4, 30);
  Curve fast = brush();
  const auto fastLists = straightStroke(fast, 120, 30);
  ASSERT_FALSE(slowLists.empty());
  ASSERT_FALSE(fastLists.empty());
  // Slow: starts at full size (slow start) and stays there.
  for (const auto& list : slowLists)
    for (float s : list.sizes) EXPECT_FLOAT_EQ(s, 20);
  // Fast: starts at 1 and moves towards the fastest band's size, never
  // leaving [1, M].
  float previous = fastLists.front().sizes.front();
  EXPECT_FLOAT_EQ(previous, 1);
  bool reachedThin = false;
  for (const auto& list : fastLists) {
    for (float s : list.sizes) {
      EXPECT_GE(s, 1);
      EXPECT_LE(s, 20);
      reachedThin = reachedThin || std::fabs(s - fast.brushSizes()[5]) < 0.05f;
    }
  }
  EXPECT_TRUE(reachedThin) << "a long fast stroke settles at the fastest size";

  // Brush 4 grows with speed instead.
  Curve b4 = brush(10, 2, true);
  const auto b4Lists = straightStroke(b4, 120, 30);
  EXPECT_GT(b4Lists.back().sizes.back(), b4Lists.front().sizes.back());
}

TEST(StrokeInterpolationTest, TheFinalHalfSegmentKeepsTheSizeItReached) {
  // A stroke that speeds up and ends: the last pass has no new speed to aim
  // for, so its points keep the size the stroke had reached.
  Curve c = brush();
  c.canGetQuardCurveLinePointsAfterSendingPoint({10, 100}, false, false);
  c.canGetQuardCurveLinePointsAfterSendingPoint({130, 100}, false, false);
  c.canGetQuardCurveLinePointsAfterSendingPoint({250, 100}, false, false);
  ASSERT_TRUE(c.canGetQuardCurveLinePointsAfterSendingPoint({370, 100}, true, false));
  const auto& r = c.GetQuardCurveLinePointsWithSizes();
  // The list holds the segment towards the new point, then the final half
  // segment from the midpoint (310, 100) to the end.
  std::size_t finalStart = 0;
  for (std::size_t i = 0; i < r.points.size(); ++i)
    if (r.points[i].x <= 310.5f) finalStart = i;
  ASSERT_LT(finalStart + 10, r.points.size());
  const float atFinalStart = r.sizes[finalStart];
  for (std::size_t i = finalStart; i < r.sizes.size(); ++i) EXPECT_FLOAT_EQ(r.sizes[i], atFinalStart);
  EXPECT_FLOAT_EQ(atFinalStart, r.sizes[finalStart - 1]) << "the pass before left the size there";
  EXPECT_GT(atFinalStart, 1) << "the fast stroke was still moving towards its size";
}

TEST(StrokeInterpolationTest, EraserRunsCarryEveryDistinctSampleAndNoSizes) {
  Curve c = brush();
  c.beginEraseOperation();
  EXPECT_FALSE(c.canGetEraserPointsAfterSendingPoint({10, 10}, false, false));
  EXPECT_FALSE(c.canGetEraserPointsAfterSendingPoint({20, 10}, false, false));
  ASSERT_TRUE(c.canGetEraserPointsAfterSendingPoint({30, 10}, false, false));
  const auto& points = c.GetEraserPoints();
  // From the midpoint (15, 10) to (25, 10): every one of the thousand samples
  // differs from the one before, so nothing is thinned.
  EXPECT_GT(points.size(), 900u);
  EXPECT_FLOAT_EQ(points.front().x, 15);
  for (std::size_t i = 1; i < points.size(); ++i) EXPECT_NE(points[i], points[i - 1]);
  EXPECT_TRUE(c.GetQuardCurveLinePointsWithSizes().sizes.empty()) << "eraser lists carry no sizes";

  // A second point sent with the end finishes the run at it.
  Curve e = brush();
  e.beginEraseOperation();
  e.canGetEraserPointsAfterSendingPoint({10, 10}, false, false);
  ASSERT_TRUE(e.canGetEraserPointsAfterSendingPoint({30, 10}, true, false));
  EXPECT_NEAR(e.GetEraserPoints().back().x, 30, 0.05);
}
