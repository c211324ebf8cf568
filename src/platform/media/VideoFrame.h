#pragma once
// What movies and cameras hand around: BGRA pictures and mono sound, each with
// the media time it belongs at.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/MediaTime.h"

namespace media {

// A picture of 32-bit BGRA pixels (B, G, R, A bytes in memory), rows top-down.
struct PixelBuffer {
  int width = 0;
  int height = 0;
  int bytesPerRow = 0;
  std::vector<std::uint8_t> data;

  static std::shared_ptr<PixelBuffer> make(int width, int height);
  std::uint8_t* row(int y) { return data.data() + static_cast<std::size_t>(y) * bytesPerRow; }
  const std::uint8_t* row(int y) const { return data.data() + static_cast<std::size_t>(y) * bytesPerRow; }
};

// The picture resampled to width x height (an area average on the
// processor, for pictures too large for the GPU); empty for a size below 1.
std::shared_ptr<PixelBuffer> scaledPixelBuffer(const PixelBuffer& source, int width, int height);

// How a player should turn the pictures to show them upright (the affine
// transform a, b, c, d, tx, ty, as the movie's track header stores it).
struct VideoTransform {
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  bool operator==(const VideoTransform&) const = default;
};

struct VideoSample {
  std::shared_ptr<PixelBuffer> pixels;
  CMTime presentationTime = kCMTimeInvalid;
};

// Sound samples in [-1, 1], interleaved when there is more than one channel.
struct AudioSamples {
  std::vector<float> samples;
  int sampleRate = 44100;
  int channels = 1;
  CMTime presentationTime = kCMTimeInvalid;
  std::size_t frameCount() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

}  // namespace media
