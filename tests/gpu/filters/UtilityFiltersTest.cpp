// Frame delay, colour packing and directional suppression: the delay counted
// in frames, the ring's textures as the size changes, the packed half-size
// picture and the suppression against its formula on a real photo.
#include <gtest/gtest.h>

#include "gpu/GpuTestSupport.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/generators/GPUGenerators.h"
#include "gpu/filters/utility/GPUUtilityFilters.h"

using namespace stocktest;

namespace {

// Sends frames of a grey level through the buffer into a pass-through filter
// and answers the red the target saw for each frame.
std::vector<int> delayed(unsigned bufferSize, int frames) {
  auto source = std::make_shared<GPUSolidColorGenerator>();
  auto buffer = std::make_shared<GPUBuffer>();
  auto target = std::make_shared<GPUFilter>();
  source->forceProcessingAtSize({8, 8});
  source->addTarget(buffer);
  buffer->addTarget(target);
  buffer->setBufferSize(bufferSize);
  std::vector<int> seen;
  for (int k = 1; k <= frames; ++k) {
    source->setColorRed(k * 20 / 255.0f, 0, 0, 1);
    seen.push_back(target->newCGImageFromCurrentlyProcessedOutput().pixel(4, 4)[0]);
  }
  return seen;
}

}  // namespace

TEST(FrameDelay, TargetsSeeTheFrameBufferSizeFramesEarlier) {
  // Size 1: the previous frame (first the texture's empty contents).
  const auto one = delayed(1, 4);
  EXPECT_EQ(one[1], 20);
  EXPECT_EQ(one[2], 40);
  EXPECT_EQ(one[3], 60);
  const auto three = delayed(3, 6);
  EXPECT_EQ(three[3], 20);
  EXPECT_EQ(three[4], 40);
  EXPECT_EQ(three[5], 60);
}

TEST(FrameDelay, ResizingTheRingKeepsTheFirstTexture) {
  GPUBuffer buffer;
  ASSERT_EQ(buffer.bufferSize(), 1u);
  const GLuint first = buffer.bufferedTextures()[0];
  EXPECT_EQ(buffer.textureForOutput(), first);
  buffer.setBufferSize(0);
  EXPECT_EQ(buffer.bufferSize(), 1u);
  buffer.setBufferSize(3);
  ASSERT_EQ(buffer.bufferSize(), 3u);
  const auto three = buffer.bufferedTextures();
  buffer.setBufferSize(1);
  ASSERT_EQ(buffer.bufferSize(), 1u);
  EXPECT_EQ(buffer.bufferedTextures()[0], first);
  performOnProcessingQueueSync([&] {
    EXPECT_FALSE(glIsTexture(three[1]));
    EXPECT_FALSE(glIsTexture(three[2]));
    EXPECT_TRUE(glIsTexture(first));
  });
}

TEST(ColorPacking, HalfSizeOutputHoldsEachBlocksReds) {
  auto packing = std::make_shared<GPUColorPackingFilter>();
  performOnProcessingQueueSync([&] {
    packing->setInputSize({640, 480}, 0);
    packing->setFilterFBO();
  });
  EXPECT_EQ(packing->packedSizeOfFBO(), (gfx::Size{320, 240}));
  EXPECT_EQ(packing->outputFrameSize(), (gfx::Size{320, 240}));
  EXPECT_FLOAT_EQ(packing->texelWidth(), 0.5f / 640);
  EXPECT_FLOAT_EQ(packing->texelHeight(), 0.5f / 480);

  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto onCat = std::make_shared<GPUColorPackingFilter>();
  const gfx::Image out = runPicture(cat, onCat);
  ASSERT_EQ(out.pixelWidth(), 75);
  ASSERT_EQ(out.pixelHeight(), 50);
  const gfx::Image texture = gpuref::uploaded(cat);
  int bad = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 75; ++x) {
      const float s = (x + 0.5f) / 75, t = (y + 0.5f) / 50, dx = 0.5f / 150, dy = 0.5f / 100;
      const float expected[4] = {gpuref::sampleLinear(texture, s - dx, t - dy)[0],
                                 gpuref::sampleLinear(texture, s + dx, t - dy)[0],
                                 gpuref::sampleLinear(texture, s - dx, t + dy)[0],
                                 gpuref::sampleLinear(texture, s + dx, t + dy)[0]};
      for (int k = 0; k < 4; ++k)
        if (std::abs(out.pixel(x, y)[k] - std::lround(expected[k] * 255)) > 2) ++bad;
    }
  EXPECT_EQ(bad, 0);
}

namespace {

struct Suppression {
  float upper = 0.5f, lower = 0.1f, tw, th;
};
gpuref::Shader suppress(Suppression k) {
  return [k](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float dx = (c[1] * 2 - 1) * k.tw, dy = (c[2] * 2 - 1) * k.th;
    const float m1 = in(s + dx, t + dy)[0], m2 = in(s - dx, t - dy)[0];
    float v = c[0] >= m1 && c[0] >= m2 ? 1.0f : 0.0f;
    v *= smoothstep(k.lower, k.upper, c[0]);
    return Colour{v, v, v, 1};
  };
}
std::function<bool(const Sampler&, float, float)> suppressJump(Suppression k) {
  return [k](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float dx = (c[1] * 2 - 1) * k.tw, dy = (c[2] * 2 - 1) * k.th;
    const float m1 = in(s + dx, t + dy)[0], m2 = in(s - dx, t - dy)[0];
    return std::fabs(c[0] - m1) < 4e-3f || std::fabs(c[0] - m2) < 4e-3f;
  };
}

std::vector<Case> suppressionCases() {
  using F = GPUDirectionalNonMaximumSuppressionFilter;
  std::vector<Case> c;
  c.push_back({"Defaults", [] { return std::static_pointer_cast<GPUFilter>(std::make_shared<F>()); },
               suppress({0.5f, 0.1f, 1 / 150.0f, 1 / 100.0f}), 4, suppressJump({0.5f, 0.1f, 1 / 150.0f, 1 / 100.0f})});
  c.push_back({"Thresholds",
               [] {
                 auto f = std::make_shared<F>();
                 f->setUpperThreshold(0.8f);
                 f->setLowerThreshold(0.3f);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               suppress({0.8f, 0.3f, 1 / 150.0f, 1 / 100.0f}), 4, suppressJump({0.8f, 0.3f, 1 / 150.0f, 1 / 100.0f})});
  c.push_back({"WideTexels",
               [] {
                 auto f = std::make_shared<F>();
                 f->setTexelWidth(3 / 150.0f);
                 f->setTexelHeight(2 / 100.0f);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               suppress({0.5f, 0.1f, 3 / 150.0f, 2 / 100.0f}), 4, suppressJump({0.5f, 0.1f, 3 / 150.0f, 2 / 100.0f})});
  return c;
}

// The gradient of the cat photo's luminance by central differences: red the
// magnitude (times 4, clamped), green and blue the unit direction mapped
// from -1..1 to 0..1, as an edge detector hands it on.
gfx::Image catGradient() {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const int w = cat.pixelWidth(), h = cat.pixelHeight();
  auto lum = [&](int x, int y) {
    const std::uint8_t* p = cat.pixel(std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1));
    return (0.2125f * p[0] + 0.7154f * p[1] + 0.0721f * p[2]) / 255.0f;
  };
  gfx::Image out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float gx = (lum(x + 1, y) - lum(x - 1, y)) / 2, gy = (lum(x, y + 1) - lum(x, y - 1)) / 2;
      const float len = std::hypot(gx, gy);
      const float ux = len > 0 ? gx / len : 0, uy = len > 0 ? gy / len : 0;
      std::uint8_t* p = out.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(std::lround(std::min(len * 4, 1.0f) * 255));
      p[1] = static_cast<std::uint8_t>(std::lround((ux + 1) / 2 * 255));
      p[2] = static_cast<std::uint8_t>(std::lround((uy + 1) / 2 * 255));
      p[3] = 255;
    }
  return out;
}

class DirectionalSuppression : public ::testing::TestWithParam<Case> {};
TEST_P(DirectionalSuppression, MatchesTheFormulaOnThePhotosGradient) {
  expectMatchesReferenceOn(GetParam(), catGradient());
}
INSTANTIATE_TEST_SUITE_P(Stock, DirectionalSuppression, ::testing::ValuesIn(suppressionCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace

TEST(DirectionalSuppressionTexels, AnOverrideOutlivesNewSizes) {
  GPUDirectionalNonMaximumSuppressionFilter f;
  performOnProcessingQueueSync([&] { f.setupFilterForSize({200, 100}); });
  EXPECT_FLOAT_EQ(f.texelWidth(), 1 / 200.0f);
  f.setTexelHeight(0.25f);
  EXPECT_TRUE(f.hasOverriddenImageSizeFactor());
  performOnProcessingQueueSync([&] { f.setupFilterForSize({400, 400}); });
  EXPECT_FLOAT_EQ(f.texelWidth(), 1 / 200.0f);
  EXPECT_FLOAT_EQ(f.texelHeight(), 0.25f);
}
