#pragma once
// Looking at the pictures a test finds on disk.
#include <filesystem>

#include "platform/graphics/Image.h"

namespace testing_support {

// Pixels of a picture file that are not wholly transparent; -1 when it
// cannot be read.
inline long inkedPixels(const std::filesystem::path& path) {
  auto img = gfx::readImage(path);
  if (!img) return -1;
  long n = 0;
  for (int y = 0; y < img->pixelHeight(); ++y)
    for (int x = 0; x < img->pixelWidth(); ++x)
      if (img->pixel(x, y)[3] > 0) ++n;
  return n;
}

}  // namespace testing_support
