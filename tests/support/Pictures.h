#pragma once
// Looking at the pictures a test finds on disk.
#include <cstdint>
#include <filesystem>

#include "platform/graphics/Image.h"

namespace testing_support {

// Pixels of a picture that are not wholly transparent.
inline long inkedPixels(const gfx::Image& img) {
  long n = 0;
  for (int y = 0; y < img.pixelHeight(); ++y)
    for (int x = 0; x < img.pixelWidth(); ++x)
      if (img.pixel(x, y)[3] > 0) ++n;
  return n;
}

// The same of a picture file; -1 when it cannot be read.
inline long inkedPixels(const std::filesystem::path& path) {
  auto img = gfx::readImage(path);
  return img ? inkedPixels(*img) : -1;
}

// A picture told apart by its seed: every pixel opaque, in the seed's colour.
inline gfx::Image seededPicture(int w, int h, std::uint8_t seed) {
  gfx::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = seed, p[1] = static_cast<std::uint8_t>(255 - seed), p[2] = static_cast<std::uint8_t>(x + y), p[3] = 255;
    }
  return img;
}

}  // namespace testing_support
