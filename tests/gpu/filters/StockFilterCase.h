#pragma once
// One stock filter at one setting beside its CPU reference: the reference is
// the formula worked in floats, sampled as the GPU samples (linear, clamped
// to the edge), run on the premultiplied picture the upload gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>

#include "gpu/GPUFilter.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"

namespace stocktest {

using gpuref::Colour;
using gpuref::Sampler;

struct Case {
  std::string name;
  std::function<std::shared_ptr<GPUFilter>()> make;
  gpuref::Shader reference;
  // 2 for pixel-local formulas, 4 where neighbours or a lookup are sampled.
  int tolerance = 2;
  // Where the formula jumps (a threshold, a cell edge) the last bit of float
  // rounding decides the side; such pixels, when the case names them, are
  // not compared.
  std::function<bool(const Sampler& input, float s, float t)> atJump;
};

inline std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

// A factory for the case: the filter made, then set up.
template <typename F, typename Setup>
std::function<std::shared_ptr<GPUFilter>()> maker(Setup setup) {
  return [setup] {
    auto f = std::make_shared<F>();
    setup(*f);
    return std::static_pointer_cast<GPUFilter>(f);
  };
}
template <typename F>
std::function<std::shared_ptr<GPUFilter>()> maker() {
  return maker<F>([](F&) {});
}

// The case's name as a test name.
inline std::string caseName(const ::testing::TestParamInfo<Case>& info) {
  std::string n = info.param.name;
  for (char& ch : n)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return n;
}

// Whether the stage is of the class (its type name ends with the name).
inline bool isClass(const GPUFilterStage& stage, const std::string& name) {
  const std::string mangled = typeid(stage).name();
  return mangled.size() >= name.size() && mangled.compare(mangled.size() - name.size(), name.size(), name) == 0;
}

// A picture of one colour.
inline gfx::Image solid(int w, int h, std::array<std::uint8_t, 4> rgba) {
  gfx::Image image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::copy(rgba.begin(), rgba.end(), image.pixel(x, y));
  return image;
}

inline gfx::Image runPicture(const gfx::Image& picture, const std::shared_ptr<GPUFilter>& filter) {
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(filter);
  source->processImage();
  return filter->newCGImageFromCurrentlyProcessedOutput();
}

inline float luminance(const Colour& c, float wr = 0.2125f, float wg = 0.7154f, float wb = 0.0721f) {
  return c[0] * wr + c[1] * wg + c[2] * wb;
}
inline float mix(float a, float b, float t) { return a + (b - a) * t; }
inline float smoothstep(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}
inline float glslMod(float x, float y) { return x - y * std::floor(x / y); }

// A pixel and its eight neighbours, one texel step apart (left, right, top,
// top-left, ... as the 3x3 filters name them).
struct Ring {
  Colour ctr, l, r, t, tl, tr, b, bl, br;
};
inline Ring ring(const Sampler& in, float s, float t, float tw, float th) {
  return {in(s, t),           in(s - tw, t),      in(s + tw, t),      in(s, t - th),     in(s - tw, t - th),
          in(s + tw, t - th), in(s, t + th),      in(s - tw, t + th), in(s + tw, t + th)};
}
inline float sobelH(const Ring& n) { return -n.tl[0] - 2 * n.t[0] - n.tr[0] + n.bl[0] + 2 * n.b[0] + n.br[0]; }
inline float sobelV(const Ring& n) { return -n.bl[0] - 2 * n.l[0] - n.tl[0] + n.br[0] + 2 * n.r[0] + n.tr[0]; }

// Runs the case on one picture; every pixel within the tolerance.
inline void expectMatchesReferenceOn(const Case& c, const gfx::Image& picture) {
  ASSERT_FALSE(picture.empty());
  auto filter = c.make();
  ASSERT_NE(filter->filterProgram(), nullptr) << "the shader did not build";
  const gfx::Image out = runPicture(picture, filter);
  gfx::Image expected = gpuref::filter(gpuref::uploaded(picture), 0, c.reference);
  if (c.atJump && out.pixelWidth() == expected.pixelWidth() && out.pixelHeight() == expected.pixelHeight()) {
    const gfx::Image texture = gpuref::uploaded(picture);
    const Sampler sampler = [&](float s, float t) { return gpuref::sampleLinear(texture, s, t); };
    const int w = out.pixelWidth(), h = out.pixelHeight();
    int skipped = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (c.atJump(sampler, (x + 0.5f) / w, (y + 0.5f) / h)) {
          std::copy_n(out.pixel(x, y), 4, expected.pixel(x, y));
          ++skipped;
        }
    EXPECT_LT(skipped, w * h / 6) << "too many pixels on a jump to say anything";
  }
  const auto result = gpuref::compare(out, expected, c.tolerance, c.tolerance);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest difference " << result.maxDifference << ")";
}

// Runs the case on the photo and on the transparent artwork.
inline void expectMatchesReference(const Case& c) {
  for (const char* name : {"gpu_cat.png", "gpu_headphones.png"}) {
    SCOPED_TRACE(name);
    expectMatchesReferenceOn(c, gpuref::loadPicture(name));
  }
}

}  // namespace stocktest
