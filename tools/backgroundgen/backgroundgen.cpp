// Draws the built-in backgrounds: three still scenes (PNG, with 108x81 PNG
// icons) and four animated ones (JPEG pictures and icons). Pictures are
// 768x576, the page's 384x288 points at twice the scale. Every scene is an
// analytic function of the pixel and the picture's phase, so a build always
// makes the same files and a looping sequence joins its last picture to its
// first without a jump.
//   backgroundgen <resource folder>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 768;
constexpr int kHeight = 576;
constexpr int kIconWidth = 108;
constexpr int kIconHeight = 81;
constexpr double kTau = 2 * std::numbers::pi;

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double hash(int x, int y, std::uint32_t seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xffffff) / static_cast<double>(0xffffff);
}

double smooth(double t) { return t * t * (3 - 2 * t); }

// Value noise that repeats every `period` cells along x, so scenes that drift
// sideways loop cleanly.
double noise(double x, double y, int period, std::uint32_t seed) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = smooth(x - x0), fy = smooth(y - y0);
  auto h = [&](int cx, int cy) { return hash(((cx % period) + period) % period, cy, seed); };
  const double a = h(x0, y0), b = h(x0 + 1, y0), c = h(x0, y0 + 1), d = h(x0 + 1, y0 + 1);
  return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
}

double fbm(double x, double y, int period, std::uint32_t seed) {
  double sum = 0, amplitude = 0.5, norm = 0;
  for (int o = 0; o < 4; ++o) {
    sum += amplitude * noise(x, y, period, seed + static_cast<std::uint32_t>(o) * 101u);
    norm += amplitude;
    amplitude *= 0.5;
    x *= 2;
    y *= 2;
    period *= 2;
  }
  return sum / norm;
}

// 1 inside, 0 outside, a one-pixel ramp across the edge (antialiasing).
double inside(double distanceInside) { return std::clamp(distanceInside + 0.5, 0.0, 1.0); }

// x, y in 0..1 across the picture (y down); phase in 0..1 along the sequence.
using Scene = Rgb (*)(double x, double y, double phase);

// Rolling hills under a day sky with a sun and a few soft clouds.
Rgb meadow(double x, double y, double phase) {
  Rgb c = mix({0.42, 0.66, 0.93}, {0.83, 0.92, 0.98}, y / 0.62);
  const double sunD = std::hypot((x - 0.78) * 4 / 3, y - 0.2);
  c = mix(c, {1.0, 0.97, 0.82}, std::exp(-sunD * sunD * 60) * 0.7);
  c = mix(c, {1.0, 0.94, 0.6}, inside((0.07 - sunD) * kHeight));
  if (y < 0.5) {
    const double cloud = fbm(x * 5 + phase * 5, y * 9, 5, 7);
    c = mix(c, {1, 1, 1}, std::clamp((cloud - 0.55) * 4, 0.0, 0.9) * std::clamp((0.5 - y) * 4, 0.0, 1.0));
  }
  const double far = 0.6 + 0.05 * std::sin(x * kTau * 1.3 + 0.7) + 0.03 * std::sin(x * kTau * 3.1);
  c = mix(c, {0.47, 0.68, 0.45}, inside((y - far) * kHeight));
  const double near = 0.72 + 0.06 * std::sin(x * kTau * 0.8 + 2.1) + 0.02 * std::sin(x * kTau * 4.3);
  const Rgb grass = mix({0.36, 0.62, 0.25}, {0.22, 0.46, 0.16}, (y - near) * 3);
  c = mix(c, grass, inside((y - near) * kHeight));
  // A path winding down the near hill.
  const double pathX = 0.35 + 0.12 * std::sin(y * 9) * (1 - y);
  const double pathHalf = 0.005 + 0.08 * std::max(0.0, y - near);
  if (y > near) c = mix(c, {0.82, 0.73, 0.55}, inside((pathHalf - std::fabs(x - pathX)) * kWidth));
  return c;
}

// A harbour at dusk: a warm gradient sky, a calm sea with a low sun's
// reflection, and a lighthouse on a rock.
Rgb harbour(double x, double y, double) {
  Rgb c = mix({0.25, 0.22, 0.48}, {0.98, 0.62, 0.38}, y / 0.55);
  const double sunD = std::hypot((x - 0.3) * 4 / 3, y - 0.5);
  c = mix(c, {1.0, 0.86, 0.55}, inside((0.06 - sunD) * kHeight));
  if (y > 0.55) {
    c = mix({0.2, 0.3, 0.5}, {0.08, 0.14, 0.3}, (y - 0.55) / 0.45);
    const double ripple = 0.5 + 0.5 * std::sin(y * 300 + std::sin(x * 40) * 2);
    const double glitter = std::exp(-std::pow((x - 0.3) / (0.02 + (y - 0.55) * 0.2), 2)) * ripple;
    c = mix(c, {1.0, 0.8, 0.5}, glitter * 0.8);
  }
  const double rock = 0.55 + 0.9 * std::pow(x - 0.78, 2);
  c = mix(c, {0.12, 0.1, 0.12}, inside((y - rock) * kHeight));
  const double towerHalf = 0.018 + (y - 0.3) * 0.03;
  const double inTower = inside((towerHalf - std::fabs(x - 0.78)) * kWidth) * inside((y - 0.3) * kHeight) *
                         inside((0.56 - y) * kHeight);
  const bool band = std::fmod(y, 0.06) < 0.03;
  c = mix(c, band ? Rgb{0.9, 0.9, 0.88} : Rgb{0.75, 0.18, 0.16}, inTower);
  c = mix(c, {1.0, 0.95, 0.6}, inside((0.025 - std::hypot((x - 0.78) * 4 / 3, y - 0.28)) * kHeight));
  return c;
}

// A child's room: striped wallpaper, a window with the sky, a wooden floor.
Rgb room(double x, double y, double) {
  Rgb c = (std::fmod(x * 24, 2.0) < 1) ? Rgb{0.96, 0.9, 0.78} : Rgb{0.93, 0.84, 0.7};
  const bool inWindow = x > 0.58 && x < 0.86 && y > 0.14 && y < 0.5;
  if (inWindow) {
    c = mix({0.55, 0.75, 0.95}, {0.85, 0.93, 1.0}, (y - 0.14) / 0.36);
    if (std::fabs(x - 0.72) < 0.006 || std::fabs(y - 0.32) < 0.008) c = {0.98, 0.98, 0.96};
  }
  const double frame = std::max(std::fabs(x - 0.72) - 0.14, std::fabs(y - 0.32) - 0.18);
  if (frame > 0 && frame < 0.015) c = {0.98, 0.98, 0.96};
  if (y > 0.7) {
    const double board = std::floor(x * 10 + (y - 0.7) * (x - 0.5) * 8);
    const double grain = 0.5 + 0.5 * std::sin(y * 400 + hash(static_cast<int>(board), 0, 3) * 40);
    c = mix({0.66, 0.45, 0.27}, {0.56, 0.37, 0.21}, hash(static_cast<int>(board), 1, 4) * 0.6 + grain * 0.3);
  }
  if (y > 0.685 && y <= 0.7) c = {0.85, 0.82, 0.76};
  return c;
}

// Looping: clouds drift across the meadow and come round again.
Rgb driftingClouds(double x, double y, double phase) { return meadow(x, y, phase); }

// Looping: waves roll in on a beach; every wave moves one wavelength over
// the sequence.
Rgb beach(double x, double y, double phase) {
  Rgb c = mix({0.35, 0.62, 0.92}, {0.8, 0.9, 0.98}, y / 0.4);
  const double sunD = std::hypot((x - 0.15) * 4 / 3, y - 0.14);
  c = mix(c, {1.0, 0.96, 0.7}, inside((0.06 - sunD) * kHeight));
  if (y > 0.4) {
    const double depth = (y - 0.4) / 0.3;
    c = mix({0.1, 0.4, 0.62}, {0.2, 0.62, 0.72}, depth);
    const double crest = std::sin(y * 60 - phase * kTau + std::sin(x * 12) * 0.8);
    c = mix(c, {0.9, 0.96, 1.0}, std::clamp((crest - 0.85) * 6, 0.0, 1.0) * depth);
  }
  const double shore = 0.72 + 0.03 * std::sin(phase * kTau + x * 6) + 0.01 * std::sin(x * 23);
  c = mix(c, {0.95, 0.97, 1.0}, inside((y - shore + 0.012) * kHeight) * 0.9);
  c = mix(c, mix({0.93, 0.84, 0.62}, {0.85, 0.74, 0.5}, (y - shore) * 4), inside((y - shore) * kHeight));
  return c;
}

// Looping: snow falls over a snowy village at night; each flake falls a whole
// number of picture heights over the sequence.
Rgb snowfall(double x, double y, double phase) {
  Rgb c = mix({0.05, 0.08, 0.22}, {0.22, 0.28, 0.45}, y / 0.7);
  const double ground = 0.74 + 0.04 * std::sin(x * 7 + 1);
  for (int i = 0; i < 5 && y > 0.45; ++i) {  // houses
    const double cx = 0.1 + i * 0.2, w = 0.06, top = 0.6 + 0.03 * (i % 2);
    if (std::fabs(x - cx) < w && y > top && y < ground) {
      c = {0.35, 0.2, 0.18};
      if (std::fabs(x - cx) < 0.018 && y > top + 0.04 && y < top + 0.08) c = {1.0, 0.85, 0.45};
    }
    const double roof = top - (w + 0.01 - std::fabs(x - cx)) * 0.8;
    if (std::fabs(x - cx) < w + 0.01 && y > roof && y <= top) c = {0.93, 0.95, 1.0};
  }
  c = mix(c, mix({0.9, 0.93, 1.0}, {0.75, 0.8, 0.92}, (y - ground) * 3), inside((y - ground) * kHeight));
  constexpr int kRows[] = {18, 10, 7};  // rows of flake cells per picture height, far to near
  for (int layer = 1; layer <= 3; ++layer) {  // nearer layers fall faster and have larger flakes
    const int rows = kRows[layer - 1];
    const double fy = (y - phase * layer) * rows;
    const double fx = x * rows * 4 / 3 + std::sin(y * 10 + layer) * 0.3;
    const int cx = static_cast<int>(std::floor(fx)), cy = static_cast<int>(std::floor(fy));
    const int wrapped = ((cy % rows) + rows) % rows;
    const double ox = 0.2 + 0.6 * hash(cx, wrapped, 40 + layer), oy = 0.2 + 0.6 * hash(cx, wrapped, 50 + layer);
    const double dx = fx - cx - ox, dy = fy - cy - oy, reach = (layer * 1.3 + 0.5) * rows / kHeight;
    if (dx * dx + dy * dy >= reach * reach) continue;
    const double d = std::sqrt(dx * dx + dy * dy) / rows * kHeight;
    c = mix(c, {1, 1, 1}, inside(layer * 1.3 - d) * 0.9);
  }
  return c;
}

// Held at its last picture: the sun rises over the hills and the sky turns
// from dawn to morning.
Rgb sunrise(double x, double y, double phase) {
  const double t = smooth(phase);
  const Rgb top = mix({0.12, 0.12, 0.35}, {0.42, 0.66, 0.93}, t);
  const Rgb low = mix({0.95, 0.5, 0.35}, {0.85, 0.93, 0.98}, t);
  Rgb c = mix(top, low, y / 0.65);
  const double sunY = 0.72 - 0.5 * t;
  const double sunD = std::hypot((x - 0.5) * 4 / 3, y - sunY);
  c = mix(c, mix({1.0, 0.75, 0.4}, {1.0, 0.97, 0.82}, t), std::exp(-sunD * sunD * 40) * 0.6);
  c = mix(c, mix({1.0, 0.55, 0.25}, {1.0, 0.95, 0.65}, t), inside((0.08 - sunD) * kHeight));
  const double hill = 0.66 + 0.05 * std::sin(x * kTau * 1.2) + 0.03 * std::sin(x * kTau * 2.7 + 1);
  const Rgb land = mix({0.1, 0.15, 0.15}, {0.33, 0.58, 0.24}, t);
  const Rgb shade{land.r * 0.7, land.g * 0.7, land.b * 0.7};
  c = mix(c, mix(land, shade, (y - hill) * 3), inside((y - hill) * kHeight));
  return c;
}

// Rows [from, to) of a picture that no phase changes.
struct StillRows {
  int from = 0, to = 0;
};

void renderRows(Scene scene, double phase, std::vector<std::uint8_t>& rgb, unsigned first, unsigned step,
                StillRows still);

// Bands of rows on a few threads: the build waits for this program. Rows a
// sequence keeps still are copied from `previous` when it is given.
std::vector<std::uint8_t> render(Scene scene, double phase, const std::vector<std::uint8_t>* previous = nullptr,
                                 StillRows still = {}) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
  if (previous) {
    std::copy(previous->begin() + static_cast<std::ptrdiff_t>(still.from) * kWidth * 3,
              previous->begin() + static_cast<std::ptrdiff_t>(still.to) * kWidth * 3,
              rgb.begin() + static_cast<std::ptrdiff_t>(still.from) * kWidth * 3);
  } else {
    still = {};
  }
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::jthread> workers;
  for (unsigned t = 0; t < threads; ++t)
    workers.emplace_back([&, t] { renderRows(scene, phase, rgb, t, threads, still); });
  workers.clear();
  return rgb;
}

void renderRows(Scene scene, double phase, std::vector<std::uint8_t>& rgb, unsigned first, unsigned step,
                StillRows still) {
  for (int py = static_cast<int>(first); py < kHeight; py += static_cast<int>(step)) {
    if (py >= still.from && py < still.to) continue;
    for (int px = 0; px < kWidth; ++px) {
      const Rgb c = scene((px + 0.5) / kWidth, (py + 0.5) / kHeight, phase);
      std::uint8_t* p = &rgb[(static_cast<std::size_t>(py) * kWidth + px) * 3];
      p[0] = static_cast<std::uint8_t>(std::lround(std::clamp(c.r, 0.0, 1.0) * 255));
      p[1] = static_cast<std::uint8_t>(std::lround(std::clamp(c.g, 0.0, 1.0) * 255));
      p[2] = static_cast<std::uint8_t>(std::lround(std::clamp(c.b, 0.0, 1.0) * 255));
    }
  }
}

// Area average of the picture onto the icon's grid.
std::vector<std::uint8_t> iconOf(const std::vector<std::uint8_t>& rgb) {
  std::vector<std::uint8_t> icon(static_cast<std::size_t>(kIconWidth) * kIconHeight * 3);
  for (int iy = 0; iy < kIconHeight; ++iy) {
    const int y0 = iy * kHeight / kIconHeight, y1 = (iy + 1) * kHeight / kIconHeight;
    for (int ix = 0; ix < kIconWidth; ++ix) {
      const int x0 = ix * kWidth / kIconWidth, x1 = (ix + 1) * kWidth / kIconWidth;
      std::array<unsigned, 3> sum{};
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          for (int ch = 0; ch < 3; ++ch) sum[ch] += rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3 + ch];
      const unsigned n = static_cast<unsigned>((y1 - y0) * (x1 - x0));
      for (int ch = 0; ch < 3; ++ch)
        icon[(static_cast<std::size_t>(iy) * kIconWidth + ix) * 3 + ch] = static_cast<std::uint8_t>((sum[ch] + n / 2) / n);
    }
  }
  return icon;
}

struct FileCloser {
  std::FILE* f;
  ~FileCloser() {
    if (f != nullptr) std::fclose(f);
  }
};

bool writePNG(const std::filesystem::path& path, const std::vector<std::uint8_t>& rgb, int w, int h) {
  FileCloser file{std::fopen(path.c_str(), "wb")};
  if (file.f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.f);
  png_set_compression_level(png, 3);  // the build runs this; size matters less than time
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) png_write_row(png, &rgb[static_cast<std::size_t>(y) * w * 3]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  const bool ok = std::fflush(file.f) == 0 && std::ferror(file.f) == 0;
  return ok;
}

bool writeJPEG(const std::filesystem::path& path, const std::vector<std::uint8_t>& rgb, int w, int h) {
  FileCloser file{std::fopen(path.c_str(), "wb")};
  if (file.f == nullptr) return false;
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);  // errors here are out of memory only: libjpeg exits
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file.f);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 88, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[static_cast<std::size_t>(cinfo.next_scanline) * w * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fflush(file.f) == 0 && std::ferror(file.f) == 0;
}

struct Still {
  const char* name;
  Scene scene;
};

enum class Timing { Loop, Hold };

struct Animated {
  const char* name;
  int count;  // the model's picture counts for these names
  Scene scene;
  Timing timing;
  StillRows still;  // rows the scene never changes (clouds stay in the sky, the sky above the sea)
};

// Loops spread one period over all pictures (the next after the last is the
// first again); a held sequence runs from 0 to 1 and stops on its last.
double phaseOf(int k, int count, Timing timing) {
  return timing == Timing::Loop ? static_cast<double>(k) / count : static_cast<double>(k) / (count - 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: backgroundgen <resource folder>\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  constexpr Still kStills[] = {
      {"SSBackground000", meadow},
      {"SSBackground001", harbour},
      {"SSBackground002", room},
  };
  constexpr Animated kAnimated[] = {
      {"SDBackground000_", 30, driftingClouds, Timing::Loop, {kHeight / 2, kHeight}},
      {"SDBackground001_", 31, beach, Timing::Loop, {0, kHeight * 2 / 5}},
      {"SDBackground002_", 31, snowfall, Timing::Loop, {}},
      {"SCBackground000_", 30, sunrise, Timing::Hold, {}},
  };
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  auto fail = [](const std::filesystem::path& p) {
    std::fprintf(stderr, "backgroundgen: cannot write %s\n", p.c_str());
    return 1;
  };
  for (const Still& s : kStills) {
    const auto pixels = render(s.scene, 0);
    const auto picture = out / (std::string(s.name) + ".png"), icon = out / (std::string(s.name) + "Icon.png");
    if (!writePNG(picture, pixels, kWidth, kHeight)) return fail(picture);
    if (!writePNG(icon, iconOf(pixels), kIconWidth, kIconHeight)) return fail(icon);
  }
  for (const Animated& a : kAnimated) {
    std::vector<std::uint8_t> first;
    for (int k = 0; k < a.count; ++k) {
      const auto pixels = render(a.scene, phaseOf(k, a.count, a.timing), k == 0 ? nullptr : &first, a.still);
      if (k == 0) first = pixels;
      const std::string stem = a.name + std::to_string(k);
      const auto picture = out / (stem + ".jpg"), icon = out / (stem + "Icon.jpg");
      if (!writeJPEG(picture, pixels, kWidth, kHeight)) return fail(picture);
      if (!writeJPEG(icon, iconOf(pixels), kIconWidth, kIconHeight)) return fail(icon);
    }
  }
  return 0;
}
