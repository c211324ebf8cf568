// The video camera source: one frame in flight, pause, the rotation it tells
// its targets, the microphone for a writer; and the still camera's photos.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "gpu/GPUMovieWriter.h"
#include "gpu/GPURawData.h"
#include "gpu/GPUStillCamera.h"
#include "gpu/GPUVideoCamera.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/MediaTestSupport.h"
#include "support/GpuTestFilters.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using Messages = std::vector<std::string>;

class GPUVideoCameraTest : public testing_support::SandboxTest {
 protected:
  mediatest::ScopedCamera cameraSetting_{"pattern"};
};

struct CountingCameraDelegate : GPUVideoCameraDelegate {
  void willOutputSampleBuffer(const media::VideoSample&) override { ++count; }
  std::atomic<int> count{0};
};

media::VideoSample sample(int number, int ticks) {
  return {mediatest::numberedPicture(number, 32, 24), CMTimeMake(ticks, 600)};
}

TEST_F(GPUVideoCameraTest, OnlyCamerasThatExistAndKnownPresetsMakeACamera) {
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->cameraPosition(), media::kCameraPositionBack);
  EXPECT_EQ(camera->inputCamera().id, "pattern");
  // The pattern is the only camera: there is none at the front.
  EXPECT_FALSE(GPUVideoCamera::isFrontFacingCameraPresent());
  EXPECT_EQ(GPUVideoCamera::make(kGPUCaptureSessionPreset640x480, media::kCameraPositionFront), nullptr);
  EXPECT_EQ(GPUVideoCamera::make("no such preset", media::kCameraPositionBack), nullptr);
  camera->rotateCamera();
  EXPECT_EQ(camera->cameraPosition(), media::kCameraPositionBack);
  EXPECT_EQ(camera->inputCamera().id, "pattern");
}

TEST_F(GPUVideoCameraTest, AFrameArrivingWhileTheLastIsInFlightIsDropped) {
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  CountingCameraDelegate delegate;
  camera->setDelegate(&delegate);
  auto target = std::make_shared<gputest::RecordingTarget>();
  camera->addTarget(target);
  {
    gputest::QueueLatch latch;
    camera->captureOutputDidOutputSampleBuffer(sample(0, 0));
    camera->captureOutputDidOutputSampleBuffer(sample(1, 20));
    camera->captureOutputDidOutputSampleBuffer(sample(2, 40));
  }
  gputest::drainProcessingQueue();
  EXPECT_EQ(delegate.count, 1);
  EXPECT_EQ(target->frames, 1);
  // Once it is through, the next one goes.
  camera->captureOutputDidOutputSampleBuffer(sample(3, 60));
  gputest::drainProcessingQueue();
  EXPECT_EQ(delegate.count, 2);
  EXPECT_EQ(target->frames, 2);
  EXPECT_EQ(target->size, (gfx::Size{32, 24}));
}

TEST_F(GPUVideoCameraTest, PausedCaptureTellsTheDelegateButNotTheTargetsAndSoundGoesOn) {
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  CountingCameraDelegate delegate;
  camera->setDelegate(&delegate);
  auto target = std::make_shared<gputest::RecordingTarget>();
  camera->addTarget(target);
  auto writer = std::make_shared<GPUMovieWriter>(root() / "paused.mov", gfx::Size{32, 24});
  camera->setAudioEncodingTarget(writer);
  EXPECT_TRUE(writer->hasAudioTrack());
  writer->startRecording();
  camera->pauseCameraCapture();
  camera->captureOutputDidOutputSampleBuffer(sample(0, 0));
  gputest::drainProcessingQueue();
  EXPECT_EQ(delegate.count, 1);
  EXPECT_EQ(target->frames, 0);
  media::AudioSamples sound;
  sound.samples = mediatest::tone(441, 440, 0.5f);
  sound.presentationTime = CMTimeMake(441, 44100);
  performOnProcessingQueueSync([&] { camera->processAudioSampleBuffer(sound); });
  EXPECT_EQ(writer->startTime(), CMTimeMake(441, 44100));
  camera->resumeCameraCapture();
  camera->captureOutputDidOutputSampleBuffer(sample(1, 20));
  gputest::drainProcessingQueue();
  EXPECT_EQ(target->frames, 1);

  // Clearing the writer stops the sound reaching it; the camera keeps none.
  camera->setAudioEncodingTarget(nullptr);
  EXPECT_EQ(camera->audioEncodingTarget(), nullptr);
}

TEST_F(GPUVideoCameraTest, TargetsAreToldTheRotationForOrientationAndMirroring) {
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  auto early = std::make_shared<gputest::RecordingTarget>();
  camera->addTarget(early);
  early->clear();
  camera->setOutputImageOrientation(GPUInterfaceOrientationLandscapeLeft);
  EXPECT_EQ(camera->outputRotation(), RotationNone);
  camera->setOutputImageOrientation(GPUInterfaceOrientationLandscapeRight);
  EXPECT_EQ(camera->outputRotation(), Rotation180);
  EXPECT_EQ(early->messages(), (Messages{"rotation 0 0", "rotation 6 0"}));
  // A target added now hears the rotation at once.
  auto late = std::make_shared<gputest::RecordingTarget>();
  late->nextIndex = 1;
  camera->addTarget(late);
  const Messages heard = late->messages();
  EXPECT_NE(std::find(heard.begin(), heard.end(), "rotation 6 1"), heard.end());
  camera->setOutputImageOrientation(GPUInterfaceOrientationPortrait);
  EXPECT_EQ(camera->outputRotation(), RotationRight);
  camera->setHorizontallyMirrorRearFacingCamera(true);
  EXPECT_EQ(camera->outputRotation(), RotationRightFlipVertical);
  // The front camera's mirroring does not touch the back camera.
  camera->setHorizontallyMirrorFrontFacingCamera(true);
  EXPECT_EQ(camera->outputRotation(), RotationRightFlipVertical);
  // An orientation that is none of the four keeps the rotation.
  camera->setOutputImageOrientation(7);
  EXPECT_EQ(camera->outputRotation(), RotationRightFlipVertical);
  EXPECT_EQ(GPUVideoCamera::rotationFor(media::kCameraPositionFront, false, GPUInterfaceOrientationPortrait,
                                        RotationNone),
            RotationRightFlipVertical);
  EXPECT_EQ(GPUVideoCamera::rotationFor(media::kCameraPositionFront, true, GPUInterfaceOrientationLandscapeLeft,
                                        RotationNone),
            Rotation180);
}

TEST_F(GPUVideoCameraTest, RunningCameraDeliversMovingFramesAtItsRateWithRisingTimes) {
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  camera->setRunBenchmark(true);
  camera->setFrameRate(15);
  std::mutex m;
  std::vector<CMTime> times;
  struct TimeTarget : gputest::RecordingTarget {
    std::function<void(CMTime)> onFrame;
    void newFrameReadyAtTime(CMTime t, int i) override {
      RecordingTarget::newFrameReadyAtTime(t, i);
      onFrame(t);
    }
  };
  auto target = std::make_shared<TimeTarget>();
  target->onFrame = [&](CMTime t) {
    std::lock_guard lock(m);
    times.push_back(t);
  };
  camera->addTarget(target);
  camera->startCameraCapture();
  EXPECT_TRUE(camera->isRunning());
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  camera->stopCameraCapture();
  EXPECT_FALSE(camera->isRunning());
  std::lock_guard lock(m);
  EXPECT_GE(times.size(), 8u);
  EXPECT_LE(times.size(), 17u);
  for (std::size_t i = 1; i < times.size(); ++i)
    EXPECT_GT(CMTimeGetSeconds(times[i]), CMTimeGetSeconds(times[i - 1]));
  EXPECT_EQ(target->size, (gfx::Size{640, 480}));
  EXPECT_GT(camera->averageFrameDurationDuringCapture(), 0.0f);
}

TEST_F(GPUVideoCameraTest, AMovieFilePlaysAsTheCamera) {
  const fs::path movie = root() / "camera.mov";
  ASSERT_TRUE(mediatest::writeNumberedMovie(movie, 30, 64, 48, false).ok());
  mediatest::ScopedCamera fileCamera("file:" + movie.string());
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->inputCamera().id, "file:" + movie.string());
  auto output = std::make_shared<GPURawDataOutput>(gfx::Size{640, 480}, true);
  std::promise<void> gotFrame;
  std::atomic<bool> once{false};
  output->setNewFrameAvailableBlock([&] {
    if (!once.exchange(true)) gotFrame.set_value();
  });
  camera->addTarget(output);
  camera->startCameraCapture();
  ASSERT_EQ(gotFrame.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  camera->stopCameraCapture();
  // The camera's picture is the movie's, scaled to the capture size: some
  // frame of it, within the codec's and the scaling's tolerance.
  auto got = media::PixelBuffer::make(640, 480);
  const std::uint8_t* bytes = output->rawBytesForImage();
  std::copy(bytes, bytes + got->data.size(), got->data.begin());
  const auto small = media::scaledPixelBuffer(*got, 64, 48);
  double best = 1e9;
  for (int n = 0; n < 30; ++n)
    best = std::min(best, mediatest::meanDifference(*small, *mediatest::numberedPicture(n, 64, 48)));
  EXPECT_LT(best, 10.0);
}

class GPUStillCameraTest : public GPUVideoCameraTest {};

TEST_F(GPUStillCameraTest, PhotosComeThroughTheFilterAsJpegAndPng) {
  auto camera = GPUStillCamera::make(kGPUCaptureSessionPreset640x480, media::kCameraPositionBack);
  ASSERT_NE(camera, nullptr);
  EXPECT_FLOAT_EQ(camera->jpegCompressionQuality(), 0.8f);
  auto filter = std::make_shared<gputest::GrayscaleTestFilter>();
  camera->addTarget(filter);
  camera->startCameraCapture();

  std::promise<std::pair<fd::Data, bool>> png;
  camera->capturePhotoAsPNGProcessedUpToFilter(
      filter, [&](const fd::Data& data, const auto& error) { png.set_value({data, error.has_value()}); });
  auto pngResult = png.get_future().get();
  camera->waitForCapture();
  ASSERT_FALSE(pngResult.second);
  auto decoded = gfx::decodePNG(pngResult.first);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->pixelWidth(), 640);
  EXPECT_EQ(decoded->pixelHeight(), 480);
  // Gray: the filter ran on the photo.
  int colourful = 0;
  for (int y = 0; y < 480; y += 16)
    for (int x = 0; x < 640; x += 16) {
      const std::uint8_t* p = decoded->pixel(x, y);
      if (std::abs(p[0] - p[1]) > 2 || std::abs(p[1] - p[2]) > 2) ++colourful;
    }
  EXPECT_EQ(colourful, 0);

  std::promise<fd::Data> jpegDefault, jpegLow;
  camera->capturePhotoAsJPEGProcessedUpToFilter(filter, [&](const fd::Data& d, const auto&) { jpegDefault.set_value(d); });
  const fd::Data high = jpegDefault.get_future().get();
  camera->waitForCapture();
  camera->setJpegCompressionQuality(0.1f);
  camera->capturePhotoAsJPEGProcessedUpToFilter(filter, [&](const fd::Data& d, const auto&) { jpegLow.set_value(d); });
  const fd::Data low = jpegLow.get_future().get();
  camera->waitForCapture();
  auto highImage = gfx::decodeJPEG(high);
  ASSERT_TRUE(highImage);
  EXPECT_EQ(highImage->pixelWidth(), 640);
  ASSERT_TRUE(gfx::decodeJPEG(low));
  EXPECT_LT(low.size(), high.size());
  // The photo matches the PNG's pixels within JPEG's loss.
  double diff = 0;
  int n = 0;
  for (int y = 0; y < 480; y += 8)
    for (int x = 0; x < 640; x += 8, ++n) diff += std::abs(highImage->pixel(x, y)[1] - decoded->pixel(x, y)[1]);
  EXPECT_LT(diff / n, 6.0);
  camera->stopCameraCapture();
}

TEST_F(GPUStillCameraTest, APhotoTooLargeForATextureIsScaledDownFirst) {
  auto camera = GPUStillCamera::make(kGPUCaptureSessionPreset640x480, media::kCameraPositionBack);
  ASSERT_NE(camera, nullptr);
  auto filter = std::make_shared<gputest::GrayscaleTestFilter>();
  camera->addTarget(filter);
  camera->startCameraCapture();
  // Fits: the photo goes through at its own size.
  std::promise<gfx::Image> fits;
  camera->capturePhotoAsImageProcessedUpToFilter(filter, [&](const gfx::Image& i, const auto&) { fits.set_value(i); });
  EXPECT_EQ(fits.get_future().get().pixelWidth(), 640);
  camera->waitForCapture();
  EXPECT_EQ(camera->lastPhotoSize(), (gfx::Size{640, 480}));
  // A device whose largest texture is 320: the longer side becomes 320.
  camera->setMaximumPhotoTextureSize(320);
  std::promise<gfx::Image> scaled;
  camera->capturePhotoAsImageProcessedUpToFilter(filter, [&](const gfx::Image& i, const auto&) { scaled.set_value(i); });
  const gfx::Image image = scaled.get_future().get();
  camera->waitForCapture();
  EXPECT_EQ(camera->lastPhotoSize(), (gfx::Size{320, 240}));
  EXPECT_EQ(image.pixelWidth(), 320);
  EXPECT_EQ(image.pixelHeight(), 240);
  camera->stopCameraCapture();
}

// The photo's attachments are there while the capture's handler runs, and
// only then.
TEST_F(GPUStillCameraTest, MetadataLivesOnlyWhileTheHandlerRuns) {
  auto camera = GPUStillCamera::make(kGPUCaptureSessionPreset640x480, media::kCameraPositionBack);
  ASSERT_NE(camera, nullptr);
  auto filter = std::make_shared<gputest::GrayscaleTestFilter>();
  camera->addTarget(filter);
  camera->startCameraCapture();
  EXPECT_FALSE(camera->currentCaptureMetadata().has_value());
  std::promise<std::optional<fd::Value>> during;
  camera->capturePhotoProcessedUpToFilter(filter, [&](const auto&) { during.set_value(camera->currentCaptureMetadata()); });
  const auto metadata = during.get_future().get();
  camera->waitForCapture();
  ASSERT_TRUE(metadata.has_value());
  EXPECT_EQ((*metadata)["PixelWidth"].intValue(), 640);
  EXPECT_FALSE(camera->currentCaptureMetadata().has_value());
  camera->capturePhotoAsSampleBufferWithCompletionHandler([] { ADD_FAILURE() << "never called"; });
  camera->stopCameraCapture();
}

TEST_F(GPUStillCameraTest, ACaptureWhileOneRunsIsRefusedAndLiveFramesWait) {
  auto camera = GPUStillCamera::make(kGPUCaptureSessionPreset640x480, media::kCameraPositionBack);
  ASSERT_NE(camera, nullptr);
  auto filter = std::make_shared<gputest::GrayscaleTestFilter>();
  auto target = std::make_shared<gputest::RecordingTarget>();
  camera->addTarget(filter);
  camera->addTarget(target);
  // Not running yet: the first capture waits for a photo.
  std::promise<bool> first;
  camera->capturePhotoAsImageProcessedUpToFilter(
      filter, [&](const gfx::Image& image, const auto& error) { first.set_value(!error && !image.empty()); });
  std::optional<GPUCaptureError> refused;
  camera->capturePhotoAsJPEGProcessedUpToFilter(filter, [&](const fd::Data& data, const auto& error) {
    refused = error;
    EXPECT_TRUE(data.empty());
  });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->code, kGPUCaptureErrorSessionBusy);
  EXPECT_EQ(refused->code, -11830);
  // While the capture holds the frame, a live frame is dropped.
  camera->GPUVideoCamera::captureOutputDidOutputSampleBuffer(sample(0, 0));
  gputest::drainProcessingQueue();
  EXPECT_EQ(target->frames, 0);
  camera->startCameraCapture();
  EXPECT_TRUE(first.get_future().get());
  camera->waitForCapture();
  camera->stopCameraCapture();
  // The photo went through; the live picture runs again afterwards.
  EXPECT_GE(target->frames, 1);
  const int before = target->frames;
  camera->GPUVideoCamera::captureOutputDidOutputSampleBuffer(sample(1, 20));
  gputest::drainProcessingQueue();
  EXPECT_EQ(target->frames, before + 1);
}

TEST_F(GPUStillCameraTest, NoPhotoFromAStoppedCameraIsAnError) {
  auto camera = GPUStillCamera::make(kGPUCaptureSessionPreset640x480, media::kCameraPositionBack);
  ASSERT_NE(camera, nullptr);
  auto filter = std::make_shared<gputest::GrayscaleTestFilter>();
  camera->addTarget(filter);
  std::promise<std::optional<GPUCaptureError>> result;
  camera->capturePhotoAsPNGProcessedUpToFilter(filter,
                                               [&](const fd::Data&, const auto& error) { result.set_value(error); });
  auto error = result.get_future().get();
  camera->waitForCapture();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, kGPUCaptureErrorNoPhoto);
  // The semaphore came back: live frames run.
  auto target = std::make_shared<gputest::RecordingTarget>();
  camera->addTarget(target);
  camera->captureOutputDidOutputSampleBuffer(sample(0, 0));
  gputest::drainProcessingQueue();
  EXPECT_EQ(target->frames, 1);
}

}  // namespace
