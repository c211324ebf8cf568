#include "roto/RotoFrameExport.h"

#include <thread>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/MovieReader.h"
#include "roto/VTRotoscopingImageGenerator.h"

namespace roto {

struct RotoFrameExport::State {
  std::mutex m;  // held while a picture is handed on
  bool cancelled = false;
  Callbacks callbacks;
};

int RotoFrameExport::frameCount(double duration) { return static_cast<int>(duration * 10 + 1); }

double RotoFrameExport::frameTime(int index, int total, double duration) {
  return total > 0 ? index * duration / total : 0;
}

gfx::Image RotoFrameExport::uprightPicture(const media::PixelBuffer& pixels, int rotationDegrees) {
  gfx::Image image(pixels.width, pixels.height, 1.0f);
  for (int y = 0; y < pixels.height; ++y) {
    const std::uint8_t* src = pixels.row(y);
    std::uint8_t* dst = image.pixel(0, y);
    for (int x = 0; x < pixels.width; ++x, src += 4, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = src[3];
    }
  }
  // Movies recorded sideways carry the clockwise turn that shows them
  // upright; the picture orientation names the turn its pixels were stored with.
  switch (rotationDegrees) {
    case 90: image.setOrientation(gfx::Orientation::Left); break;
    case 180: image.setOrientation(gfx::Orientation::Down); break;
    case 270: image.setOrientation(gfx::Orientation::Right); break;
    default: return image;
  }
  return image.normalizedOrientation();
}

void RotoFrameExport::start(const std::filesystem::path& movie, std::shared_ptr<GPUFilter> filter,
                            Callbacks callbacks) {
  cancel();
  auto state = std::make_shared<State>();
  state->callbacks = std::move(callbacks);
  state_ = state;
  std::thread([state, movie, filter] {
    auto onMain = [state](std::function<void(Callbacks&)> fn) {
      // Cancelling happens on the main thread too, so a copy taken here stays
      // good; the lock is not held while the callback runs (it may end the walk).
      fd::performOnMain([state, fn] {
        Callbacks c;
        {
          std::lock_guard<std::mutex> lock(state->m);
          if (state->cancelled) return;
          c = state->callbacks;
        }
        fn(c);
      }, false);
    };
    auto reader = media::MovieReader::open(movie);
    if (!reader) {
      fd::Log("export: %s", reader.error().c_str());
      onMain([](Callbacks& c) { if (c.finished) c.finished(); });
      return;
    }
    media::MovieReader& r = **reader;
    const double d = r.duration();
    const int total = frameCount(d);
    const int rotation = r.rotationDegrees();
    // Pictures are read in order once; the one on show at t is the last that
    // starts at or before it.
    std::optional<media::VideoSample> shown = r.nextVideoFrame(), next = r.nextVideoFrame();
    for (int i = 0; i < total; ++i) {
      {
        std::lock_guard<std::mutex> lock(state->m);
        if (state->cancelled) return;
      }
      onMain([i, total](Callbacks& c) { if (c.progress) c.progress(i, total); });
      const double t = frameTime(i, total, d);
      fd::Log("%.2f", t);
      while (next && CMTimeGetSeconds(next->presentationTime) <= t + 1e-6) {
        shown = std::move(next);
        next = r.nextVideoFrame();
      }
      if (!shown || !shown->pixels) break;
      auto frame = std::make_shared<const gfx::Image>(
          VTRotoscopingImageGenerator::image(uprightPicture(*shown->pixels, rotation), filter));
      std::lock_guard<std::mutex> lock(state->m);
      if (state->cancelled) return;
      if (state->callbacks.frame) state->callbacks.frame(frame, i);
    }
    onMain([](Callbacks& c) { if (c.finished) c.finished(); });
  }).detach();
}

void RotoFrameExport::cancel() {
  const std::shared_ptr<State> state = std::move(state_);
  if (!state) return;
  std::lock_guard<std::mutex> lock(state->m);
  state->cancelled = true;
  state->callbacks = {};
}

}  // namespace roto
