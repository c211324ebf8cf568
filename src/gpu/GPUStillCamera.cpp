#include "gpu/GPUStillCamera.h"

#include "platform/foundation/Log.h"

#include <chrono>

#include "gpu/GPUOpenGLESContext.h"

namespace {
// How long a capture waits for the camera's next picture.
constexpr auto kPhotoTimeout = std::chrono::seconds(2);
}  // namespace

std::shared_ptr<GPUStillCamera> GPUStillCamera::make() {
  return make(kGPUCaptureSessionPresetPhoto, media::kCameraPositionBack);
}

std::shared_ptr<GPUStillCamera> GPUStillCamera::make(const std::string& sessionPreset, int cameraPosition) {
  std::shared_ptr<GPUStillCamera> camera(new GPUStillCamera());
  if (!camera->setUp(sessionPreset, cameraPosition)) return nullptr;
  camera->maximumPhotoTextureSize_ = GPUOpenGLESContext::maximumTextureSizeForThisDevice();
  return camera;
}

GPUStillCamera::~GPUStillCamera() {
  waitForCapture();
  stopCameraCapture();
}

void GPUStillCamera::waitForCapture() {
  if (captureThread_.joinable() && captureThread_.get_id() != std::this_thread::get_id()) captureThread_.join();
}

gfx::Size GPUStillCamera::lastPhotoSize() const {
  std::lock_guard lock(photoMutex_);
  return lastPhotoSize_;
}

void GPUStillCamera::captureOutputDidOutputSampleBuffer(const media::VideoSample& sampleBuffer) {
  {
    std::lock_guard lock(photoMutex_);
    if (wantsPhoto_) {
      wantsPhoto_ = false;
      photo_ = sampleBuffer;
      photoArrived_.notify_all();
    }
  }
  GPUVideoCamera::captureOutputDidOutputSampleBuffer(sampleBuffer);
}

void GPUStillCamera::signalFrameSemaphore() {
  if (semaphoreHeld_.exchange(false)) frameRenderingSemaphore_.release();
}

void GPUStillCamera::capturePhotoProcessedUpToFilter(const std::shared_ptr<GPUOutput>& filter, ErrorHandler handler) {
  (void)filter;  // the photo runs through the whole chain; the filter is read by the result forms
  // A capture already running holds the frame semaphore until its handler
  // is done: waiting for it here would stall this caller, so it is refused.
  if (capturing_.exchange(true)) {
    if (handler) handler(GPUCaptureError{kGPUCaptureErrorDomain, kGPUCaptureErrorSessionBusy, "a capture is in progress"});
    return;
  }
  frameRenderingSemaphore_.acquire();
  semaphoreHeld_ = true;
  {
    std::lock_guard lock(photoMutex_);
    photo_.reset();
    wantsPhoto_ = true;
  }
  waitForCapture();
  captureThread_ = std::thread([this, handler = std::move(handler)] {
    std::optional<media::VideoSample> photo;
    {
      std::unique_lock lock(photoMutex_);
      photoArrived_.wait_for(lock, kPhotoTimeout, [this] { return photo_.has_value(); });
      wantsPhoto_ = false;
      photo = std::move(photo_);
      photo_.reset();
    }
    if (!photo || !photo->pixels) {
      signalFrameSemaphore();
      capturing_ = false;
      if (handler) handler(GPUCaptureError{kGPUCaptureErrorDomain, kGPUCaptureErrorNoPhoto, "the camera gave no photo"});
      return;
    }
    conserveMemoryForNextFrame();
    const gfx::Size size{static_cast<float>(photo->pixels->width), static_cast<float>(photo->pixels->height)};
    const gfx::Size fits = GPUOpenGLESContext::sizeThatFits(size, static_cast<float>(maximumPhotoTextureSize_));
    if (!(fits == size)) {
      photo->pixels = media::scaledPixelBuffer(*photo->pixels, static_cast<int>(fits.width),
                                               static_cast<int>(fits.height));
      photo->presentationTime = CMTimeMake(1, 30);
    }
    {
      std::lock_guard lock(photoMutex_);
      lastPhotoSize_ = fits;
    }
    // Pushed through while this capture still holds the semaphore, so no
    // live frame can take the photo's place in the filters.
    performOnProcessingQueueSync([&] {
      if (delegate() != nullptr) delegate()->willOutputSampleBuffer(*photo);
      processVideoSampleBuffer(*photo);
    });
    // The photo's attachments, readable while the handler runs: what the
    // camera knows of it (a desktop camera gives no EXIF of its own).
    {
      std::lock_guard lock(photoMutex_);
      currentCaptureMetadata_ = fd::Dictionary{
          {"PixelWidth", fd::Value(photo->pixels->width)},
          {"PixelHeight", fd::Value(photo->pixels->height)},
          {"CaptureTime", fd::Value(CMTimeGetSeconds(photo->presentationTime))}};
    }
    if (handler) handler(std::nullopt);
    {
      std::lock_guard lock(photoMutex_);
      currentCaptureMetadata_.reset();
    }
    signalFrameSemaphore();
    capturing_ = false;
  });
}

std::optional<fd::Value> GPUStillCamera::currentCaptureMetadata() const {
  std::lock_guard lock(photoMutex_);
  return currentCaptureMetadata_;
}

void GPUStillCamera::capturePhotoAsSampleBufferWithCompletionHandler(const std::function<void()>&) {
  fd::Log("If you want to use the method capturePhotoAsSampleBufferWithCompletionHandler:, you must comment out "
          "the line in GPUStillCamera in the method initWithSessionPreset:cameraPosition: which sets the "
          "CVPixelBufferPixelFormatTypeKey, as well as uncomment the rest of the method "
          "capturePhotoAsSampleBufferWithCompletionHandler:. However, if you do this you cannot use any of the photo "
          "capture methods to take a photo if you also supply a filter.\n");
}

void GPUStillCamera::captureImageThen(
    const std::shared_ptr<GPUOutput>& filter,
    std::function<void(const gfx::Image&, const std::optional<GPUCaptureError>&)> then) {
  capturePhotoProcessedUpToFilter(filter, [this, filter, then = std::move(then)](const auto& error) {
    // On an error the semaphore is already back (or, for a refused
    // capture, belongs to the capture that runs).
    if (error) {
      then({}, error);
      return;
    }
    gfx::Image image = filter ? filter->imageFromCurrentlyProcessedOutput() : gfx::Image();
    signalFrameSemaphore();
    then(image, std::nullopt);
  });
}

void GPUStillCamera::capturePhotoAsImageProcessedUpToFilter(const std::shared_ptr<GPUOutput>& filter,
                                                            ImageHandler handler) {
  captureImageThen(filter, [handler = std::move(handler)](const gfx::Image& image, const auto& error) {
    if (handler) handler(image, error);
  });
}

void GPUStillCamera::capturePhotoAsJPEGProcessedUpToFilter(const std::shared_ptr<GPUOutput>& filter,
                                                           DataHandler handler) {
  captureImageThen(filter, [this, handler = std::move(handler)](const gfx::Image& image, const auto& error) {
    fd::Data data;
    if (!error) {
      if (auto encoded = gfx::encodeJPEG(image, jpegCompressionQuality_)) data = std::move(*encoded);
    }
    if (handler) handler(data, error);
  });
}

void GPUStillCamera::capturePhotoAsPNGProcessedUpToFilter(const std::shared_ptr<GPUOutput>& filter,
                                                          DataHandler handler) {
  captureImageThen(filter, [handler = std::move(handler)](const gfx::Image& image, const auto& error) {
    fd::Data data;
    if (!error) {
      if (auto encoded = gfx::encodePNG(image)) data = std::move(*encoded);
    }
    if (handler) handler(data, error);
  });
}
