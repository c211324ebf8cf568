// The export's white filter on real pictures against the CPU reference, and
// its registration by name.
#include <gtest/gtest.h>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/filters/sketch/GPUWhiteFilter.h"

namespace {

gpuref::Colour whiteReference(const gpuref::Sampler& in, float s, float t) {
  const gpuref::Colour c = in(s, t);
  return {0, 0, 0, 1 - c[0]};
}

gfx::Image run(const gfx::Image& picture, const std::shared_ptr<GPUFilter>& filter) {
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(filter);
  source->processImage();
  gfx::Image out = filter->newCGImageFromCurrentlyProcessedOutput();
  source->removeAllTargets();
  return out;
}

TEST(GPUWhiteFilter, PhotosAndArtworkBecomeBlackWithOpacityOneMinusRed) {
  auto filter = std::make_shared<GPUWhiteFilter>();
  for (const char* name : {"gpu_cat.png", "gpu_headphones.png", "gpu_rocket.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image picture = gpuref::loadPicture(name);
    ASSERT_FALSE(picture.empty());
    const gfx::Image out = run(picture, filter);  // the same filter serves picture after picture
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
  const gfx::Image out = run(strip, std::make_shared<GPUWhiteFilter>());
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

}  // namespace
