#pragma once
// The live source of the pipeline: a camera's BGRA pictures uploaded on the
// processing queue and handed to the targets with their capture times, one
// frame in flight at a time (a frame that arrives while the previous one is
// still queued or drawn is dropped, never queued). While a movie writer is
// the audio encoding target, the microphone's sound goes to it as well.
#include <atomic>
#include <memory>
#include <semaphore>
#include <string>

#include "gpu/GPUOutput.h"
#include "platform/media/Camera.h"

// Session presets: the capture size they stand for.
inline constexpr const char* kGPUCaptureSessionPreset640x480 = "640x480";
inline constexpr const char* kGPUCaptureSessionPreset1280x720 = "1280x720";
inline constexpr const char* kGPUCaptureSessionPresetPhoto = "photo";

// Interface orientations as the phone numbers them.
enum GPUInterfaceOrientation : int {
  GPUInterfaceOrientationUnknown = 0,
  GPUInterfaceOrientationPortrait = 1,
  GPUInterfaceOrientationPortraitUpsideDown = 2,
  GPUInterfaceOrientationLandscapeRight = 3,
  GPUInterfaceOrientationLandscapeLeft = 4,
};

class GPUVideoCameraDelegate {
 public:
  virtual ~GPUVideoCameraDelegate() = default;
  // On the processing queue, before the frame is processed (also while paused).
  virtual void willOutputSampleBuffer(const media::VideoSample& sampleBuffer) = 0;
};

class GPUVideoCamera : public GPUOutput {
 public:
  // The 640x480 preset and the back camera; nullptr when there is no such camera.
  static std::shared_ptr<GPUVideoCamera> make();
  // nullptr when no camera has that position or the preset is unknown.
  static std::shared_ptr<GPUVideoCamera> make(const std::string& sessionPreset, int cameraPosition);
  ~GPUVideoCamera() override;

  void startCameraCapture();
  void stopCameraCapture();
  bool isRunning() const;
  void pauseCameraCapture() { capturePaused_ = true; }
  void resumeCameraCapture() { capturePaused_ = false; }
  bool capturePaused() const { return capturePaused_; }
  // Switches between the back and the front camera; nothing without a front one.
  void rotateCamera();
  int cameraPosition() const;
  static bool isFrontFacingCameraPresent();
  const media::CameraDevice& inputCamera() const { return inputCamera_; }

  const std::string& captureSessionPreset() const { return captureSessionPreset_; }
  // Reopens the capture at the preset's size (restarting it when it ran).
  void setCaptureSessionPreset(const std::string& preset);
  // 0 or less: the device's own rate.
  void setFrameRate(int frameRate);
  int frameRate() const { return frameRate_; }

  void addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) override;
  using GPUOutput::addTarget;
  // Opens the microphone for a writer, closes it for none.
  void setAudioEncodingTarget(const std::shared_ptr<GPUMovieWriter>& writer) override;

  void setOutputImageOrientation(int orientation);
  int outputImageOrientation() const { return outputImageOrientation_; }
  void setHorizontallyMirrorFrontFacingCamera(bool on);
  bool horizontallyMirrorFrontFacingCamera() const { return horizontallyMirrorFrontFacingCamera_; }
  void setHorizontallyMirrorRearFacingCamera(bool on);
  bool horizontallyMirrorRearFacingCamera() const { return horizontallyMirrorRearFacingCamera_; }
  void updateOrientationSendToTargets();
  RotationMode outputRotation() const { return outputRotation_; }
  // The rotation a target is told for a camera, its mirroring and the
  // orientation; `current` for an orientation that is none of the four.
  static RotationMode rotationFor(int cameraPosition, bool mirrored, int orientation, RotationMode current);

  // Told on the capture thread once the camera has opened after a start, or
  // with why it could not (the test pattern then stands in).
  void setOpenHandler(media::VideoCapture::OpenHandler handler);

  void setDelegate(GPUVideoCameraDelegate* delegate) { delegate_ = delegate; }
  GPUVideoCameraDelegate* delegate() const { return delegate_; }
  bool runBenchmark() const { return runBenchmark_; }
  void setRunBenchmark(bool on) { runBenchmark_ = on; }
  // Milliseconds per frame over the frames after the first five.
  float averageFrameDurationDuringCapture() const;

  // The capture thread's entry for one picture: dropped while the previous
  // one is in flight, else processed on the processing queue.
  virtual void captureOutputDidOutputSampleBuffer(const media::VideoSample& sampleBuffer);
  // On the processing queue.
  void processVideoSampleBuffer(const media::VideoSample& sampleBuffer);
  void processAudioSampleBuffer(const media::AudioSamples& sound);

 protected:
  GPUVideoCamera() = default;
  // The set-up of make(); false when no camera can be had.
  bool setUp(const std::string& sessionPreset, int cameraPosition);
  bool openCapture(const media::CameraDevice& device, const std::string& preset);

  std::binary_semaphore frameRenderingSemaphore_{1};
  std::unique_ptr<media::VideoCapture> captureSession_;
  media::CameraDevice inputCamera_;

 private:
  std::unique_ptr<media::MicrophoneStream> microphone_;
  media::VideoCapture::OpenHandler openHandler_;
  std::atomic<bool> capturePaused_{false};
  RotationMode outputRotation_ = RotationNone;
  GPUVideoCameraDelegate* delegate_ = nullptr;
  int frameRate_ = 0;
  std::string captureSessionPreset_;
  bool runBenchmark_ = false;
  unsigned numberOfFramesCaptured_ = 0;
  float totalFrameTimeDuringCapture_ = 0;
  int outputImageOrientation_ = GPUInterfaceOrientationUnknown;
  bool horizontallyMirrorFrontFacingCamera_ = false;
  bool horizontallyMirrorRearFacingCamera_ = false;
};
