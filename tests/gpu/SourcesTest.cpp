// Sources and their targets: the target list's messages, the still picture's
// sends and sizes, memory conservation across a source and its targets.
#include <gtest/gtest.h>

#include "gpu/GPUFilter.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"

using Messages = std::vector<std::string>;

TEST(GPUOutputTargets, AddingTwiceKeepsOneEntryButHandsTheTextureAgain) {
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto target = std::make_shared<gputest::RecordingTarget>();
  target->nextIndex = 1;
  picture->addTarget(target);
  picture->addTarget(target);
  EXPECT_EQ(picture->targets().size(), 1u);
  EXPECT_EQ(picture->textureIndexOfTarget(target.get()), 1);
  EXPECT_EQ(target->messages(), (Messages{"texture set 1", "delegate 1", "texture set 1", "texture set 1"}));
  EXPECT_EQ(target->delegate, picture.get());
}

TEST(GPUOutputTargets, RemovingSendsTheGoodbyesInOrder) {
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto stranger = std::make_shared<gputest::RecordingTarget>();
  picture->removeTarget(stranger);
  EXPECT_TRUE(stranger->messages().empty());

  auto target = std::make_shared<gputest::RecordingTarget>();
  picture->addTarget(target);
  target->clear();
  picture->removeTarget(target);
  EXPECT_EQ(target->messages(), (Messages{"size 0x0 0", "texture 0 0", "no delegate 0", "rotation 0 0", "end"}));
  EXPECT_TRUE(picture->targets().empty());

  auto a = std::make_shared<gputest::RecordingTarget>();
  picture->addTarget(a);
  a->clear();
  picture->removeAllTargets();
  EXPECT_EQ(a->messages(), (Messages{"size 0x0 0", "texture 0 0", "no delegate 0", "rotation 0 0"}));
}

TEST(GPUPictureSource, SendsTheStillFrameAndLateTargetsGetItAtOnce) {
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  EXPECT_EQ(picture->outputImageSize(), (gfx::Size{150, 100}));
  auto early = std::make_shared<gputest::RecordingTarget>();
  picture->addTarget(early);
  early->clear();
  picture->processImage();
  gputest::drainProcessingQueue();
  EXPECT_EQ(early->messages(), (Messages{"size 150x100 0", "frame 0 still"}));

  auto late = std::make_shared<gputest::RecordingTarget>();
  picture->addTarget(late);
  EXPECT_EQ(late->frames, 1);
  EXPECT_EQ(late->size, (gfx::Size{150, 100}));

  picture->removeAllTargets();
  auto after = std::make_shared<gputest::RecordingTarget>();
  picture->addTarget(after);
  EXPECT_EQ(after->frames, 0);
}

TEST(GPUPictureSource, ASendInProgressDropsTheNextRequest) {
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto target = std::make_shared<gputest::RecordingTarget>();
  picture->addTarget(target);
  {
    gputest::QueueLatch hold;
    picture->processImage();
    picture->processImage();
  }
  gputest::drainProcessingQueue();
  EXPECT_EQ(target->frames, 1);
  picture->processImage();
  gputest::drainProcessingQueue();
  EXPECT_EQ(target->frames, 2);
}

TEST(GPUPictureSource, SmoothScalingUsesPowerOfTwoTexturesButReportsTheImageSize) {
  EXPECT_EQ(GPUPicture::textureSizeForImageSize({300, 200}, true), (gfx::Size{512, 256}));
  EXPECT_EQ(GPUPicture::textureSizeForImageSize({256, 200}, true), (gfx::Size{256, 256}));
  EXPECT_EQ(GPUPicture::textureSizeForImageSize({300, 200}, false), (gfx::Size{300, 200}));

  // Drawn from the mipmapped texture, a picture still comes out at its size
  // and close to the original (the resampling to 256 x 128 and back blurs it).
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto picture = std::make_shared<GPUPicture>(cat, true);
  auto filter = std::make_shared<GPUFilter>();
  picture->addTarget(filter);
  picture->processImage();
  const gfx::Image out = filter->newCGImageFromCurrentlyProcessedOutput();
  ASSERT_EQ(out.pixelWidth(), 150);
  ASSERT_EQ(out.pixelHeight(), 100);
  long total = 0;
  for (std::size_t i = 0; i < out.bytes().size(); ++i) total += std::abs(out.bytes()[i] - cat.bytes()[i]);
  EXPECT_LT(static_cast<double>(total) / out.bytes().size(), 12.0);
}

TEST(GPUPictureSource, LargePicturesConserveMemoryAlongTheChain) {
  auto sendOnce = [](int w, int h) {
    auto picture = std::make_shared<GPUPicture>(gfx::Image(w, h));
    auto target = std::make_shared<gputest::RecordingTarget>();
    picture->addTarget(target);
    picture->processImage();
    gputest::drainProcessingQueue();
    return target->conserveRequests;
  };
  EXPECT_EQ(sendOnce(1001, 10), 1);
  EXPECT_EQ(sendOnce(1000, 1000), 0);
}

TEST(GPUMemoryConservation, AFilterReleasesItsSourceAndIsReleasedByItsTargets) {
  // A filter in conservation mode tells its source it is done, and destroys
  // its own framebuffer once its last target is done with it.
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto first = std::make_shared<GPUFilter>();
  auto second = std::make_shared<GPUFilter>();
  picture->addTarget(first);
  first->addTarget(second);
  picture->conserveMemoryForNextFrame();
  picture->processImage();
  gputest::drainProcessingQueue();
  performOnProcessingQueueSync([&] {
    EXPECT_EQ(first->filterFramebuffer(), 0u);  // released by the second filter
    EXPECT_NE(second->filterFramebuffer(), 0u);
  });
  // The next frame rebuilds it.
  picture->processImage();
  gputest::drainProcessingQueue();
  performOnProcessingQueueSync([&] { EXPECT_NE(first->filterFramebuffer(), 0u); });
}
