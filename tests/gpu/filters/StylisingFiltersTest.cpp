// The pixellation, pattern and stylising filters on real pictures against
// their formulas, at the defaults and two other settings; the smallest cell
// width; the palette's ties; the cases the formulas single out.
#include <gtest/gtest.h>

#include "gpu/GpuTestSupport.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/stylise/GPUStylisingFilters.h"

using namespace stocktest;

namespace {

using Jump = std::function<bool(const Sampler&, float, float)>;

// Within a hair of a multiple of step: float rounding picks the side.
bool nearStep(float v, float step, float band = 2e-4f) {
  const float m = glslMod(v, step);
  return m < band || step - m < band;
}

struct Cell {
  float f, a;
  std::array<float, 2> divisor() const { return {f, f / a}; }
  std::array<float, 2> centre(float s, float t) const {
    const auto d = divisor();
    return {s - glslMod(s, d[0]) + 0.5f * d[0], t - glslMod(t, d[1]) + 0.5f * d[1]};
  }
  bool onEdge(float s, float t) const { return nearStep(s, divisor()[0]) || nearStep(t, divisor()[1]); }
};

gpuref::Shader pixellate(Cell c) {
  return [c](const Sampler& in, float s, float t) {
    const auto sp = c.centre(s, t);
    return in(sp[0], sp[1]);
  };
}

float dotDistance(const Cell& c, float s, float t) {
  const auto sp = c.centre(s, t);
  return std::hypot(sp[0] - s, (sp[1] - t) * c.a);
}

gpuref::Shader halftone(Cell c) {
  return [c](const Sampler& in, float s, float t) {
    const auto sp = c.centre(s, t);
    const float dark = 1 - luminance(in(sp[0], sp[1]));
    const float v = dotDistance(c, s, t) <= c.f * 0.5f * dark ? 0.0f : 1.0f;
    return Colour{v, v, v, 1};
  };
}
Jump halftoneJump(Cell c) {
  return [c](const Sampler& in, float s, float t) {
    const auto sp = c.centre(s, t);
    const float dark = 1 - luminance(in(sp[0], sp[1]));
    return c.onEdge(s, t) || std::fabs(dotDistance(c, s, t) - c.f * 0.5f * dark) < 2e-4f;
  };
}

gpuref::Shader polka(Cell c, float scaling) {
  return [=](const Sampler& in, float s, float t) {
    const auto sp = c.centre(s, t);
    const float inside = dotDistance(c, s, t) <= c.f * 0.5f * scaling ? 1.0f : 0.0f;
    const Colour k = in(sp[0], sp[1]);
    return Colour{k[0] * inside, k[1] * inside, k[2] * inside, 1};
  };
}
Jump polkaJump(Cell c, float scaling) {
  return [=](const Sampler&, float s, float t) {
    return c.onEdge(s, t) || std::fabs(dotDistance(c, s, t) - c.f * 0.5f * scaling) < 2e-4f;
  };
}

gpuref::Shader pixellatePosition(Cell c, float cx, float cy, float radius) {
  return [=](const Sampler& in, float s, float t) {
    const float y = t * c.a + 0.5f - 0.5f * c.a;
    if (std::hypot(s - cx, y - cy) < radius) {
      const auto sp = c.centre(s, t);
      return in(sp[0], sp[1]);
    }
    return in(s, t);
  };
}
Jump pixellatePositionJump(Cell c, float cx, float cy, float radius) {
  return [=](const Sampler&, float s, float t) {
    const float y = t * c.a + 0.5f - 0.5f * c.a;
    return c.onEdge(s, t) || std::fabs(std::hypot(s - cx, y - cy) - radius) < 2e-3f;
  };
}

gpuref::Shader polar(float cx, float cy, float rs, float as) {
  return [=](const Sampler& in, float s, float t) {
    const float ox = 2 * cx - 1, oy = 2 * cy - 1;
    const float nx = 2 * s - 1 - ox, ny = 2 * t - 1 - oy;
    float r = std::hypot(nx, ny), phi = std::atan2(ny, nx);
    if (rs > 0) r = r - glslMod(r, rs) + 0.03f;
    if (as > 0) phi = phi - glslMod(phi, as);
    return in((r * std::cos(phi) + ox) / 2 + 0.5f, (r * std::sin(phi) + oy) / 2 + 0.5f);
  };
}
Jump polarJump(float cx, float cy, float rs, float as) {
  return [=](const Sampler&, float s, float t) {
    const float nx = 2 * s - 1 - (2 * cx - 1), ny = 2 * t - 1 - (2 * cy - 1);
    const float r = std::hypot(nx, ny), phi = std::atan2(ny, nx);
    return (rs > 0 && nearStep(r, rs, 1e-3f)) || (as > 0 && nearStep(phi, as, 1e-3f)) ||
           (nx < 0 && std::fabs(ny) < 1e-2f) || r < 1e-2f;
  };
}

gpuref::Shader crosshatch(float sp, float w) {
  return [=](const Sampler& in, float s, float t) {
    const float l = luminance(in(s, t));
    bool black = (l < 1.00f && glslMod(s + t, sp) <= w) || (l < 0.75f && glslMod(s - t, sp) <= w) ||
                 (l < 0.50f && glslMod(s + t - sp / 2, sp) <= w) || (l < 0.3f && glslMod(s - t - sp / 2, sp) <= w);
    return black ? Colour{0, 0, 0, 1} : Colour{1, 1, 1, 1};
  };
}
Jump crosshatchJump(float sp, float w) {
  return [=](const Sampler& in, float s, float t) {
    const float l = luminance(in(s, t));
    auto near = [&](float v) {
      const float m = glslMod(v, sp);
      return std::fabs(m - w) < 2e-4f || m < 2e-4f || sp - m < 2e-4f;
    };
    auto nearL = [&](float k) { return std::fabs(l - k) < 1e-3f; };
    return near(s + t) || near(s - t) || near(s + t - sp / 2) || near(s - t - sp / 2) || nearL(1) || nearL(0.75f) ||
           nearL(0.5f) || nearL(0.3f);
  };
}

const std::array<Colour, 4> kPalette = {Colour{0, 0, 0, 1}, Colour{1, 1, 1, 1}, Colour{85 / 255.0f, 1, 1, 1},
                                        Colour{1, 85 / 255.0f, 1, 1}};  // in order of precedence
float distance4(const Colour& a, const Colour& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]) +
                   (a[3] - b[3]) * (a[3] - b[3]));
}
Colour cgaSample(const Sampler& in, float s, float t) {
  return in(s - glslMod(s, 1 / 200.0f), t - glslMod(t, 1 / 320.0f));
}
Colour cga(const Sampler& in, float s, float t) {
  const Colour c = cgaSample(in, s, t);
  Colour best = kPalette[0];
  float d = distance4(c, best);
  for (int k = 1; k < 4; ++k) {
    if (distance4(c, kPalette[k]) < d) {
      d = distance4(c, kPalette[k]);
      best = kPalette[k];
    }
  }
  return best;
}
bool cgaJump(const Sampler& in, float s, float t) {
  if (nearStep(s, 1 / 200.0f) || nearStep(t, 1 / 320.0f)) return true;
  const Colour c = cgaSample(in, s, t);
  std::array<float, 4> d;
  for (int k = 0; k < 4; ++k) d[k] = distance4(c, kPalette[k]);
  std::sort(d.begin(), d.end());
  return d[1] - d[0] < 1e-2f;
}

// The colour and whether the two calmest windows nearly tie.
std::pair<Colour, bool> kuwaharaWindows(const Sampler& in, float s, float t, int r) {
  const int ranges[4][4] = {{-r, 0, -r, 0}, {0, r, -r, 0}, {0, r, 0, r}, {-r, 0, 0, r}};
  float bound = 100, second = 100;
  Colour result{};
  for (const auto& w : ranges) {
    double m[3] = {0, 0, 0}, q[3] = {0, 0, 0};
    for (int j = w[2]; j <= w[3]; ++j)
      for (int i = w[0]; i <= w[1]; ++i) {
        const Colour c = in(s + i / 768.0f, t + j / 1024.0f);
        for (int k = 0; k < 3; ++k) {
          m[k] += c[k];
          q[k] += c[k] * c[k];
        }
      }
    const double n = (r + 1) * (r + 1);
    float sigma = 0;
    for (int k = 0; k < 3; ++k) {
      m[k] /= n;
      sigma += static_cast<float>(std::fabs(q[k] / n - m[k] * m[k]));
    }
    if (sigma < bound) {
      second = bound;
      bound = sigma;
      result = {static_cast<float>(m[0]), static_cast<float>(m[1]), static_cast<float>(m[2]), 1};
    } else {
      second = std::min(second, sigma);
    }
  }
  // The shader forms each variance as mean of squares less squared mean in
  // single precision: windows whose variances lie this close may swap places.
  return {result, second - bound < 2e-2f * bound + 1e-6f};
}

gpuref::Shader sharpen(float k, float w, float h) {
  return [=](const Sampler& in, float s, float t) {
    const Colour c = in(s, t), l = in(s - 1 / w, t), r = in(s + 1 / w, t), up = in(s, t + 1 / h),
                 down = in(s, t - 1 / h);
    Colour out;
    for (int i = 0; i < 3; ++i) out[i] = c[i] * (1 + 4 * k) - (l[i] + r[i] + up[i] + down[i]) * k;
    out[3] = down[3];
    return out;
  };
}

gpuref::Shader vignette(float cx, float cy, std::array<float, 3> colour, float start, float end) {
  return [=](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float p = smoothstep(start, end, std::hypot(s - cx, t - cy));
    return Colour{mix(c[0], colour[0], p), mix(c[1], colour[1], p), mix(c[2], colour[2], p), 1};
  };
}


// The cat photo resampled to 160 x 128: at this size no pixel centre lies
// exactly on a cell edge of the settings below, nor on the palette's grid.
constexpr int kWidth = 160, kHeight = 128;
gfx::Image catPicture() {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  gfx::Image out(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Colour c = gpuref::sampleLinear(cat, (x + 0.5f) / kWidth, (y + 0.5f) / kHeight);
      for (int k = 0; k < 4; ++k) out.pixel(x, y)[k] = static_cast<std::uint8_t>(std::lround(c[k] * 255));
    }
  return out;
}

std::vector<Case> stylisingCases() {
  constexpr float A = static_cast<float>(kHeight) / kWidth;
  std::vector<Case> c;
  auto add = [&](std::string name, auto make, gpuref::Shader ref, Jump jump, int tolerance = 4) {
    c.push_back({std::move(name), make, std::move(ref), tolerance, std::move(jump)});
  };
  auto edges = [](Cell cell) -> Jump { return [cell](const Sampler&, float s, float t) { return cell.onEdge(s, t); }; };
  add("Pixellate", maker<GPUPixellateFilter>([](auto&) {}), pixellate({0.05f, A}), edges({0.05f, A}));
  add("PixellateFine", maker<GPUPixellateFilter>([](auto& f) { f.setFractionalWidthOfAPixel(0.021f); }),
      pixellate({0.021f, A}), edges({0.021f, A}));
  add("PixellateCoarse", maker<GPUPixellateFilter>([](auto& f) { f.setFractionalWidthOfAPixel(0.13f); }),
      pixellate({0.13f, A}), edges({0.13f, A}));
  add("Halftone", maker<GPUHalftoneFilter>([](auto&) {}), halftone({0.01f, A}), halftoneJump({0.01f, A}));
  add("HalftoneCoarse", maker<GPUHalftoneFilter>([](auto& f) { f.setFractionalWidthOfAPixel(0.06f); }),
      halftone({0.06f, A}), halftoneJump({0.06f, A}));
  add("HalftoneMid", maker<GPUHalftoneFilter>([](auto& f) { f.setFractionalWidthOfAPixel(0.031f); }),
      halftone({0.031f, A}), halftoneJump({0.031f, A}));
  add("PolkaDot", maker<GPUPolkaDotFilter>([](auto&) {}), polka({0.05f, A}, 0.9f), polkaJump({0.05f, A}, 0.9f));
  add("PolkaDotSmall", maker<GPUPolkaDotFilter>([](auto& f) { f.setDotScaling(0.5f); }), polka({0.05f, A}, 0.5f),
      polkaJump({0.05f, A}, 0.5f));
  add("PolkaDotCoarse", maker<GPUPolkaDotFilter>([](auto& f) {
        f.setFractionalWidthOfAPixel(0.09f);
        f.setDotScaling(1.2f);
      }),
      polka({0.09f, A}, 1.2f), polkaJump({0.09f, A}, 1.2f));
  add("PixellatePosition", maker<GPUPixellatePositionFilter>([](auto&) {}),
      pixellatePosition({0.05f, A}, 0.5f, 0.5f, 1.0f), pixellatePositionJump({0.05f, A}, 0.5f, 0.5f, 1.0f));
  add("PixellatePositionSpot", maker<GPUPixellatePositionFilter>([](auto& f) {
        f.setCenter({0.3f, 0.4f});
        f.setRadius(0.25f);
      }),
      pixellatePosition({0.05f, A}, 0.3f, 0.4f, 0.25f), pixellatePositionJump({0.05f, A}, 0.3f, 0.4f, 0.25f));
  add("PixellatePositionFine", maker<GPUPixellatePositionFilter>([](auto& f) {
        f.setFractionalWidthOfAPixel(0.023f);
        f.setRadius(0.35f);
      }),
      pixellatePosition({0.023f, A}, 0.5f, 0.5f, 0.35f), pixellatePositionJump({0.023f, A}, 0.5f, 0.5f, 0.35f));
  add("PolarPixellate", maker<GPUPolarPixellateFilter>([](auto&) {}), polar(0.5f, 0.5f, 0.05f, 0.05f),
      polarJump(0.5f, 0.5f, 0.05f, 0.05f));
  add("PolarPixellateWide", maker<GPUPolarPixellateFilter>([](auto& f) {
        f.setPixelSize({0.1f, 0.3f});
        f.setCenter({0.4f, 0.6f});
      }),
      polar(0.4f, 0.6f, 0.1f, 0.3f), polarJump(0.4f, 0.6f, 0.1f, 0.3f));
  // A zero step leaves that coordinate alone instead of a remainder by zero.
  add("PolarPixellateZeroStep", maker<GPUPolarPixellateFilter>([](auto& f) { f.setPixelSize({0.0f, 0.2f}); }),
      polar(0.5f, 0.5f, 0.0f, 0.2f), polarJump(0.5f, 0.5f, 0.0f, 0.2f));
  add("Crosshatch", maker<GPUCrosshatchFilter>([](auto&) {}), crosshatch(0.03f, 0.003f),
      crosshatchJump(0.03f, 0.003f), 2);
  add("CrosshatchWide", maker<GPUCrosshatchFilter>([](auto& f) {
        f.setCrossHatchSpacing(0.07f);
        f.setLineWidth(0.01f);
      }),
      crosshatch(0.07f, 0.01f), crosshatchJump(0.07f, 0.01f), 2);
  add("CrosshatchDense", maker<GPUCrosshatchFilter>([](auto& f) {
        f.setCrossHatchSpacing(0.021f);
        f.setLineWidth(0.005f);
      }),
      crosshatch(0.021f, 0.005f), crosshatchJump(0.021f, 0.005f), 2);
  add("CGAColorspace", maker<GPUCGAColorspaceFilter>([](auto&) {}), cga, cgaJump, 2);
  for (float k : {0.0f, 1.5f, -0.5f}) {
    add("Sharpen" + std::to_string(static_cast<int>(k * 10)), maker<GPUSharpenFilter>([k](auto& f) { f.setSharpness(k); }),
        sharpen(k, kWidth, kHeight), nullptr);
  }
  add("Vignette", maker<GPUVignetteFilter>([](auto&) {}), vignette(0.5f, 0.5f, {0, 0, 0}, 0.3f, 0.75f), nullptr, 2);
  add("VignetteRed", maker<GPUVignetteFilter>([](auto& f) {
        f.setVignetteColor({0.8f, 0.1f, 0.1f});
        f.setVignetteStart(0.1f);
        f.setVignetteEnd(0.5f);
      }),
      vignette(0.5f, 0.5f, {0.8f, 0.1f, 0.1f}, 0.1f, 0.5f), nullptr, 2);
  add("VignetteMoved", maker<GPUVignetteFilter>([](auto& f) { f.setVignetteCenter({0.2f, 0.7f}); }),
      vignette(0.2f, 0.7f, {0, 0, 0}, 0.3f, 0.75f), nullptr, 2);
  return c;
}

class Stylising : public ::testing::TestWithParam<Case> {};
TEST_P(Stylising, MatchesTheFormulaOnTheCatPhoto) {
  const Case& c = GetParam();
  const gfx::Image cat = catPicture();
  const gfx::Image texture = gpuref::uploaded(cat);
  auto filter = c.make();
  ASSERT_NE(filter->filterProgram(), nullptr);
  const gfx::Image out = runPicture(cat, filter);
  gfx::Image expected = gpuref::filter(texture, 0, c.reference);
  ASSERT_EQ(out.pixelWidth(), expected.pixelWidth());
  int skipped = 0;
  if (c.atJump) {
    const Sampler sampler = [&](float s, float t) { return gpuref::sampleLinear(texture, s, t); };
    for (int y = 0; y < out.pixelHeight(); ++y)
      for (int x = 0; x < out.pixelWidth(); ++x)
        if (c.atJump(sampler, (x + 0.5f) / out.pixelWidth(), (y + 0.5f) / out.pixelHeight())) {
          std::copy_n(out.pixel(x, y), 4, expected.pixel(x, y));
          ++skipped;
        }
  }
  EXPECT_LT(skipped, out.pixelWidth() * out.pixelHeight() / 4);
  const auto result = gpuref::compare(out, expected, c.tolerance, c.tolerance);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest " << result.maxDifference << ")";
}
INSTANTIATE_TEST_SUITE_P(Stock, Stylising, ::testing::ValuesIn(stylisingCases()),
                         caseName);

}  // namespace

// The Kuwahara filter steps a fixed 1/768 across and 1/1024 down: on the photo
// stretched to 768 x 1024 every sample is a texel centre, so the reference
// reads exactly what the GPU reads. A window of the output is compared.
TEST(StylisingFilters, KuwaharaMatchesTheWindowsOfLeastVariance) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  gfx::Image big(768, 1024);
  for (int y = 0; y < 1024; ++y)
    for (int x = 0; x < 768; ++x) {
      const Colour c = gpuref::sampleLinear(cat, (x + 0.5f) / 768, (y + 0.5f) / 1024);
      for (int k = 0; k < 4; ++k) big.pixel(x, y)[k] = static_cast<std::uint8_t>(std::lround(c[k] * 255));
    }
  const Sampler sampler = [&](float s, float t) { return gpuref::sampleLinear(big, s, t); };
  for (unsigned r : {3u, 1u, 2u}) {
    SCOPED_TRACE(r);
    auto kuwahara = std::make_shared<GPUKuwaharaFilter>();
    kuwahara->setRadius(r);
    EXPECT_EQ(kuwahara->radius(), r);
    const gfx::Image out = runPicture(big, kuwahara);
    int bad = 0, skipped = 0;
    for (int y = 400; y < 480; ++y)
      for (int x = 300; x < 380; ++x) {
        const auto [c, tie] = kuwaharaWindows(sampler, (x + 0.5f) / 768, (y + 0.5f) / 1024, static_cast<int>(r));
        if (tie) {
          ++skipped;
          continue;
        }
        for (int k = 0; k < 4; ++k) {
          if (std::abs(out.pixel(x, y)[k] - static_cast<int>(std::lround(std::clamp(c[k], 0.0f, 1.0f) * 255))) > 4) {
            ++bad;
            break;
          }
        }
      }
    EXPECT_EQ(bad, 0);
    EXPECT_LT(skipped, 80 * 80 / 3);
  }
}

TEST(StylisingFilters, CellWidthIsNeverBelowOnePixel) {
  GPUPixellateFilter pixellateFilter;
  pixellateFilter.setFractionalWidthOfAPixel(0.0001f);
  EXPECT_FLOAT_EQ(pixellateFilter.fractionalWidthOfAPixel(), 1.0f / 2048.0f);
  performOnProcessingQueueSync([&] { pixellateFilter.setInputSize({640, 480}, 0); });
  pixellateFilter.setFractionalWidthOfAPixel(0.0001f);
  EXPECT_FLOAT_EQ(pixellateFilter.fractionalWidthOfAPixel(), 1.0f / 640.0f);
  pixellateFilter.setFractionalWidthOfAPixel(0.0f);  // zero width: one pixel, no division by zero
  EXPECT_FLOAT_EQ(pixellateFilter.fractionalWidthOfAPixel(), 1.0f / 640.0f);
  EXPECT_FLOAT_EQ(pixellateFilter.aspectRatio(), 0.75f);
  GPUCrosshatchFilter hatch;
  hatch.setCrossHatchSpacing(-1.0f);
  EXPECT_FLOAT_EQ(hatch.crossHatchSpacing(), 1.0f / 2048.0f);
  GPUHalftoneFilter halftoneFilter;
  EXPECT_FLOAT_EQ(halftoneFilter.fractionalWidthOfAPixel(), 0.01f);
}

TEST(StylisingFilters, PaletteTurnsRedBlackAndMidGreyCyan) {
  auto palette = std::make_shared<GPUCGAColorspaceFilter>();
  EXPECT_EQ(runPicture(solid(8, 8, {255, 0, 0, 255}), palette).pixel(3, 3)[0], 0);
  const gfx::Image grey = runPicture(solid(8, 8, {128, 128, 128, 255}), palette);
  EXPECT_EQ(grey.pixel(3, 3)[0], 85);
  EXPECT_EQ(grey.pixel(3, 3)[1], 255);
}

TEST(StylisingFilters, OpaqueOutputsAndDegenerateSettings) {
  const gfx::Image art = gpuref::loadPicture("gpu_headphones.png");
  // Kuwahara at radius 0 returns the input colour, opaque.
  auto kuwahara = std::make_shared<GPUKuwaharaFilter>();
  kuwahara->setRadius(0);
  const gfx::Image texture = gpuref::uploaded(art);
  const gfx::Image expected = gpuref::filter(texture, 0, [](const Sampler& in, float s, float t) {
    Colour c = in(s, t);
    c[3] = 1;
    return c;
  });
  EXPECT_EQ(gpuref::compare(runPicture(art, kuwahara), expected, 2, 2).badPixels, 0);
  // The vignette is opaque even over transparent artwork.
  auto vignetteFilter = std::make_shared<GPUVignetteFilter>();
  const gfx::Image v = runPicture(art, vignetteFilter);
  EXPECT_EQ(v.pixel(0, 0)[3], 255);
  // Sharpness 0 copies the colour and takes the alpha from the pixel below.
  auto sharpenFilter = std::make_shared<GPUSharpenFilter>();
  const auto result = gpuref::compare(runPicture(art, sharpenFilter), gpuref::filter(texture, 0, sharpen(0, 64, 64)), 2, 2);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}
