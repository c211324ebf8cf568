// Draws the mosaic tile set: a 512x512 picture of 8x8 tiles of 64x64 pixels,
// halftone dots in black ink on white paper. Tile n (rows from the top, left
// to right) is inked over n/63 of its area: a black dot growing from nothing,
// then, past half, a white dot shrinking on black, until tile 63 is solid
// ink. The mosaic picks darker tiles for darker parts of its image.
//   tilegen <resource folder>
#include "../common/WritePng.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

constexpr int kTile = 64, kTilesPerSide = 8, kSize = kTile * kTilesPerSide;
constexpr int kSamples = 4;  // per side of a pixel, for smooth dot edges
constexpr double kPi = 3.14159265358979323846;

// How much of the pixel (px, py) of a tile with the coverage lies in ink.
double inkAt(int px, int py, double coverage) {
  const bool blackDot = coverage <= 0.5;
  const double dotArea = (blackDot ? coverage : 1.0 - coverage) * kTile * kTile;
  const double radius = std::sqrt(dotArea / kPi);
  int inside = 0;
  for (int sy = 0; sy < kSamples; ++sy)
    for (int sx = 0; sx < kSamples; ++sx) {
      const double x = px + (sx + 0.5) / kSamples - kTile / 2.0;
      const double y = py + (sy + 0.5) / kSamples - kTile / 2.0;
      if (x * x + y * y < radius * radius) ++inside;
    }
  const double inDot = static_cast<double>(inside) / (kSamples * kSamples);
  return blackDot ? inDot : 1.0 - inDot;
}

std::vector<std::uint8_t> draw() {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kSize) * kSize * 4);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const int tile = (y / kTile) * kTilesPerSide + x / kTile;
      const double coverage = tile / 63.0;
      const double paper = 1.0 - inkAt(x % kTile, y % kTile, coverage);
      const auto v = static_cast<std::uint8_t>(std::lround(std::clamp(paper, 0.0, 1.0) * 255.0));
      std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * kSize + x) * 4];
      p[0] = p[1] = p[2] = v;
      p[3] = 255;
    }
  return rgba;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tilegen <resource folder>\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  if (!writeRgbaPng((folder / "mosaic_tiles.png").string(), kSize, kSize, draw().data())) {
    std::fprintf(stderr, "tilegen: cannot write mosaic_tiles.png\n");
    return 1;
  }
  return 0;
}
