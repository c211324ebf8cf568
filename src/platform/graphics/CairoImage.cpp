// Moving pictures in and out of cairo's premultiplied native-endian ARGB32.
#include <cstring>

#include "platform/graphics/ContextImpl.h"
#include "platform/graphics/PixelFormat.h"

namespace gfx {

cairo_surface_t* surfaceFromImage(const Image& image) {
  if (image.empty()) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.pixelWidth(), image.pixelHeight());
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < image.pixelHeight(); ++y)
    pixelformat::rgbaToArgb32(image.pixel(0, y), reinterpret_cast<std::uint32_t*>(data + y * stride),
                              image.pixelWidth(), image.premultiplied());
  cairo_surface_mark_dirty(s);
  return s;
}

Image imageFromSurface(cairo_surface_t* surface, bool premultiplied) {
  const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
  Image img(w, h);
  img.setPremultiplied(premultiplied);
  if (img.empty()) return img;
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < h; ++y)
    pixelformat::argb32ToRgba(reinterpret_cast<const std::uint32_t*>(data + y * stride), img.pixel(0, y), w,
                              premultiplied);
  return img;
}

Image Image::scaledTo(int pixelWidth, int pixelHeight) const {
  if (pixelWidth <= 0 || pixelHeight <= 0 || empty()) {
    Image none;
    none.setScale(scale_);
    return none;
  }
  // A y-up context with drawImageYUp puts the stored top row at the top.
  Context ctx(pixelWidth, pixelHeight, 1.0f, Origin::BottomLeft);
  ctx.setBlendMode(BlendMode::Copy);
  ctx.drawImageYUp(*this, Rect{0, 0, static_cast<float>(pixelWidth), static_cast<float>(pixelHeight)});
  Image out = ctx.makeImage(premultiplied_);
  out.setScale(scale_);
  out.setOrientation(orientation_);
  return out;
}

}  // namespace gfx
