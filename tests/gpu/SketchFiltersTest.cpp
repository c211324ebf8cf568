// The rotoscoping camera's sketch filters on real pictures against the CPU
// reference: luminance, inverted luminance, the two-pass nine-sample blur
// (with its steps as the shader takes them), the add blend, and the whole
// chain (white where a pixel is at least as light as its neighbourhood); the
// export's white filter; their registration by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/filters/sketch/GPUSketchFilters.h"
#include "gpu/filters/sketch/GPUWhiteFilter.h"

namespace {

using gpuref::Colour;
using gpuref::Sampler;

constexpr float kWeights[9] = {0.05f, 0.09f, 0.12f, 0.15f, 0.18f, 0.15f, 0.12f, 0.09f, 0.05f};

float luminance(const Colour& c) { return c[0] * 0.2125f + c[1] * 0.7154f + c[2] * 0.0721f; }

gfx::Image runPicture(const gfx::Image& picture, const std::shared_ptr<GPUFilter>& filter) {
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(filter);
  source->processImage();
  gfx::Image out = filter->newCGImageFromCurrentlyProcessedOutput();
  source->removeAllTargets();
  return out;
}

// One pass of the blur: nine samples stepped by (height offset, width offset) x size.
gpuref::Shader blurPass(float widthOffset, float heightOffset, float size, bool invert) {
  return [=](const Sampler& in, float s, float t) -> Colour {
    Colour sum{0, 0, 0, 0};
    for (int i = 0; i < 9; ++i) {
      const Colour c = in(s + (i - 4) * heightOffset * size, t + (i - 4) * widthOffset * size);
      for (int k = 0; k < 4; ++k) sum[k] += c[k] * kWeights[i];
    }
    const float l = luminance(sum);
    return {invert ? 1 - l : l, invert ? 1 - l : l, invert ? 1 - l : l, 1};
  };
}

gfx::Image blurReference(const gfx::Image& texture, float size, bool invert) {
  const float w = static_cast<float>(texture.pixelWidth()), h = static_cast<float>(texture.pixelHeight());
  const gfx::Image first = gpuref::filter(texture, 0, blurPass(0, 1 / h, size, false));
  return gpuref::filter(first, 0, blurPass(1 / w, 0, size, invert));
}

class SketchFilters : public ::testing::TestWithParam<const char*> {};

TEST_P(SketchFilters, LuminanceAndItsInverseMatchTheReference) {
  const gfx::Image picture = gpuref::loadPicture(GetParam());
  ASSERT_FALSE(picture.empty());
  const gfx::Image texture = gpuref::uploaded(picture);
  auto gray = gpuref::compare(runPicture(picture, std::make_shared<GPUGrayscaleFilter>()),
                              gpuref::filter(texture, 0, [](const Sampler& in, float s, float t) -> Colour {
                                const Colour c = in(s, t);
                                const float l = luminance(c);
                                return {l, l, l, c[3]};
                              }));
  EXPECT_EQ(gray.badPixels, 0) << gray.firstBad;
  auto inverted = gpuref::compare(runPicture(picture, std::make_shared<GPUGrayscaleColorInvertFilter>()),
                                  gpuref::filter(texture, 0, [](const Sampler& in, float s, float t) -> Colour {
                                    const float l = 1 - luminance(in(s, t));
                                    return {l, l, l, 1};
                                  }));
  EXPECT_EQ(inverted.badPixels, 0) << inverted.firstBad;
}

TEST_P(SketchFilters, NineSampleBlurMatchesTheReferenceInBothForms) {
  const gfx::Image picture = gpuref::loadPicture(GetParam());
  const gfx::Image texture = gpuref::uploaded(picture);
  for (float size : {1.0f, 2.5f}) {
    SCOPED_TRACE(size);
    auto plain = std::make_shared<GPUGrayscaleGaussianBlurFilter>();
    plain->setBlurSize(size);
    auto r = gpuref::compare(runPicture(picture, plain), blurReference(texture, size, false), 2, 3, 5);
    EXPECT_EQ(r.badPixels, 0) << r.firstBad;
    auto inverted = std::make_shared<GPUGrayscaleGaussianBlurColorInvertFilter>();
    inverted->setBlurSize(size);
    EXPECT_FLOAT_EQ(inverted->blurSize(), size);
    r = gpuref::compare(runPicture(picture, inverted), blurReference(texture, size, true), 2, 3, 5);
    EXPECT_EQ(r.badPixels, 0) << r.firstBad;
  }
}

// The camera chain on a still picture: luminance and inverted blur into the blend.
gfx::Image sketch(const gfx::Image& picture, float blurSize) {
  auto source = std::make_shared<GPUPicture>(picture);
  auto gray = std::make_shared<GPUGrayscaleFilter>();
  auto blur = std::make_shared<GPUGrayscaleGaussianBlurColorInvertFilter>();
  blur->setBlurSize(blurSize);
  auto blend = std::make_shared<GPUAddBlendFilter>();
  source->addTarget(gray);
  source->addTarget(blur);
  gray->addTarget(blend);
  blur->addTarget(blend);
  source->processImage();
  gfx::Image out = blend->newCGImageFromCurrentlyProcessedOutput();
  source->removeAllTargets();
  gray->removeAllTargets();
  blur->removeAllTargets();
  return out;
}

TEST_P(SketchFilters, SketchChainIsWhiteWhereLightAndDarkensLines) {
  const gfx::Image picture = gpuref::loadPicture(GetParam());
  const gfx::Image texture = gpuref::uploaded(picture);
  // Without blur every sample is the pixel itself: white everywhere.
  const gfx::Image flat = sketch(picture, 0);
  int notWhite = 0;
  for (int y = 0; y < flat.pixelHeight(); ++y)
    for (int x = 0; x < flat.pixelWidth(); ++x) notWhite += flat.pixel(x, y)[0] < 254;
  EXPECT_EQ(notWhite, 0);
  // With blur: the blend of base (L, L, L, a) and overlay (1 - B, ..., 1).
  const gfx::Image light = gpuref::filter(texture, 0, [](const Sampler& in, float s, float t) -> Colour {
    const Colour c = in(s, t);
    const float l = luminance(c);
    return {l, l, l, c[3]};
  });
  const gfx::Image blurred = blurReference(texture, 1.0f, true);
  gfx::Image expected(light.pixelWidth(), light.pixelHeight());
  for (int y = 0; y < light.pixelHeight(); ++y)
    for (int x = 0; x < light.pixelWidth(); ++x) {
      const float ba = light.pixel(x, y)[3] / 255.0f, oa = 1;
      float out[3];
      for (int k = 0; k < 3; ++k) {
        const float b = light.pixel(x, y)[k] / 255.0f, o = blurred.pixel(x, y)[k] / 255.0f;
        out[k] = o * ba + b * oa >= oa * ba ? oa * ba + o * (1 - ba) + b * (1 - oa) : o + b;
      }
      std::uint8_t* p = expected.pixel(x, y);
      for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>(std::lround(std::clamp(out[k], 0.0f, 1.0f) * 255));
      p[3] = 255;
    }
  const gfx::Image drawn = sketch(picture, 1.0f);
  const auto r = gpuref::compare(drawn, expected, 3, 4, 5);
  EXPECT_EQ(r.badPixels, 0) << r.firstBad;
  int dark = 0;
  for (int y = 0; y < drawn.pixelHeight(); ++y)
    for (int x = 0; x < drawn.pixelWidth(); ++x) dark += drawn.pixel(x, y)[0] < 200;
  EXPECT_GT(dark, 0);  // edges become lines
}

gpuref::Colour whiteReference(const gpuref::Sampler& in, float s, float t) {
  const gpuref::Colour c = in(s, t);
  return {0, 0, 0, 1 - c[0]};
}

TEST(GPUWhiteFilter, PhotosAndArtworkBecomeBlackWithOpacityOneMinusRed) {
  auto filter = std::make_shared<GPUWhiteFilter>();
  for (const char* name : {"gpu_cat.png", "gpu_headphones.png", "gpu_rocket.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image picture = gpuref::loadPicture(name);
    ASSERT_FALSE(picture.empty());
    const gfx::Image out = runPicture(picture, filter);  // the same filter serves picture after picture
    const gfx::Image expected = gpuref::filter(gpuref::uploaded(picture), 0, whiteReference);
    const auto result = gpuref::compare(out, expected);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad;
    // Nothing but black: every colour channel is zero.
    int coloured = 0;
    for (std::size_t i = 0; i < out.bytes().size(); i += 4)
      coloured += out.bytes()[i] != 0 || out.bytes()[i + 1] != 0 || out.bytes()[i + 2] != 0;
    EXPECT_EQ(coloured, 0);
  }
}

TEST(GPUWhiteFilter, WhiteVanishesBlackStaysAndGreyIsHalfTransparent) {
  gfx::Image strip(3, 1);
  const std::uint8_t levels[3] = {255, 0, 128};
  for (int x = 0; x < 3; ++x) {
    std::uint8_t* p = strip.pixel(x, 0);
    p[0] = p[1] = p[2] = levels[x];
    p[3] = 255;
  }
  const gfx::Image out = runPicture(strip, std::make_shared<GPUWhiteFilter>());
  ASSERT_EQ(out.pixelWidth(), 3);
  EXPECT_EQ(out.pixel(0, 0)[3], 0);
  EXPECT_EQ(out.pixel(1, 0)[3], 255);
  EXPECT_NEAR(out.pixel(2, 0)[3], 127, 1);
}

TEST(GPUWhiteFilter, RegisteredByItsOwnCallUnderItsName) {
  registerWhiteFilter();
  registerWhiteFilter();
  const GPUFilterClass* cls = GPUFilterRegistry::shared().classNamed("GPUWhiteFilter");
  ASSERT_NE(cls, nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<GPUWhiteFilter>(cls->make()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Pictures, SketchFilters, ::testing::Values("gpu_cat.png", "gpu_rocket.png"));

TEST(SketchFilterRegistry, EveryFilterOfTheChainIsMadeByName) {
  registerSketchFilters();
  for (const char* name : {"GPUGrayscaleFilter", "GPUGrayscaleColorInvertFilter", "GPUGrayscaleGaussianBlurFilter",
                           "GPUGrayscaleGaussianBlurColorInvertFilter", "GPUAddBlendFilter", "GPUWhiteFilter"}) {
    SCOPED_TRACE(name);
    const GPUFilterClass* cls = GPUFilterRegistry::shared().classNamed(name);
    ASSERT_NE(cls, nullptr);
    EXPECT_NE(cls->make(), nullptr);
  }
  const GPUFilterClass* blur = GPUFilterRegistry::shared().classNamed("GPUGrayscaleGaussianBlurFilter");
  ASSERT_NE(blur->findMessage("setBlurSize:"), nullptr);
}

}  // namespace
