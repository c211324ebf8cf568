// The single-input filter on real pictures: each of the seven rotations
// against the CPU reference, sizes and forced sizes, targets, and the
// uniform values each filter keeps for itself.
#include <gtest/gtest.h>

#include "gpu/GPUFilter.h"
#include "gpu/GPUPicture.h"
#include "gpu/GPURawData.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "support/GpuTestFilters.h"

namespace {

gfx::Image runPicture(const gfx::Image& picture, const std::shared_ptr<GPUFilter>& filter, RotationMode rotation) {
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(filter);
  filter->setInputRotation(rotation, 0);
  source->processImage();
  return filter->newCGImageFromCurrentlyProcessedOutput();
}

gpuref::Colour tint(const gpuref::Sampler& in, float s, float t, float k, const std::array<float, 3>& f) {
  gpuref::Colour c = in(s, t);
  return {c[0] * k * f[0], c[1] * k * f[1], c[2] * k * f[2], c[3]};
}

}  // namespace

TEST(GPUFilter, EachRotationReadsThePhotoAsTheReferenceDoes) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  ASSERT_FALSE(cat.empty());
  const gfx::Image texture = gpuref::uploaded(cat);
  for (int mode = 0; mode < kRotationModeCount; ++mode) {
    SCOPED_TRACE("rotation " + std::to_string(mode));
    auto filter = std::make_shared<GPUFilter>();
    const gfx::Image out = runPicture(cat, filter, static_cast<RotationMode>(mode));
    const gfx::Image expected = gpuref::filter(texture, mode, gpuref::passThrough);
    const auto result = gpuref::compare(out, expected);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad;
    EXPECT_EQ(out.pixelWidth(), gpuref::swapsSides(mode) ? 100 : 150);
  }
}

TEST(GPUFilter, TransparentArtworkKeepsItsPremultipliedColour) {
  const gfx::Image art = gpuref::loadPicture("gpu_headphones.png");
  ASSERT_FALSE(art.empty());
  auto filter = std::make_shared<GPUFilter>();
  const gfx::Image out = runPicture(art, filter, Rotation180);
  const auto result = gpuref::compare(out, gpuref::filter(gpuref::uploaded(art), 6, gpuref::passThrough));
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}

TEST(GPUFilter, QuarterTurnSwapsTheFramebufferAndSameSizeDoesNotRebuild) {
  auto filter = std::make_shared<GPUFilter>();
  performOnProcessingQueueSync([&] {
    filter->setInputRotation(RotationLeft, 0);
    filter->setInputSize({640, 480}, 0);
    EXPECT_EQ(filter->inputTextureSize(), (gfx::Size{480, 640}));
    filter->setFilterFBO();
    EXPECT_EQ(filter->sizeOfFBO(), (gfx::Size{480, 640}));
    const GLuint framebuffer = filter->filterFramebuffer();
    const GLuint texture = filter->textureForOutput();
    filter->setInputSize({640, 480}, 0);
    EXPECT_EQ(filter->filterFramebuffer(), framebuffer);
    EXPECT_EQ(filter->textureForOutput(), texture);
    // A zero size is stored and nothing is rebuilt.
    filter->setInputSize({0, 0}, 0);
    EXPECT_EQ(filter->inputTextureSize(), (gfx::Size{0, 0}));
    EXPECT_EQ(filter->filterFramebuffer(), framebuffer);
  });
}

TEST(GPUFilter, ForcedSizesOverrideTheInput) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto exact = std::make_shared<GPUFilter>();
  exact->forceProcessingAtSize({100, 100});
  EXPECT_EQ(runPicture(cat, exact, RotationNone).pixelWidth(), 100);
  EXPECT_EQ(exact->inputTextureSize(), (gfx::Size{100, 100}));

  auto fitted = std::make_shared<GPUFilter>();
  fitted->forceProcessingAtSizeRespectingAspectRatio({100, 100});
  performOnProcessingQueueSync([&] { fitted->setInputSize({640, 480}, 0); });
  EXPECT_EQ(fitted->inputTextureSize(), (gfx::Size{100, 75}));

  // Lifting the override takes effect from the next size change only.
  exact->forceProcessingAtSize({0, 0});
  EXPECT_EQ(exact->inputTextureSize(), (gfx::Size{100, 100}));
  performOnProcessingQueueSync([&] { exact->setInputSize({150, 100}, 0); });
  EXPECT_EQ(exact->inputTextureSize(), (gfx::Size{150, 100}));
}

TEST(GPUFilter, IgnoredTargetGetsNoFramesButTheEnd) {
  auto filter = std::make_shared<GPUFilter>();
  auto ignored = std::make_shared<gputest::RecordingTarget>();
  ignored->ignoreUpdates = true;
  auto normal = std::make_shared<gputest::RecordingTarget>();
  filter->addTarget(ignored);
  filter->addTarget(normal);
  EXPECT_EQ(filter->targetToIgnoreForUpdates(), ignored.get());
  runPicture(gpuref::loadPicture("gpu_cat.png"), filter, RotationNone);
  filter->conserveMemoryForNextFrame();
  EXPECT_EQ(ignored->frames, 0);
  EXPECT_EQ(ignored->conserveRequests, 0);
  EXPECT_EQ(normal->frames, 1);
  EXPECT_EQ(normal->conserveRequests, 1);
  performOnProcessingQueueSync([&] { filter->endProcessing(); });
  EXPECT_EQ(ignored->messages().back(), "end");
  filter->removeTarget(ignored);
  EXPECT_EQ(filter->targetToIgnoreForUpdates(), nullptr);
}

TEST(GPUFilter, PreventedRenderingStillInformsTargetsAndAloneRunsItsBlock) {
  auto filter = std::make_shared<GPUFilter>();
  int completions = 0;
  filter->setFrameProcessingCompletionBlock([&](GPUOutput*, CMTime t) {
    ++completions;
    EXPECT_TRUE(CMTIME_IS_INDEFINITE(t));
  });
  auto cat = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  cat->addTarget(filter);
  cat->processImage();
  const gfx::Image first = filter->newCGImageFromCurrentlyProcessedOutput();
  EXPECT_EQ(completions, 1);  // no targets, still drawn and completed

  auto target = std::make_shared<gputest::RecordingTarget>();
  filter->addTarget(target);
  filter->setPreventRendering(true);
  auto rocket = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_rocket.png"));
  rocket->addTarget(filter);
  rocket->processImage();
  const gfx::Image second = filter->newCGImageFromCurrentlyProcessedOutput();
  EXPECT_EQ(target->frames, 1);
  EXPECT_EQ(completions, 2);
  // Nothing was drawn: the framebuffer still holds the first picture.
  EXPECT_EQ(gpuref::compare(second, first).badPixels, 0);
}

TEST(GPUFilter, FiltersSharingAProgramKeepTheirOwnValues) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto dim = std::make_shared<gputest::TintTestFilter>();
  auto bright = std::make_shared<gputest::TintTestFilter>();
  ASSERT_EQ(dim->filterProgram(), bright->filterProgram());
  dim->setIntensity(0.25f);
  bright->setIntensity(0.75f);
  // Both fed by one picture: the second filter's value was set last, yet each
  // draws with its own.
  auto source = std::make_shared<GPUPicture>(cat);
  source->addTarget(dim);
  source->addTarget(bright);
  source->processImage();
  const gfx::Image texture = gpuref::uploaded(cat);
  for (auto [filter, k] : {std::pair{dim, 0.25f}, std::pair{bright, 0.75f}}) {
    SCOPED_TRACE(k);
    const auto expected = gpuref::filter(texture, 0, [k = k](const gpuref::Sampler& in, float s, float t) {
      return tint(in, s, t, k, {1, 1, 1});
    });
    const auto result = gpuref::compare(filter->newCGImageFromCurrentlyProcessedOutput(), expected);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  }
}

TEST(GPUFilter, ArraySetterCopiesTheCallersValues) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto filter = std::make_shared<gputest::TintTestFilter>();
  {
    gputest::QueueLatch hold;  // the update cannot run before the caller's array is gone
    auto factors = std::make_unique<std::array<float, 3>>(std::array<float, 3>{1.0f, 0.5f, 0.0f});
    filter->setChannelFactors(factors->data());
    *factors = {9.0f, 9.0f, 9.0f};
    factors.reset();
  }
  const gfx::Image out = runPicture(cat, filter, RotationNone);
  const auto expected = gpuref::filter(gpuref::uploaded(cat), 0, [](const gpuref::Sampler& in, float s, float t) {
    return tint(in, s, t, 1.0f, {1.0f, 0.5f, 0.0f});
  });
  const auto result = gpuref::compare(out, expected);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}

TEST(GPUFilter, RotatedPointsAgreeWithTheQuads) {
  // A point inside the quad reads where the quad's corners, interpolated, say.
  for (int mode = 0; mode < kRotationModeCount; ++mode) {
    const GPUQuad& q = ::textureCoordinatesForRotation(mode);
    for (auto [x, y] : {std::pair{0.25f, 0.75f}, std::pair{0.6f, 0.1f}}) {
      const float s = (1 - x) * (1 - y) * q[0] + x * (1 - y) * q[2] + (1 - x) * y * q[4] + x * y * q[6];
      const float t = (1 - x) * (1 - y) * q[1] + x * (1 - y) * q[3] + (1 - x) * y * q[5] + x * y * q[7];
      const gfx::Point p = rotatedPoint({x, y}, mode);
      EXPECT_FLOAT_EQ(p.x, s) << "mode " << mode;
      EXPECT_FLOAT_EQ(p.y, t) << "mode " << mode;
      const auto ref = gpuref::readPoint(mode, x, y);
      EXPECT_FLOAT_EQ(p.x, ref[0]);
      EXPECT_FLOAT_EQ(p.y, ref[1]);
    }
    EXPECT_EQ(rotationSwapsWidthAndHeight(mode), gpuref::swapsSides(mode));
  }
  EXPECT_EQ(&::textureCoordinatesForRotation(42), &::textureCoordinatesForRotation(RotationNone));
}

TEST(GPUFilter, AMissingShaderFileLeavesAFilterThatPassesFramesOn) {
  auto filter = GPUFilter::withFragmentShaderFromFile("NoSuchShader");
  EXPECT_EQ(filter->filterProgram(), nullptr);
  auto target = std::make_shared<gputest::RecordingTarget>();
  filter->addTarget(target);
  runPicture(gpuref::loadPicture("gpu_cat.png"), filter, RotationNone);
  EXPECT_EQ(target->frames, 1);
}

TEST(GPUFilter, FilteringOneImageKeepsItsScaleAndOrientation) {
  gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  cat.setScale(2);
  cat.setOrientation(gfx::Orientation::Right);
  auto gray = std::make_shared<gputest::GrayscaleTestFilter>();
  const gfx::Image out = gray->imageByFilteringImage(cat);
  EXPECT_EQ(out.scale(), 2.0f);
  EXPECT_EQ(out.orientation(), gfx::Orientation::Right);
  // The stored pixels are filtered as they lie; the orientation only travels.
  const auto expected = gpuref::filter(gpuref::uploaded(cat), 0, [](const gpuref::Sampler& in, float s, float t) {
    auto c = in(s, t);
    const float l = c[0] * 0.2125f + c[1] * 0.7154f + c[2] * 0.0721f;
    return gpuref::Colour{l, l, l, c[3]};
  });
  const auto result = gpuref::compare(out, expected);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  // The filter is left without the picture as its source.
  EXPECT_EQ(gray->inputTextureSize(), (gfx::Size{0, 0}));
}
