// Affine transforms and rectangles with the phone's conventions.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/graphics/Geometry.h"

namespace {

using gfx::AffineTransform;
using gfx::Point;
using gfx::Rect;

void expectPoint(Point p, float x, float y) {
  EXPECT_NEAR(p.x, x, 1e-4f);
  EXPECT_NEAR(p.y, y, 1e-4f);
}

TEST(GfxAffineTransformTest, ConcatAppliesTheLeftOneFirst) {
  const AffineTransform scale = AffineTransform::makeScale(2, 3);
  const AffineTransform move = AffineTransform::makeTranslation(10, 20);
  expectPoint(scale.concat(move).apply(Point{1, 1}), 12, 23);   // scale, then move
  expectPoint(move.concat(scale).apply(Point{1, 1}), 22, 63);   // move, then scale
  // translated/scaled/rotated put the new step before the existing transform.
  expectPoint(move.scaled(2, 3).apply(Point{1, 1}), 12, 23);
  expectPoint(scale.translated(10, 20).apply(Point{1, 1}), 22, 63);
  expectPoint(AffineTransform::makeRotation(static_cast<float>(M_PI / 2)).apply(Point{1, 0}), 0, 1);
  expectPoint(move.rotated(static_cast<float>(M_PI)).apply(Point{1, 2}), 9, 18);
  EXPECT_TRUE(AffineTransform::identity().isIdentity());
  EXPECT_EQ(AffineTransform::identity().apply(gfx::Size{3, 4}), (gfx::Size{3, 4}));
  EXPECT_EQ(move.apply(gfx::Size{3, 4}), (gfx::Size{3, 4}));  // sizes ignore translation
}

TEST(GfxAffineTransformTest, InvertUndoesAndSingularStaysUnchanged) {
  const AffineTransform t = AffineTransform::makeRotation(0.7f).scaled(2, -0.5f).translated(3, -9);
  const Point p{4.5f, -2};
  const Point back = t.inverted().apply(t.apply(p));
  expectPoint(back, p.x, p.y);
  const AffineTransform singular = AffineTransform::makeScale(0, 1).translated(5, 5);
  EXPECT_EQ(singular.inverted(), singular);
}

TEST(GfxAffineTransformTest, RectGivesBoundingBoxOfCorners) {
  const Rect r{0, 0, 10, 20};
  const Rect turned = AffineTransform::makeRotation(static_cast<float>(M_PI / 4)).apply(r);
  const float s = std::sqrt(2.0f) / 2;
  EXPECT_NEAR(turned.x, -20 * s, 1e-3f);
  EXPECT_NEAR(turned.y, 0, 1e-3f);
  EXPECT_NEAR(turned.width, 30 * s, 1e-3f);
  EXPECT_NEAR(turned.height, 30 * s, 1e-3f);
  EXPECT_EQ(AffineTransform::makeScale(-1, 1).apply(r), (Rect{-10, 0, 10, 20}));
}

TEST(GfxRectTest, IntersectionUnionAndNegativeSizes) {
  const Rect a{0, 0, 10, 10}, b{5, -5, 10, 10};
  EXPECT_EQ(a.intersection(b), (Rect{5, 0, 5, 5}));
  EXPECT_EQ(a.unionWith(b), (Rect{0, -5, 15, 15}));
  EXPECT_EQ(a.intersection(Rect{20, 20, 1, 1}), Rect{});
  EXPECT_EQ((Rect{10, 10, -4, -6}).standardized(), (Rect{6, 4, 4, 6}));
  EXPECT_TRUE(a.contains({0, 0}));
  EXPECT_FALSE(a.contains({10, 5}));
  EXPECT_EQ(Rect{}.unionWith(b), b);
}

}  // namespace
