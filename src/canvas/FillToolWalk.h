#pragma once
// The pixel work of the flood fill, free of threads and delegates: the
// nearest-sample copy into the working size and the region walk. Pixels are
// 32-bit words holding the bytes R, G, B, A (premultiplied), rows bottom-up.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fill {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);

// Byte i (0 = R ... 3 = A) of a pixel word as it lies in memory.
constexpr std::uint8_t channel(std::uint32_t word, int i) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<std::uint8_t>(word >> (8 * i));
  } else {
    return static_cast<std::uint8_t>(word >> (24 - 8 * i));
  }
}

constexpr std::uint32_t packRGBA(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  if constexpr (std::endian::native == std::endian::little) {
    return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16 | std::uint32_t(a) << 24;
  } else {
    return std::uint32_t(r) << 24 | std::uint32_t(g) << 16 | std::uint32_t(b) << 8 | std::uint32_t(a);
  }
}

// Answers of the pixel test.
enum class PixelClass : std::uint8_t { Inside = 0, Border = 1, Filled = 2 };

// Decides whether a pixel belongs to the region of the seed colour. With a
// tolerance t, a pixel whose alpha is within t of the seed's is inside when it
// is nearly transparent (alpha <= t) whatever its colour, or when each of R, G
// and B is within t of the seed's.
class PixelTest {
 public:
  PixelTest(std::uint32_t origin, std::uint32_t setter, int tolerance);

  PixelClass classify(std::uint32_t input, std::uint32_t output) const {
    if (output == setter_) return PixelClass::Filled;
    if (input == setter_) return PixelClass::Border;
    return isInside(input) ? PixelClass::Inside : PixelClass::Border;
  }
  bool isInside(std::uint32_t input) const;

 private:
  std::uint32_t origin_;
  std::uint32_t setter_;
  int tolerance_;
  int lo_[4];
  int hi_[4];
};

// A working image pair: the input picture and the output layer, both
// width x height words. Not owned.
struct Surface {
  int width = 0;
  int height = 0;
  const std::uint32_t* input = nullptr;
  std::uint32_t* output = nullptr;
};

// Paints into surface.output, in `setter`, the region of pixels like the
// seed's and the rim of border pixels touching it. The seed itself is painted
// too. `stack` is scratch space kept by the caller, so that repeated fills
// reuse its capacity. Answers the number of
// pixels painted; a seed outside the surface paints nothing.
std::size_t walkRegion(const Surface& surface, int seedX, int seedY, std::uint32_t setter, int tolerance,
                       std::vector<std::uint32_t>& stack);

// Copies a source block of srcWidth x srcHeight words into a working block of
// dstWidth x dstHeight words by nearest sample (halves to even), row for row:
// working row y comes from source row N(srcHeight / dstHeight * y).
void nearestSample(const std::uint32_t* src, int srcWidth, int srcHeight, std::uint32_t* dst, int dstWidth,
                   int dstHeight);

}  // namespace fill
