#include "canvas/FillToolWalk.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fill {

PixelTest::PixelTest(std::uint32_t origin, std::uint32_t setter, int tolerance)
    : origin_(origin), setter_(setter), tolerance_(tolerance) {
  for (int i = 0; i < 4; ++i) {
    int o = channel(origin, i);
    lo_[i] = std::max(o - tolerance, 0);
    hi_[i] = std::min(o + tolerance, 255);
  }
}

bool PixelTest::isInside(std::uint32_t input) const {
  if (tolerance_ == 0) return input == origin_;
  int a = channel(input, 3);
  if (a < lo_[3] || a > hi_[3]) return false;
  if (a <= tolerance_) return true;
  for (int i = 0; i < 3; ++i) {
    int c = channel(input, i);
    if (c < lo_[i] || c > hi_[i]) return false;
  }
  return true;
}

std::size_t walkRegion(const Surface& s, int seedX, int seedY, std::uint32_t setter, int tolerance,
                       std::vector<std::uint32_t>& stack) {
  if (seedX < 0 || seedY < 0 || seedX >= s.width || seedY >= s.height) return 0;
  const std::size_t w = static_cast<std::size_t>(s.width);
  const std::size_t total = w * static_cast<std::size_t>(s.height);
  // Every pixel is painted before it is pushed and never pushed again, so the
  // stack never needs more than one entry per pixel.
  if (stack.size() < total) stack.resize(total);
  std::uint32_t* const base = stack.data();
  std::uint32_t* top = base;

  const std::uint32_t seed = static_cast<std::uint32_t>(static_cast<std::size_t>(seedY) * w + seedX);
  const PixelTest test(s.input[seed], setter, tolerance);
  std::size_t painted = 0;
  if (s.output[seed] != setter) {
    s.output[seed] = setter;
    ++painted;
  }
  *top++ = seed;

  auto visit = [&](std::uint32_t n) {
    PixelClass c = test.classify(s.input[n], s.output[n]);
    if (c == PixelClass::Filled) return;
    s.output[n] = setter;
    ++painted;
    if (c == PixelClass::Inside) *top++ = n;
  };

  const std::uint32_t lastX = static_cast<std::uint32_t>(s.width - 1);
  const std::uint32_t lastRow = static_cast<std::uint32_t>(total - w);
  while (top != base) {
    const std::uint32_t p = *--top;
    const std::uint32_t x = p % static_cast<std::uint32_t>(w);
    if (x >= 1) visit(p - 1);
    if (p >= w) visit(p - static_cast<std::uint32_t>(w));
    if (x < lastX) visit(p + 1);
    if (p < lastRow) visit(p + static_cast<std::uint32_t>(w));
  }
  return painted;
}

namespace {

// Nearest integer, halves to even (the default rounding mode), kept in range.
int nearestIndex(float v, int limit) {
  long n = std::lrint(v);
  return static_cast<int>(std::clamp<long>(n, 0, limit - 1));
}

}  // namespace

void nearestSample(const std::uint32_t* src, int srcWidth, int srcHeight, std::uint32_t* dst, int dstWidth,
                   int dstHeight) {
  if (dstWidth <= 0 || dstHeight <= 0) return;
  if (srcWidth <= 0 || srcHeight <= 0) {
    std::fill_n(dst, static_cast<std::size_t>(dstWidth) * dstHeight, 0u);
    return;
  }
  if (srcWidth == dstWidth && srcHeight == dstHeight) {
    std::memcpy(dst, src, static_cast<std::size_t>(dstWidth) * dstHeight * 4);
    return;
  }
  const float ry = static_cast<float>(srcHeight) / static_cast<float>(dstHeight);
  const float rx = static_cast<float>(srcWidth) / static_cast<float>(dstWidth);
  std::vector<int> columns(static_cast<std::size_t>(dstWidth));
  for (int x = 0; x < dstWidth; ++x) columns[x] = nearestIndex(rx * static_cast<float>(x), srcWidth);
  for (int y = 0; y < dstHeight; ++y) {
    const std::uint32_t* row =
        src + static_cast<std::size_t>(nearestIndex(ry * static_cast<float>(y), srcHeight)) * srcWidth;
    std::uint32_t* out = dst + static_cast<std::size_t>(y) * dstWidth;
    for (int x = 0; x < dstWidth; ++x) out[x] = row[columns[x]];
  }
}

}  // namespace fill
