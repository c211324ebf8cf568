// The 3x3 neighbourhood filters against their formulas on the photo and the
// transparent artwork, borders included (the edge texels repeat), a quarter-
// turned input, and the cases each formula singles out.
#include <gtest/gtest.h>

#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GpuReference.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/neighbourhood/GPU3x3Filters.h"

using namespace stocktest;

namespace {

Colour grey(float v, float a = 1) { return {v, v, v, a}; }

using RingShader = std::function<Colour(const Ring&)>;
using RingJump = std::function<bool(const Ring&)>;

struct NCase {
  std::string name;
  std::function<std::shared_ptr<GPUFilter>()> make;
  RingShader shader;
  RingJump jump;
};
std::ostream& operator<<(std::ostream& os, const NCase& c) { return os << c.name; }

Case onPicture(const NCase& n, float tw, float th) {
  Case c{n.name, n.make,
         [n, tw, th](const Sampler& in, float s, float t) { return n.shader(ring(in, s, t, tw, th)); }, 4, nullptr};
  if (n.jump) c.atJump = [n, tw, th](const Sampler& in, float s, float t) { return n.jump(ring(in, s, t, tw, th)); };
  return c;
}

Colour convolve(const Ring& n, const GPUMatrix3x3& k) {
  Colour out{};
  for (int c = 0; c < 4; ++c)
    out[c] = n.tl[c] * k.one.one + n.t[c] * k.one.two + n.tr[c] * k.one.three + n.l[c] * k.two.one +
             n.ctr[c] * k.two.two + n.r[c] * k.two.three + n.bl[c] * k.three.one + n.b[c] * k.three.two +
             n.br[c] * k.three.three;
  return out;
}

const GPUMatrix3x3 kSharpen{{0, -1, 0}, {-1, 5, -1}, {0, -1, 0}};
GPUMatrix3x3 emboss(float i) { return {{-2 * i, -i, 0}, {-i, 1, i}, {0, i, 2 * i}}; }

std::vector<NCase> cases() {
  std::vector<NCase> c;
  c.push_back({"ConvolutionSharpen",
               [] {
                 auto f = std::make_shared<GPU3x3ConvolutionFilter>();
                 f->setConvolutionKernel(kSharpen);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               [](const Ring& n) { return convolve(n, kSharpen); }, nullptr});
  c.push_back({"Emboss2", [] {
                 auto f = std::make_shared<GPUEmbossFilter>();
                 f->setIntensity(2);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               [](const Ring& n) { return convolve(n, emboss(2)); }, nullptr});
  c.push_back({"Median", maker<GPUMedianFilter>(),
               [](const Ring& n) {
                 Colour out{0, 0, 0, 1};
                 for (int k = 0; k < 3; ++k) {
                   std::array<float, 9> v{n.ctr[k], n.l[k], n.r[k], n.t[k], n.tl[k], n.tr[k], n.b[k], n.bl[k], n.br[k]};
                   std::nth_element(v.begin(), v.begin() + 4, v.end());
                   out[k] = v[4];
                 }
                 return out;
               },
               nullptr});
  c.push_back({"WeakPixelInclusion", maker<GPUWeakPixelInclusionFilter>(),
               [](const Ring& n) {
                 float sum = 0;
                 for (const Colour* x : {&n.ctr, &n.l, &n.r, &n.t, &n.tl, &n.tr, &n.b, &n.bl, &n.br}) sum += (*x)[0];
                 return grey(sum >= 1.5f && n.ctr[0] >= 0.01f ? 1.0f : 0.0f);
               },
               [](const Ring& n) {
                 float sum = 0;
                 for (const Colour* x : {&n.ctr, &n.l, &n.r, &n.t, &n.tl, &n.tr, &n.b, &n.bl, &n.br}) sum += (*x)[0];
                 return std::fabs(sum - 1.5f) < 0.02f;
               }});
  c.push_back({"Toon", [] {
                 auto f = std::make_shared<GPUToonFilter>();
                 f->setThreshold(0.3f);
                 f->setQuantizationLevels(6);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               [](const Ring& n) {
                 const float mag = std::hypot(sobelH(n), sobelV(n));
                 const float keep = mag >= 0.3f ? 0.0f : 1.0f;
                 Colour out;
                 for (int k = 0; k < 3; ++k) out[k] = std::floor(n.ctr[k] * 6 + 0.5f) / 6 * keep;
                 out[3] = n.ctr[3];
                 return out;
               },
               [](const Ring& n) {
                 if (std::fabs(std::hypot(sobelH(n), sobelV(n)) - 0.3f) < 0.01f) return true;
                 for (int k = 0; k < 3; ++k)
                   if (std::fabs(glslMod(n.ctr[k] * 6 + 0.5f, 1.0f)) < 0.01f) return true;
                 return false;
               }});
  c.push_back({"DirectionalSobel", maker<GPUimageDirectionalSobelEdgeDetectionFilter>(),
               [](const Ring& n) {
                 const float gx = sobelV(n), gy = sobelH(n), len = std::hypot(gx, gy);
                 float dx = len > 0 ? gx / len : 0, dy = len > 0 ? gy / len : 0;
                 auto snap = [](float d) { return (d > 0 ? 1.0f : d < 0 ? -1.0f : 0.0f) * std::floor(std::fabs(d) + 0.617316f); };
                 return Colour{len, (snap(dx) + 1) / 2, (snap(dy) + 1) / 2, 1};
               },
               [](const Ring& n) {
                 const float gx = sobelV(n), gy = sobelH(n), len = std::hypot(gx, gy);
                 if (len == 0) return false;
                 if (len < 0.02f) return true;
                 // Directions on the snapping boundary (|d| = 0.382684).
                 return std::fabs(std::fabs(gx / len) - 0.382684f) < 0.03f ||
                        std::fabs(std::fabs(gy / len) - 0.382684f) < 0.03f;
               }});
  return c;
}

// The comparing filters (binary pattern, suppression) test reds against the
// centre's. Where a neighbour's red equals the centre's in 8 bits, the GPU's
// filtering may read it a hair either side, so a tied comparison may go
// either way; every untied comparison must come out as the formula says.
struct Comparing {
  std::string name;
  std::function<std::shared_ptr<GPUFilter>()> make;
  // Whether the GPU's pixel is one the formula allows with the ties free.
  std::function<bool(const Ring&, const std::uint8_t* out)> allowed;
};
std::ostream& operator<<(std::ostream& os, const Comparing& c) { return os << c.name; }

// For each neighbour in binary-pattern bit order: below, tied or above the centre.
std::array<int, 8> sides(const Ring& n) {
  const Colour* order[8] = {&n.tr, &n.t, &n.tl, &n.l, &n.bl, &n.b, &n.br, &n.r};
  std::array<int, 8> s{};
  for (int i = 0; i < 8; ++i) {
    const float d = (*order[i])[0] - n.ctr[0];
    s[i] = std::fabs(d) < 0.5f / 255 ? 0 : (d > 0 ? 1 : -1);
  }
  return s;
}
// Can the half-open test pass, and can it fail, with the ties free? A tie
// fails the strict half (t, tl, l, bl) as read exactly and passes the loose
// half (b, br, r, tr); read a hair off, it may do either.
std::pair<bool, bool> suppressionOutcomes(const Ring& n) {
  bool canPass = true, canFail = false;
  for (int side : sides(n)) {
    if (side > 0) canPass = false;
    if (side >= 0) canFail = true;
  }
  return {canPass, canFail};
}

std::vector<Comparing> comparingCases() {
  std::vector<Comparing> c;
  c.push_back({"LocalBinaryPattern", maker<GPULocalBinaryPatternFilter>(), [](const Ring& n, const std::uint8_t* out) {
                 const auto s = sides(n);
                 for (int bit = 0; bit < 8; ++bit) {
                   const bool set = (out[0] >> bit) & 1;
                   if (s[bit] > 0 && !set) return false;
                   if (s[bit] < 0 && set) return false;
                 }
                 return out[0] == out[1] && out[1] == out[2] && out[3] == 255;
               }});
  c.push_back({"NonMaximumSuppression", maker<GPUNonMaximumSuppressionFilter>(),
               [](const Ring& n, const std::uint8_t* out) {
                 const auto [canPass, canFail] = suppressionOutcomes(n);
                 auto near = [&](const Colour& c) {
                   for (int k = 0; k < 3; ++k)
                     if (std::abs(out[k] - static_cast<int>(std::lround(c[k] * 255))) > 2) return false;
                   return true;
                 };
                 return (canPass && near(n.ctr)) || (canFail && near(Colour{0, 0, 0, 1}));
               }});
  c.push_back({"ThresholdedSuppression",
               [] {
                 auto f = std::make_shared<GPUThresholdedNonMaximumSuppressionFilter>();
                 f->setThreshold(0.3f);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               [](const Ring& n, const std::uint8_t* out) {
                 const auto [canPass, canFail] = suppressionOutcomes(n);
                 const bool high = n.ctr[0] >= 0.3f - 1.0f / 255, surelyHigh = n.ctr[0] >= 0.3f + 1.0f / 255;
                 const bool white = out[0] == 255, black = out[0] == 0;
                 if (white) return canPass && high;
                 return black && (canFail || !surelyHigh);
               }});
  return c;
}

class ComparingFilters : public ::testing::TestWithParam<Comparing> {};

TEST_P(ComparingFilters, MatchTheirFormulasWithTiesLeftFree) {
  for (const char* name : {"gpu_cat.png", "gpu_headphones.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image picture = gpuref::loadPicture(name);
    const gfx::Image out = runPicture(picture, GetParam().make());
    const gfx::Image texture = gpuref::uploaded(picture);
    const Sampler in = [&](float s, float t) { return gpuref::sampleLinear(texture, s, t); };
    const int w = picture.pixelWidth(), h = picture.pixelHeight();
    ASSERT_EQ(out.pixelWidth(), w);
    int bad = 0;
    std::string first;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (!GetParam().allowed(ring(in, (x + 0.5f) / w, (y + 0.5f) / h, 1.0f / w, 1.0f / h), out.pixel(x, y)) &&
            bad++ == 0)
          first = std::to_string(x) + ", " + std::to_string(y);
    EXPECT_EQ(bad, 0) << "first at " << first;
  }
}

INSTANTIATE_TEST_SUITE_P(Stock, ComparingFilters, ::testing::ValuesIn(comparingCases()),
                         [](const auto& info) { return info.param.name; });

class NeighbourhoodFilters : public ::testing::TestWithParam<NCase> {};

TEST_P(NeighbourhoodFilters, MatchTheirFormulasToThePicturesBorders) {
  for (const char* name : {"gpu_cat.png", "gpu_headphones.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image picture = gpuref::loadPicture(name);
    expectMatchesReferenceOn(onPicture(GetParam(), 1.0f / picture.pixelWidth(), 1.0f / picture.pixelHeight()),
                             picture);
  }
}

INSTANTIATE_TEST_SUITE_P(Stock, NeighbourhoodFilters, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

gfx::Image runOne(const std::shared_ptr<GPUFilter>& f, const gfx::Image& picture) { return runPicture(picture, f); }

}  // namespace

TEST(NeighbourhoodEdges, QuarterTurnedInputStillStepsOneInputTexel) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto f = std::make_shared<GPU3x3ConvolutionFilter>();
  f->setConvolutionKernel(kSharpen);
  auto source = std::make_shared<GPUPicture>(cat);
  source->addTarget(f);
  f->setInputRotation(RotationRight, 0);
  source->processImage();
  const gfx::Image out = f->newCGImageFromCurrentlyProcessedOutput();
  ASSERT_EQ(out.pixelWidth(), 100);
  const gfx::Image expected = gpuref::filter(gpuref::uploaded(cat), RotationRight, [](const Sampler& in, float s, float t) {
    return convolve(ring(in, s, t, 1 / 150.0f, 1 / 100.0f), kSharpen);
  });
  const auto result = gpuref::compare(out, expected, 4, 4);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}

TEST(NeighbourhoodEdges, FlatPicturesAndTheDefaultKernel) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  EXPECT_EQ(gpuref::compare(runOne(std::make_shared<GPU3x3ConvolutionFilter>(), cat), cat, 0, 0).badPixels, 0);
  const gfx::Image flat = solid(12, 10, {90, 160, 30, 255});
  EXPECT_EQ(gpuref::compare(runOne(std::make_shared<GPUEmbossFilter>(), flat), flat, 1, 1).badPixels, 0);
  const gfx::Image lbp = runOne(std::make_shared<GPULocalBinaryPatternFilter>(), flat);
  EXPECT_EQ(gpuref::compare(lbp, solid(12, 10, {255, 255, 255, 255}), 0, 0).badPixels, 0);
  // A flat picture has no gradient: magnitude 0, and a direction that is
  // one of the snapped ones (rounding may leave a vanishing gradient).
  const gfx::Image sobel = runOne(std::make_shared<GPUimageDirectionalSobelEdgeDetectionFilter>(), flat);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const std::uint8_t* p = sobel.pixel(x, y);
      EXPECT_EQ(p[0], 0);
      EXPECT_EQ(p[3], 255);
      for (int k : {1, 2}) EXPECT_TRUE(p[k] == 0 || p[k] == 127 || p[k] == 128 || p[k] == 255) << int(p[k]);
    }
}

TEST(NeighbourhoodEdges, SuppressionThresholdAndTiesAndToonLevels) {
  // A lone maximum of 0.95 (242) and one of 0.85 (217) on black.
  for (auto [level, white] : {std::pair{242, true}, std::pair{217, false}}) {
    gfx::Image dot = solid(9, 9, {0, 0, 0, 255});
    std::fill_n(dot.pixel(4, 4), 3, static_cast<std::uint8_t>(level));
    auto f = std::make_shared<GPUThresholdedNonMaximumSuppressionFilter>();
    EXPECT_FLOAT_EQ(f->threshold(), 0.9f);
    const gfx::Image out = runOne(f, dot);
    EXPECT_EQ(out.pixel(4, 4)[0], white ? 255 : 0) << level;
    EXPECT_EQ(out.pixel(3, 4)[0], 0);
  }
  // Two equal maxima side by side: only the left one stays.
  gfx::Image pair = solid(9, 9, {0, 0, 0, 255});
  std::fill_n(pair.pixel(4, 4), 3, 200);
  std::fill_n(pair.pixel(5, 4), 3, 200);
  const gfx::Image kept = runOne(std::make_shared<GPUNonMaximumSuppressionFilter>(), pair);
  EXPECT_EQ(kept.pixel(4, 4)[0], 200);
  EXPECT_EQ(kept.pixel(5, 4)[0], 0);

  // Ten levels: red 0.44 becomes 0.4, 0.46 becomes 0.5 (flat, so no outline).
  auto toon = std::make_shared<GPUToonFilter>();
  EXPECT_EQ(runOne(toon, solid(6, 6, {112, 117, 0, 255})).pixel(2, 2)[0], 102);
  auto toon2 = std::make_shared<GPUToonFilter>();
  EXPECT_EQ(runOne(toon2, solid(6, 6, {117, 0, 0, 255})).pixel(2, 2)[0], 128);
}

TEST(NeighbourhoodEdges, TexelOverrideOutlivesNewSizes) {
  GPUMedianFilter f;
  performOnProcessingQueueSync([&] { f.setupFilterForSize({200, 100}); });
  EXPECT_FLOAT_EQ(f.texelWidth(), 1 / 200.0f);
  EXPECT_FLOAT_EQ(f.texelHeight(), 1 / 100.0f);
  f.setTexelWidth(0.05f);
  EXPECT_TRUE(f.hasOverriddenImageSizeFactor());
  performOnProcessingQueueSync([&] { f.setupFilterForSize({400, 400}); });
  EXPECT_FLOAT_EQ(f.texelWidth(), 0.05f);
  EXPECT_FLOAT_EQ(f.texelHeight(), 1 / 100.0f);
}
