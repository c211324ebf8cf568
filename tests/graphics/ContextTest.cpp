// Drawing with Context: exact copies, blends, alpha, clipping (rects, paths,
// masks), dashes, polygons, groups, flipped and scaled contexts.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "platform/graphics/Context.h"

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Image;
using gfx::Rect;
using Px = std::array<int, 4>;

Px px(const Image& img, int x, int y) {
  const std::uint8_t* p = img.pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

void expectNear(const Px& got, const Px& want, int tolerance, const std::string& what = {}) {
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(got[k], want[k], tolerance) << what << " channel " << k;
}

Image solid(int w, int h, Px c) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < 4; ++k) img.pixel(x, y)[k] = static_cast<std::uint8_t>(c[k]);
  return img;
}

TEST(GfxContextTest, CopyAtOneToOneWithNearestIsBitExact) {
  std::mt19937 rng(7);
  Image src(37, 23);
  src.setPremultiplied(true);
  for (std::size_t i = 0; i < src.bytes().size(); i += 4) {
    const int a = static_cast<int>(rng() % 256);
    for (int k = 0; k < 3; ++k) src.bytes()[i + k] = static_cast<std::uint8_t>(a ? rng() % (a + 1) : 0);
    src.bytes()[i + 3] = static_cast<std::uint8_t>(a);
  }
  Context ctx(50, 40);
  ctx.setFillColor(Color::rgba8(10, 20, 30));
  ctx.fillRect({0, 0, 50, 40});
  ctx.setBlendMode(gfx::BlendMode::Copy);
  ctx.setInterpolation(gfx::Interpolation::Nearest);
  ctx.drawImage(src, {5, 7, 37, 23});
  Image out = ctx.makeImage(true);
  EXPECT_TRUE(out.premultiplied());
  EXPECT_EQ(out.cropped({5, 7, 37, 23}).bytes(), src.bytes());
  EXPECT_EQ(px(out, 4, 7), (Px{10, 20, 30, 255}));   // left of the picture: untouched
  EXPECT_EQ(px(out, 42, 29), (Px{10, 20, 30, 255}));  // right of and below: untouched

  // The straight read-back of a straight picture is exact too.
  Image straight = src;
  straight.unpremultiply();
  Context c2(37, 23);
  c2.setBlendMode(gfx::BlendMode::Copy);
  c2.setInterpolation(gfx::Interpolation::Nearest);
  c2.drawImage(straight, {0, 0, 37, 23});
  EXPECT_EQ(c2.makeImage().bytes(), straight.bytes());
}

TEST(GfxContextTest, MultiplyAlphaAndClearBlends) {
  Context ctx(4, 1);
  ctx.setFillColor(Color::rgba8(200, 100, 50));
  ctx.fillRect({0, 0, 3, 1});
  ctx.setBlendMode(gfx::BlendMode::Multiply);
  ctx.setFillColor(Color::rgba8(128, 255, 0));
  ctx.fillRect({0, 0, 2, 1});
  ctx.fillRect({3, 0, 1, 1});  // over nothing, multiply leaves the source colour
  ctx.setBlendMode(gfx::BlendMode::Clear);
  ctx.fillRect({1, 0, 1, 1});
  Image out = ctx.makeImage();
  expectNear(px(out, 0, 0), {100, 100, 0, 255}, 1, "multiplied");
  EXPECT_EQ(px(out, 1, 0), (Px{0, 0, 0, 0}));
  EXPECT_EQ(px(out, 2, 0), (Px{200, 100, 50, 255}));
  expectNear(px(out, 3, 0), {128, 255, 0, 255}, 1, "over transparent");

  Context half(2, 1);
  half.setFillColor(Color::white(1));
  half.fillRect({0, 0, 2, 1});
  half.setAlpha(0.5f);
  half.setFillColor(Color::black());
  half.fillRect({0, 0, 1, 1});
  half.setFillColor(Color::black().withAlpha(0.5f));  // colour alpha and global alpha multiply
  half.fillRect({1, 0, 1, 1});
  Image h = half.makeImage();
  expectNear(px(h, 0, 0), {128, 128, 128, 255}, 1);
  expectNear(px(h, 1, 0), {191, 191, 191, 255}, 1);
}

TEST(GfxContextTest, ImageWithAlphaTransformAndBilinearScaling) {
  Image red = solid(2, 2, {255, 0, 0, 255});
  Context ctx(20, 20);
  ctx.setAlpha(0.5f);
  ctx.drawImage(red, {0, 0, 10, 10});  // 2x2 scaled up: edges stay crisp and opaque inside
  ctx.setAlpha(1);
  ctx.save();
  ctx.translate(20, 10);
  ctx.rotate(static_cast<float>(M_PI / 2));  // x runs down, y runs left
  ctx.drawImage(solid(2, 1, {0, 0, 255, 255}), {0, 0, 10, 5});
  ctx.restore();
  Image out = ctx.makeImage();
  expectNear(px(out, 0, 0), {255, 0, 0, 128}, 1, "top-left corner");
  expectNear(px(out, 9, 9), {255, 0, 0, 128}, 1, "bottom-right corner");
  EXPECT_EQ(px(out, 10, 5), (Px{0, 0, 0, 0}));
  // The rotated strip covers x 15..20, y 10..20.
  EXPECT_EQ(px(out, 17, 15), (Px{0, 0, 255, 255}));
  EXPECT_EQ(px(out, 14, 15), (Px{0, 0, 0, 0}));
  EXPECT_EQ(px(out, 17, 9), (Px{0, 0, 0, 0}));
}

TEST(GfxContextTest, FlippedContextPutsYZeroAtTheBottom) {
  for (auto origin : {gfx::Origin::TopLeft, gfx::Origin::BottomLeft}) {
    const bool flipped = origin == gfx::Origin::BottomLeft;
    Context ctx(10, 10, 1.0f, origin);
    ctx.setFillColor(Color::black());
    ctx.fillRect({0, 0, 10, 2});
    Image out = ctx.makeImage();
    EXPECT_EQ(px(out, 5, flipped ? 9 : 0)[3], 255);
    EXPECT_EQ(px(out, 5, flipped ? 0 : 9)[3], 0);
    EXPECT_EQ(px(out, 5, flipped ? 8 : 1)[3], 255);
    EXPECT_EQ(px(out, 5, flipped ? 7 : 2)[3], 0);
  }
  // A picture with a red top row and a blue bottom row, both ways of drawing.
  Image pic(1, 2);
  pic.pixel(0, 0)[0] = 255, pic.pixel(0, 0)[3] = 255;
  pic.pixel(0, 1)[2] = 255, pic.pixel(0, 1)[3] = 255;
  const Rect all{0, 0, 1, 2};
  auto topRed = [&](gfx::Origin o, bool yUp) {
    Context c(1, 2, 1.0f, o);
    c.setInterpolation(gfx::Interpolation::Nearest);
    if (yUp) c.drawImageYUp(pic, all);
    else c.drawImage(pic, all);
    return px(c.makeImage(), 0, 0)[0] == 255;
  };
  EXPECT_TRUE(topRed(gfx::Origin::TopLeft, false));
  EXPECT_TRUE(topRed(gfx::Origin::BottomLeft, true));
  EXPECT_FALSE(topRed(gfx::Origin::TopLeft, true));
  EXPECT_FALSE(topRed(gfx::Origin::BottomLeft, false));

  // Orientation: drawImage shows the picture upright, drawImageYUp the stored pixels.
  Image down = pic;
  down.setOrientation(gfx::Orientation::Down);
  Context c(1, 2);
  c.drawImage(down, all);
  EXPECT_EQ(px(c.makeImage(), 0, 0)[2], 255);
}

TEST(GfxContextTest, ScaleMapsPointsToPixels) {
  Context ctx(20, 10, 2.0f);
  EXPECT_EQ(ctx.size(), (gfx::Size{10, 5}));
  EXPECT_EQ(ctx.ctm(), (gfx::AffineTransform{2, 0, 0, 2, 0, 0}));
  ctx.setFillColor(Color::black());
  ctx.fillRect({0, 0, 5, 5});
  Image out = ctx.makeImage();
  EXPECT_EQ(out.scale(), 2.0f);
  EXPECT_EQ(px(out, 9, 9)[3], 255);
  EXPECT_EQ(px(out, 10, 9)[3], 0);
  Context flipped(20, 10, 2.0f, gfx::Origin::BottomLeft);
  EXPECT_EQ(flipped.ctm(), (gfx::AffineTransform{2, 0, 0, -2, 0, 10}));
  flipped.translate(1, 1);
  EXPECT_EQ(flipped.ctm().apply(gfx::Point{0, 0}), (gfx::Point{2, 8}));
}

TEST(GfxContextTest, ClipToRectAndPathUntilRestore) {
  Context ctx(10, 10);
  ctx.save();
  ctx.clipToRect({0, 0, 5, 10});
  EXPECT_EQ(ctx.clipBounds(), (Rect{0, 0, 5, 10}));
  ctx.setFillColor(Color::rgba8(255, 0, 0));
  ctx.fillRect({0, 0, 10, 10});
  ctx.restore();
  ctx.restore();  // unmatched: harmless
  gfx::Path circle;
  circle.addEllipse({5, 0, 5, 5});
  ctx.clipToPath(circle);
  ctx.setFillColor(Color::rgba8(0, 0, 255));
  ctx.fillRect({0, 0, 10, 10});
  Image out = ctx.makeImage();
  EXPECT_EQ(px(out, 2, 8), (Px{255, 0, 0, 255}));
  EXPECT_EQ(px(out, 7, 2), (Px{0, 0, 255, 255}));
  EXPECT_EQ(px(out, 9, 9), (Px{0, 0, 0, 0}));  // outside both
  EXPECT_LT(px(out, 5, 0)[3], 64);  // the circle barely touches its box's corner pixel
}

TEST(GfxContextTest, ClipToMaskUsesAlphaAndTheYUpPlacement) {
  // Mask: top rows opaque, then half alpha, bottom rows transparent.
  Image mask(4, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 4; ++x) mask.pixel(x, y)[3] = y < 2 ? 255 : y < 4 ? 128 : 0;
  for (auto origin : {gfx::Origin::TopLeft, gfx::Origin::BottomLeft}) {
    Context ctx(4, 8, 1.0f, origin);
    ctx.setFillColor(Color::rgba8(0, 255, 0));
    ctx.fillRect({0, 0, 4, 8});
    ctx.save();
    ctx.clipToMask({0, 1, 4, 6}, mask);
    ctx.setBlendMode(gfx::BlendMode::Copy);
    ctx.setFillColor(Color::rgba8(255, 0, 0));
    ctx.fillRect({0, 0, 4, 8});
    ctx.restore();
    ctx.setFillColor(Color::rgba8(0, 0, 255));
    ctx.fillRect({0, 2, 4, 1});  // after restore the mask no longer covers this row
    Image out = ctx.makeImage(true);
    // The mask's top row lands at the rect's maximum y: in a BottomLeft context
    // that is the top of the bitmap, in a TopLeft one the bottom.
    const bool up = origin == gfx::Origin::BottomLeft;
    auto row = [&](int fromTop) { return up ? fromTop : 7 - fromTop; };
    const std::string what = up ? "bottom-left" : "top-left";
    EXPECT_EQ(px(out, 0, row(0)), (Px{0, 255, 0, 255})) << what;   // outside the rect
    EXPECT_EQ(px(out, 0, row(1)), (Px{255, 0, 0, 255})) << what;   // opaque mask
    EXPECT_EQ(px(out, 0, row(2)), (Px{255, 0, 0, 255})) << what;
    expectNear(px(out, 0, row(3)), {128, 127, 0, 255}, 1, what);   // half: lerp of red and green
    EXPECT_EQ(px(out, 0, row(6)), (Px{0, 255, 0, 255})) << what;   // transparent mask
    EXPECT_EQ(px(out, 0, row(5)), (Px{0, 0, 255, 255})) << what;   // drawn after restore
    EXPECT_EQ(px(out, 0, row(7)), (Px{0, 255, 0, 255})) << what;
  }
}

TEST(GfxContextTest, LassoCutKeepsOnlyThePictureInsideTheOutline) {
  // The lasso: fill the outline into a mask picture, then draw through it.
  Context maskCtx(10, 10);
  maskCtx.setFillColor(Color::black());
  maskCtx.fillPolygon({{2, 2}, {8, 2}, {8, 8}, {2, 8}});
  Image mask = maskCtx.makeImage();
  Context cut(10, 10, 1.0f, gfx::Origin::TopLeft);
  cut.translate(0, 10);
  cut.scaleBy(1, -1);  // turned over, so the mask lands the right way up
  cut.clipToMask({0, 0, 10, 10}, mask);
  cut.drawImageYUp(solid(10, 10, {0, 0, 255, 255}), {0, 0, 10, 10});
  Image out = cut.makeImage();
  EXPECT_EQ(px(out, 5, 5), (Px{0, 0, 255, 255}));
  EXPECT_EQ(px(out, 2, 2), (Px{0, 0, 255, 255}));
  EXPECT_EQ(px(out, 1, 5), (Px{0, 0, 0, 0}));
  EXPECT_EQ(px(out, 8, 8), (Px{0, 0, 0, 0}));
}

TEST(GfxContextTest, MaskAppliesToGroupsOnceAndInsideThem) {
  Image mask = solid(2, 1, {0, 0, 0, 255});
  mask.pixel(1, 0)[3] = 0;
  Context ctx(2, 1);
  ctx.clipToMask({0, 0, 2, 1}, mask);
  ctx.beginGroup();
  ctx.setFillColor(Color::rgba8(255, 0, 0));
  ctx.fillRect({0, 0, 2, 1});
  ctx.endGroup(0.5f);
  Image out = ctx.makeImage();
  expectNear(px(out, 0, 0), {255, 0, 0, 128}, 1);
  EXPECT_EQ(px(out, 1, 0), (Px{0, 0, 0, 0}));

  Context inner(2, 1);
  inner.beginGroup();
  inner.clipToMask({0, 0, 2, 1}, mask);
  inner.setFillColor(Color::rgba8(255, 0, 0));
  inner.fillRect({0, 0, 2, 1});
  inner.endGroup();
  inner.fillRect({1, 0, 1, 1});  // mask and red fill ended with the group
  Image o2 = inner.makeImage();
  EXPECT_EQ(px(o2, 0, 0), (Px{255, 0, 0, 255}));
  EXPECT_EQ(px(o2, 1, 0), (Px{0, 0, 0, 255}));
}

TEST(GfxContextTest, GroupAlphaAppliesToTheWholeNotEachPart) {
  auto draw = [](bool grouped) {
    Context ctx(3, 1);
    if (grouped) ctx.beginGroup();
    else ctx.setAlpha(0.5f);
    ctx.setFillColor(Color::black());
    ctx.fillRect({0, 0, 2, 1});
    ctx.fillRect({1, 0, 2, 1});
    if (grouped) ctx.endGroup(0.5f);
    return ctx.makeImage();
  };
  Image g = draw(true), each = draw(false);
  EXPECT_NEAR(px(g, 1, 0)[3], 128, 1);  // overlap no darker than the rest
  EXPECT_NEAR(px(g, 0, 0)[3], 128, 1);
  EXPECT_NEAR(px(each, 1, 0)[3], 191, 1);
  Context unmatched(1, 1);
  unmatched.endGroup();  // nothing open: harmless
  EXPECT_TRUE(unmatched.valid());
}

TEST(GfxContextTest, DashedPolylineLeavesGaps) {
  auto dashed = [](float phase) {
    Context ctx(100, 20);
    ctx.setStrokeColor(Color::rgba8(255, 0, 0));
    ctx.setLineWidth(2);
    ctx.setLineDash(phase, {10, 10});
    ctx.strokePolyline({{0, 10}, {60, 10}, {60, 19}});
    return ctx.makeImage();
  };
  Image a = dashed(0);
  for (int x : {1, 5, 8, 21, 28, 45}) EXPECT_EQ(px(a, x, 10), (Px{255, 0, 0, 255})) << x;
  for (int x : {11, 15, 18, 31, 38, 55}) EXPECT_EQ(px(a, x, 10)[3], 0) << x;
  EXPECT_EQ(px(a, 5, 12)[3], 0);  // line width 2 covers rows 9 and 10 only
  EXPECT_EQ(px(a, 5, 9)[3], 255);
  // The phase shifts the pattern along the line.
  Image b = dashed(5);
  for (int x : {1, 3, 16, 24}) EXPECT_EQ(px(b, x, 10)[3], 255) << x;
  for (int x : {6, 13, 26, 33}) EXPECT_EQ(px(b, x, 10)[3], 0) << x;
  // An empty dash list strokes solid.
  Context solidLine(100, 20);
  solidLine.setLineWidth(2);
  solidLine.setLineDash(3, {});
  solidLine.strokePolyline({{0, 10}, {100, 10}});
  Image s = solidLine.makeImage();
  for (int x = 0; x < 100; x += 7) EXPECT_EQ(px(s, x, 10)[3], 255) << x;
}

TEST(GfxContextTest, PolygonsWithFillRules) {
  // A square with an inner square wound the same way: winding fills the
  // centre, even-odd leaves it empty.
  gfx::Path p;
  p.addLines({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true);
  p.addLines({{3, 3}, {7, 3}, {7, 7}, {3, 7}}, true);
  for (auto rule : {gfx::FillRule::Winding, gfx::FillRule::EvenOdd}) {
    Context ctx(10, 10);
    ctx.fillPath(p, rule);
    Image out = ctx.makeImage();
    EXPECT_EQ(px(out, 5, 5)[3], rule == gfx::FillRule::Winding ? 255 : 0);
    EXPECT_EQ(px(out, 1, 1)[3], 255);
    EXPECT_EQ(p.contains({5, 5}, rule), rule == gfx::FillRule::Winding);
  }
  Context tri(10, 10);
  tri.fillPolygon({{0, 0}, {10, 0}, {0, 10}});
  tri.fillPolygon({{0, 0}, {5, 5}});  // two points: nothing
  Image t = tri.makeImage();
  EXPECT_EQ(px(t, 2, 2)[3], 255);
  EXPECT_EQ(px(t, 8, 8)[3], 0);
  EXPECT_EQ(p.bounds(), (Rect{0, 0, 10, 10}));
  EXPECT_FALSE(p.contains({11, 5}));
}

TEST(GfxContextTest, ClearAndStartingFromAPicture) {
  Image pic = solid(4, 4, {9, 8, 7, 255});
  pic.setScale(2);
  Context ctx = Context::withImage(pic);
  EXPECT_EQ(ctx.size(), (gfx::Size{2, 2}));
  ctx.clipToRect({0, 0, 1, 1});
  ctx.clearRect({0, 0, 2, 2});  // within the clip only
  Image out = ctx.makeImage();
  EXPECT_EQ(px(out, 0, 0), (Px{0, 0, 0, 0}));
  EXPECT_EQ(px(out, 3, 3), (Px{9, 8, 7, 255}));
  ctx.clear();  // everything, clip or not
  EXPECT_EQ(ctx.makeImage().bytes(), Image(4, 4).bytes());
}

TEST(GfxContextTest, BadSizesAndArgumentsAreHarmless) {
  Context none(0, 10);
  EXPECT_FALSE(none.valid());
  none.fillRect({0, 0, 1, 1});
  none.drawImage(solid(1, 1, {1, 1, 1, 1}), {0, 0, 1, 1});
  EXPECT_TRUE(none.makeImage().empty());
  EXPECT_FALSE(Context(1 << 20, 1 << 20).valid());

  Context ctx(4, 4);
  ctx.setLineDash(0, {-1, 2});    // refused: the old (solid) dashes stay
  ctx.concat(gfx::AffineTransform::makeScale(0, 1));  // singular: draws nothing from here
  ctx.fillRect({0, 0, 4, 4});
  ctx.drawImage(Image(), {0, 0, 4, 4});
  EXPECT_TRUE(ctx.valid());
  EXPECT_EQ(ctx.makeImage().bytes(), Image(4, 4).bytes());
}

}  // namespace
