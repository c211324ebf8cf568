#pragma once
// The export walk of the rotoscoping screen: on its own thread, ten pictures a
// second plus one from a movie, each turned upright, run through the export
// filter and handed on. A cancelled walk hands nothing more on: cancel()
// returns only after a hand-over in progress has ended, and none starts after.
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "gpu/GPUFilter.h"
#include "platform/graphics/Image.h"
#include "platform/media/VideoFrame.h"

namespace roto {

class RotoFrameExport {
 public:
  struct Callbacks {
    // On the main thread, before each picture is made.
    std::function<void(int index, int total)> progress;
    // On the export thread.
    std::function<void(const std::shared_ptr<const gfx::Image>& frame, int index)> frame;
    // On the main thread, after the last picture.
    std::function<void()> finished;
  };

  // The walk's length for a movie of d seconds: (int)(d x 10 + 1).
  static int frameCount(double duration);
  // The time of picture i of n over d seconds.
  static double frameTime(int index, int total, double duration);
  // A movie picture as the phone shows it: upright, straight RGBA.
  static gfx::Image uprightPicture(const media::PixelBuffer& pixels, int rotationDegrees);

  RotoFrameExport() = default;
  ~RotoFrameExport() { cancel(); }
  RotoFrameExport(const RotoFrameExport&) = delete;
  RotoFrameExport& operator=(const RotoFrameExport&) = delete;

  void start(const std::filesystem::path& movie, std::shared_ptr<GPUFilter> filter, Callbacks callbacks);
  void cancel();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace roto
