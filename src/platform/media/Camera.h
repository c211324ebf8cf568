#pragma once
// Cameras and the microphone as capture threads deliver them: BGRA pictures
// and mono sound, each with its time on one capture clock.
//
// The camera is chosen by $FLIPDESK_CAMERA, else the defaults key
// "CameraSource": "pattern" (a moving test picture), "file:PATH" (a movie
// played as the camera, looping), a device path ("/dev/video0"), or "auto"
// (the default: the machine's cameras, the first /dev/video* at the back and
// a second one at the front). Where no camera opens or gives a picture, the
// test pattern stands in and the capture's owner is told why.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
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
  // Told once per start, on the capture thread: the source is open and has
  // given its first picture, or it could not be opened or gave no picture (a
  // movie whose pictures cannot be decoded, a stream that ended first; the
  // failure says why, naming the file or device) and the test pattern stands in.
  using OpenHandler = std::function<void(const fd::Status&)>;

  // 640x480 at 30 frames a second unless said otherwise. Nothing is opened
  // here: the source is opened on the capture thread when capture starts, so
  // a file slow to open or a FIFO with nobody writing never holds the caller.
  // Pictures keep their shape: turned upright as a movie's display turn
  // asks, they fill the capture size and the overflow is cut off, as a
  // camera's preview does.
  static fd::Expected<std::unique_ptr<VideoCapture>> open(const CameraDevice& device, int width = 640,
                                                          int height = 480, int framesPerSecond = 30);
  ~VideoCapture();
  VideoCapture(const VideoCapture&) = delete;
  VideoCapture& operator=(const VideoCapture&) = delete;

  // Called on the capture thread for each picture.
  void setFrameHandler(FrameHandler handler);
  void setOpenHandler(OpenHandler handler);
  void start();
  // Returns promptly even while a source is still being opened; no handler is
  // called after it returns.
  void stop();
  bool isRunning() const;
  // 0 or less: the source's own rate.
  void setFrameRate(int framesPerSecond);
  // The device asked for, or the pattern once it stands in.
  CameraDevice device() const;
  int width() const { return width_; }
  int height() const { return height_; }

  struct Source;
  struct State;

 private:
  VideoCapture() = default;

  int width_ = 640, height_ = 480;
  int defaultFps_ = 30;
  std::shared_ptr<State> state_;
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
