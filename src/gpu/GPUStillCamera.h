#pragma once
// The video camera with photo capture: while the live picture runs, the next
// full-size camera picture is taken as the photo, pushed once through the
// filter chain and read back from a filter of the caller's choice as an
// image, JPEG or PNG. Photos too large for a texture are scaled down on the
// processor first. The live picture freezes while a capture runs.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "gpu/GPUVideoCamera.h"
#include "platform/foundation/Value.h"

struct GPUCaptureError {
  std::string domain;
  int code = 0;
  std::string message;
};
inline constexpr const char* kGPUCaptureErrorDomain = "CaptureErrorDomain";
// A capture asked for while another one runs.
inline constexpr int kGPUCaptureErrorSessionBusy = -11830;
// No photo came from the camera (it is not running, or it stopped).
inline constexpr int kGPUCaptureErrorNoPhoto = -11800;

class GPUStillCamera : public GPUVideoCamera {
 public:
  using ErrorHandler = std::function<void(const std::optional<GPUCaptureError>& error)>;
  using ImageHandler = std::function<void(const gfx::Image& image, const std::optional<GPUCaptureError>& error)>;
  using DataHandler = std::function<void(const fd::Data& data, const std::optional<GPUCaptureError>& error)>;

  // The photo preset and the back camera; nullptr when there is no such camera.
  static std::shared_ptr<GPUStillCamera> make();
  static std::shared_ptr<GPUStillCamera> make(const std::string& sessionPreset, int cameraPosition);
  ~GPUStillCamera() override;

  // Blocks until no live frame is in flight; the rest runs on a thread of
  // its own, where the handler is called. Without an error the photo's frame
  // is in the filters when the handler runs.
  void capturePhotoProcessedUpToFilter(const std::shared_ptr<GPUOutput>& filter, ErrorHandler handler);
  void capturePhotoAsImageProcessedUpToFilter(const std::shared_ptr<GPUOutput>& filter, ImageHandler handler);
  void capturePhotoAsJPEGProcessedUpToFilter(const std::shared_ptr<GPUOutput>& filter, DataHandler handler);
  void capturePhotoAsPNGProcessedUpToFilter(const std::shared_ptr<GPUOutput>& filter, DataHandler handler);
  // Only says, in the log, that photos come through the filters here; it
  // never calls its handler.
  void capturePhotoAsSampleBufferWithCompletionHandler(const std::function<void()>& handler);
  // The photo's attachments while a capture's handler runs; nullopt otherwise.
  std::optional<fd::Value> currentCaptureMetadata() const;
  // Waits for the capture thread of the last capture.
  void waitForCapture();

  float jpegCompressionQuality() const { return jpegCompressionQuality_; }
  void setJpegCompressionQuality(float quality) { jpegCompressionQuality_ = quality; }
  // The largest texture side photos are fitted into (the device's by default).
  int maximumPhotoTextureSize() const { return maximumPhotoTextureSize_; }
  void setMaximumPhotoTextureSize(int side) { maximumPhotoTextureSize_ = side; }
  // The size the last photo went through the pipeline at.
  gfx::Size lastPhotoSize() const;

  void captureOutputDidOutputSampleBuffer(const media::VideoSample& sampleBuffer) override;

 private:
  GPUStillCamera() = default;
  // Gives the frame semaphore back once per capture.
  void signalFrameSemaphore();
  void captureImageThen(const std::shared_ptr<GPUOutput>& filter,
                        std::function<void(const gfx::Image&, const std::optional<GPUCaptureError>&)> then);

  std::atomic<float> jpegCompressionQuality_{0.8f};
  int maximumPhotoTextureSize_ = 0;
  std::atomic<bool> capturing_{false};
  std::atomic<bool> semaphoreHeld_{false};
  mutable std::mutex photoMutex_;
  std::condition_variable photoArrived_;
  bool wantsPhoto_ = false;
  std::optional<media::VideoSample> photo_;
  gfx::Size lastPhotoSize_;
  std::optional<fd::Value> currentCaptureMetadata_;
  std::thread captureThread_;
};
