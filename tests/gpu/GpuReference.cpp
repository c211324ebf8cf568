#include "gpu/GpuReference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gpuref {

gfx::Image loadPicture(const std::string& name) {
  auto image = gfx::readImage(std::string(FLIPDESK_TEST_DATA) + "/" + name);
  return image ? *image : gfx::Image{};
}

gfx::Image uploaded(const gfx::Image& picture) {
  gfx::Image copy = picture;
  copy.premultiply();
  return copy;
}

Colour sampleLinear(const gfx::Image& texture, float s, float t) {
  const int w = texture.pixelWidth(), h = texture.pixelHeight();
  const float u = s * w - 0.5f, v = t * h - 0.5f;
  const int i0 = static_cast<int>(std::floor(u)), j0 = static_cast<int>(std::floor(v));
  const float a = u - i0, b = v - j0;
  auto texel = [&](int i, int j, int c) {
    i = std::clamp(i, 0, w - 1);
    j = std::clamp(j, 0, h - 1);
    return texture.pixel(i, j)[c] / 255.0f;
  };
  Colour out{};
  for (int c = 0; c < 4; ++c) {
    out[c] = (1 - a) * (1 - b) * texel(i0, j0, c) + a * (1 - b) * texel(i0 + 1, j0, c) +
             (1 - a) * b * texel(i0, j0 + 1, c) + a * b * texel(i0 + 1, j0 + 1, c);
  }
  return out;
}

std::array<float, 2> readPoint(int rotation, float x, float y) {
  switch (rotation) {
    case 1: return {1 - y, x};
    case 2: return {y, 1 - x};
    case 3: return {x, 1 - y};
    case 4: return {1 - x, y};
    case 5: return {y, x};
    case 6: return {1 - x, 1 - y};
    default: return {x, y};
  }
}

bool swapsSides(int rotation) { return rotation == 1 || rotation == 2 || rotation == 5; }

namespace {
std::uint8_t store(float v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }
}  // namespace

gfx::Image filter(const gfx::Image& input, int rotation, const Shader& shader) {
  const int w = swapsSides(rotation) ? input.pixelHeight() : input.pixelWidth();
  const int h = swapsSides(rotation) ? input.pixelWidth() : input.pixelHeight();
  gfx::Image out(w, h);
  const Sampler sampler = [&](float s, float t) { return sampleLinear(input, s, t); };
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const auto [s, t] = readPoint(rotation, (i + 0.5f) / w, (j + 0.5f) / h);
      const Colour c = shader(sampler, s, t);
      for (int k = 0; k < 4; ++k) out.pixel(i, j)[k] = store(c[k]);
    }
  }
  return out;
}

Colour passThrough(const Sampler& input, float s, float t) { return input(s, t); }

gfx::Image view(const gfx::Image& input, int rotation, int fillMode, int viewWidth, int viewHeight) {
  const float iw = static_cast<float>(swapsSides(rotation) ? input.pixelHeight() : input.pixelWidth());
  const float ih = static_cast<float>(swapsSides(rotation) ? input.pixelWidth() : input.pixelHeight());
  const float vw = static_cast<float>(viewWidth), vh = static_cast<float>(viewHeight);
  const float fit = std::min(vw / iw, vh / ih);
  float hw = 1, hh = 1;  // half extents of the quad in device coordinates
  if (fillMode == 1) {
    hw = iw * fit / vw;
    hh = ih * fit / vh;
  } else if (fillMode == 2) {
    hw = vh / (ih * fit);
    hh = vw / (iw * fit);
  }
  gfx::Image out(viewWidth, viewHeight);
  for (int py = 0; py < viewHeight; ++py) {
    for (int px = 0; px < viewWidth; ++px) {
      const float x = (px + 0.5f) / vw * 2 - 1;
      const float y = 1 - (py + 0.5f) / vh * 2;  // top row first
      std::uint8_t* p = out.pixel(px, py);
      if (std::fabs(x) > hw || std::fabs(y) > hh) {
        p[0] = p[1] = p[2] = 0;
        p[3] = 255;
        continue;
      }
      // Position on the quad, 0 at its left and bottom edges. The view reads
      // the picture upside down relative to a filter, so its rows come out
      // top row first on screen.
      const float a = (x + hw) / (2 * hw), b = (y + hh) / (2 * hh);
      const auto [s, t] = readPoint(rotation, a, 1 - b);
      const Colour c = sampleLinear(input, s, t);
      for (int k = 0; k < 4; ++k) p[k] = store(c[k]);
    }
  }
  return out;
}

Comparison compare(const gfx::Image& actual, const gfx::Image& expected, int tolerance, int borderTolerance,
                   int border) {
  Comparison result;
  if (actual.pixelWidth() != expected.pixelWidth() || actual.pixelHeight() != expected.pixelHeight()) {
    result.badPixels = -1;
    result.firstBad = "sizes differ: " + std::to_string(actual.pixelWidth()) + "x" +
                      std::to_string(actual.pixelHeight()) + " against " + std::to_string(expected.pixelWidth()) +
                      "x" + std::to_string(expected.pixelHeight());
    return result;
  }
  const int w = actual.pixelWidth(), h = actual.pixelHeight();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool atBorder = x < border || y < border || x >= w - border || y >= h - border;
      int worst = 0;
      for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(actual.pixel(x, y)[c] - expected.pixel(x, y)[c]));
      result.maxDifference = std::max(result.maxDifference, worst);
      if (worst > (atBorder ? borderTolerance : tolerance)) {
        if (result.badPixels++ == 0) {
          result.firstBad = "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") differs by " +
                            std::to_string(worst);
        }
      }
    }
  }
  return result;
}

}  // namespace gpuref
