#include "gpu/GPUVideoCamera.h"

#include <array>
#include <chrono>
#include <optional>

#include "gpu/GPUMovieWriter.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPixels.h"
#include "platform/foundation/Log.h"

namespace {

struct PresetSize {
  const char* preset;
  int width;
  int height;
};
constexpr std::array<PresetSize, 3> kPresetSizes = {{
    {kGPUCaptureSessionPreset640x480, 640, 480},
    {kGPUCaptureSessionPreset1280x720, 1280, 720},
    {kGPUCaptureSessionPresetPhoto, 1280, 960},
}};

const PresetSize* presetSize(const std::string& preset) {
  for (const PresetSize& p : kPresetSizes) {
    if (preset == p.preset) return &p;
  }
  return nullptr;
}

// Rows: back, back mirrored, front, front mirrored; columns: portrait, upside
// down, landscape right, landscape left.
constexpr RotationMode kRotationTable[4][4] = {
    {RotationRight, RotationLeft, Rotation180, RotationNone},
    {RotationRightFlipVertical, Rotation180, RotationFlipVertical, RotationFlipHorizontal},
    {RotationRightFlipVertical, RotationRight, RotationFlipHorizontal, RotationFlipVertical},
    {RotationRight, RotationLeft, RotationNone, Rotation180},
};

// The last camera at the position, as a device list walked to its end gives.
std::optional<media::CameraDevice> cameraAt(int position) {
  std::optional<media::CameraDevice> found;
  for (const media::CameraDevice& d : media::cameraDevices()) {
    if (d.position == position) found = d;
  }
  return found;
}

}  // namespace

RotationMode GPUVideoCamera::rotationFor(int cameraPosition, bool mirrored, int orientation, RotationMode current) {
  if (orientation < GPUInterfaceOrientationPortrait || orientation > GPUInterfaceOrientationLandscapeLeft)
    return current;
  const int row = (cameraPosition == media::kCameraPositionBack ? 0 : 2) + (mirrored ? 1 : 0);
  return kRotationTable[row][orientation - 1];
}

std::shared_ptr<GPUVideoCamera> GPUVideoCamera::make() {
  return make(kGPUCaptureSessionPreset640x480, media::kCameraPositionBack);
}

std::shared_ptr<GPUVideoCamera> GPUVideoCamera::make(const std::string& sessionPreset, int cameraPosition) {
  std::shared_ptr<GPUVideoCamera> camera(new GPUVideoCamera());
  if (!camera->setUp(sessionPreset, cameraPosition)) return nullptr;
  return camera;
}

bool GPUVideoCamera::setUp(const std::string& sessionPreset, int cameraPosition) {
  // The platform has no shared pixel buffers: frames are uploaded into the
  // camera's own texture.
  initializeOutputTextureIfNeeded();
  const auto device = cameraAt(cameraPosition);
  if (!device) return false;
  return openCapture(*device, sessionPreset);
}

bool GPUVideoCamera::openCapture(const media::CameraDevice& device, const std::string& preset) {
  const PresetSize* size = presetSize(preset);
  if (size == nullptr) {
    fd::Log("Couldn't add video output\n");
    return false;
  }
  auto capture = media::VideoCapture::open(device, size->width, size->height);
  if (!capture) {
    fd::Log("Couldn't add video output (%s)\n", capture.error().c_str());
    return false;
  }
  const bool wasRunning = captureSession_ && captureSession_->isRunning();
  if (captureSession_) captureSession_->stop();
  captureSession_ = std::move(*capture);
  captureSession_->setFrameHandler([this](const media::VideoSample& s) { captureOutputDidOutputSampleBuffer(s); });
  captureSession_->setOpenHandler(openHandler_);
  if (frameRate_ > 0) captureSession_->setFrameRate(frameRate_);
  inputCamera_ = captureSession_->device();
  captureSessionPreset_ = preset;
  if (wasRunning) captureSession_->start();
  return true;
}

GPUVideoCamera::~GPUVideoCamera() {
  stopCameraCapture();
  captureSession_.reset();
  microphone_.reset();
  // A frame or sound already queued still uses this camera: wait it out.
  performOnProcessingQueueSync([] {});
}

void GPUVideoCamera::startCameraCapture() {
  if (!captureSession_ || captureSession_->isRunning()) return;
  captureSession_->start();
  if (microphone_) microphone_->start();
}

void GPUVideoCamera::stopCameraCapture() {
  if (captureSession_) captureSession_->stop();
  if (microphone_) microphone_->stop();
  performOnProcessingQueueSync([] {});
}

bool GPUVideoCamera::isRunning() const { return captureSession_ && captureSession_->isRunning(); }

int GPUVideoCamera::cameraPosition() const { return inputCamera_.position; }

bool GPUVideoCamera::isFrontFacingCameraPresent() { return cameraAt(media::kCameraPositionFront).has_value(); }

void GPUVideoCamera::rotateCamera() {
  if (!isFrontFacingCameraPresent()) return;
  const int wanted =
      inputCamera_.position == media::kCameraPositionBack ? media::kCameraPositionFront : media::kCameraPositionBack;
  const auto device = cameraAt(wanted);
  if (device) openCapture(*device, captureSessionPreset_);
  setOutputImageOrientation(outputImageOrientation_);
}

void GPUVideoCamera::setCaptureSessionPreset(const std::string& preset) {
  if (presetSize(preset) == nullptr) return;
  openCapture(inputCamera_, preset);
}

void GPUVideoCamera::setOpenHandler(media::VideoCapture::OpenHandler handler) {
  openHandler_ = std::move(handler);
  if (captureSession_) captureSession_->setOpenHandler(openHandler_);
}

void GPUVideoCamera::setFrameRate(int frameRate) {
  frameRate_ = frameRate;
  if (captureSession_) captureSession_->setFrameRate(frameRate);
}

void GPUVideoCamera::addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) {
  GPUOutput::addTarget(target, textureLocation);
  if (!target) return;
  performOnProcessingQueueSync([&] { target->setInputRotation(outputRotation_, textureLocation); });
}

void GPUVideoCamera::setAudioEncodingTarget(const std::shared_ptr<GPUMovieWriter>& writer) {
  performOnProcessingQueueSync([&] {
    if (writer) {
      if (!microphone_) {
        auto mic = media::MicrophoneStream::open();
        if (!mic) {
          fd::Log("Couldn't add audio output (%s)\n", mic.error().c_str());
        } else {
          microphone_ = std::move(*mic);
          microphone_->setSampleHandler([this](const media::AudioSamples& s) {
            auto copy = std::make_shared<media::AudioSamples>(s);
            performOnProcessingQueueAsync([this, copy] { processAudioSampleBuffer(*copy); });
          });
        }
      }
    }
  });
  if (!writer && microphone_) {
    // Stopped off the queue: its thread may be waiting to hand sound over.
    microphone_->stop();
    performOnProcessingQueueSync([] {});
    microphone_.reset();
  }
  GPUOutput::setAudioEncodingTarget(writer);
  if (microphone_ && isRunning()) microphone_->start();
}

void GPUVideoCamera::setOutputImageOrientation(int orientation) {
  outputImageOrientation_ = orientation;
  updateOrientationSendToTargets();
}

void GPUVideoCamera::setHorizontallyMirrorFrontFacingCamera(bool on) {
  horizontallyMirrorFrontFacingCamera_ = on;
  updateOrientationSendToTargets();
}

void GPUVideoCamera::setHorizontallyMirrorRearFacingCamera(bool on) {
  horizontallyMirrorRearFacingCamera_ = on;
  updateOrientationSendToTargets();
}

void GPUVideoCamera::updateOrientationSendToTargets() {
  performOnProcessingQueueSync([this] {
    const bool back = cameraPosition() == media::kCameraPositionBack;
    const bool mirrored = back ? horizontallyMirrorRearFacingCamera_ : horizontallyMirrorFrontFacingCamera_;
    outputRotation_ = rotationFor(cameraPosition(), mirrored, outputImageOrientation_, outputRotation_);
    for (const TargetEntry& e : targetEntries()) e.target->setInputRotation(outputRotation_, e.textureIndex);
  });
}

float GPUVideoCamera::averageFrameDurationDuringCapture() const {
  if (numberOfFramesCaptured_ <= 5) return 0;
  return totalFrameTimeDuringCapture_ / static_cast<float>(numberOfFramesCaptured_ - 5) * 1000.0f;
}

void GPUVideoCamera::captureOutputDidOutputSampleBuffer(const media::VideoSample& sampleBuffer) {
  if (!frameRenderingSemaphore_.try_acquire()) return;
  performOnProcessingQueueAsync([this, sampleBuffer] {
    if (delegate_ != nullptr) delegate_->willOutputSampleBuffer(sampleBuffer);
    processVideoSampleBuffer(sampleBuffer);
    frameRenderingSemaphore_.release();
  });
}

void GPUVideoCamera::processVideoSampleBuffer(const media::VideoSample& sampleBuffer) {
  if (capturePaused_ || !sampleBuffer.pixels) return;
  const auto started = std::chrono::steady_clock::now();
  const media::PixelBuffer& pixels = *sampleBuffer.pixels;
  if (!GPUOpenGLESContext::useImageProcessingContext()) return;
  glBindTexture(GL_TEXTURE_2D, outputTexture_.get());
  uploadBGRATexture(pixels.bytesPerRow / 4, pixels.height, pixels.data.data());
  const gfx::Size size{static_cast<float>(pixels.width), static_cast<float>(pixels.height)};
  for (const TargetEntry& e : targetEntries()) {
    if (!e.target->enabled() || e.target.get() == targetToIgnoreForUpdates_) continue;
    e.target->setInputSize(size, e.textureIndex);
    e.target->newFrameReadyAtTime(sampleBuffer.presentationTime, e.textureIndex);
  }
  if (runBenchmark_) {
    ++numberOfFramesCaptured_;
    if (numberOfFramesCaptured_ > 5) {
      totalFrameTimeDuringCapture_ +=
          std::chrono::duration<float>(std::chrono::steady_clock::now() - started).count();
    }
  }
}

void GPUVideoCamera::processAudioSampleBuffer(const media::AudioSamples& sound) {
  if (audioEncodingTarget_) audioEncodingTarget_->processAudioBuffer(sound);
}
