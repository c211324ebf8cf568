#include "platform/media/VideoFrame.h"

#include <algorithm>

namespace media {

std::shared_ptr<PixelBuffer> PixelBuffer::make(int width, int height) {
  auto p = std::make_shared<PixelBuffer>();
  if (width <= 0 || height <= 0) return p;
  p->width = width;
  p->height = height;
  p->bytesPerRow = width * 4;
  p->data.assign(static_cast<std::size_t>(p->bytesPerRow) * height, 0);
  return p;
}

std::shared_ptr<PixelBuffer> scaledPixelBuffer(const PixelBuffer& source, int width, int height) {
  auto out = PixelBuffer::make(width, height);
  if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0) return out;
  // Each output pixel averages the source pixels its area covers (whole
  // pixels, at least one), so a shrink keeps fine detail as a mean.
  for (int y = 0; y < height; ++y) {
    const int y0 = static_cast<int>(static_cast<long long>(y) * source.height / height);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * source.height / height));
    std::uint8_t* dst = out->row(y);
    for (int x = 0; x < width; ++x) {
      const int x0 = static_cast<int>(static_cast<long long>(x) * source.width / width);
      const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * source.width / width));
      unsigned sum[4] = {0, 0, 0, 0};
      for (int sy = y0; sy < y1; ++sy) {
        const std::uint8_t* src = source.row(sy) + 4 * x0;
        for (int sx = x0; sx < x1; ++sx, src += 4)
          for (int c = 0; c < 4; ++c) sum[c] += src[c];
      }
      const unsigned n = static_cast<unsigned>((y1 - y0) * (x1 - x0));
      for (int c = 0; c < 4; ++c) dst[4 * x + c] = static_cast<std::uint8_t>((sum[c] + n / 2) / n);
    }
  }
  return out;
}

std::shared_ptr<PixelBuffer> turnedPixelBuffer(const PixelBuffer& source, int degrees) {
  degrees = ((degrees % 360) + 360) % 360;
  if (degrees != 90 && degrees != 180 && degrees != 270) return std::make_shared<PixelBuffer>(source);
  const bool sideways = degrees != 180;
  auto out = PixelBuffer::make(sideways ? source.height : source.width, sideways ? source.width : source.height);
  for (int y = 0; y < source.height; ++y) {
    const std::uint8_t* src = source.row(y);
    for (int x = 0; x < source.width; ++x, src += 4) {
      // Where source pixel (x, y) lands after the clockwise turn.
      int tx = x, ty = y;
      if (degrees == 90) {
        tx = source.height - 1 - y;
        ty = x;
      } else if (degrees == 180) {
        tx = source.width - 1 - x;
        ty = source.height - 1 - y;
      } else {
        tx = y;
        ty = source.width - 1 - x;
      }
      std::copy(src, src + 4, out->row(ty) + 4 * tx);
    }
  }
  return out;
}

}  // namespace media
