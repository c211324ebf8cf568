#include "platform/gl/GLLayer.h"

#include <algorithm>
#include <cstring>

#include "platform/gl/Context.h"
#include "platform/gl/Util.h"

namespace glx {

GLLayer::GLLayer(float widthPoints, float heightPoints, float contentsScale)
    : width_(widthPoints), height_(heightPoints), scale_(contentsScale) {}

GLLayer::~GLLayer() { Context::forgetLayer(*this); }

void GLLayer::setBounds(float widthPoints, float heightPoints) {
  width_ = widthPoints;
  height_ = heightPoints;
}

namespace {
int drawableEdge(float points, float scale) {
  const float px = points * scale;
  if (!(px >= 1.0f)) return 1;  // also catches NaN
  const int limit = maxRenderbufferSize();
  return px >= static_cast<float>(limit) ? limit : static_cast<int>(px);
}
}  // namespace

int GLLayer::drawableWidth() const { return drawableEdge(width_, scale_); }
int GLLayer::drawableHeight() const { return drawableEdge(height_, scale_); }

gfx::Image GLLayer::readPicture() const {
  const int w = storageWidth_, h = storageHeight_;
  gfx::Image image(w, h, scale_);
  image.setPremultiplied(true);
  if (w == 0 || h == 0) return image;
  readPixels(0, 0, w, h, image.pixels());
  // GL rows run bottom-up; images run top-down.
  const std::size_t stride = image.stride();
  std::vector<std::uint8_t> row(stride);
  for (int top = 0, bottom = h - 1; top < bottom; ++top, --bottom) {
    std::memcpy(row.data(), image.pixel(0, top), stride);
    std::memcpy(image.pixel(0, top), image.pixel(0, bottom), stride);
    std::memcpy(image.pixel(0, bottom), row.data(), stride);
  }
  return image;
}

void GLLayer::present() {
  ++presents_;
  if (observer_) observer_();
  if (handler_) handler_(readPicture());
}

}  // namespace glx
