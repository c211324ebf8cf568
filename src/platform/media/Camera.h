#pragma once
// Cameras and the microphone as capture threads deliver them: BGRA pictures
// and mono sound, each with its time on one capture clock.
//
// The camera is chosen by $FLIPDESK_CAMERA, else the defaults key
// "CameraSource": "pattern" (a moving test picture), "file:PATH" (a movie
// played as the camera, looping), a device path ("/dev/video0"), or "auto"
// (the default: the machine's cameras, the first /dev/video* at the back and
// a second one at the front). Where no camera opens, the test pattern stands
// in and the log says so.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/media/AudioCapture.h"
#include "platform/media/VideoFrame.h"

namespace media {

// Positions as the phone numbers them.
inline constexpr int kCameraPositionBack = 1;
inline constexpr int kCameraPositionFront = 2;

struct CameraDevice {
  std::string id;  // "pattern", "file:PATH" or a device path
  std::string name;
  int position = kCameraPositionBack;
};

// The cameras the setting offers, never empty (the pattern at least).
std::vector<CameraDevice> cameraDevices();
// The setting's text ("auto" when unset).
std::string cameraSetting();

// Seconds on the capture clock, shared by cameras and the microphone so that
// their samples line up in a movie.
CMTime captureClockNow();

class VideoCapture {
 public:
  using FrameHandler = std::function<void(const VideoSample&)>;

  // 640x480 at 30 frames a second unless said otherwise. A device that does
  // not open falls back to the pattern (logged); a movie file that does not
  // open is an error.
  static fd::Expected<std::unique_ptr<VideoCapture>> open(const CameraDevice& device, int width = 640,
                                                          int height = 480, int framesPerSecond = 30);
  ~VideoCapture();
  VideoCapture(const VideoCapture&) = delete;
  VideoCapture& operator=(const VideoCapture&) = delete;

  // Called on the capture thread for each picture.
  void setFrameHandler(FrameHandler handler);
  void start();
  void stop();
  bool isRunning() const { return running_; }
  // 0 or less: the source's own rate.
  void setFrameRate(int framesPerSecond);
  const CameraDevice& device() const { return device_; }
  int width() const { return width_; }
  int height() const { return height_; }

  struct Source;

 private:
  VideoCapture() = default;
  void run();

  CameraDevice device_;
  int width_ = 640, height_ = 480;
  std::atomic<int> fps_{30};
  int defaultFps_ = 30;
  std::unique_ptr<Source> source_;
  std::mutex handlerMutex_;
  FrameHandler handler_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

// The microphone on a thread of its own: about every 20 ms the samples
// captured so far, stamped on the capture clock.
class MicrophoneStream {
 public:
  using SampleHandler = std::function<void(const AudioSamples&)>;
  static fd::Expected<std::unique_ptr<MicrophoneStream>> open();
  ~MicrophoneStream();
  void setSampleHandler(SampleHandler handler);
  void start();
  void stop();
  bool isRunning() const { return running_; }

 private:
  MicrophoneStream() = default;
  std::unique_ptr<CaptureSource> capture_;
  std::mutex handlerMutex_;
  SampleHandler handler_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

}  // namespace media
