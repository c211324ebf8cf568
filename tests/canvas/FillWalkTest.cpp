// The region walk and the working-size copy of the flood fill, without threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "canvas/FillToolWalk.h"

namespace {

constexpr std::uint32_t kBlack = fill::packRGBA(0, 0, 0, 255);
constexpr std::uint32_t kRed = fill::packRGBA(255, 0, 0, 255);
constexpr std::uint32_t kBlue = fill::packRGBA(0, 0, 255, 255);

struct Page {
  int w, h;
  std::vector<std::uint32_t> input, output;
  std::vector<std::uint32_t> stack;
  Page(int width, int height) : w(width), h(height), input(width * height, 0u), output(width * height, 0u) {}
  std::uint32_t& in(int x, int y) { return input[y * w + x]; }
  std::uint32_t out(int x, int y) const { return output[y * w + x]; }
  std::size_t fill(int x, int y, std::uint32_t colour, int tolerance) {
    fill::Surface s{w, h, input.data(), output.data()};
    return fill::walkRegion(s, x, y, colour, tolerance, stack);
  }
  std::size_t countPainted(std::uint32_t colour) const {
    std::size_t n = 0;
    for (auto p : output) n += (p == colour);
    return n;
  }
  // A one-pixel outline of the rectangle [x0, x1] x [y0, y1].
  void ring(int x0, int y0, int x1, int y1, std::uint32_t colour) {
    for (int x = x0; x <= x1; ++x) in(x, y0) = in(x, y1) = colour;
    for (int y = y0; y <= y1; ++y) in(x0, y) = in(x1, y) = colour;
  }
};

TEST(FillWalk, InsideAClosedRingFillsTheInsideAndItsRim) {
  for (int tolerance : {0, 10}) {
    Page page(40, 30);
    page.ring(5, 5, 20, 15, kBlack);  // 16 x 11 outline, 14 x 9 inside
    std::size_t painted = page.fill(10, 10, kRed, tolerance);
    // Inside plus the outline pixels that touch it (all but the 4 corners).
    const std::size_t expected = 14 * 9 + (2 * 16 + 2 * 9 - 4);
    EXPECT_EQ(painted, expected) << "tolerance " << tolerance;
    EXPECT_EQ(page.countPainted(kRed), expected);
    EXPECT_EQ(page.out(10, 10), kRed) << "the seed itself is painted";
    EXPECT_EQ(page.out(5, 5), 0u) << "outline corners touch no inside pixel";
    EXPECT_EQ(page.out(4, 10), 0u) << "nothing leaks outside the ring";
    EXPECT_EQ(page.out(0, 0), 0u);
  }
}

TEST(FillWalk, OutsideTheRingLeavesTheInsideAlone) {
  Page page(40, 30);
  page.ring(5, 5, 20, 15, kBlack);
  std::size_t painted = page.fill(0, 0, kRed, 10);
  EXPECT_EQ(painted, 40u * 30u - 14 * 9) << "everything but the inside; the whole outline is rim";
  EXPECT_EQ(page.out(5, 5), kRed);
  EXPECT_EQ(page.out(10, 10), 0u);
}

TEST(FillWalk, EmptyPageIsFilledWhole) {
  Page page(64, 48);
  EXPECT_EQ(page.fill(17, 3, kBlue, 10), 64u * 48u);
  EXPECT_EQ(page.countPainted(kBlue), 64u * 48u);
}

TEST(FillWalk, SeedsAtTheEdgesStayInBounds) {
  const int seeds[][2] = {{0, 0}, {63, 0}, {0, 47}, {63, 47}, {0, 20}, {63, 20}, {30, 0}, {30, 47}};
  for (auto& s : seeds) {
    Page page(64, 48);
    EXPECT_EQ(page.fill(s[0], s[1], kBlue, 0), 64u * 48u);
  }
  Page row(50, 1);
  EXPECT_EQ(row.fill(0, 0, kBlue, 0), 50u);
  Page column(1, 50);
  EXPECT_EQ(column.fill(0, 49, kBlue, 0), 50u);
}

TEST(FillWalk, SeedOutsideThePagePaintsNothing) {
  Page page(8, 8);
  EXPECT_EQ(page.fill(-1, 0, kBlue, 0), 0u);
  EXPECT_EQ(page.fill(8, 0, kBlue, 0), 0u);
  EXPECT_EQ(page.fill(0, 8, kBlue, 0), 0u);
  EXPECT_EQ(page.countPainted(kBlue), 0u);
}

TEST(FillWalk, PixelAlreadyInTheFillColourPaintsOnlyItsNeighbours) {
  Page page(9, 9);
  for (auto& p : page.input) p = kRed;
  EXPECT_EQ(page.fill(4, 4, kRed, 10), 5u);
  EXPECT_EQ(page.out(3, 4), kRed);
  EXPECT_EQ(page.out(5, 4), kRed);
  EXPECT_EQ(page.out(4, 3), kRed);
  EXPECT_EQ(page.out(4, 5), kRed);
  EXPECT_EQ(page.out(3, 3), 0u);
}

TEST(FillWalk, ToleranceCountsFaintPixelsAsInsideWhateverTheirColour) {
  Page page(10, 1);
  page.in(3, 0) = fill::packRGBA(9, 0, 0, 10);     // alpha 10: inside
  page.in(5, 0) = fill::packRGBA(0, 11, 0, 11);    // alpha 11, colour differs by 11: border
  page.fill(0, 0, kRed, 10);
  EXPECT_EQ(page.out(3, 0), kRed);
  EXPECT_EQ(page.out(4, 0), kRed);
  EXPECT_EQ(page.out(5, 0), kRed) << "the border pixel is painted as rim";
  EXPECT_EQ(page.out(6, 0), 0u) << "but the walk stops there";
}

TEST(FillWalk, ToleranceOnOpaqueColours) {
  Page page(10, 1);
  for (auto& p : page.input) p = fill::packRGBA(100, 100, 100, 255);
  page.in(2, 0) = fill::packRGBA(110, 90, 105, 250);  // every channel within 10
  page.in(4, 0) = fill::packRGBA(111, 100, 100, 255);  // red off by 11
  page.fill(0, 0, kBlue, 10);
  EXPECT_EQ(page.out(3, 0), kBlue);
  EXPECT_EQ(page.out(4, 0), kBlue);
  EXPECT_EQ(page.out(5, 0), 0u);
}

TEST(FillWalk, AlphaFarFromTheSeedIsABorder) {
  Page page(10, 1);
  page.in(4, 0) = fill::packRGBA(0, 0, 0, 21);  // transparent seed; alpha 21 > 0 + 10
  page.fill(0, 0, kRed, 10);
  EXPECT_EQ(page.out(4, 0), kRed);
  EXPECT_EQ(page.out(5, 0), 0u);
}

TEST(FillWalk, WithoutToleranceOnlyTheExactColourIsInside) {
  Page page(10, 1);
  page.in(4, 0) = fill::packRGBA(0, 0, 0, 1);
  page.fill(0, 0, kRed, 0);
  EXPECT_EQ(page.out(4, 0), kRed);
  EXPECT_EQ(page.out(5, 0), 0u);
}

TEST(FillWalk, SecondFillAddsToTheFirstAndStopsAtIt) {
  Page page(20, 1);
  page.in(10, 0) = kBlack;
  page.fill(15, 0, kRed, 0);  // paints 10..19
  EXPECT_EQ(page.countPainted(kRed), 10u);
  // The same colour again from the other side: the painted pixels are walls.
  std::size_t painted = page.fill(0, 0, kRed, 0);
  EXPECT_EQ(painted, 10u);
  EXPECT_EQ(page.countPainted(kRed), 20u);
}

TEST(FillWalk, DiagonalGapsDoNotLeak) {
  // A diagonal line closes a region for a four-way walk.
  Page page(10, 10);
  for (int i = 0; i < 10; ++i) page.in(i, i) = kBlack;
  page.fill(9, 0, kRed, 0);
  EXPECT_EQ(page.out(0, 9), 0u);
  EXPECT_EQ(page.out(8, 0), kRed);
}

// The pixel-by-pixel walk the region is defined by: every inside pixel reached
// through four-way steps, and every border pixel next to one of them.
std::size_t referenceWalk(Page& page, int sx, int sy, std::uint32_t setter, int tolerance) {
  const int w = page.w;
  const std::size_t seed = static_cast<std::size_t>(sy) * w + sx;
  const fill::PixelTest test(page.input[seed], setter, tolerance);
  std::vector<std::size_t> todo{seed};
  std::size_t painted = 0;
  if (page.output[seed] != setter) {
    page.output[seed] = setter;
    ++painted;
  }
  while (!todo.empty()) {
    std::size_t p = todo.back();
    todo.pop_back();
    int x = static_cast<int>(p % w), y = static_cast<int>(p / w);
    const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
    for (int k = 0; k < 4; ++k) {
      if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= page.h) continue;
      std::size_t n = static_cast<std::size_t>(ny[k]) * w + nx[k];
      fill::PixelClass c = test.classify(page.input[n], page.output[n]);
      if (c == fill::PixelClass::Filled) continue;
      page.output[n] = setter;
      ++painted;
      if (c == fill::PixelClass::Inside) todo.push_back(n);
    }
  }
  return painted;
}

// Random walls, faint and near-colour pixels, earlier fills in the output and
// seeds on walls: the span walk paints exactly the pixels the definition does.
TEST(FillWalk, SpanWalkPaintsExactlyTheDefinedRegion) {
  std::uint32_t state = 12345;
  auto next = [&] { return state = state * 1664525u + 1013904223u; };
  const std::uint32_t palette[] = {0u, kBlack, kRed, kBlue, fill::packRGBA(0, 0, 0, 6),
                                   fill::packRGBA(250, 5, 0, 255), fill::packRGBA(10, 10, 10, 250)};
  for (int round = 0; round < 300; ++round) {
    const int w = 1 + static_cast<int>(next() % 48), h = 1 + static_cast<int>(next() % 40);
    const unsigned wallShare = next() % 70;
    Page a(w, h);
    for (auto& p : a.input) p = (next() % 100 < wallShare) ? palette[next() % 7] : 0u;
    for (auto& p : a.output) p = (next() % 10 == 0) ? kRed : 0u;
    Page b = a;
    const int sx = static_cast<int>(next() % w), sy = static_cast<int>(next() % h);
    const int tolerance = (round % 3 == 0) ? 0 : 10;
    const std::uint32_t colour = (round % 2) ? kRed : kBlue;
    std::size_t got = a.fill(sx, sy, colour, tolerance);
    std::size_t want = referenceWalk(b, sx, sy, colour, tolerance);
    ASSERT_EQ(got, want) << "round " << round;
    ASSERT_EQ(a.output, b.output) << "round " << round;
  }
}

// A maze of one-pixel corridors makes a span walk turn at every row.
TEST(FillWalk, SerpentineCorridorIsFilledEndToEnd) {
  Page a(31, 31);
  for (int y = 1; y < 31; y += 2)
    for (int x = 0; x < 31; ++x) a.in(x, y) = kBlack;
  for (int y = 1; y < 31; y += 2) a.in((y / 2) % 2 ? 0 : 30, y) = 0u;
  Page b = a;
  EXPECT_EQ(a.fill(15, 0, kRed, 0), referenceWalk(b, 15, 0, kRed, 0));
  EXPECT_EQ(a.output, b.output);
  EXPECT_EQ(a.out(15, 30), kRed);
}

TEST(FillSample, SameSizeIsAnExactCopy) {
  std::vector<std::uint32_t> src(12 * 7);
  for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint32_t>(i * 2654435761u);
  std::vector<std::uint32_t> dst(src.size());
  fill::nearestSample(src.data(), 12, 7, dst.data(), 12, 7);
  EXPECT_EQ(dst, src);
}

TEST(FillSample, DownscaledRowsStayAligned) {
  // Each source pixel holds its own row and column, so every working pixel
  // must come from the same source row as its neighbours in the row.
  const int W = 1280, H = 960;
  std::vector<std::uint32_t> src(static_cast<std::size_t>(W) * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) src[y * W + x] = static_cast<std::uint32_t>(y << 16 | x);
  struct Case {
    int tw, th;
  };
  for (Case c : {Case{320, 240}, Case{426, 320}, Case{640, 480}, Case{853, 640}}) {
    std::vector<std::uint32_t> dst(static_cast<std::size_t>(c.tw) * c.th);
    fill::nearestSample(src.data(), W, H, dst.data(), c.tw, c.th);
    for (int y = 0; y < c.th; ++y) {
      const std::uint32_t row = dst[y * c.tw] >> 16;
      const float expectRow = static_cast<float>(H) / c.th * y;
      EXPECT_NEAR(row, expectRow, 0.5f) << c.tw << "x" << c.th << " row " << y;
      for (int x = 0; x < c.tw; ++x) ASSERT_EQ(dst[y * c.tw + x] >> 16, row);
      EXPECT_LT(dst[y * c.tw + c.tw - 1] & 0xffff, static_cast<std::uint32_t>(W));
    }
  }
}

TEST(FillSample, HalvesRoundToEven) {
  // 4 source columns onto 8: positions 0, .5, 1, 1.5, 2, 2.5, 3, 3.5.
  std::vector<std::uint32_t> src = {10, 11, 12, 13};
  std::vector<std::uint32_t> dst(8);
  fill::nearestSample(src.data(), 4, 1, dst.data(), 8, 1);
  EXPECT_EQ(dst, (std::vector<std::uint32_t>{10, 10, 11, 12, 12, 12, 13, 13}));
}

}  // namespace
