// The display view: a photo shown in each fill mode and turned, against the
// CPU reference, as the main thread receives the presented picture.
#include <gtest/gtest.h>

#include "gpu/GPUFilter.h"
#include "gpu/GPUPicture.h"
#include "gpu/GPUView.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "platform/foundation/RunLoop.h"

namespace {

class GPUViewTest : public ::testing::Test {
 protected:
  void SetUp() override { fd::RunLoop::resetMainForTesting(); }

  // The picture shown after one frame, as the compositor would get it.
  gfx::Image show(const std::shared_ptr<GPUView>& view, const gfx::Image& photo, RotationMode rotation) {
    auto picture = std::make_shared<GPUPicture>(photo);
    auto filter = std::make_shared<GPUFilter>();
    picture->addTarget(filter);
    filter->addTarget(view);
    filter->setInputRotation(rotation, 0);
    picture->processImage();
    gputest::drainProcessingQueue();
    fd::RunLoop::main().runUntilIdle();
    const auto& presented = view->presentedImage();
    return presented ? *presented : gfx::Image{};
  }
};

}  // namespace

TEST_F(GPUViewTest, EachFillModeShowsThePhotoAsTheReference) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  for (int mode : {kGPUFillModeStretch, kGPUFillModePreserveAspectRatio, kGPUFillModePreserveAspectRatioAndFill}) {
    SCOPED_TRACE("fill mode " + std::to_string(mode));
    auto view = std::make_shared<GPUView>(ui::Rect{0, 0, 160, 80}, 1.0f);
    view->setFillMode(mode);
    const gfx::Image shown = show(view, cat, RotationNone);
    // The filter's output holds the picture as uploaded; the view samples it.
    const gfx::Image expected = gpuref::view(gpuref::uploaded(cat), 0, mode, 160, 80);
    const auto result = gpuref::compare(shown, expected);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (max " << result.maxDifference << ")";
  }
}

TEST_F(GPUViewTest, GeometryOfAFourByThreeInputInAWideView) {
  auto view = std::make_shared<GPUView>(ui::Rect{0, 0, 160, 90}, 1.0f);
  view->setInputSize({640, 480}, 0);
  const GPUQuad& fit = view->imageVertices();
  EXPECT_LT(fit[2], 1.0f);
  EXPECT_FLOAT_EQ(fit[7], 1.0f);
  view->setFillMode(kGPUFillModePreserveAspectRatioAndFill);
  EXPECT_FLOAT_EQ(view->imageVertices()[2], 1.0f);
  EXPECT_GT(view->imageVertices()[7], 1.0f);
  view->setFillMode(kGPUFillModeStretch);
  EXPECT_EQ(view->imageVertices(), kFullFrameVertices);

  // A quarter turn swaps the size at the next size; the rotation alone does not.
  view->setInputRotation(RotationLeft, 0);
  EXPECT_EQ(view->inputImageSize(), (gfx::Size{640, 480}));
  view->setInputSize({640, 480}, 0);
  EXPECT_EQ(view->inputImageSize(), (gfx::Size{480, 640}));
  EXPECT_EQ(view->sizeInPixels(), (gfx::Size{160, 90}));
  EXPECT_EQ(view->maximumOutputSize(), (gfx::Size{160, 90}));
}

TEST_F(GPUViewTest, ATurnedPhotoShowsUprightInItsFrame) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto view = std::make_shared<GPUView>(ui::Rect{0, 0, 100, 150}, 1.0f);
  view->setFillMode(kGPUFillModeStretch);
  // The turn happens in the filter; the view draws the upright result.
  const gfx::Image shown = show(view, cat, RotationRight);
  const gfx::Image turned = gpuref::filter(gpuref::uploaded(cat), 2, gpuref::passThrough);
  const auto result = gpuref::compare(shown, gpuref::view(turned, 0, kGPUFillModeStretch, 100, 150));
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  // And a view told the rotation itself turns as the filter would.
  auto direct = std::make_shared<GPUView>(ui::Rect{0, 0, 100, 150}, 1.0f);
  direct->setFillMode(kGPUFillModeStretch);
  auto picture = std::make_shared<GPUPicture>(cat);
  picture->addTarget(direct);
  direct->setInputRotation(RotationRight, 0);
  picture->processImage();
  gputest::drainProcessingQueue();
  fd::RunLoop::main().runUntilIdle();
  ASSERT_TRUE(direct->presentedImage());
  const auto directResult = gpuref::compare(*direct->presentedImage(), gpuref::view(gpuref::uploaded(cat), 2, 0, 100, 150));
  EXPECT_EQ(directResult.badPixels, 0) << directResult.firstBad;
}

TEST_F(GPUViewTest, ResizingTheViewRebuildsItsBacking) {
  auto view = std::make_shared<GPUView>(ui::Rect{0, 0, 40, 30}, 1.0f);
  EXPECT_EQ(view->sizeInPixels(), (gfx::Size{40, 30}));
  view->setFrame({0, 0, 80, 20});
  EXPECT_EQ(view->sizeInPixels(), (gfx::Size{80, 20}));
  const gfx::Image shown = show(view, gpuref::loadPicture("gpu_rocket.png"), RotationNone);
  EXPECT_EQ(shown.pixelWidth(), 80);
  EXPECT_EQ(shown.pixelHeight(), 20);
}
