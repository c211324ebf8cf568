// Shaping dabs on the stroke side, without GL: random angles, following the
// stroke's direction, the squashed tip and the smudge's paint source.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>

#include "canvas/DabRandom.h"
#include "canvas/DabShaper.h"

namespace {

constexpr double kPi = std::numbers::pi;

std::vector<Dab> shapeLine(DabShaper& shaper, const DabStyle& style, std::vector<gfx::Point> points, float size = 10,
                           bool smudge = false) {
  std::vector<float> sizes(points.size(), size);
  std::vector<Dab> dabs;
  shaper.shapeAll(points, sizes, style, smudge, dabs);
  return dabs;
}

}  // namespace

TEST(DabShaper, PlainDabsAreUpright) {
  DabShaper shaper;
  Dab dab;
  ASSERT_TRUE(shaper.shape({3, 4}, 12, DabStyle{}, false, dab));
  EXPECT_EQ(dab.center, (gfx::Point{3, 4}));
  EXPECT_EQ(dab.width, 12);
  EXPECT_EQ(dab.height, 12);
  EXPECT_FALSE(dab.rotated);
  EXPECT_EQ(dab.angle, 0);
}

TEST(DabShaper, RandomAnglesStayInTheirRange) {
  DabShaper shaper;
  DabStyle fixed{.rotate = true, .radianMin = 90, .radianMax = 90};
  for (const Dab& d : shapeLine(shaper, fixed, {{0, 0}, {5, 0}, {9, 3}})) {
    EXPECT_TRUE(d.rotated);
    EXPECT_FLOAT_EQ(d.angle, static_cast<float>(kPi / 2));
  }
  dab_random::seed(4);
  DabStyle full{.rotate = true, .radianMin = 0, .radianMax = 360};
  std::vector<gfx::Point> many(400, gfx::Point{1, 1});
  std::set<int> degrees;
  for (const Dab& d : shapeLine(shaper, full, many)) {
    const double deg = d.angle * 180.0 / kPi;
    const long whole = std::lround(deg);
    EXPECT_NEAR(deg, static_cast<double>(whole), 1e-3) << "a whole number of degrees";
    EXPECT_GE(whole, 0);
    EXPECT_LE(whole, 359);
    degrees.insert(static_cast<int>(whole));
  }
  EXPECT_GT(degrees.size(), 100u) << "spread over the range";
  // An inverted range turns nothing.
  DabStyle inverted{.rotate = true, .radianMin = 200, .radianMax = 100};
  for (const Dab& d : shapeLine(shaper, inverted, {{0, 0}, {4, 4}})) EXPECT_EQ(d.angle, 0);
}

TEST(DabShaper, SameSeedSameAngles) {
  DabStyle style{.rotate = true, .radianMin = 0, .radianMax = 360};
  DabShaper a, b;
  dab_random::seed(9);
  const auto first = shapeLine(a, style, {{0, 0}, {3, 0}, {6, 0}});
  dab_random::seed(9);
  const auto second = shapeLine(b, style, {{0, 0}, {3, 0}, {6, 0}});
  ASSERT_EQ(first.size(), second.size());
  for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].angle, second[i].angle);
}

TEST(DabShaper, FollowingTheStrokeTurnsEachDabAlongIt) {
  DabShaper shaper;
  DabStyle follow{.directionFollow = true};
  shaper.beginLine({0, 0});
  // Rightwards: pi less the direction angle 0; upwards: pi less pi/2.
  auto dabs = shapeLine(shaper, follow, {{10, 0}, {20, 0}, {20, 10}});
  ASSERT_EQ(dabs.size(), 3u);
  EXPECT_FLOAT_EQ(dabs[0].angle, static_cast<float>(kPi));
  EXPECT_FLOAT_EQ(dabs[1].angle, static_cast<float>(kPi));
  EXPECT_FLOAT_EQ(dabs[2].angle, static_cast<float>(kPi / 2));
  EXPECT_TRUE(dabs[2].rotated);
  // A dab on the previous one's point while the line begins is skipped...
  shaper.beginLine({5, 5});
  dabs = shapeLine(shaper, follow, {{5, 5}, {15, 5}});
  ASSERT_EQ(dabs.size(), 1u);
  EXPECT_EQ(dabs[0].center, (gfx::Point{15, 5}));
  // ...and once the line is under way it keeps the last direction.
  shaper.setLineBegin(false);
  dabs = shapeLine(shaper, follow, {{15, 5}});
  ASSERT_EQ(dabs.size(), 1u);
  EXPECT_FLOAT_EQ(dabs[0].angle, static_cast<float>(kPi));
  // Random angle and direction add up.
  DabStyle both{.rotate = true, .radianMin = 90, .radianMax = 90, .directionFollow = true};
  dabs = shapeLine(shaper, both, {{25, 5}});
  EXPECT_FLOAT_EQ(dabs[0].angle, static_cast<float>(kPi / 2 + kPi));
}

TEST(DabShaper, SquashedTipNarrowsOnlyTheWidth) {
  DabShaper shaper;
  DabStyle tip{.tipEffect = true, .tipValue = 0.25f};
  Dab dab;
  ASSERT_TRUE(shaper.shape({0, 0}, 40, tip, false, dab));
  EXPECT_FLOAT_EQ(dab.width, 10);
  EXPECT_FLOAT_EQ(dab.height, 40);
}

TEST(DabShaper, SmudgeTakesPaintFromThePreviousDab) {
  DabShaper shaper;
  shaper.beginLine({0, 0});
  const auto dabs = shapeLine(shaper, DabStyle{}, {{10, 0}, {14, 0}, {18, 2}}, 10, true);
  ASSERT_EQ(dabs.size(), 3u);
  EXPECT_TRUE(dabs[0].first) << "the first dab of a line only picks up paint";
  EXPECT_EQ(dabs[0].previous, (gfx::Point{10, 0}));
  EXPECT_FALSE(dabs[1].first);
  EXPECT_EQ(dabs[1].previous, (gfx::Point{10, 0}));
  EXPECT_EQ(dabs[2].previous, (gfx::Point{14, 0}));
  EXPECT_FALSE(shaper.lineBegin());
  // Without smudge the line stays at its beginning until told otherwise.
  DabShaper plain;
  plain.beginLine({0, 0});
  const auto plainDabs = shapeLine(plain, DabStyle{}, {{10, 0}, {14, 0}});
  EXPECT_FALSE(plainDabs[0].first);
  EXPECT_TRUE(plain.lineBegin());
  EXPECT_EQ(plain.prePoint(), (gfx::Point{14, 0}));
}
