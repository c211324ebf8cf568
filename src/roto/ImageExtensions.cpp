#include "roto/ImageExtensions.h"

#include <cmath>

#include "platform/graphics/Context.h"

namespace roto {

namespace {

gfx::Image drawnInto(const gfx::Image& image, gfx::Size s, const gfx::Rect& r) {
  gfx::Context ctx(static_cast<int>(std::lround(s.width)), static_cast<int>(std::lround(s.height)), 1.0f);
  if (!ctx.valid()) return {};
  ctx.drawImage(image, r);
  return ctx.makeImage();
}

gfx::Size pixelSize(const gfx::Image& image) {
  return {static_cast<float>(image.pixelWidth()), static_cast<float>(image.pixelHeight())};
}

}  // namespace

gfx::Image imageAtRect(const gfx::Image& image, const gfx::Rect& r) { return image.cropped(r); }

gfx::Image imageByScalingToSize(const gfx::Image& image, gfx::Size s) {
  return drawnInto(image, s, {0, 0, s.width, s.height});
}

gfx::Rect proportionalRect(gfx::Size picture, gfx::Size s, bool cover) {
  if (picture.width == s.width && picture.height == s.height) return {0, 0, s.width, s.height};
  const float fw = s.width / picture.width, fh = s.height / picture.height;
  const float f = cover ? std::max(fw, fh) : std::min(fw, fh);
  const float w = picture.width * f, h = picture.height * f;
  gfx::Rect r{0, 0, w, h};
  // The fitted picture is centred across the side with room; the covering one
  // across the side that overflows.
  const bool centreVertically = cover ? fw > fh : fw < fh;
  const bool centreHorizontally = cover ? fw < fh : fh < fw;
  if (centreVertically) r.y = (s.height - h) / 2;
  if (centreHorizontally) r.x = (s.width - w) / 2;
  return r;
}

gfx::Image imageByScalingProportionallyToSize(const gfx::Image& image, gfx::Size s) {
  return drawnInto(image, s, proportionalRect(pixelSize(image), s, false));
}

gfx::Image imageByScalingProportionallyToMinimumSize(const gfx::Image& image, gfx::Size s) {
  return drawnInto(image, s, proportionalRect(pixelSize(image), s, true));
}

gfx::Image imageRotatedByDegrees(const gfx::Image& image, float degrees) {
  const float a = degrees * static_cast<float>(M_PI) / 180.0f;
  const float w = static_cast<float>(image.pixelWidth()), h = static_cast<float>(image.pixelHeight());
  const float bw = std::abs(w * std::cos(a)) + std::abs(h * std::sin(a));
  const float bh = std::abs(w * std::sin(a)) + std::abs(h * std::cos(a));
  gfx::Context ctx(static_cast<int>(std::lround(bw)), static_cast<int>(std::lround(bh)), 1.0f);
  if (!ctx.valid()) return {};
  ctx.translate(bw / 2, bh / 2);
  ctx.rotate(a);
  ctx.drawImage(image, {-w / 2, -h / 2, w, h});
  return ctx.makeImage();
}

gfx::Image imageRotatedByRadians(const gfx::Image& image, float radians) {
  return imageRotatedByDegrees(image, radians * 180.0f / static_cast<float>(M_PI));
}

}  // namespace roto
