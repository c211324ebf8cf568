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
  // The seed's own colour is inside whatever the tolerance; most pixels of a
  // large region are exactly that colour.
  if (input == origin_) return true;
  if (tolerance_ == 0) return false;
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
  // Row spans instead of single pixels: each pixel of the region is tested a
  // bounded number of times and rows are read in order, which keeps large
  // pages fast. The painted set does not depend on the order of the walk: it
  // is the seed's 4-connected region of inside pixels (painted pixels count as
  // visited) plus the border pixels touching it.
  const int w = s.width;
  const std::uint32_t* const in = s.input;
  std::uint32_t* const out = s.output;
  const std::size_t seedIndex = static_cast<std::size_t>(seedY) * w + seedX;
  const PixelTest test(in[seedIndex], setter, tolerance);
  std::size_t painted = 0;

  auto inside = [&](std::size_t i) { return test.classify(in[i], out[i]) == PixelClass::Inside; };
  auto paint = [&](std::size_t i) {
    out[i] = setter;
    ++painted;
  };
  // A pixel next to the region that is not part of it: painted as the rim
  // unless already in the fill colour.
  auto rim = [&](std::size_t i) {
    if (out[i] != setter) paint(i);
  };

  // Pending runs: the first pixel (y * width + x), the run's last x as the
  // scan found it, then the row and the ends of the span that found it. Inside
  // pixels are painted only by spans, which take a run whole, so a run whose
  // first pixel is still inside is still inside throughout and is painted
  // without testing again. The finding span's part of its own row is painted
  // already, so only the overhang is scanned. A pixel starts at most one run
  // from the row above and one from the row below.
  constexpr std::size_t kWords = 5;
  stack.clear();
  constexpr std::uint32_t kNoParent = 0xffffffffu;
  auto scanRow = [&](int ny, int from, int to) {
    const std::size_t nrow = static_cast<std::size_t>(ny) * w;
    bool inRun = false;
    for (int nx = from; nx <= to; ++nx) {
      const std::size_t i = nrow + nx;
      const PixelClass c = test.classify(in[i], out[i]);
      if (c == PixelClass::Inside) {
        if (!inRun) stack.insert(stack.end(), {static_cast<std::uint32_t>(i), 0u, 0u, 0u, 0u});
        stack[stack.size() - kWords + 1] = static_cast<std::uint32_t>(nx);
        inRun = true;
      } else {
        inRun = false;
        if (c == PixelClass::Border) paint(i);
      }
    }
  };
  auto fillSpan = [&](int x, int runEnd, int y, bool isSeed, std::uint32_t parentY, int parentL, int parentR) {
    const std::size_t row = static_cast<std::size_t>(y) * w;
    if (!isSeed && !inside(row + x)) return;
    if (out[row + x] != setter) paint(row + x);
    for (int k = x + 1; k <= runEnd; ++k) paint(row + k);
    int l = x, r = std::max(x, runEnd);
    while (l > 0 && inside(row + l - 1)) paint(row + --l);
    while (r < w - 1 && inside(row + r + 1)) paint(row + ++r);
    if (l > 0) rim(row + l - 1);
    if (r < w - 1) rim(row + r + 1);
    for (int ny : {y - 1, y + 1}) {
      if (ny < 0 || ny >= s.height) continue;
      const std::size_t before = stack.size();
      if (static_cast<std::uint32_t>(ny) == parentY) {
        if (l < parentL) scanRow(ny, l, std::min(r, parentL - 1));
        if (r > parentR) scanRow(ny, std::max(l, parentR + 1), r);
      } else {
        scanRow(ny, l, r);
      }
      for (std::size_t k = before; k < stack.size(); k += kWords) {
        stack[k + 2] = static_cast<std::uint32_t>(y);
        stack[k + 3] = static_cast<std::uint32_t>(l);
        stack[k + 4] = static_cast<std::uint32_t>(r);
      }
    }
  };

  fillSpan(seedX, seedX, seedY, true, kNoParent, 0, -1);
  while (!stack.empty()) {
    const std::size_t k = stack.size() - kWords;
    const std::uint32_t p = stack[k];
    const int runEnd = static_cast<int>(stack[k + 1]);
    const std::uint32_t parentY = stack[k + 2];
    const int parentL = static_cast<int>(stack[k + 3]), parentR = static_cast<int>(stack[k + 4]);
    stack.resize(k);
    fillSpan(static_cast<int>(p % static_cast<std::uint32_t>(w)), runEnd,
             static_cast<int>(p / static_cast<std::uint32_t>(w)), false, parentY, parentL, parentR);
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
