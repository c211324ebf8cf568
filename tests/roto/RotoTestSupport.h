#pragma once
// Test movies for the rotoscoping tests: pictures whose frame number can be
// read back from their colour, a 440 Hz tone, key frames at a chosen interval.
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/media/MovieWriter.h"
#include "platform/graphics/Image.h"
#include "platform/media/VideoFrame.h"

namespace roto_test {

constexpr int kMovieFps = 30;

// A still gradient with a 16 x 16 corner block whose colour tells the frame:
// blue (frame * 4) mod 256, red the movie's mark. The scene barely changes,
// so key frames fall exactly at the asked interval.
inline std::shared_ptr<media::PixelBuffer> framePicture(int w, int h, int frame, int mark) {
  auto p = media::PixelBuffer::make(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* px = p->row(y) + 4 * x;
      const bool block = x < 16 && y < 16;
      px[0] = static_cast<std::uint8_t>(block ? (frame * 4) & 255 : x);
      px[1] = static_cast<std::uint8_t>(block ? 128 : y * 2);
      px[2] = static_cast<std::uint8_t>(block ? mark : 255 - x);
      px[3] = 255;
    }
  return p;
}

inline double meanChannel(const media::PixelBuffer& p, int channel) {
  double sum = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) sum += p.row(y)[4 * x + channel];
  return sum / (p.width * p.height);
}

struct MoviePlan {
  double seconds = 3;
  int width = 160;
  int height = 120;
  int keyFrameInterval = 15;  // frames
  int mark = 0;
  bool sound = true;
  // The display turn stored with the pictures (a phone's movie filmed sideways).
  media::VideoTransform transform;
  // Draws frame i; framePicture when empty.
  std::function<std::shared_ptr<media::PixelBuffer>(int)> picture;
};

inline fd::Status writeTestMovie(const std::filesystem::path& file, const MoviePlan& plan) {
  auto writer = media::MovieWriter::create(file, media::MovieContainer::QuickTime);
  if (!writer) return writer.failure();
  media::MovieWriter& w = **writer;
  if (auto s = w.addVideoTrack({plan.width, plan.height, plan.keyFrameInterval, kMovieFps}); !s) return s;
  if (plan.sound)
    if (auto s = w.addAudioTrack({}); !s) return s;
  if (!(plan.transform == media::VideoTransform{}))
    if (auto s = w.setVideoTransform(plan.transform); !s) return s;
  if (!w.startWriting()) return fd::fail(w.error());
  w.startSession(CMTimeMake(0, 600));
  const int frames = static_cast<int>(std::lround(plan.seconds * kMovieFps));
  std::size_t audioAt = 0;
  for (int i = 0; i < frames; ++i) {
    auto pic = plan.picture ? plan.picture(i) : framePicture(plan.width, plan.height, i, plan.mark);
    w.appendVideo(*pic, CMTimeMake(i * (600 / kMovieFps), 600));
    while (plan.sound && audioAt < static_cast<std::size_t>((i + 1) * 44100 / kMovieFps)) {
      media::AudioSamples a;
      a.samples.resize(1024);
      for (std::size_t k = 0; k < a.samples.size(); ++k)
        a.samples[k] = 0.4f * static_cast<float>(std::sin(2 * M_PI * 440 * (audioAt + k) / 44100.0));
      a.presentationTime = CMTimeMake(static_cast<std::int64_t>(audioAt), 44100);
      w.appendAudio(a);
      audioAt += 1024;
    }
  }
  return w.finishWriting();
}

}  // namespace roto_test

namespace roto_test {

// White paper with a black 16 x 16 square at x = 2 x frame (wrapping), y = 8:
// the frame on show can be read back from where the square is.
inline std::shared_ptr<media::PixelBuffer> squarePicture(int w, int h, int frame) {
  auto p = media::PixelBuffer::make(w, h);
  const int sx = (frame * 2) % (w - 16);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* px = p->row(y) + 4 * x;
      const bool ink = x >= sx && x < sx + 16 && y >= 8 && y < 24;
      px[0] = px[1] = px[2] = ink ? 0 : 255;
      px[3] = 255;
    }
  return p;
}

// Opaque-enough pixels of a picture: their count and mean x and y.
struct Ink {
  int count = 0;
  double x = 0, y = 0;
};
inline Ink inkOf(const gfx::Image& image) {
  Ink ink;
  for (int y = 0; y < image.pixelHeight(); ++y)
    for (int x = 0; x < image.pixelWidth(); ++x)
      if (image.pixel(x, y)[3] > 128) {
        ++ink.count;
        ink.x += x;
        ink.y += y;
      }
  if (ink.count > 0) {
    ink.x /= ink.count;
    ink.y /= ink.count;
  }
  return ink;
}

}  // namespace roto_test
