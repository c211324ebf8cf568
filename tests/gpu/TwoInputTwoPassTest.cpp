// Two-input and two-pass filters on real photos against the CPU reference:
// when a blend draws, which input turns, and the order of the two passes.
#include <gtest/gtest.h>

#include "gpu/GPUPicture.h"
#include "gpu/GPURawData.h"
#include "gpu/GPUTextureEndpoints.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "support/GpuTestFilters.h"

namespace {

gpuref::Colour addColours(const gpuref::Colour& a, const gpuref::Colour& b) {
  return {std::min(a[0] + b[0], 1.0f), std::min(a[1] + b[1], 1.0f), std::min(a[2] + b[2], 1.0f), a[3]};
}

// Counts the frames a filter draws.
int drawsOf(const std::shared_ptr<GPUFilter>& filter, std::shared_ptr<int> counter) {
  filter->setFrameProcessingCompletionBlock([counter](GPUOutput*, CMTime) { ++*counter; });
  return 0;
}

}  // namespace

TEST(GPUTwoInputFilter, StillPictureAtEitherIndexLetsEveryMovingFrameDraw) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image rocket = gpuref::loadPicture("gpu_rocket.png");
  for (int stillIndex : {1, 0}) {
    SCOPED_TRACE("still at " + std::to_string(stillIndex));
    auto blend = std::make_shared<gputest::AddBlendTestFilter>();
    auto draws = std::make_shared<int>(0);
    drawsOf(blend, draws);
    auto still = std::make_shared<GPUPicture>(rocket);
    auto moving = std::make_shared<GPUPicture>(cat);  // sent with real times below
    if (stillIndex == 1) {
      moving->addTarget(blend, 0);
      still->addTarget(blend, 1);
    } else {
      still->addTarget(blend, 0);
      moving->addTarget(blend, 1);
    }
    still->processImage();
    gputest::drainProcessingQueue();
    const int movingIndex = 1 - stillIndex;
    for (int frame = 1; frame <= 3; ++frame) {
      performOnProcessingQueueSync([&] {
        blend->setInputSize({150, 100}, movingIndex);
        blend->newFrameReadyAtTime(CMTimeMake(frame, 30), movingIndex);
      });
      EXPECT_EQ(*draws, frame);
    }
  }
}

TEST(GPUTwoInputFilter, TwoMovingInputsDrawOncePerPair) {
  auto blend = std::make_shared<gputest::AddBlendTestFilter>();
  auto draws = std::make_shared<int>(0);
  drawsOf(blend, draws);
  performOnProcessingQueueSync([&] {
    blend->setInputSize({16, 16}, 0);
    blend->newFrameReadyAtTime(CMTimeMake(1, 30), 0);
    EXPECT_EQ(*draws, 0);
    blend->newFrameReadyAtTime(CMTimeMake(1, 30), 1);
    EXPECT_EQ(*draws, 1);
    blend->newFrameReadyAtTime(CMTimeMake(2, 30), 1);
    EXPECT_EQ(*draws, 1);
    blend->newFrameReadyAtTime(CMTimeMake(2, 30), 0);
    EXPECT_EQ(*draws, 2);
    blend->disableSecondFrameCheck();
    blend->newFrameReadyAtTime(CMTimeMake(3, 30), 0);
    blend->newFrameReadyAtTime(CMTimeMake(4, 30), 0);
    EXPECT_EQ(*draws, 4);
  });
}

TEST(GPUTwoInputFilter, IndicesFollowTheFirstSourceAndItsRemoval) {
  auto blend = std::make_shared<gputest::AddBlendTestFilter>();
  auto a = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto b = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_rocket.png"));
  a->addTarget(blend);
  b->addTarget(blend);
  EXPECT_EQ(a->textureIndexOfTarget(blend.get()), 0);
  EXPECT_EQ(b->textureIndexOfTarget(blend.get()), 1);
  a->removeTarget(blend);
  EXPECT_EQ(blend->nextAvailableTextureIndex(), 0);
}

TEST(GPUTwoInputFilter, AddBlendOfTwoPhotosTurnsOnlyTheSecond) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image rocket = gpuref::loadPicture("gpu_rocket.png");
  auto blend = std::make_shared<gputest::AddBlendTestFilter>();
  auto first = std::make_shared<GPUPicture>(cat);
  auto second = std::make_shared<GPUPicture>(rocket);
  first->addTarget(blend);
  second->addTarget(blend);
  blend->setInputRotation(Rotation180, 1);
  first->processImage();
  second->processImage();
  const gfx::Image out = blend->newCGImageFromCurrentlyProcessedOutput();
  const gfx::Image base = gpuref::uploaded(cat), overlay = gpuref::uploaded(rocket);
  const auto expected = gpuref::filter(base, 0, [&](const gpuref::Sampler& in, float s, float t) {
    // The second input reads at its own rotation of the output point.
    const auto [s2, t2] = gpuref::readPoint(6, s, t);
    return addColours(in(s, t), gpuref::sampleLinear(overlay, s2, t2));
  });
  const auto result = gpuref::compare(out, expected);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  EXPECT_EQ(out.pixelWidth(), 150);
}

namespace {

// Two passes as the filter runs them: the first samples the (turned) input
// three times along its step, the second the upright intermediate along x;
// the intermediate is stored in 8 bits.
gfx::Image referenceBlur(const gfx::Image& input, int rotation, bool limitAfter) {
  const bool quarter = gpuref::swapsSides(rotation);
  const float outW = static_cast<float>(quarter ? input.pixelHeight() : input.pixelWidth());
  const float outH = static_cast<float>(quarter ? input.pixelWidth() : input.pixelHeight());
  const float dx1 = quarter ? 1.0f / outH : 0.0f, dy1 = quarter ? 0.0f : 1.0f / outH;
  auto taps = [](const gpuref::Sampler& in, float s, float t, float dx, float dy) {
    const auto a = in(s - dx, t - dy), b = in(s, t), c = in(s + dx, t + dy);
    gpuref::Colour out{};
    for (int k = 0; k < 4; ++k) out[k] = a[k] * 0.25f + b[k] * 0.5f + c[k] * 0.25f;
    return out;
  };
  const gfx::Image intermediate = gpuref::filter(input, rotation, [&](const gpuref::Sampler& in, float s, float t) {
    return taps(in, s, t, dx1, dy1);
  });
  return gpuref::filter(intermediate, 0, [&](const gpuref::Sampler& in, float s, float t) {
    auto c = taps(in, s, t, 1.0f / outW, 0);
    if (limitAfter) {
      for (int k = 0; k < 3; ++k) c[k] = std::min(c[k], 0.5f);
    }
    return c;
  });
}

}  // namespace

TEST(GPUTwoPassFilter, PassesRunInOrderOnTheTurnedPhoto) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  for (int rotation : {0, 1, 6}) {
    SCOPED_TRACE("rotation " + std::to_string(rotation));
    auto blur = std::make_shared<gputest::BlurTestFilter>(true);
    auto picture = std::make_shared<GPUPicture>(cat);
    picture->addTarget(blur);
    blur->setInputRotation(static_cast<RotationMode>(rotation), 0);
    picture->processImage();
    const gfx::Image out = blur->newCGImageFromCurrentlyProcessedOutput();
    const gfx::Image expected = referenceBlur(gpuref::uploaded(cat), rotation, true);
    // Each pass stores 8 bits, and a (1/4, 1/2, 1/4) average lands exactly
    // halfway between two levels a quarter of the time, where float rounding
    // may go either way: after two stores a pixel may differ by two.
    const auto result = gpuref::compare(out, expected, 2, 2);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (max " << result.maxDifference << ")";
    // Without the limit after the second pass the picture is visibly other.
    EXPECT_GT(gpuref::compare(out, referenceBlur(gpuref::uploaded(cat), rotation, false)).maxDifference, 8);
    auto plain = std::make_shared<gputest::BlurTestFilter>(false);
    picture->addTarget(plain);
    plain->setInputRotation(static_cast<RotationMode>(rotation), 0);
    picture->processImage();
    const auto unlimited = gpuref::compare(plain->newCGImageFromCurrentlyProcessedOutput(),
                                           referenceBlur(gpuref::uploaded(cat), rotation, false), 2, 2);
    EXPECT_EQ(unlimited.badPixels, 0) << unlimited.firstBad;
  }
}

TEST(GPUTwoPassFilter, TexelStepsFollowTheTurnedFramebuffer) {
  auto blur = std::make_shared<gputest::BlurTestFilter>();
  performOnProcessingQueueSync([&] {
    blur->setInputRotation(RotationLeft, 0);
    blur->setInputSize({640, 480}, 0);
    blur->setSecondFilterFBO();
    EXPECT_EQ(blur->sizeOfFBO(), (gfx::Size{480, 640}));
  });
  EXPECT_EQ(blur->verticalPassTexelOffset(), (gfx::Point{1.0f / 640, 0}));
  EXPECT_EQ(blur->horizontalPassTexelOffset(), (gfx::Point{1.0f / 480, 0}));
}

TEST(GPUTwoPassFilter, ConservingMemoryDropsTheIntermediateAfterTheFrame) {
  auto blur = std::make_shared<gputest::BlurTestFilter>();
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  picture->addTarget(blur);
  blur->conserveMemoryForNextFrame();
  picture->processImage();
  gputest::drainProcessingQueue();
  performOnProcessingQueueSync([&] {
    EXPECT_EQ(blur->filterFramebuffer(), 0u);
    EXPECT_NE(blur->textureForOutput(), 0u);  // the second pass's output stays
  });
}
