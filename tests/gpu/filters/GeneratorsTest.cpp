// The generators: solid colour and Perlin noise against their formulas,
// crosshairs and lines drawn where they belong (any number of lines), and the
// parallel-coordinate transform's votes.
#include <gtest/gtest.h>

#include "gpu/GpuTestSupport.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/generators/GPUGenerators.h"

using namespace stocktest;

namespace {

gfx::Image capture(GPUFilter& f) { return f.newCGImageFromCurrentlyProcessedOutput(); }

// Perlin noise as written out: classic 2D gradient noise at P.
float mod289(float x) { return x - std::floor(x * (1.0f / 289.0f)) * 289.0f; }
float permute(float x) { return mod289((x * 34.0f + 1.0f) * x); }
float fract(float x) { return x - std::floor(x); }
float perlin(float px, float py) {
  const float x0 = mod289(std::floor(px)), y0 = mod289(std::floor(py));
  const float x1 = mod289(std::floor(px) + 1), y1 = mod289(std::floor(py) + 1);
  const float fx0 = fract(px), fy0 = fract(py), fx1 = fx0 - 1, fy1 = fy0 - 1;
  const float ix[4] = {x0, x1, x0, x1}, iy[4] = {y0, y0, y1, y1};
  const float ox[4] = {fx0, fx1, fx0, fx1}, oy[4] = {fy0, fy0, fy1, fy1};
  float n[4];
  for (int k = 0; k < 4; ++k) {
    const float i = permute(permute(ix[k]) + iy[k]);
    float gx = fract(i * (1.0f / 41.0f)) * 2 - 1;
    const float gy = std::fabs(gx) - 0.5f;
    gx = gx - std::floor(gx + 0.5f);
    const float norm = 1.79284291400159f - 0.85373472095314f * (gx * gx + gy * gy);
    n[k] = (gx * norm) * ox[k] + (gy * norm) * oy[k];
  }
  auto fade = [](float t) { return t * t * t * (t * (t * 6 - 15) + 10); };
  const float fx = fade(fx0), fy = fade(fy0);
  const float a = mix(n[0], n[1], fx), b = mix(n[2], n[3], fx);
  return 2.3f * mix(a, b, fy);
}

gpuref::Shader noise(float scale, GPUVector4 start, GPUVector4 finish) {
  return [=](const Sampler&, float s, float t) {
    const float n = (perlin(s * scale, t * scale) + 1) / 2;
    return Colour{start.one + (finish.one - start.one) * n, start.two + (finish.two - start.two) * n,
                  start.three + (finish.three - start.three) * n, start.four + (finish.four - start.four) * n};
  };
}

int brightest(const gfx::Image& image, int channel, int x0, int y0, int x1, int y1) {
  int best = 0;
  for (int y = std::max(y0, 0); y <= std::min(y1, image.pixelHeight() - 1); ++y)
    for (int x = std::max(x0, 0); x <= std::min(x1, image.pixelWidth() - 1); ++x)
      best = std::max(best, static_cast<int>(image.pixel(x, y)[channel]));
  return best;
}

}  // namespace

TEST(Generators, SolidColourDrawsOnceSizedAndGivesLateTargetsItsColour) {
  auto solid = std::make_shared<GPUSolidColorGenerator>();
  auto early = std::make_shared<gputest::RecordingTarget>();
  solid->addTarget(early);
  solid->setColorRed(1, 0, 0, 1);  // no size yet: nothing drawn
  EXPECT_EQ(early->frames, 0);
  solid->forceProcessingAtSize({16, 8});
  EXPECT_EQ(early->frames, 1);
  solid->setColorRed(0.2f, 0.4f, 0.6f, 0.8f);
  EXPECT_EQ(early->frames, 2);
  const gfx::Image out = capture(*solid);
  ASSERT_EQ(out.pixelWidth(), 16);
  EXPECT_NEAR(out.pixel(5, 5)[0], 51, 1);
  EXPECT_NEAR(out.pixel(5, 5)[1], 102, 1);
  EXPECT_NEAR(out.pixel(5, 5)[2], 153, 1);
  EXPECT_NEAR(out.pixel(5, 5)[3], 204, 1);
  auto late = std::make_shared<gputest::RecordingTarget>();
  solid->addTarget(late, 0);
  EXPECT_EQ(late->frames, 1);
  EXPECT_EQ(late->size, (gfx::Size{16, 8}));
}

TEST(Generators, PerlinNoiseMatchesTheFormula) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  struct Setting {
    float scale;
    GPUVector4 start, finish;
  };
  for (const Setting& k : {Setting{8, {0, 0, 0, 1}, {1, 1, 1, 1}}, Setting{3.5f, {0.2f, 0, 0.4f, 1}, {1, 0.8f, 0, 1}},
                           Setting{20, {1, 1, 1, 0.5f}, {0, 0, 0, 1}}}) {
    SCOPED_TRACE(k.scale);
    auto f = std::make_shared<GPUPerlinNoiseFilter>();
    f->setScale(k.scale);
    f->setColorStart(k.start);
    f->setColorFinish(k.finish);
    const gfx::Image out = runPicture(cat, f);
    const auto result = gpuref::compare(out, gpuref::filter(gpuref::uploaded(cat), 0, noise(k.scale, k.start, k.finish)), 2, 2);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  }
}

TEST(Generators, CrosshairIsACrossAtItsPointAndZeroWidthDrawsNothing) {
  auto cross = std::make_shared<GPUCrosshairGenerator>();
  cross->forceProcessingAtSize({64, 64});
  const float points[] = {0.5f, 0.5f, 0.25f, 0.75f};
  cross->setCrosshairWidth(9);
  cross->renderCrosshairsFromArray(points, 2, kCMTimeIndefinite);
  gfx::Image out = capture(*cross);
  ASSERT_EQ(out.pixelWidth(), 64);
  EXPECT_GT(brightest(out, 1, 30, 30, 33, 33), 200);  // green at the centre
  EXPECT_GT(brightest(out, 1, 14, 46, 17, 49), 200);
  EXPECT_EQ(brightest(out, 1, 0, 0, 10, 10), 0);      // nothing far away
  EXPECT_EQ(brightest(out, 1, 36, 36, 40, 40), 0);    // the cross has no diagonal
  // Width 0: the bar spacing would divide by zero; no crosshair is drawn.
  cross->setCrosshairWidth(0);
  cross->renderCrosshairsFromArray(points, 2, kCMTimeIndefinite);
  out = capture(*cross);
  EXPECT_EQ(brightest(out, 1, 0, 0, 63, 63), 0);
  EXPECT_EQ(brightest(out, 3, 0, 0, 63, 63), 0);
}

TEST(Generators, LinesSlopedVerticalAndAdditive) {
  auto lines = std::make_shared<GPULineGenerator>();
  lines->forceProcessingAtSize({64, 64});
  // Slope 9000 is still a sloped line (nearly vertical through the middle);
  // 9000.5 is vertical at x = intercept.
  const float vertical[] = {9000.5f, 0.5f};
  lines->renderLinesFromArray(vertical, 1, kCMTimeIndefinite);
  gfx::Image out = capture(*lines);
  EXPECT_GT(brightest(out, 1, 47, 5, 48, 5), 200);
  EXPECT_GT(brightest(out, 1, 47, 60, 48, 60), 200);
  EXPECT_EQ(brightest(out, 1, 0, 0, 40, 63), 0);
  const float steep[] = {9000.0f, 0.5f};  // crosses the frame near x = 0
  lines->renderLinesFromArray(steep, 1, kCMTimeIndefinite);
  out = capture(*lines);
  EXPECT_EQ(brightest(out, 1, 44, 0, 63, 63), 0);
  EXPECT_GT(brightest(out, 1, 30, 31, 33, 33), 200);
  // Two crossing lines in dim colours: brighter where they cross.
  lines->setLineColorRed(0, 0.4f, 0);
  // Row 20 and column 40 through pixel centres.
  const float cross[] = {0.0f, 41.0f / 64 - 1, 9001.0f, 81.0f / 64 - 1};
  lines->renderLinesFromArray(cross, 2, kCMTimeIndefinite);
  out = capture(*lines);
  const int along = brightest(out, 1, 10, 20, 10, 20);
  const int crossing = brightest(out, 1, 40, 20, 40, 20);
  EXPECT_NEAR(along, 102, 2);
  EXPECT_NEAR(crossing, 204, 3);
}

TEST(Generators, LineGeneratorDrawsMoreLinesThanItsFirstBufferHolds) {
  auto lines = std::make_shared<GPULineGenerator>();
  lines->forceProcessingAtSize({64, 64});
  // 3000 lines; all but the last lie off the frame, the last is vertical.
  std::vector<float> many;
  for (int k = 0; k < 2999; ++k) {
    many.push_back(0.0f);
    many.push_back(5.0f);
  }
  many.push_back(9001.0f);
  many.push_back(-0.5f);
  lines->renderLinesFromArray(many.data(), 3000, kCMTimeIndefinite);
  EXPECT_GE(lines->lineCapacity(), 3000u);
  const gfx::Image out = capture(*lines);
  EXPECT_GT(brightest(out, 1, 15, 30, 16, 30), 200);
  // Nothing and a negative count draw nothing and touch no memory.
  lines->renderLinesFromArray(nullptr, 5, kCMTimeIndefinite);
  lines->renderLinesFromArray(many.data(), -3, kCMTimeIndefinite);
  EXPECT_EQ(brightest(capture(*lines), 1, 0, 0, 63, 63), 0);
}

TEST(Generators, ParallelCoordinatesVoteWhereLitPixelsMeet) {
  // 20 lit pixels in column 10 of a 64 x 64 frame (even columns are visited):
  // all their segments meet at (0, X) on the middle axis.
  gfx::Image frame(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) frame.pixel(x, y)[3] = 255;
  for (int y = 10; y < 30; ++y) frame.pixel(10, y)[0] = 255;
  auto votes = std::make_shared<GPUParallelCoordinateLineTransformFilter>();
  const gfx::Image out = runPicture(frame, votes);
  EXPECT_EQ(votes->maxLinePairsToRender(), 64u * 64u / 4u);
  EXPECT_EQ(votes->linePairsToRender(), 20u);
  ASSERT_EQ(out.pixelWidth(), 64);
  const float X = 2.0f * 10 / 64 - 1;
  const int row = static_cast<int>((X + 1) / 2 * 64);
  EXPECT_GE(brightest(out, 0, 30, row - 1, 33, row + 1), 18);
  EXPECT_EQ(out.pixel(5, 60)[3], 255);
  // Far from every segment the output stays opaque black.
  EXPECT_EQ(brightest(out, 0, 60, 0, 63, 3), 0);

  // No lit pixel: opaque black everywhere.
  gfx::Image dark(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      dark.pixel(x, y)[3] = 255;
      dark.pixel(x, y)[1] = 200;
    }
  auto none = std::make_shared<GPUParallelCoordinateLineTransformFilter>();
  const gfx::Image black = runPicture(dark, none);
  EXPECT_EQ(brightest(black, 0, 0, 0, 63, 63), 0);
  EXPECT_EQ(black.pixel(20, 20)[3], 255);
  // A larger frame later: the buffers follow.
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image larger = runPicture(cat, none);
  EXPECT_EQ(none->maxLinePairsToRender(), 150u * 100u / 4u);
  EXPECT_GT(none->linePairsToRender(), 0u);
  EXPECT_EQ(larger.pixelWidth(), 150);
}
