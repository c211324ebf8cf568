// Blend modes, chroma key, mask and colour lookup against their formulas on
// pairs of real pictures with transparency, the cases the modes single out,
// and the zero divisors of the dividing modes.
#include <gtest/gtest.h>

#include <cmath>

#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/blend/GPUBlendFilters.h"
#include "platform/foundation/Paths.h"

using namespace stocktest;

namespace {

// The formula of one mode on the base and overlay colours (premultiplied, as
// uploaded).
using Blend = std::function<Colour(const Colour& b, const Colour& o)>;

Colour perChannel(const Colour& b, const Colour& o, float alpha,
                  const std::function<float(float bx, float ox)>& f) {
  return {f(b[0], o[0]), f(b[1], o[1]), f(b[2], o[2]), alpha};
}
Colour all4(const Colour& b, const Colour& o, const std::function<float(float, float)>& f) {
  return {f(b[0], o[0]), f(b[1], o[1]), f(b[2], o[2]), f(b[3], o[3])};
}

float dodge(float bx, float ox, float ba, float oa) {
  const float p = oa * ba, q = ox * (1 - ba) + bx * (1 - oa);
  const float op = std::clamp(ox / std::clamp(oa, 0.01f, 1.0f) * (oa >= 0 ? 1.0f : 0.0f), 0.0f, 0.99f);
  return p >= ox * ba + bx * oa ? (bx * oa) / (1 - op) + q : p + q;
}
float divide(float bx, float ox, float ba, float oa) {
  const float rest = ox * (1 - ba) + bx * (1 - oa);
  if (oa == 0 || bx * oa > ba * ox) return oa * ba + rest;
  return (ox > 0 ? bx * oa * oa / ox : 0.0f) + rest;
}
float light(float bx, float ox, float ba, float oa, float tx, float ta) {
  const float rest = ox * (1 - ba) + bx * (1 - oa);
  return 2 * tx < ta ? 2 * ox * bx + rest : oa * ba - 2 * (ba - bx) * (oa - ox) + rest;
}
float burn(float bx, float ox) {
  if (ox < 1e-4f) return bx >= 1 ? 1.0f : 0.0f;
  return 1 - (1 - bx) / ox;
}

// The base is read at its texel centres, exactly; the overlay is filtered
// when its size differs. Where one 8-bit step of the overlay moves the
// result by more than the tolerance (a per-channel test flipping, a small
// divisor), the last bit of the GPU's filtering decides; such pixels are not
// compared.
bool sensitive(const Blend& blend, const Colour& b, const Colour& o) {
  const Colour at = blend(b, o);
  for (int channel = 0; channel < 4; ++channel)
    for (float step : {1.0f / 255, -1.0f / 255}) {
        Colour o2 = o;
        o2[channel] = std::clamp(o2[channel] + step, 0.0f, 1.0f);
        const Colour result = blend(b, o2);
        for (int k = 0; k < 4; ++k)
          if (std::fabs(std::clamp(result[k], 0.0f, 1.0f) - std::clamp(at[k], 0.0f, 1.0f)) > 2.0f / 255) return true;
    }
  return false;
}

struct Mode {
  std::string name;
  std::function<std::shared_ptr<GPUFilter>()> make;
  Blend blend;
};
std::ostream& operator<<(std::ostream& os, const Mode& m) { return os << m.name; }

template <typename F>
std::function<std::shared_ptr<GPUFilter>()> make() {
  return [] { return std::static_pointer_cast<GPUFilter>(std::make_shared<F>()); };
}

std::vector<Mode> modes() {
  std::vector<Mode> m;
  m.push_back({"Alpha", [] {
                 auto f = std::make_shared<GPUAlphaBlendFilter>();
                 f->setMix(0.7f);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, b[3], [&](float bx, float ox) { return mix(bx, ox, o[3] * 0.7f); });
               }});
  m.push_back({"Dissolve", [] {
                 auto f = std::make_shared<GPUDissolveBlendFilter>();
                 f->setMix(0.3f);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               [](const Colour& b, const Colour& o) { return all4(b, o, [](float x, float y) { return mix(x, y, 0.3f); }); }});
  m.push_back({"ColorBurn", make<GPUColorBurnBlendFilter>(),
               [](const Colour& b, const Colour& o) { return all4(b, o, burn); }});
  m.push_back({"ColorDodge", make<GPUColorDodgeBlendFilter>(),
               [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, 1, [&](float bx, float ox) { return dodge(bx, ox, b[3], o[3]); });
               }});
  m.push_back({"Darken", make<GPUDarkenBlendFilter>(), [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, 1, [&](float bx, float ox) {
                   return std::min(ox * b[3], bx * o[3]) + ox * (1 - b[3]) + bx * (1 - o[3]);
                 });
               }});
  m.push_back({"Lighten", make<GPULightenBlendFilter>(),
               [](const Colour& b, const Colour& o) { return all4(b, o, [](float x, float y) { return std::max(x, y); }); }});
  m.push_back({"Difference", make<GPUDifferenceBlendFilter>(), [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, b[3], [](float bx, float ox) { return std::fabs(ox - bx); });
               }});
  m.push_back({"Subtract", make<GPUSubtractBlendFilter>(), [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, b[3], [](float bx, float ox) { return bx - ox; });
               }});
  m.push_back({"Divide", make<GPUDivideBlendFilter>(),
               [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, o[3] + b[3] - o[3] * b[3],
                                   [&](float bx, float ox) { return divide(bx, ox, b[3], o[3]); });
               }});
  m.push_back({"Exclusion", make<GPUExclusionBlendFilter>(), [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, b[3], [&](float bx, float ox) {
                   return ox * b[3] + bx * o[3] - 2 * ox * bx + ox * (1 - b[3]) + bx * (1 - o[3]);
                 });
               }});
  m.push_back({"HardLight", make<GPUHardLightBlendFilter>(),
               [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, 1, [&](float bx, float ox) { return light(bx, ox, b[3], o[3], ox, o[3]); });
               }});
  m.push_back({"Overlay", make<GPUOverlayBlendFilter>(),
               [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, 1, [&](float bx, float ox) { return light(bx, ox, b[3], o[3], bx, b[3]); });
               }});
  m.push_back({"Multiply", make<GPUMultiplyBlendFilter>(), [](const Colour& b, const Colour& o) {
                 Colour c;
                 for (int k = 0; k < 4; ++k) c[k] = o[k] * b[k] + o[k] * (1 - b[3]) + b[k] * (1 - o[3]);
                 return c;
               }});
  m.push_back({"Screen", make<GPUScreenBlendFilter>(), [](const Colour& b, const Colour& o) {
                 return all4(b, o, [](float x, float y) { return 1 - (1 - y) * (1 - x); });
               }});
  m.push_back({"SoftLight", make<GPUSoftLightBlendFilter>(), [](const Colour& b, const Colour& o) {
                 Colour c;
                 const float ba = std::max(b[3], 1e-4f);
                 for (int k = 0; k < 4; ++k)
                   c[k] = b[k] * (o[3] * (b[k] / ba) + 2 * o[k] * (1 - b[k] / ba)) + o[k] * (1 - b[3]) +
                          b[k] * (1 - o[3]);
                 return c;
               }});
  m.push_back({"Normal", make<GPUNormalBlendFilter>(), [](const Colour& b, const Colour& o) {
                 return perChannel(b, o, o[3] + b[3] * (1 - o[3]),
                                   [&](float bx, float ox) { return ox + bx * b[3] * (1 - o[3]); });
               }});
  m.push_back({"SourceOver", make<GPUSourceOverBlendFilter>(), [](const Colour& b, const Colour& o) {
                 return all4(b, o, [&](float x, float y) { return mix(x, y, o[3]); });
               }});
  m.push_back({"ChromaKey", [] {
                 auto f = std::make_shared<GPUChromaKeyBlendFilter>();
                 // The cat's brown fur as the key.
                 f->setColorToReplaceRed(0.55f, 0.4f, 0.3f);
                 f->setThresholdSensitivity(0.05f);
                 f->setSmoothing(0.3f);
                 return std::static_pointer_cast<GPUFilter>(f);
               },
               [](const Colour& b, const Colour& o) {
                 auto chroma = [](float r, float g, float bl) {
                   const float y = 0.2989f * r + 0.5866f * g + 0.1145f * bl;
                   return std::array<float, 2>{0.7132f * (r - y), 0.5647f * (bl - y)};
                 };
                 const auto k = chroma(0.55f, 0.4f, 0.3f), p = chroma(b[0], b[1], b[2]);
                 const float d = std::hypot(p[0] - k[0], p[1] - k[1]);
                 const float w = 1 - smoothstep(0.05f, 0.35f, d);
                 return all4(b, o, [&](float x, float y) { return mix(x, y, w); });
               }});
  m.push_back({"Mask", make<GPUMaskFilter>(), [](const Colour& b, const Colour& o) {
                 // The shader's colour, stored in 8 bits, blended over the
                 // cleared (transparent) framebuffer.
                 const float a = std::round((o[0] + o[1] + o[2]) * 0.33333334f * o[3] * 255) / 255;
                 return Colour{b[0] * a, b[1] * a, b[2] * a, a * a};
               }});
  return m;
}

// The blend's output for the base picture and the overlay picture, the
// overlay's input turned by `overlayRotation`.
gfx::Image blended(const std::shared_ptr<GPUFilter>& filter, const gfx::Image& base, const gfx::Image& overlay,
                   RotationMode overlayRotation = RotationNone) {
  auto first = std::make_shared<GPUPicture>(base);
  auto second = std::make_shared<GPUPicture>(overlay);
  first->addTarget(filter);
  second->addTarget(filter);
  filter->setInputRotation(overlayRotation, 1);
  first->processImage();
  second->processImage();
  return filter->newCGImageFromCurrentlyProcessedOutput();
}

// Compares every pixel with the formula, skipping those on a jump.
void expectBlend(const Mode& mode, const gfx::Image& basePicture, const gfx::Image& overlayPicture,
                 RotationMode overlayRotation, int tolerance = 2) {
  const gfx::Image out = blended(mode.make(), basePicture, overlayPicture, overlayRotation);
  const gfx::Image base = gpuref::uploaded(basePicture), overlay = gpuref::uploaded(overlayPicture);
  int skipped = 0;
  gfx::Image expected = gpuref::filter(base, 0, [&](const Sampler& in, float s, float t) {
    const auto [s2, t2] = gpuref::readPoint(overlayRotation, s, t);
    return mode.blend(in(s, t), gpuref::sampleLinear(overlay, s2, t2));
  });
  ASSERT_EQ(out.pixelWidth(), expected.pixelWidth());
  ASSERT_EQ(out.pixelHeight(), expected.pixelHeight());
  {
    const int w = out.pixelWidth(), h = out.pixelHeight();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const float s = (x + 0.5f) / w, t = (y + 0.5f) / h;
        const auto [s2, t2] = gpuref::readPoint(overlayRotation, s, t);
        if (sensitive(mode.blend, gpuref::sampleLinear(base, s, t), gpuref::sampleLinear(overlay, s2, t2))) {
          std::copy_n(out.pixel(x, y), 4, expected.pixel(x, y));
          ++skipped;
        }
      }
    EXPECT_LT(skipped, w * h / 6);
  }
  const auto result = gpuref::compare(out, expected, tolerance, tolerance);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest difference " << result.maxDifference << ")";
}

class BlendModes : public ::testing::TestWithParam<Mode> {};

TEST_P(BlendModes, MatchTheirFormulasOnPicturesWithTransparency) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image rocket = gpuref::loadPicture("gpu_rocket.png");
  const gfx::Image headphones = gpuref::loadPicture("gpu_headphones.png");
  {
    SCOPED_TRACE("transparent artwork over the photo");
    expectBlend(GetParam(), cat, headphones, RotationNone);
  }
  {
    SCOPED_TRACE("photo over the transparent artwork");
    expectBlend(GetParam(), headphones, rocket, RotationNone);
  }
  {
    SCOPED_TRACE("the artwork over itself turned half round: both transparent");
    expectBlend(GetParam(), headphones, headphones, Rotation180);
  }
}

INSTANTIATE_TEST_SUITE_P(Stock, BlendModes, ::testing::ValuesIn(modes()),
                         [](const auto& info) { return info.param.name; });

// The first pixel of a blend of two solid colours.
std::array<int, 4> blendSolids(const std::shared_ptr<GPUFilter>& filter, std::array<std::uint8_t, 4> base,
                               std::array<std::uint8_t, 4> overlay) {
  const gfx::Image out = blended(filter, solid(4, 4, base), solid(4, 4, overlay));
  const std::uint8_t* p = out.pixel(1, 1);
  return {p[0], p[1], p[2], p[3]};
}

}  // namespace

TEST(BlendEdges, DissolveEndsAndTransparentAlphaOverlayAndOpaqueNormalOverlay) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image rocket = gpuref::loadPicture("gpu_rocket.png");
  auto dissolve = std::make_shared<GPUDissolveBlendFilter>();
  dissolve->setMix(0);
  EXPECT_EQ(gpuref::compare(blended(dissolve, cat, rocket), cat, 0, 0).badPixels, 0);
  auto full = std::make_shared<GPUDissolveBlendFilter>();
  full->setMix(1);
  EXPECT_EQ(gpuref::compare(blended(full, cat, rocket), rocket, 0, 0).badPixels, 0);

  for (float m : {0.0f, 0.5f, 1.0f}) {
    auto alpha = std::make_shared<GPUAlphaBlendFilter>();
    alpha->setMix(m);
    EXPECT_EQ(gpuref::compare(blended(alpha, cat, solid(8, 8, {255, 0, 0, 0})), cat, 0, 0).badPixels, 0) << m;
  }
  EXPECT_EQ(gpuref::compare(blended(std::make_shared<GPUNormalBlendFilter>(), cat, rocket), rocket, 1, 1).badPixels,
            0);
}

TEST(BlendEdges, ChromaKeyReplacesPureGreenAndMaskWithWhiteKeepsTheBase) {
  auto key = std::make_shared<GPUChromaKeyBlendFilter>();
  EXPECT_EQ(blendSolids(key, {0, 255, 0, 255}, {10, 20, 200, 255}), (std::array<int, 4>{10, 20, 200, 255}));
  EXPECT_FLOAT_EQ(key->thresholdSensitivity(), 0.4f);
  EXPECT_FLOAT_EQ(key->smoothing(), 0.1f);
  // Red is far from green: the base stays.
  EXPECT_EQ(blendSolids(std::make_shared<GPUChromaKeyBlendFilter>(), {255, 0, 0, 255}, {10, 20, 200, 255}),
            (std::array<int, 4>{255, 0, 0, 255}));

  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image out = blended(std::make_shared<GPUMaskFilter>(), cat, solid(8, 8, {255, 255, 255, 255}));
  gfx::Image expected = cat;
  EXPECT_EQ(gpuref::compare(out, expected, 1, 1).badPixels, 0);
}

// Every zero divisor of burn, dodge and divide at the base's 0 and 1 gives
// the defined colour (a GPU's NaN would store as anything).
TEST(BlendEdges, ZeroDivisorsGiveDefinedColours) {
  using P = std::array<std::uint8_t, 4>;
  using R = std::array<int, 4>;
  // Burn by a black overlay: black, but white where the base is white.
  EXPECT_EQ(blendSolids(std::make_shared<GPUColorBurnBlendFilter>(), P{255, 128, 0, 255}, P{0, 0, 0, 255}),
            (R{255, 0, 0, 255}));
  // A transparent black overlay has no alpha to divide by either.
  EXPECT_EQ(blendSolids(std::make_shared<GPUColorBurnBlendFilter>(), P{255, 128, 0, 255}, P{0, 0, 0, 0}),
            (R{255, 0, 0, 255}));
  // A white overlay: 1 - (1 - B) / 1 = B.
  EXPECT_EQ(blendSolids(std::make_shared<GPUColorBurnBlendFilter>(), P{255, 128, 0, 255}, P{255, 255, 255, 255}),
            (R{255, 128, 0, 255}));
  // Dodge by white (o' held at 0.99) and by transparent black (alpha held at 0.01).
  EXPECT_EQ(blendSolids(std::make_shared<GPUColorDodgeBlendFilter>(), P{255, 128, 0, 255}, P{255, 255, 255, 255}),
            (R{255, 255, 0, 255}));
  EXPECT_EQ(blendSolids(std::make_shared<GPUColorDodgeBlendFilter>(), P{255, 128, 0, 255}, P{0, 0, 0, 0}),
            (R{255, 128, 0, 255}));
  EXPECT_EQ(blendSolids(std::make_shared<GPUColorDodgeBlendFilter>(), P{0, 0, 0, 0}, P{0, 0, 0, 0}),
            (R{0, 0, 0, 255}));
  // Divide by a black overlay: a coloured channel takes the first branch
  // (O.a x B.a + B.x x (1 - O.a) = 1), a black one the second with 0/0 = 0.
  EXPECT_EQ(blendSolids(std::make_shared<GPUDivideBlendFilter>(), P{255, 128, 0, 255}, P{0, 0, 0, 255}),
            (R{255, 255, 0, 255}));
  // Transparent overlay: O.a = 0 takes the first branch, the base remains.
  EXPECT_EQ(blendSolids(std::make_shared<GPUDivideBlendFilter>(), P{255, 128, 0, 255}, P{0, 0, 0, 0}),
            (R{255, 128, 0, 255}));
  // Both transparent: everything 0.
  EXPECT_EQ(blendSolids(std::make_shared<GPUDivideBlendFilter>(), P{0, 0, 0, 0}, P{0, 0, 0, 0}), (R{0, 0, 0, 0}));
  // Soft light over a transparent base.
  EXPECT_EQ(blendSolids(std::make_shared<GPUSoftLightBlendFilter>(), P{0, 0, 0, 0}, P{0, 0, 0, 0}), (R{0, 0, 0, 0}));
}

namespace {

gfx::Image lookupPicture(const std::string& name) {
  auto image = gfx::readImage(fd::paths::resource(name).string());
  return image ? *image : gfx::Image{};
}

// The lookup as the formula reads it, from the picture's texels.
gfx::Image referenceLookup(const gfx::Image& picture, const gfx::Image& table) {
  return gpuref::filter(gpuref::uploaded(picture), 0, [&](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float b = c[2] * 63;
    auto at = [&](float level) {
      const float row = std::floor(level / 8), column = level - 8 * row;
      return gpuref::sampleLinear(table, column * 0.125f + 0.5f / 512 + (0.125f - 1.0f / 512) * c[0],
                                  row * 0.125f + 0.5f / 512 + (0.125f - 1.0f / 512) * c[1]);
    };
    const Colour lo = at(std::floor(b)), hi = at(std::ceil(b));
    const float f = b - std::floor(b);
    return Colour{mix(lo[0], hi[0], f), mix(lo[1], hi[1], f), mix(lo[2], hi[2], f), c[3]};
  });
}

}  // namespace

TEST(ColourLookup, DrawnTablesMatchTheFormulaAndIdentityKeepsThePicture) {
  const gfx::Image identity = lookupPicture("lookup.png");
  ASSERT_EQ(identity.pixelWidth(), 512);
  ASSERT_EQ(identity.pixelHeight(), 512);
  for (const char* pictureName : {"gpu_cat.png", "gpu_headphones.png"}) {
    SCOPED_TRACE(pictureName);
    const gfx::Image picture = gpuref::loadPicture(pictureName);
    for (const char* table :
         {"lookup.png", "lookup_soft_elegance_1.png", "lookup_soft_elegance_2.png", "lookup_brenlow.png",
          "lookup_vastrel.png"}) {
      SCOPED_TRACE(table);
      const gfx::Image lut = lookupPicture(table);
      ASSERT_FALSE(lut.empty());
      const gfx::Image out = blended(std::make_shared<GPULookupFilter>(), picture, lut);
      const auto result = gpuref::compare(out, referenceLookup(picture, lut), 4, 4);
      EXPECT_EQ(result.badPixels, 0) << result.firstBad;
    }
    // The identity table gives the uploaded picture back.
    const gfx::Image out = blended(std::make_shared<GPULookupFilter>(), picture, identity);
    EXPECT_EQ(gpuref::compare(out, gpuref::uploaded(picture), 4, 4).badPixels, 0);
  }
}

TEST(ColourLookup, ABlueOnALevelReadsOneTile) {
  // Blue 0 (level 0 exactly) reads only tile 0: a table whose other tiles
  // are black must not darken it.
  gfx::Image table = lookupPicture("lookup_brenlow.png");
  ASSERT_FALSE(table.empty());
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x)
      if (x >= 64 || y >= 64) std::fill_n(table.pixel(x, y), 3, 0);
  const gfx::Image result = blended(std::make_shared<GPULookupFilter>(), solid(4, 4, {255, 0, 0, 255}), table);
  const std::uint8_t* expected = table.pixel(63, 0);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(result.pixel(1, 1)[k], expected[k], 1) << k;
  EXPECT_GT(result.pixel(1, 1)[0], 100);
}
