// The colour adjustment filters on real pictures against their formulas, at
// the defaults and two other settings each; the setters that convert their
// values; the cases the formulas single out.
#include <gtest/gtest.h>

#include <numbers>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/filters/colour/GPUColorAdjustmentFilters.h"
#include "gpu/filters/StockFilterCase.h"

using namespace stocktest;

namespace {


// Applies f to red, green and blue; alpha kept.
template <typename Fn>
gpuref::Shader perChannel(Fn fn) {
  return [fn](const Sampler& in, float s, float t) {
    Colour c = in(s, t);
    return Colour{fn(c[0]), fn(c[1]), fn(c[2]), c[3]};
  };
}

Colour overlay(Colour c, const std::array<float, 3>& k) {
  for (int i = 0; i < 3; ++i) c[i] = c[i] < 0.5f ? 2 * c[i] * k[i] : 1 - 2 * (1 - c[i]) * (1 - k[i]);
  return c;
}

gpuref::Shader colorMatrix(const std::array<std::array<float, 4>, 4>& rows, float intensity) {
  return [rows, intensity](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    Colour out{};
    for (int k = 0; k < 4; ++k) {
      float m = 0;
      for (int i = 0; i < 4; ++i) m += c[i] * rows[k][i];
      out[k] = intensity * m + (1 - intensity) * c[k];
    }
    return out;
  };
}

gpuref::Shader hue(float degrees) {
  const float adjust = static_cast<float>(std::fmod(degrees, 360.0) * std::numbers::pi / 180.0);
  return [adjust](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float y = 0.299f * c[0] + 0.587f * c[1] + 0.114f * c[2];
    float i = 0.595716f * c[0] - 0.274453f * c[1] - 0.321263f * c[2];
    float q = 0.211456f * c[0] - 0.522591f * c[1] + 0.31135f * c[2];
    const float h = std::atan2(q, i) - adjust, chroma = std::sqrt(i * i + q * q);
    q = chroma * std::sin(h);
    i = chroma * std::cos(h);
    return Colour{y + 0.9563f * i + 0.6210f * q, y - 0.2721f * i - 0.6474f * q, y - 1.1070f * i + 1.7046f * q, c[3]};
  };
}

gpuref::Shader monochrome(float intensity, std::array<float, 3> f) {
  return [=](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float l = luminance(c);
    const Colour o = overlay({l, l, l, c[3]}, f);
    return Colour{mix(c[0], o[0], intensity), mix(c[1], o[1], intensity), mix(c[2], o[2], intensity), c[3]};
  };
}

gpuref::Shader falseColor(std::array<float, 3> a, std::array<float, 3> b) {
  return [=](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float l = luminance(c);
    return Colour{mix(a[0], b[0], l), mix(a[1], b[1], l), mix(a[2], b[2], l), c[3]};
  };
}

gpuref::Shader haze(float distance, float slope) {
  return [=](const Sampler& in, float s, float t) {
    Colour c = in(s, t);
    const float d = t * slope + distance;
    for (float& v : c) v = (v - d) / (1 - d);
    return c;
  };
}

gpuref::Shader highlightShadow(float shadows, float highlights) {
  return [=](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float l = 0.3f * (c[0] + c[1] + c[2]);
    if (l <= 0) return Colour{0, 0, 0, c[3]};
    const float shadow = std::clamp(
        std::pow(l, 1 / (shadows + 1)) - 0.76f * std::pow(l, 2 / (shadows + 1)) - l, 0.0f, 1.0f);
    const float highlight = std::clamp(
        1 - (std::pow(1 - l, 1 / (2 - highlights)) - 0.8f * std::pow(1 - l, 2 / (2 - highlights))) - l, -1.0f, 0.0f);
    const float k = (l + shadow + highlight) / l;
    return Colour{k * c[0], k * c[1], k * c[2], c[3]};
  };
}

gpuref::Shader whiteBalance(int temperature, int tint) {
  const float temp = temperature < 5000 ? (temperature - 5000) * 0.0004f : (temperature - 5000) * 0.00006f;
  const float tnt = tint / 100.0f;
  return [=](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    // Matrices by columns: out = col0 * x + col1 * y + col2 * z.
    const float a[3][3] = {{0.299f, 0.587f, 0.114f}, {0.596f, -0.274f, -0.322f}, {0.212f, -0.523f, 0.311f}};
    const float b[3][3] = {{1.0f, 0.956f, 0.621f}, {1.0f, -0.272f, -0.647f}, {1.0f, -1.105f, 1.702f}};
    float yiq[3] = {0, 0, 0}, rgb[3] = {0, 0, 0};
    for (int col = 0; col < 3; ++col)
      for (int row = 0; row < 3; ++row) yiq[row] += a[col][row] * c[col];
    yiq[2] = std::clamp(yiq[2] + tnt * 0.5226f * 0.1f, -0.5226f, 0.5226f);
    for (int col = 0; col < 3; ++col)
      for (int row = 0; row < 3; ++row) rgb[row] += b[col][row] * yiq[col];
    const Colour w = overlay({rgb[0], rgb[1], rgb[2], c[3]}, {0.93f, 0.54f, 0.0f});
    return Colour{mix(rgb[0], w[0], temp), mix(rgb[1], w[1], temp), mix(rgb[2], w[2], temp), c[3]};
  };
}

gpuref::Shader chromaKey(float sensitivity, float smoothing, std::array<float, 3> key) {
  auto crcb = [](float r, float g, float b) {
    const float y = 0.2989f * r + 0.5866f * g + 0.1145f * b;
    return std::array<float, 2>{0.7132f * (r - y), 0.5647f * (b - y)};
  };
  const auto k = crcb(key[0], key[1], key[2]);
  return [=](const Sampler& in, float s, float t) {
    Colour c = in(s, t);
    const auto p = crcb(c[0], c[1], c[2]);
    const float d = std::hypot(p[0] - k[0], p[1] - k[1]);
    c[3] *= smoothstep(sensitivity, sensitivity + smoothing, d);
    return c;
  };
}

struct Levels {
  float min, gamma, max, minOut, maxOut;
};
float levels(float v, const Levels& l) {
  float t;
  if (l.max == l.min) {
    t = v > l.min ? 1.0f : 0.0f;
  } else {
    t = std::min(std::max(v - l.min, 0.0f) / (l.max - l.min), 1.0f);
  }
  return mix(l.minOut, l.maxOut, std::pow(t, 1 / l.gamma));
}
gpuref::Shader levelsShader(Levels r, Levels g, Levels b) {
  return [=](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    return Colour{levels(c[0], r), levels(c[1], g), levels(c[2], b), c[3]};
  };
}

const std::array<std::array<float, 4>, 4> kSepia = {{{0.3588f, 0.7044f, 0.1368f, 0},
                                                     {0.2990f, 0.5870f, 0.1140f, 0},
                                                     {0.2392f, 0.4696f, 0.0912f, 0},
                                                     {0, 0, 0, 1}}};
const std::array<std::array<float, 4>, 4> kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
const std::array<std::array<float, 4>, 4> kSwapRedBlue = {{{0, 0, 1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}};

GPUMatrix4x4 matrixOf(const std::array<std::array<float, 4>, 4>& rows) {
  auto v = [&](int k) { return GPUVector4{rows[k][0], rows[k][1], rows[k][2], rows[k][3]}; };
  return {v(0), v(1), v(2), v(3)};
}

std::vector<Case> colourCases() {
  std::vector<Case> cases;
  auto add = [&](std::string name, auto make, gpuref::Shader reference) {
    cases.push_back({std::move(name), make, std::move(reference), 2, {}});
  };
  for (float b : {0.0f, 0.25f, -0.4f}) {
    add("Brightness" + std::to_string(b), maker<GPUBrightnessFilter>([b](auto& f) { f.setBrightness(b); }),
        perChannel([b](float v) { return v + b; }));
  }
  for (float e : {0.0f, 1.0f, -1.5f}) {
    add("Exposure" + std::to_string(e), maker<GPUExposureFilter>([e](auto& f) { f.setExposure(e); }),
        perChannel([e](float v) { return v * std::pow(2.0f, e); }));
  }
  for (float k : {1.0f, 2.0f, 0.3f}) {
    add("Contrast" + std::to_string(k), maker<GPUContrastFilter>([k](auto& f) { f.setContrast(k); }),
        perChannel([k](float v) { return (v - 0.5f) * k + 0.5f; }));
  }
  for (float k : {1.0f, 0.0f, 1.8f}) {
    add("Saturation" + std::to_string(k), maker<GPUSaturationFilter>([k](auto& f) { f.setSaturation(k); }),
        [k](const Sampler& in, float s, float t) {
          Colour c = in(s, t);
          const float l = luminance(c);
          for (int i = 0; i < 3; ++i) c[i] = mix(l, c[i], k);
          return c;
        });
  }
  for (float g : {1.0f, 2.2f, 0.45f}) {
    add("Gamma" + std::to_string(g), maker<GPUGammaFilter>([g](auto& f) { f.setGamma(g); }),
        perChannel([g](float v) { return std::pow(v, g); }));
  }
  add("ColorInvert", maker<GPUColorInvertFilter>(), perChannel([](float v) { return 1 - v; }));
  for (float o : {1.0f, 0.5f, 0.0f}) {
    add("Opacity" + std::to_string(o), maker<GPUOpacityFilter>([o](auto& f) { f.setOpacity(o); }),
        [o](const Sampler& in, float s, float t) {
          Colour c = in(s, t);
          c[3] *= o;
          return c;
        });
  }
  for (auto g : {std::array<float, 3>{1, 1, 1}, {0.5f, 1.2f, 0.0f}, {0.0f, 0.3f, 2.0f}}) {
    add("RGB" + std::to_string(g[0]) + "_" + std::to_string(g[2]), maker<GPURGBFilter>([g](auto& f) {
          f.setRed(g[0]);
          f.setGreen(g[1]);
          f.setBlue(g[2]);
        }),
        [g](const Sampler& in, float s, float t) {
          Colour c = in(s, t);
          return Colour{c[0] * g[0], c[1] * g[1], c[2] * g[2], 1.0f};
        });
  }
  for (unsigned n : {10u, 3u, 1u}) {
    add("Posterize" + std::to_string(n), maker<GPUPosterizeFilter>([n](auto& f) { f.setColorLevels(n); }),
        [n](const Sampler& in, float s, float t) {
          Colour c = in(s, t);
          for (float& v : c) v = std::floor(v * n + 0.5f) / n;
          return c;
        });
  }
  for (float th : {0.5f, 0.2f, 0.8f}) {
    add("LuminanceThreshold" + std::to_string(th),
        maker<GPULuminanceThresholdFilter>([th](auto& f) { f.setThreshold(th); }),
        [th](const Sampler& in, float s, float t) {
          Colour c = in(s, t);
          const float v = luminance(c) >= th ? 1.0f : 0.0f;
          return Colour{v, v, v, c[3]};
        });
    cases.back().atJump = [th](const Sampler& in, float s, float t) {
      return std::fabs(luminance(in(s, t)) - th) < 1e-3f;
    };
  }
  add("ColorMatrixIdentity", maker<GPUColorMatrixFilter>(), colorMatrix(kIdentity, 1));
  add("ColorMatrixSwap", maker<GPUColorMatrixFilter>([](auto& f) { f.setColorMatrix(matrixOf(kSwapRedBlue)); }),
      colorMatrix(kSwapRedBlue, 1));
  add("ColorMatrixSepiaHalf", maker<GPUColorMatrixFilter>([](auto& f) {
        f.setColorMatrix(matrixOf(kSepia));
        f.setIntensity(0.5f);
      }),
      colorMatrix(kSepia, 0.5f));
  add("Sepia", maker<GPUSepiaFilter>(), colorMatrix(kSepia, 1));
  add("SepiaQuarter", maker<GPUSepiaFilter>([](auto& f) { f.setIntensity(0.25f); }), colorMatrix(kSepia, 0.25f));
  add("SepiaSwap", maker<GPUSepiaFilter>([](auto& f) { f.setColorMatrix(matrixOf(kSwapRedBlue)); }),
      colorMatrix(kSwapRedBlue, 1));
  for (float h : {90.0f, 200.0f, -45.0f}) {
    add("Hue" + std::to_string(static_cast<int>(h)), maker<GPUHueFilter>([h](auto& f) { f.setHue(h); }), hue(h));
  }
  add("Monochrome", maker<GPUMonochromeFilter>(), monochrome(1, {0.6f, 0.45f, 0.3f}));
  add("MonochromeHalfBlue", maker<GPUMonochromeFilter>([](auto& f) {
        f.setIntensity(0.5f);
        f.setColor({0.1f, 0.2f, 0.9f, 1});
      }),
      monochrome(0.5f, {0.1f, 0.2f, 0.9f}));
  add("MonochromeNone", maker<GPUMonochromeFilter>([](auto& f) { f.setIntensity(0); }),
      monochrome(0, {0.6f, 0.45f, 0.3f}));
  add("FalseColor", maker<GPUFalseColorFilter>(), falseColor({0, 0, 0.5f}, {1, 0, 0}));
  add("FalseColorGreen", maker<GPUFalseColorFilter>([](auto& f) { f.setSecondColor({0, 1, 0.2f, 1}); }),
      falseColor({0, 0, 0.5f}, {0, 1, 0.2f}));
  add("FalseColorBoth", maker<GPUFalseColorFilter>([](auto& f) {
        f.setFirstColor({1, 1, 0, 1});
        f.setSecondColor({0, 0, 0, 1});
      }),
      falseColor({1, 1, 0}, {0, 0, 0}));
  add("Haze", maker<GPUHazeFilter>(), haze(0.2f, 0));
  add("HazeSloped", maker<GPUHazeFilter>([](auto& f) { f.setSlope(0.3f); }), haze(0.2f, 0.3f));
  add("HazeNegative", maker<GPUHazeFilter>([](auto& f) {
        f.setDistance(-0.3f);
        f.setSlope(-0.2f);
      }),
      haze(-0.3f, -0.2f));
  add("HighlightShadow", maker<GPUHighlightShadowFilter>(), highlightShadow(0, 1));
  add("HighlightShadowLift", maker<GPUHighlightShadowFilter>([](auto& f) { f.setShadows(0.8f); }),
      highlightShadow(0.8f, 1));
  add("HighlightShadowBoth", maker<GPUHighlightShadowFilter>([](auto& f) {
        f.setShadows(0.3f);
        f.setHighlights(0.4f);
      }),
      highlightShadow(0.3f, 0.4f));
  add("WhiteBalance", maker<GPUWhiteBalanceFilter>(), whiteBalance(5000, 0));
  add("WhiteBalanceCool", maker<GPUWhiteBalanceFilter>([](auto& f) {
        f.setTemperature(3500);
        f.setTint(40);
      }),
      whiteBalance(3500, 40));
  add("WhiteBalanceWarm", maker<GPUWhiteBalanceFilter>([](auto& f) {
        f.setTemperature(9000);
        f.setTint(-70);
      }),
      whiteBalance(9000, -70));
  add("ChromaKey", maker<GPUChromaKeyFilter>(), chromaKey(0.4f, 0.1f, {0, 1, 0}));
  add("ChromaKeyGrey", maker<GPUChromaKeyFilter>([](auto& f) {
        f.setColorToReplaceRed(0.5f, 0.5f, 0.5f);
        f.setThresholdSensitivity(0.05f);
      }),
      chromaKey(0.05f, 0.1f, {0.5f, 0.5f, 0.5f}));
  add("ChromaKeyBrown", maker<GPUChromaKeyFilter>([](auto& f) {
        f.setColorToReplaceRed(0.5f, 0.35f, 0.2f);
        f.setThresholdSensitivity(0.02f);
        f.setSmoothing(0.2f);
      }),
      chromaKey(0.02f, 0.2f, {0.5f, 0.35f, 0.2f}));
  const Levels identity{0, 1, 1, 0, 1};
  add("Levels", maker<GPULevelsFilter>(), levelsShader(identity, identity, identity));
  add("LevelsAll", maker<GPULevelsFilter>([](auto& f) { f.setMin(0.1f, 1.6f, 0.8f, 0.05f, 0.9f); }),
      levelsShader({0.1f, 1.6f, 0.8f, 0.05f, 0.9f}, {0.1f, 1.6f, 0.8f, 0.05f, 0.9f}, {0.1f, 1.6f, 0.8f, 0.05f, 0.9f}));
  add("LevelsPerChannel", maker<GPULevelsFilter>([](auto& f) {
        f.setRedMin(0.2f, 0.7f, 0.9f);
        f.setBlueMin(0.0f, 2.0f, 0.5f, 0.3f, 0.6f);
      }),
      levelsShader({0.2f, 0.7f, 0.9f, 0, 1}, identity, {0.0f, 2.0f, 0.5f, 0.3f, 0.6f}));
  // An empty input range is a step at min, not a division by zero.
  add("LevelsEmptyRange", maker<GPULevelsFilter>([](auto& f) { f.setMin(0.41f, 1.0f, 0.41f); }),
      levelsShader({0.41f, 1, 0.41f, 0, 1}, {0.41f, 1, 0.41f, 0, 1}, {0.41f, 1, 0.41f, 0, 1}));
  return cases;
}

class ColourFilter : public ::testing::TestWithParam<Case> {};

TEST_P(ColourFilter, MatchesTheFormulaOnRealPictures) { expectMatchesReference(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Stock, ColourFilter, ::testing::ValuesIn(colourCases()),
                         caseName);

}  // namespace

TEST(ColourFilters, SettersConvertAsTheirUniformsNeed) {
  GPUHueFilter hueFilter;
  EXPECT_NEAR(hueFilter.hue(), std::numbers::pi / 2, 1e-6);  // default 90 degrees, kept in radians
  hueFilter.setHue(450);
  EXPECT_NEAR(hueFilter.hue(), std::numbers::pi / 2, 1e-6);
  hueFilter.setHue(-90);
  EXPECT_NEAR(hueFilter.hue(), -std::numbers::pi / 2, 1e-6);

  GPUMonochromeFilter mono;
  mono.setColorRed(1, 0, 0);  // only the uniform: the stored colour stays
  EXPECT_EQ(mono.color(), (GPUVector4{0.6f, 0.45f, 0.3f, 1.0f}));

  GPULevelsFilter levels;
  levels.setGreenMin(0.1f, 2.0f, 0.9f);
  EXPECT_EQ(levels.midVector(), (GPUVector3{1, 2, 1}));
  EXPECT_EQ(levels.minOutputVector(), (GPUVector3{0, 0, 0}));
  EXPECT_EQ(levels.maxOutputVector(), (GPUVector3{1, 1, 1}));
}

TEST(ColourFilters, WhiteBalanceTemperatureMapsOntoItsUniform) {
  // 4000 gives -0.4 on the uniform, 6000 gives 0.06: a neutral grey shows
  // the warm overlay in proportion.
  const gfx::Image grey = solid(8, 8, {128, 128, 128, 255});
  for (int temperature : {4000, 6000}) {
    auto f = std::make_shared<GPUWhiteBalanceFilter>();
    f->setTemperature(temperature);
    const gfx::Image out = runPicture(grey, f);
    const gfx::Image expected = gpuref::filter(grey, 0, whiteBalance(temperature, 0));
    EXPECT_EQ(gpuref::compare(out, expected, 2, 2).badPixels, 0) << temperature;
    EXPECT_EQ(f->temperature(), temperature);
  }
}

TEST(ColourFilters, ThresholdAtExactLuminanceGivesWhiteAndPosterizeHasElevenSteps) {
  // Black, luminance exactly 0, at a threshold of 0 is white.
  auto threshold = std::make_shared<GPULuminanceThresholdFilter>();
  threshold->setThreshold(0.0f);
  const gfx::Image out = runPicture(solid(4, 4, {0, 0, 0, 255}), threshold);
  EXPECT_EQ(out.pixel(1, 1)[0], 255);

  // Ten levels: 0.96 rounds up to 1.0, 0.04 down to 0.
  auto posterize = std::make_shared<GPUPosterizeFilter>();
  const gfx::Image steps = runPicture(solid(4, 4, {245, 10, 38, 255}), posterize);
  EXPECT_EQ(steps.pixel(0, 0)[0], 255);
  EXPECT_EQ(steps.pixel(0, 0)[1], 0);
  EXPECT_NEAR(steps.pixel(0, 0)[2], 26, 1);
}

TEST(ColourFilters, BlackInHighlightShadowStaysBlack) {
  auto f = std::make_shared<GPUHighlightShadowFilter>();
  f->setShadows(0.5f);
  const gfx::Image out = runPicture(solid(4, 4, {0, 0, 0, 255}), f);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(out.pixel(2, 2)[k], 0);
  EXPECT_EQ(out.pixel(2, 2)[3], 255);
}

// Formulas that would divide by zero give the results stated beside them.
TEST(ColourFilters, ZeroPosterizeLevelsAndTotalHazeHaveDefinedResults) {
  auto posterize = std::make_shared<GPUPosterizeFilter>();
  posterize->setColorLevels(0);
  const gfx::Image rounded = runPicture(solid(4, 4, {200, 60, 128, 255}), posterize);
  EXPECT_EQ(rounded.pixel(1, 1)[0], 255);  // as one level: 200/255 rounds up
  EXPECT_EQ(rounded.pixel(1, 1)[1], 0);
  EXPECT_EQ(rounded.pixel(1, 1)[3], 255);

  auto haze = std::make_shared<GPUHazeFilter>();
  haze->setDistance(1.0f);
  const gfx::Image total = runPicture(solid(4, 4, {200, 60, 128, 255}), haze);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(total.pixel(2, 2)[k], 0) << k;
}

TEST(ColourFilters, EveryClassIsRegisteredAndAnsweredItsMessages) {
  GPUFilterRegistry::registerCoreFilters();
  for (const char* name :
       {"GPUBrightnessFilter", "GPUExposureFilter", "GPUContrastFilter", "GPUSaturationFilter", "GPUGammaFilter",
        "GPUColorInvertFilter", "GPUOpacityFilter", "GPURGBFilter", "GPUPosterizeFilter", "GPULuminanceThresholdFilter",
        "GPUColorMatrixFilter", "GPUSepiaFilter", "GPUHueFilter", "GPUMonochromeFilter", "GPUFalseColorFilter",
        "GPUHazeFilter", "GPUHighlightShadowFilter", "GPUWhiteBalanceFilter", "GPUChromaKeyFilter",
        "GPULevelsFilter"}) {
    const GPUFilterClass* cls = GPUFilterRegistry::shared().classNamed(name);
    ASSERT_NE(cls, nullptr) << name;
    auto made = std::dynamic_pointer_cast<GPUFilter>(cls->make());
    ASSERT_NE(made, nullptr) << name;
    EXPECT_NE(made->filterProgram(), nullptr) << name;
  }
  auto posterize = GPUFilterRegistry::shared().classNamed("GPUPosterizeFilter");
  auto made = posterize->make();
  posterize->findMessage("setColorLevels:")->send(*made, 4.0f);
  EXPECT_EQ(std::dynamic_pointer_cast<GPUPosterizeFilter>(made)->colorLevels(), 4u);
}
