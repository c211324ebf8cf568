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

PixelBox PixelBox::unionWith(const PixelBox& o) const {
  if (empty()) return o;
  if (o.empty()) return *this;
  const int x0 = std::min(x, o.x), y0 = std::min(y, o.y);
  const int x1 = std::max(x + width, o.x + o.width), y1 = std::max(y + height, o.y + o.height);
  return {x0, y0, x1 - x0, y1 - y0};
}

PixelBox PixelBox::intersection(const PixelBox& o) const {
  const int x0 = std::max(x, o.x), y0 = std::max(y, o.y);
  const int x1 = std::min(x + width, o.x + o.width), y1 = std::min(y + height, o.y + o.height);
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

void GLLayer::addDamage(const PixelBox& box) {
  damage_ = damage_ ? damage_->unionWith(box) : box;
}

void GLLayer::present() {
  ++presents_;
  presentedDamage_.reset();
  if (damage_ && !storageChanged_) {
    // An empty rectangle still presents: nothing of the picture changed.
    presentedDamage_ = damage_->intersection({0, 0, storageWidth_, storageHeight_});
  }
  damage_.reset();
  storageChanged_ = false;
  if (observer_) observer_();
  if (handler_) handler_(readPicture());
  presentedDamage_.reset();
}

}  // namespace glx
