// Draws the colour-lookup pictures: 512x512, 8x8 tiles of 64x64 cells, tile
// n holding blue level n, red along x and green along y of each tile. The
// identity picture maps every colour to itself; the graded ones pass the
// identity colour through a fixed grade, so every build makes the same files.
//   lookupgen <resource folder>
#include "../common/WritePng.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 512, kLevels = 64, kTiles = 8;
using Rgb = std::array<double, 3>;
using Grade = std::function<Rgb(Rgb)>;

double luminance(const Rgb& c) { return 0.2125 * c[0] + 0.7154 * c[1] + 0.0721 * c[2]; }
double sCurve(double x, double k) { return std::clamp(x + k * x * (1 - x) * (2 * x - 1), 0.0, 1.0); }
Rgb towards(const Rgb& c, const Rgb& tint, double amount) {
  return {c[0] + (tint[0] - c[0]) * amount, c[1] + (tint[1] - c[1]) * amount, c[2] + (tint[2] - c[2]) * amount};
}
Rgb saturate(const Rgb& c, double s) {
  const double l = luminance(c);
  return {std::clamp(l + (c[0] - l) * s, 0.0, 1.0), std::clamp(l + (c[1] - l) * s, 0.0, 1.0),
          std::clamp(l + (c[2] - l) * s, 0.0, 1.0)};
}

struct Picture {
  const char* name;
  Grade grade;
};

const std::array<Picture, 5> kPictures = {{
    {"lookup.png", [](Rgb c) { return c; }},
    // Soft, lifted blacks and a little less colour.
    {"lookup_soft_elegance_1.png",
     [](Rgb c) {
       c = saturate(c, 0.85);
       return Rgb{0.06 + 0.9 * c[0], 0.05 + 0.92 * c[1], 0.07 + 0.88 * c[2]};
     }},
    // A warm glow over the softened picture.
    {"lookup_soft_elegance_2.png", [](Rgb c) { return towards(c, Rgb{1.0, 0.86, 0.72}, 0.12); }},
    // Stronger contrast, cool shadows.
    {"lookup_brenlow.png",
     [](Rgb c) {
       const double l = luminance(c);
       c = {sCurve(c[0], 0.5), sCurve(c[1], 0.5), sCurve(c[2], 0.5)};
       return towards(c, Rgb{0.1, 0.2, 0.35}, 0.2 * (1 - l));
     }},
    // Faded, greenish and desaturated.
    {"lookup_vastrel.png",
     [](Rgb c) {
       c = saturate(c, 0.6);
       return Rgb{0.08 + 0.84 * c[0], 0.1 + 0.85 * c[1], 0.06 + 0.8 * c[2]};
     }},
}};

std::uint8_t byte(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

std::vector<std::uint8_t> draw(const Grade& grade) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kSize) * kSize * 4);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const int level = (y / kLevels) * kTiles + x / kLevels;
      const Rgb identity{(x % kLevels) / 63.0, (y % kLevels) / 63.0, level / 63.0};
      const Rgb c = grade(identity);
      std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * kSize + x) * 4];
      p[0] = byte(c[0]);
      p[1] = byte(c[1]);
      p[2] = byte(c[2]);
      p[3] = 255;
    }
  }
  return rgba;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lookupgen <resource folder>\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  for (const Picture& p : kPictures) {
    if (!writeRgbaPng((folder / p.name).string(), kSize, kSize, draw(p.grade).data())) {
      std::fprintf(stderr, "lookupgen: cannot write %s\n", p.name);
      return 1;
    }
  }
  return 0;
}
