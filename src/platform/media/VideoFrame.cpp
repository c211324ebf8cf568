#include "platform/media/VideoFrame.h"

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

}  // namespace media
