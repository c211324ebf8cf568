// Separable blurs, Lanczos resampling and morphology against their taps and
// weights worked on the CPU pass by pass (8-bit storage between the passes),
// on the photo and on the transparent artwork, at several sizes and radii.
#include <gtest/gtest.h>

#include "gpu/GpuReference.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/blur/GPUBlurFilters.h"

using namespace stocktest;

namespace {

struct Taps {
  std::vector<float> multiples, weights;
};
const Taps kGaussianTaps{{-4, -3, -2, -1, 0, 1, 2, 3, 4},
                         {0.05f, 0.09f, 0.12f, 0.15f, 0.18f, 0.15f, 0.12f, 0.09f, 0.05f}};
const Taps kBoxTaps{{0, 1.5f, -1.5f, 3.5f, -3.5f}, {0.2f, 0.2f, 0.2f, 0.2f, 0.2f}};
const Taps kFastTaps{{0, 1.3846153846f, -1.3846153846f, 3.2307692308f, -3.2307692308f},
                     {0.2270270270f, 0.3162162162f, 0.3162162162f, 0.0702702703f, 0.0702702703f}};
const Taps kLanczosTaps{{0, 1, -1, 2, -2, 3, -3, 4, -4},
                        {0.38026f, 0.27667f, 0.27667f, 0.08074f, 0.08074f, -0.02612f, -0.02612f, -0.02143f, -0.02143f}};

// One pass's shader from its step (in texture coordinates).
using PassShader = std::function<gpuref::Shader(float dx, float dy)>;

PassShader weighted(const Taps& taps, bool redOnly) {
  return [taps, redOnly](float dx, float dy) -> gpuref::Shader {
    return [=](const Sampler& in, float s, float t) {
      Colour sum{};
      for (std::size_t i = 0; i < taps.multiples.size(); ++i) {
        const Colour c = in(s + dx * taps.multiples[i], t + dy * taps.multiples[i]);
        for (int k = 0; k < 4; ++k) sum[k] += c[k] * taps.weights[i];
      }
      if (redOnly) return Colour{sum[0], sum[0], sum[0], 1};
      return sum;
    };
  };
}

PassShader bilateral() {
  return [](float dx, float dy) -> gpuref::Shader {
    return [=](const Sampler& in, float s, float t) {
      const Colour centre = in(s, t);
      Colour sum{};
      float total = 0.18f;
      for (int k = 0; k < 4; ++k) sum[k] = centre[k] * 0.18f;
      for (int i = 0; i < 9; ++i) {
        if (i == 4) continue;
        const float m = kGaussianTaps.multiples[i];
        const Colour c = in(s + dx * m, t + dy * m);
        float d2 = 0;
        for (int k = 0; k < 4; ++k) d2 += (c[k] - centre[k]) * (c[k] - centre[k]);
        const float w = kGaussianTaps.weights[i] * (1 - std::min(std::sqrt(d2) * 1.5f, 1.0f));
        total += w;
        for (int k = 0; k < 4; ++k) sum[k] += c[k] * w;
      }
      for (float& v : sum) v /= total;
      return sum;
    };
  };
}

PassShader morphology(int r, bool dilate, bool rgb) {
  return [=](float dx, float dy) -> gpuref::Shader {
    return [=](const Sampler& in, float s, float t) {
      Colour m = in(s, t);
      for (int i = 1; i <= r; ++i)
        for (int sign : {1, -1}) {
          const Colour c = in(s + dx * i * sign, t + dy * i * sign);
          for (int k = 0; k < 4; ++k) m[k] = dilate ? std::max(m[k], c[k]) : std::min(m[k], c[k]);
        }
      if (!rgb) return Colour{m[0], m[0], m[0], 1};
      return m;
    };
  };
}

// The two passes at the output size: first along y (the Gaussian family
// takes its offsets the other way round), then along x; `rounds` repeats
// both; `stepSize` is the size the steps come from.
gfx::Image twoPass(const gfx::Image& input, const PassShader& pass, float scale, bool gaussianOrder, int rounds = 1,
                   gfx::Size outputSize = {}, gfx::Size stepSize = {}) {
  const float w = stepSize.width > 0 ? stepSize.width : input.pixelWidth();
  const float h = stepSize.height > 0 ? stepSize.height : input.pixelHeight();
  // First pass offsets (0, 1/h), second (1/w, 0).
  float firstDx = 0, firstDy = scale / h, secondDx = scale / w, secondDy = 0;
  if (gaussianOrder) {
    std::swap(firstDx, firstDy);
    std::swap(secondDx, secondDy);
  }
  gfx::Image image = input;
  for (int round = 0; round < rounds; ++round) {
    gfx::Image first = outputSize.width > 0 ? gfx::Image(static_cast<int>(outputSize.width),
                                                         static_cast<int>(outputSize.height))
                                            : gfx::Image(image.pixelWidth(), image.pixelHeight());
    // gpuref::filter keeps the input's size; a smaller output samples at its own pixel centres.
    const auto shader1 = pass(firstDx, firstDy), shader2 = pass(secondDx, secondDy);
    auto run = [](const gfx::Image& src, gfx::Image out, const gpuref::Shader& shader) {
      const Sampler sampler = [&](float s, float t) { return gpuref::sampleLinear(src, s, t); };
      const int ow = out.pixelWidth(), oh = out.pixelHeight();
      for (int y = 0; y < oh; ++y)
        for (int x = 0; x < ow; ++x) {
          const Colour c = shader(sampler, (x + 0.5f) / ow, (y + 0.5f) / oh);
          for (int k = 0; k < 4; ++k)
            out.pixel(x, y)[k] = static_cast<std::uint8_t>(std::lround(std::clamp(c[k], 0.0f, 1.0f) * 255));
        }
      return out;
    };
    first = run(image, first, shader1);
    image = run(first, first, shader2);
  }
  return image;
}

struct BlurCase {
  std::string name;
  std::function<std::shared_ptr<GPUFilter>()> make;
  std::function<gfx::Image(const gfx::Image& uploaded)> reference;
};
std::ostream& operator<<(std::ostream& os, const BlurCase& c) { return os << c.name; }

template <typename F>
std::function<std::shared_ptr<GPUFilter>()> sized(float blurSize) {
  return [blurSize] {
    auto f = std::make_shared<F>();
    f->setBlurSize(blurSize);
    return std::static_pointer_cast<GPUFilter>(f);
  };
}
template <typename F>
std::function<std::shared_ptr<GPUFilter>()> withRadius(unsigned r) {
  return [r] { return std::static_pointer_cast<GPUFilter>(std::make_shared<F>(r)); };
}

std::vector<BlurCase> blurCases() {
  std::vector<BlurCase> c;
  for (float size : {0.0f, 1.0f, 2.5f}) {
    const std::string n = std::to_string(static_cast<int>(size * 10));
    c.push_back({"Gaussian" + n, sized<GPUGaussianBlurFilter>(size),
                 [size](const gfx::Image& in) { return twoPass(in, weighted(kGaussianTaps, false), size, true); }});
    c.push_back({"Box" + n, sized<GPUBoxBlurFilter>(size),
                 [size](const gfx::Image& in) { return twoPass(in, weighted(kBoxTaps, false), size, false); }});
    c.push_back({"Fast" + n, sized<GPUFastBlurFilter>(size),
                 [size](const gfx::Image& in) { return twoPass(in, weighted(kFastTaps, false), size, false); }});
  }
  for (float size : {1.0f, 3.0f}) {
    const std::string n = std::to_string(static_cast<int>(size * 10));
    c.push_back({"Bilateral" + n, sized<GPUBilateralFilter>(size),
                 [size](const gfx::Image& in) { return twoPass(in, bilateral(), size, true); }});
  }
  c.push_back({"SingleComponentGaussian", sized<GPUSingleComponentGaussianBlurFilter>(2.0f),
               [](const gfx::Image& in) { return twoPass(in, weighted(kGaussianTaps, true), 2.0f, true); }});
  c.push_back({"SingleComponentFast", sized<GPUSingleComponentFastBlurFilter>(1.5f),
               [](const gfx::Image& in) { return twoPass(in, weighted(kFastTaps, true), 1.5f, false); }});
  c.push_back({"FastThreePasses",
               [] {
                 auto f = std::make_shared<GPUFastBlurFilter>();
                 f->setBlurPasses(3);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               [](const gfx::Image& in) { return twoPass(in, weighted(kFastTaps, false), 1.0f, false, 3); }});
  c.push_back({"Lanczos", [] { return std::static_pointer_cast<GPUFilter>(std::make_shared<GPULanczosResamplingFilter>()); },
               [](const gfx::Image& in) { return twoPass(in, weighted(kLanczosTaps, false), 1.0f, false); }});
  for (unsigned r = 1; r <= 4; ++r) {
    const std::string n = std::to_string(r);
    const int ri = static_cast<int>(r);
    c.push_back({"Dilation" + n, withRadius<GPUDilationFilter>(r),
                 [ri](const gfx::Image& in) { return twoPass(in, morphology(ri, true, false), 1, false); }});
    c.push_back({"Erosion" + n, withRadius<GPUErosionFilter>(r),
                 [ri](const gfx::Image& in) { return twoPass(in, morphology(ri, false, false), 1, false); }});
    c.push_back({"RGBDilation" + n, withRadius<GPURGBDilationFilter>(r),
                 [ri](const gfx::Image& in) { return twoPass(in, morphology(ri, true, true), 1, false); }});
    c.push_back({"RGBErosion" + n, withRadius<GPURGBErosionFilter>(r),
                 [ri](const gfx::Image& in) { return twoPass(in, morphology(ri, false, true), 1, false); }});
  }
  return c;
}

class SeparableFilters : public ::testing::TestWithParam<BlurCase> {};

TEST_P(SeparableFilters, MatchTheirTapsOnRealPictures) {
  for (const char* name : {"gpu_cat.png", "gpu_headphones.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image picture = gpuref::loadPicture(name);
    const gfx::Image out = runPicture(picture, GetParam().make());
    const auto result = gpuref::compare(out, GetParam().reference(gpuref::uploaded(picture)), 4, 4);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest difference " << result.maxDifference << ")";
  }
}

INSTANTIATE_TEST_SUITE_P(Stock, SeparableFilters, ::testing::ValuesIn(blurCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace

TEST(SeparableEdges, BlurSizeZeroReturnsTheInput) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  for (auto make : {sized<GPUGaussianBlurFilter>(0), sized<GPUBoxBlurFilter>(0), sized<GPUFastBlurFilter>(0)}) {
    EXPECT_EQ(gpuref::compare(runPicture(cat, make()), cat, 1, 1).badPixels, 0);
  }
}

TEST(SeparableEdges, MorphologyRadiusIsHeldBetweenOneAndFour) {
  EXPECT_EQ(morphologyShaderRadius(0), 1u);
  EXPECT_EQ(morphologyShaderRadius(3), 3u);
  EXPECT_EQ(morphologyShaderRadius(10), 4u);
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image one = runPicture(cat, std::make_shared<GPUDilationFilter>(1));
  const gfx::Image four = runPicture(cat, std::make_shared<GPUErosionFilter>(4));
  EXPECT_EQ(gpuref::compare(runPicture(cat, std::make_shared<GPUDilationFilter>(0)), one, 0, 0).badPixels, 0);
  EXPECT_EQ(gpuref::compare(runPicture(cat, std::make_shared<GPUErosionFilter>(10)), four, 0, 0).badPixels, 0);
  // Both shaders of a radius-10 filter are those of radius 4: one program.
  GPURGBDilationFilter ten(10), fourRgb(4);
  EXPECT_EQ(ten.filterProgram(), fourRgb.filterProgram());
  EXPECT_EQ(ten.filterProgram(), ten.secondFilterProgram());
}

TEST(SeparableEdges, FastBlurPassCountsAndLanczosOnAFlatPictureAndDownscaled) {
  GPUFastBlurFilter fast;
  EXPECT_EQ(fast.blurPasses(), 0u);
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  // Zero and one pass give the same single round.
  auto zero = std::make_shared<GPUFastBlurFilter>();
  auto one = std::make_shared<GPUFastBlurFilter>();
  one->setBlurPasses(1);
  EXPECT_EQ(gpuref::compare(runPicture(cat, zero), runPicture(cat, one), 0, 0).badPixels, 0);

  // Lanczos keeps a flat grey (its weights sum to 0.99998).
  const gfx::Image grey = solid(40, 30, {200, 120, 40, 255});
  EXPECT_EQ(gpuref::compare(runPicture(grey, std::make_shared<GPULanczosResamplingFilter>()), grey, 0, 0).badPixels, 0);

  // Downscaled to half: the steps stay one input texel apart.
  auto lanczos = std::make_shared<GPULanczosResamplingFilter>();
  lanczos->forceProcessingAtSize({75, 50});
  const gfx::Image out = runPicture(cat, lanczos);
  EXPECT_EQ(lanczos->originalImageSize(), (gfx::Size{150, 100}));
  const gfx::Image expected =
      twoPass(gpuref::uploaded(cat), weighted(kLanczosTaps, false), 1, false, 1, {75, 50}, {150, 100});
  const auto result = gpuref::compare(out, expected, 4, 4);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}

TEST(SeparableEdges, BilateralKeepsAHardEdgeBetweenDistantColours) {
  gfx::Image halves = solid(40, 20, {0, 0, 0, 255});
  for (int y = 0; y < 20; ++y)
    for (int x = 20; x < 40; ++x) std::fill_n(halves.pixel(x, y), 3, 255);
  for (float size : {1.0f, 4.0f}) {
    auto f = std::make_shared<GPUBilateralFilter>();
    f->setBlurSize(size);
    EXPECT_EQ(gpuref::compare(runPicture(halves, f), halves, 0, 0).badPixels, 0) << size;
  }
  // A Gaussian of the same picture softens the edge.
  EXPECT_GT(gpuref::compare(runPicture(halves, std::make_shared<GPUGaussianBlurFilter>()), halves, 0, 0).badPixels, 0);
}
