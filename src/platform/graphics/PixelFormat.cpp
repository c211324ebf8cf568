#include "platform/graphics/PixelFormat.h"

namespace gfx::pixelformat {

void rgbaToArgb32(const std::uint8_t* src, std::uint32_t* dst, int n, bool srcPremultiplied) {
  for (int i = 0; i < n; ++i, src += 4) {
    std::uint32_t r = src[0], g = src[1], b = src[2], a = src[3];
    if (!srcPremultiplied && a != 255) r = premultiply(r, a), g = premultiply(g, a), b = premultiply(b, a);
    dst[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
}

void argb32ToRgba(const std::uint32_t* src, std::uint8_t* dst, int n, bool dstPremultiplied) {
  for (int i = 0; i < n; ++i, dst += 4) {
    std::uint32_t w = src[i];
    std::uint32_t a = w >> 24, r = (w >> 16) & 0xff, g = (w >> 8) & 0xff, b = w & 0xff;
    if (!dstPremultiplied && a != 255) r = unpremultiply(r, a), g = unpremultiply(g, a), b = unpremultiply(b, a);
    dst[0] = static_cast<std::uint8_t>(r);
    dst[1] = static_cast<std::uint8_t>(g);
    dst[2] = static_cast<std::uint8_t>(b);
    dst[3] = static_cast<std::uint8_t>(a);
  }
}

}  // namespace gfx::pixelformat
