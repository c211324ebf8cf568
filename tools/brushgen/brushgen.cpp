// Draws the canvas's eight brush tips as 128x128 PNGs (white, the tip's
// coverage in alpha) from seeded noise, so every build makes the same pictures.
//   brushgen <resource folder>
#include "../common/WritePng.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 128;
constexpr double kCentre = (kSize - 1) / 2.0;

// Deterministic lattice noise: a hash of the cell and the seed.
double hash(int x, int y, std::uint32_t seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xffffff) / static_cast<double>(0xffffff);
}

double smooth(double t) { return t * t * (3 - 2 * t); }

double valueNoise(double x, double y, std::uint32_t seed) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = smooth(x - x0), fy = smooth(y - y0);
  const double a = hash(x0, y0, seed), b = hash(x0 + 1, y0, seed);
  const double c = hash(x0, y0 + 1, seed), d = hash(x0 + 1, y0 + 1, seed);
  return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
}

// Fractal noise 0..1 with the given base frequency (cells per tip) and octaves.
double fbm(double x, double y, double frequency, int octaves, std::uint32_t seed) {
  double sum = 0, amplitude = 0.5, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * valueNoise(x * frequency, y * frequency, seed + static_cast<std::uint32_t>(o) * 101u);
    norm += amplitude;
    amplitude *= 0.5;
    frequency *= 2;
  }
  return sum / norm;
}

// 1 inside, 0 outside, a linear ramp of `soft` pixels across the edge.
double edge(double distanceInside, double soft) { return std::clamp(distanceInside / soft + 0.5, 0.0, 1.0); }

using Shader = std::function<double(double x, double y)>;  // centred pixel coords -> coverage 0..1

// Averages 4x4 samples per pixel so hard edges come out antialiased.
std::vector<std::uint8_t> render(const Shader& shader) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kSize) * kSize * 4);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      double acc = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          acc += std::clamp(shader(x - kCentre + (sx - 1.5) / 4, y - kCentre + (sy - 1.5) / 4), 0.0, 1.0);
        }
      }
      std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * kSize + x) * 4];
      p[0] = p[1] = p[2] = 255;
      p[3] = static_cast<std::uint8_t>(std::lround(acc / 16 * 255));
    }
  }
  return rgba;
}

bool writePNG(const std::filesystem::path& path, const std::vector<std::uint8_t>& rgba) {
  return writeRgbaPng(path.string(), kSize, kSize, rgba.data());
}

// Hard round eraser: a crisp full disc.
double hardRound(double x, double y) { return edge(56 - std::hypot(x, y), 1.0); }

// Grainy pencil: a small disc of speckled graphite, denser at the centre.
double grainyPencil(double x, double y) {
  const double r = std::hypot(x, y);
  const double body = edge(44 - r, 6.0);
  const double grain = fbm(x + 64, y + 64, 0.35, 2, 11);
  const double speck = hash(static_cast<int>(x + 200), static_cast<int>(y + 200), 12);
  return body * std::clamp((grain - 0.3) * 2.2, 0.0, 1.0) * (0.55 + 0.45 * speck);
}

// Soft marker: a round tip whose ink fades from the centre to the cell's edge.
// The marker lays its dabs half a dab apart, each as faint as the alpha
// effect makes it (the fourth root of that spacing, about 0.84). Overlapping
// dabs add up in optical density, -ln(1 - alpha); a tip whose density falls
// linearly from the centre's to nothing at the rim therefore sums to an even
// band wherever the next dab happens to land, and a slow stroke comes out
// smooth instead of as a string of beads.
double softMarker(double x, double y) {
  const double dabAlpha = std::sqrt(std::sqrt(0.5));
  const double centreDensity = -std::log(1 - dabAlpha);
  const double r = std::hypot(x, y) / 64;
  if (r >= 1) return 0;
  return (1 - std::exp(-centreDensity * (1 - r))) / dabAlpha;
}

// Charcoal: a ragged blob with streaks along one direction and grainy holes.
double charcoal(double x, double y) {
  const double angle = std::atan2(y, x);
  const double ragged = 48 + 10 * (fbm(std::cos(angle) * 3 + 5, std::sin(angle) * 3 + 5, 1.0, 3, 21) - 0.5) * 2;
  const double body = edge(ragged - std::hypot(x, y), 3.0);
  const double streak = fbm(x * 0.08 + 40, y * 0.9 + 40, 0.5, 3, 22);
  const double grain = fbm(x + 90, y + 90, 0.3, 2, 23);
  return body * std::clamp(streak * 1.6 - 0.25, 0.0, 1.0) * std::clamp(grain * 1.8 - 0.2, 0.0, 1.0);
}

// Flat calligraphy nib: a narrow upright bar with rounded ends.
double calligraphyNib(double x, double y) {
  const double halfWidth = 9, halfLength = 54;
  const double dy = std::max(std::fabs(y) - (halfLength - halfWidth), 0.0);
  return edge(halfWidth - std::hypot(x, dy), 1.0);
}

// Tapered brush pen: an upright teardrop, full at the belly, thinning to a point.
double taperedBrushPen(double x, double y) {
  const double t = (y + 58) / 116;  // 0 at the heel, 1 at the point
  if (t < 0 || t > 1) return 0;
  const double width = 26 * std::pow(std::sin(std::numbers::pi * std::pow(t, 0.7)), 0.8);
  const double falloff = 1 - 0.25 * t;
  return edge(width - std::fabs(x), 1.5) * falloff;
}

// Small hard liner: a small crisp disc.
double smallLiner(double x, double y) { return edge(20 - std::hypot(x, y), 1.0); }

// Soft smudge tip: a wide Gaussian that fades to nothing well inside the cell.
double softSmudge(double x, double y) {
  const double r = std::hypot(x, y);
  const double g = std::exp(-(r * r) / (2 * 22.0 * 22.0));
  return g * edge(62 - r, 4.0);
}

struct Tip {
  Shader shader;
  std::vector<const char*> names;  // resource names the canvases load it by
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: brushgen <resource folder>\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  const Tip tips[] = {
      // BrushNN.png: the legacy canvas's tips (its eraser uses Brush03).
      {hardRound, {"DefaultTexture.bundle/brusherase.png", "Brush03.png"}},
      {grainyPencil, {"DefaultTexture.bundle/brushImage1.png", "Brush01.png"}},
      {softMarker, {"DefaultTexture.bundle/brushImage2.png", "Brush02.png"}},
      {charcoal, {"DefaultTexture.bundle/brushImage3.png", "brushImage3.png"}},
      {calligraphyNib, {"DefaultTexture.bundle/brushImage4.png", "newBrush04.png", "Brush04.png"}},
      {taperedBrushPen, {"DefaultTexture.bundle/brushImage5.png", "newBrush05.png", "Brush05.png"}},
      {smallLiner, {"DefaultTexture.bundle/brushImage6.png", "newBrush06.png", "Brush06.png"}},
      {softSmudge, {"DefaultTexture.bundle/brushSmudge.png"}},
  };
  std::error_code ec;
  std::filesystem::create_directories(out / "DefaultTexture.bundle", ec);
  for (const Tip& tip : tips) {
    const std::vector<std::uint8_t> pixels = render(tip.shader);
    for (const char* name : tip.names) {
      if (!writePNG(out / name, pixels)) {
        std::fprintf(stderr, "brushgen: cannot write %s\n", (out / name).c_str());
        return 1;
      }
    }
  }
  return 0;
}
