// Measures and stroke preparation: exact counts and spacings of the prepared
// points, and inputs that must neither overflow nor produce NaN.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "canvas/shape/ShapeGeometry.h"
#include "canvas/shape/StrokePreparation.h"

using namespace shape;

namespace {

std::vector<ShapePoint> horizontalRun(int count, float spacing, float y = 40) {
  std::vector<ShapePoint> p;
  for (int i = 0; i < count; ++i) p.push_back({10 + i * spacing, y});
  return p;
}

}  // namespace

TEST(ShapeGeometry, MeasuresOfClosedOutlines) {
  const std::vector<ShapePoint> square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  EXPECT_DOUBLE_EQ(PolygonPerimeter(square), 40);
  EXPECT_DOUBLE_EQ(PolygonArea(square), 100);
  // Orientation does not change the area's sign.
  EXPECT_DOUBLE_EQ(PolygonArea(std::vector<ShapePoint>(square.rbegin(), square.rend())), 100);
  EXPECT_EQ(PolygonPerimeter({}), 0);
  EXPECT_EQ(PolygonArea({}), 0);
  // An open run is measured closed: there and back.
  EXPECT_DOUBLE_EQ(PolygonPerimeter(horizontalRun(100, 2)), 396);
}

TEST(ShapeGeometry, AnglesInDegrees) {
  EXPECT_EQ(SlopeAngle(5, 5, 5, 50), 90.0f);
  EXPECT_NEAR(SlopeAngle(0, 0, 10, 10), 45.0f, 1e-4);
  EXPECT_NEAR(SlopeAngle(0, 0, 10, -10), -45.0f, 1e-4);
  EXPECT_NEAR(InteriorAngle({10, 0}, {0, 0}, {0, 7}), 90.0f, 1e-4);
  EXPECT_NEAR(AngleBetweenSegments({0, 0}, {10, 0}, {5, 5}, {15, 15}), 45.0f, 1e-4);
  EXPECT_EQ(InteriorAngle({0, 0}, {0, 0}, {3, 4}), 0.0f);
}

TEST(ShapeGeometry, NearlyParallelVectorsGiveNoNaN) {
  // Rounding can push a cosine just past 1; the angle must then be 0, not NaN.
  int checked = 0;
  for (float x = 0.1f; x < 40; x += 0.37f) {
    const ShapePoint u{x, x * 3.3f}, v{x * 2, x * 6.6f};
    const float angle = AngleBetweenSegments({0, 0}, u, {0, 0}, v);
    ASSERT_FALSE(std::isnan(angle)) << x;
    EXPECT_NEAR(angle, 0, 0.1);
    ASSERT_FALSE(std::isnan(TurnAngle(u, v)));
    ++checked;
  }
  EXPECT_GT(checked, 100);
  EXPECT_EQ(AcosDegrees(1.0000001), 0);
  EXPECT_NEAR(AcosDegrees(-1.0000001), 180, 1e-4);
}

TEST(ShapeGeometry, TruncationSaturates) {
  EXPECT_EQ(TruncToInt(15.9), 15);
  EXPECT_EQ(TruncToInt(-15.9), -15);
  EXPECT_EQ(TruncToInt(1e30), INT_MAX);
  EXPECT_EQ(TruncToInt(-1e30), INT_MIN);
  EXPECT_EQ(TruncToInt(std::numeric_limits<double>::infinity()), INT_MAX);
  EXPECT_EQ(TruncToInt(std::nan("")), 0);
}

TEST(StrokePreparation, SubsamplingStepFollowsSpacing) {
  const auto raw = horizontalRun(100, 2);
  // 100 points: indices 0, 9, ..., 99, then the last point once more.
  const auto kept = SubsampleStrokePoints(raw, 3);
  ASSERT_EQ(kept.size(), 13u);
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(kept[i], raw[i * 9]);
  EXPECT_EQ(kept[11], raw[99]);
  EXPECT_EQ(kept[12], raw[99]);
  EXPECT_EQ(SubsampleStrokePoints(raw, 10)[1], raw[5]);
  EXPECT_EQ(SubsampleStrokePoints(raw, 17)[1], raw[12]);
}

TEST(StrokePreparation, SubsamplingKeepsTheEndWhenCountIsAMultipleOfTheStep) {
  const auto raw = horizontalRun(99, 2);
  const auto kept = SubsampleStrokePoints(raw, 3);
  EXPECT_EQ(kept[kept.size() - 2], raw[90]);
  EXPECT_EQ(kept.back(), raw[98]);
}

TEST(StrokePreparation, DensifyingFillsLongGaps) {
  const auto five = DensifyStrokePoints(std::vector<ShapePoint>{{0, 0}, {47, 0}});
  ASSERT_EQ(five.size(), 5u);
  EXPECT_FLOAT_EQ(five[1].x, 11.75f);
  EXPECT_FLOAT_EQ(five[2].x, 23.5f);
  EXPECT_FLOAT_EQ(five[3].x, 35.25f);
  EXPECT_EQ(five[4], (ShapePoint{47, 0}));

  EXPECT_EQ(DensifyStrokePoints(std::vector<ShapePoint>{{0, 0}, {15.9f, 0}}).size(), 2u);
  const auto three = DensifyStrokePoints(std::vector<ShapePoint>{{0, 0}, {0, 16}});
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[1], (ShapePoint{0, 8}));

  EXPECT_EQ(DensifyStrokePoints(std::vector<ShapePoint>{{3, 4}}), (std::vector<ShapePoint>{{3, 4}}));
  EXPECT_TRUE(DensifyStrokePoints({}).empty());
}

TEST(StrokePreparation, PreparedPointsAreNotLimitedToTenPerRawPoint) {
  // Two points 1000 apart densify to 68: far more than ten per raw point.
  const std::vector<ShapePoint> raw{{10, 10}, {1010, 10}};
  const auto prepared = PrepareStrokePoints(raw);
  ASSERT_TRUE(prepared);
  ASSERT_EQ(prepared->size(), 68u);
  EXPECT_EQ(prepared->size(), DensifiedCount(raw));
  EXPECT_EQ(prepared->back(), raw.back());
  for (std::size_t i = 1; i < prepared->size(); ++i)
    EXPECT_NEAR((*prepared)[i].x - (*prepared)[i - 1].x, 1000.0 / 67, 1e-3);
}

TEST(StrokePreparation, DenseLongStrokesAreThinnedFirst) {
  // Spacing 2, 100 points, perimeter 396: thinned with step 9, then filled.
  const auto prepared = PrepareStrokePoints(horizontalRun(100, 2));
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared->size(), 24u);  // 12 kept, the end again, a midpoint in each of 11 gaps
  EXPECT_EQ(prepared->front().x, 10);
  EXPECT_EQ(prepared->back().x, 208);
  // Short strokes are only densified.
  EXPECT_EQ(PrepareStrokePoints(horizontalRun(74, 2))->size(), 74u);
}

TEST(StrokePreparation, SlowStrokesAreNotRefused) {
  // 1500 touch points over 150 units: too short to be thinned, yet a stroke
  // that a fast input device gives in a second and a half.
  const auto prepared = PrepareStrokePoints(horizontalRun(1500, 0.1f));
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared->size(), 1500u);
}

TEST(StrokePreparation, OutOfRangeStrokesAreRefused) {
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(PrepareStrokePoints(std::vector<ShapePoint>{{0, 0}, {inf, 3}}));
  EXPECT_FALSE(PrepareStrokePoints(std::vector<ShapePoint>{{0, 0}, {std::nanf(""), 3}}));
  EXPECT_FALSE(PrepareStrokePoints(std::vector<ShapePoint>{{1e30f, 0}, {-1e30f, 3e38f}}));
  // In range but far too long once filled in.
  EXPECT_FALSE(PrepareStrokePoints(std::vector<ShapePoint>{{0, 0}, {9e6f, 0}}));
  ASSERT_TRUE(PrepareStrokePoints({}));
  EXPECT_TRUE(PrepareStrokePoints({})->empty());
}

TEST(StrokePreparation, DegenerateStrokes) {
  EXPECT_TRUE(IsDegenerateStroke({}));
  EXPECT_TRUE(IsDegenerateStroke(std::vector<ShapePoint>{{5, 5}}));
  EXPECT_TRUE(IsDegenerateStroke(std::vector<ShapePoint>{{5, 5}, {6, 7}, {8, 5}}));  // a tap
  std::vector<ShapePoint> retrace = horizontalRun(50, 4);
  retrace.insert(retrace.end(), retrace.rbegin(), retrace.rend());
  EXPECT_TRUE(IsDegenerateStroke(retrace));
  EXPECT_FALSE(IsDegenerateStroke(horizontalRun(50, 4)));
  // Pixel-stepped input along a slant travels 1.4 times its length, and more
  // with a wobble back now and then; along the line it goes only forwards.
  std::vector<ShapePoint> staircase{{100, 100}};
  for (int i = 0; i < 70; ++i) {
    const ShapePoint p = staircase.back();
    staircase.push_back({p.x + 1, p.y});
    staircase.push_back({p.x + 1, p.y + 1});
    if (i % 12 == 5) {
      staircase.push_back({p.x, p.y + 1});
      staircase.push_back({p.x + 1, p.y + 1});
    }
  }
  EXPECT_FALSE(IsDegenerateStroke(staircase));
  EXPECT_FALSE(IsDegenerateStroke(std::vector<ShapePoint>{{0, 0}, {100, 0}, {100, 100}}));
}
