// The stroke generator: dab spacing, speed-dependent sizes and the speed mean.
#include <gtest/gtest.h>

#include <cmath>

#include "canvas/GenCurvePoints.h"

namespace {

float dist(gfx::Point a, gfx::Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

}  // namespace

TEST(GenCurvePoints, SizeRangeSetters) {
  GenCurvePoints g;
  g.setMaxSpeedSize(2, 32);
  EXPECT_EQ(g.maxSize(), 32);
  EXPECT_EQ(g.minSize(), 2);
  EXPECT_TRUE(g.isFaster2Narrower());
  EXPECT_FALSE(g.isConstSize());

  g.setMaxSpeedSize(0, 0);
  EXPECT_EQ(g.maxSize(), 1);
  EXPECT_EQ(g.minSize(), 1);
  EXPECT_TRUE(g.isConstSize());

  g.setMaxSpeedSize(40, 10);
  EXPECT_FALSE(g.isFaster2Narrower());
  g.setMaxSize(5);  // below the minimum: clamps to it
  EXPECT_EQ(g.maxSize(), 10);
  g.setMinSize(100);
  EXPECT_EQ(g.minSize(), 10);

  g.setSpeedSenseFactor(3);
  EXPECT_EQ(g.speedSenseFactor(), 1);
  g.setDensityFactor(-1);
  EXPECT_EQ(g.densityFactor(), 0);
}

TEST(GenCurvePoints, ConstantSizeStrokeSpacesDabsEvenly) {
  GenCurvePoints g;
  g.setMaxSpeedSize(10, 10);
  g.setDensityFactor(0.25f);
  g.newBeginningWithPoint({0, 0});
  std::vector<gfx::Point> pts;
  std::vector<float> sizes;
  const int n = g.genWithNewPoint({100, 0}, pts, sizes);
  ASSERT_GT(n, 10);
  ASSERT_EQ(pts.size(), static_cast<std::size_t>(n));
  // The touch-down point comes first, then dabs along the first half-segment.
  EXPECT_EQ(pts[0], (gfx::Point{0, 0}));
  const float threshold = 2.421875f;
  for (int i = 1; i < n; ++i) {
    EXPECT_EQ(sizes[static_cast<std::size_t>(i)], 10);
    const float d = dist(pts[static_cast<std::size_t>(i)], pts[static_cast<std::size_t>(i - 1)]);
    EXPECT_GT(d, threshold);
    EXPECT_LT(d, threshold + 0.5f);
    EXPECT_LE(pts[static_cast<std::size_t>(i)].x, 50.0f);
  }
  EXPECT_EQ(g.curLocation(), (gfx::Point{100, 0}));
}

TEST(GenCurvePoints, ZeroDensityUsesOnePointSpacing) {
  GenCurvePoints g;
  g.setMaxSpeedSize(10, 10);
  g.setDensityFactor(0);
  g.newBeginningWithPoint({0, 0});
  std::vector<gfx::Point> pts;
  std::vector<float> sizes;
  const int n = g.genWithNewPoint({20, 0}, pts, sizes);
  // Spacing just over one point along the 10-point half-segment.
  EXPECT_GE(n, 9);
  EXPECT_LE(n, 11);
}

TEST(GenCurvePoints, ShortMovesAccumulateUntilADabIsDue) {
  GenCurvePoints g;
  g.setMaxSpeedSize(40, 40);
  g.newBeginningWithPoint({0, 0});
  std::vector<gfx::Point> pts;
  std::vector<float> sizes;
  ASSERT_GT(g.genWithNewPoint({30, 0}, pts, sizes), 0);
  // Repeating the point still draws the curve from the last midpoint to it.
  ASSERT_GT(g.genWithNewPoint({30, 0}, pts, sizes), 0);
  pts.clear();
  // Now the curve has shrunk to the point itself: nothing passes the spacing test.
  const unsigned segmentsBefore = g.distNum();
  EXPECT_EQ(g.genWithNewPoint({30, 0}, pts, sizes), 0);
  EXPECT_TRUE(pts.empty());
  EXPECT_EQ(g.curLocation(), (gfx::Point{30, 0}));
  EXPECT_EQ(g.distNum(), segmentsBefore + 1);
}

TEST(GenCurvePoints, FastStrokesAreNarrowerThanSlowOnes) {
  auto meanSize = [](float step) {
    GenCurvePoints g;
    g.setMaxSpeedSize(2, 32);
    g.newBeginningWithPoint({0, 0});
    std::vector<gfx::Point> pts;
    std::vector<float> sizes;
    double sum = 0;
    int count = 0;
    for (int i = 1; i <= 20; ++i) {
      const int n = g.genWithNewPoint({step * i, 0}, pts, sizes);
      for (int k = 0; k < n && i > 3; ++k) {
        sum += sizes[static_cast<std::size_t>(k)];
        ++count;
      }
    }
    return sum / count;
  };
  const double slow = meanSize(5), fast = meanSize(60);
  EXPECT_GT(slow, fast);
  EXPECT_LE(slow, 32.0);
  EXPECT_GE(fast, 2.0);
}

TEST(GenCurvePoints, SpeedMeanHalvesPastTwentyThousandSegments) {
  GenCurvePoints g;
  g.setMaxSpeedSize(10, 10);
  g.newBeginningWithPoint({0, 0});
  std::vector<gfx::Point> pts;
  std::vector<float> sizes;
  for (int i = 0; i < 19951; ++i) g.genWithNewPoint({static_cast<float>(i % 2), 0}, pts, sizes);
  EXPECT_EQ(g.distNum(), 20001u);
  const float total = g.totalDist();
  g.newBeginningWithPoint({0, 0});
  EXPECT_EQ(g.distNum(), 10000u);
  EXPECT_FLOAT_EQ(g.totalDist(), total * 0.5f);
}

TEST(GenCurvePoints, SizeFactorGivesTheMiddleSizeAtMeanSpeed) {
  GenCurvePoints g;
  g.setMaxSpeedSize(2, 32);
  g.newBeginningWithPoint({0, 0});
  // Mean segment length starts at 100 points.
  EXPECT_FLOAT_EQ(g.sizeFactor(), (32 + 2) * 100 * 0.5f);
  std::vector<gfx::Point> pts;
  std::vector<float> sizes;
  ASSERT_GT(g.genWithNewPoint({100, 0}, pts, sizes), 0);
  EXPECT_FLOAT_EQ(sizes[0], 17.0f);
}

// A stroke ends where the finger lifts, however short its moves: moves too
// short to make a dab leave the curve's control point behind, and the end
// goes on from there to the lifting point. Sizes constant and following speed.
TEST(GenCurvePoints, AStrokeEndsWithinOneSpacingOfWhereItLifts) {
  struct Case {
    const char* what;
    int moves;  // of one point each; none: the lift 10 points from the start
    float slowSize, fastSize;
  };
  for (const Case c : {Case{"sizes 32 to 2", 60, 32, 2}, Case{"sizes 8 to 2", 60, 8, 2},
                       Case{"constant 10", 60, 10, 10}, Case{"no move", 0, 32, 2}}) {
    SCOPED_TRACE(c.what);
    GenCurvePoints g;
    g.setMaxSpeedSize(c.fastSize, c.slowSize);
    g.setDensityFactor(0.25f);
    g.newBeginningWithPoint({100, 100});
    std::vector<gfx::Point> pts, all;
    std::vector<float> sizes;
    for (int i = 1; i <= c.moves; ++i)
      if (g.genWithNewPoint({100.0f + i, 100}, pts, sizes) > 0) all.insert(all.end(), pts.begin(), pts.end());
    const gfx::Point end{c.moves > 0 ? 100.0f + c.moves : 110.0f, 100};
    if (g.genWithEndPoint(end, pts, sizes) > 0) all.insert(all.end(), pts.begin(), pts.end());
    const float spacing = std::max(1.0f, g.densityFactor() * sizes.back() * 0.96875f);
    EXPECT_LE(dist(all.back(), end), spacing) << "the last dab at x " << all.back().x << " of " << end.x;
    for (const gfx::Point p : all) EXPECT_LE(p.x, end.x + 1e-3f) << "no dab past the lift";
  }
}
