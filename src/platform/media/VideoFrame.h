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

// The largest pictures a movie may hold. A movie's picture size is checked
// against them before anything is decoded, as pictures are checked before
// their pixels are read: a few megabytes of file must not take gigabytes.
struct PictureLimits {
  int maxWidth = 8192;
  int maxHeight = 8192;
  std::int64_t maxPixels = std::int64_t{4096} * 2304;  // a 4K picture, 36 MB as BGRA
  bool admits(int width, int height) const {
    return width > 0 && height > 0 && width <= maxWidth && height <= maxHeight &&
           static_cast<std::int64_t>(width) * height <= maxPixels;
  }
};

// The picture turned clockwise by 0, 90, 180 or 270 degrees (as a movie's
// display turn asks); other angles leave it as it is.
std::shared_ptr<PixelBuffer> turnedPixelBuffer(const PixelBuffer& source, int degrees);

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
