#pragma once
// Exact conversions between straight and premultiplied 8-bit colour, and
// between RGBA8 rows and cairo's premultiplied native-endian ARGB32 words.
#include <cstdint>

namespace gfx::pixelformat {

// round(c * a / 255); 255 is odd, so the halfway case never arises.
inline std::uint8_t premultiply(std::uint32_t c, std::uint32_t a) {
  return static_cast<std::uint8_t>((c * a + 127) / 255);
}
// round(c * 255 / a), halves rounded up; components above alpha (not a
// valid premultiplied colour) saturate at 255, alpha 0 gives 0.
inline std::uint8_t unpremultiply(std::uint32_t c, std::uint32_t a) {
  if (a == 0) return 0;
  std::uint32_t v = (c * 510 + a) / (2 * a);
  return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

// One row of n pixels; `srcPremultiplied` / `dstPremultiplied` name the RGBA form.
void rgbaToArgb32(const std::uint8_t* src, std::uint32_t* dst, int n, bool srcPremultiplied);
void argb32ToRgba(const std::uint32_t* src, std::uint8_t* dst, int n, bool dstPremultiplied);

}  // namespace gfx::pixelformat
