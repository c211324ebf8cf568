// The distortion, transform and crop filters on real pictures against their
// formulas, at the defaults and two other settings; centres under rotation,
// the aspect ratio's updates, the orthographic matrix and the crop's sizes.
#include <gtest/gtest.h>

#include <numbers>

#include "gpu/GpuTestSupport.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/distortion/GPUDistortionFilters.h"

using namespace stocktest;

namespace {

// Both test pictures are 3:2 or square; the aspect ratio is height / width.
struct Geometry {
  float cx = 0.5f, cy = 0.5f, radius, scale = 0.5f, aspect;
};

std::array<float, 2> aspectPoint(float s, float t, float a) { return {s, t * a + 0.5f - 0.5f * a}; }

gpuref::Shader bulge(Geometry g) {
  return [g](const Sampler& in, float s, float t) {
    const auto [x, y] = aspectPoint(s, t, g.aspect);
    const float d = std::hypot(x - g.cx, y - g.cy);
    if (d >= g.radius) return in(s, t);
    float f = 1 - (g.radius - d) / g.radius * g.scale;
    f *= f;
    return in((s - g.cx) * f + g.cx, (t - g.cy) * f + g.cy);
  };
}

gpuref::Shader pinch(Geometry g) {
  return [g](const Sampler& in, float s, float t) {
    const auto [x, y] = aspectPoint(s, t, g.aspect);
    const float d = std::hypot(x - g.cx, y - g.cy);
    if (d >= g.radius) return in(s, t);
    const float f = 1 + (0.5f - d) / 0.5f * g.scale;
    return in((s - g.cx) * f + g.cx, (t - g.cy) * f + g.cy);
  };
}

gpuref::Shader stretch(float cx, float cy) {
  return [=](const Sampler& in, float s, float t) {
    float n[2] = {2 * s - 1 - (2 * cx - 1), 2 * t - 1 - (2 * cy - 1)};
    const float c[2] = {2 * cx - 1, 2 * cy - 1};
    for (int k = 0; k < 2; ++k) {
      const float sign = n[k] > 0 ? 1.0f : (n[k] < 0 ? -1.0f : 0.0f);
      float m = std::fabs(n[k]);
      m = 0.5f * m + 0.5f * smoothstep(0.25f, 0.5f, m) * m;
      n[k] = sign * m + c[k];
    }
    return in(n[0] / 2 + 0.5f, n[1] / 2 + 0.5f);
  };
}

gpuref::Shader swirl(float cx, float cy, float radius, float angle) {
  return [=](const Sampler& in, float s, float t) {
    const float d = std::hypot(s - cx, t - cy);
    if (d >= radius) return in(s, t);
    const float px = s - cx, py = t - cy, f = (radius - d) / radius, th = f * f * angle * 8;
    return in(px * std::cos(th) - py * std::sin(th) + cx, px * std::sin(th) + py * std::cos(th) + cy);
  };
}

std::array<float, 3> refract(std::array<float, 3> i, std::array<float, 3> n, float eta) {
  const float d = n[0] * i[0] + n[1] * i[1] + n[2] * i[2];
  const float k = 1 - eta * eta * (1 - d * d);
  if (k < 0) return {0, 0, 0};
  const float m = eta * d + std::sqrt(k);
  return {eta * i[0] - m * n[0], eta * i[1] - m * n[1], eta * i[2] - m * n[2]};
}

struct Sphere {
  float cx = 0.5f, cy = 0.5f, radius = 0.25f, index = 0.71f, aspect;
};

// The ball's normal at (s, t) and whether the point lies inside.
std::pair<std::array<float, 3>, bool> sphereNormal(const Sphere& g, float s, float t) {
  const auto [x, y] = aspectPoint(s, t, g.aspect);
  const float d = std::hypot(x - g.cx, y - g.cy);
  const float q = d / g.radius;
  const float depth = g.radius * std::sqrt(std::max(1 - q * q, 0.0f));
  std::array<float, 3> n = {x - g.cx, y - g.cy, depth};
  const float len = std::hypot(n[0], n[1], n[2]);
  for (float& v : n) v /= len;
  return {n, d <= g.radius};
}

gpuref::Shader sphere(Sphere g) {
  return [g](const Sampler& in, float s, float t) {
    const auto [n, inside] = sphereNormal(g, s, t);
    if (!inside) return Colour{0, 0, 0, 0};
    const auto v = refract({0, 0, -1}, n, g.index);
    return in((v[0] + 1) * 0.5f, (v[1] + 1) * 0.5f);
  };
}

gpuref::Shader glass(Sphere g) {
  return [g](const Sampler& in, float s, float t) {
    const auto [n, inside] = sphereNormal(g, s, t);
    if (!inside) return Colour{0, 0, 0, 0};
    auto v = refract({0, 0, -1}, n, g.index);
    for (float& x : v) x *= 2;
    Colour c = in((-v[0] + 1) * 0.5f, (-v[1] + 1) * 0.5f);
    const float ambient = 2.5f * (1 - std::pow(std::clamp(n[2], 0.0f, 1.0f), 0.25f));
    const float lx = -0.5f / std::sqrt(1.5f), ly = 0.5f / std::sqrt(1.5f), lz = 1 / std::sqrt(1.5f);
    const float highlight = 0.8f * std::pow(std::clamp(lx * n[0] + ly * n[1] + lz * n[2], 0.0f, 1.0f), 15.0f);
    return Colour{c[0] + ambient + highlight, c[1] + ambient + highlight, c[2] + ambient + highlight, 1.0f};
  };
}

// Pixels within this much of a circle's edge may land on either side.
std::function<bool(const Sampler&, float, float)> nearCircle(float cx, float cy, float r, float aspect, float band) {
  return [=](const Sampler&, float s, float t) {
    const auto [x, y] = aspectPoint(s, t, aspect);
    return std::fabs(std::hypot(x - cx, y - cy) - r) < band;
  };
}

// The transform filter's output at (s, t): the input point whose transformed
// quad covers it, or the clear background.
gpuref::Shader transformed(gfx::AffineTransform m, bool ignoreAspect, bool anchor, float n) {
  if (ignoreAspect) n = 1;
  const gfx::AffineTransform inverse = m.inverted();
  return [=](const Sampler& in, float s, float t) {
    const float X = 2 * s - 1, Y = 2 * t - 1;
    const gfx::Point world = anchor ? gfx::Point{(X + 1) / 2, (Y + 1) * n / 2} : gfx::Point{X, Y * n};
    const gfx::Point p = inverse.apply(world);
    const float u = anchor ? p.x : (p.x + 1) / 2, v = anchor ? p.y / n : (p.y / n + 1) / 2;
    if (u < 0 || u > 1 || v < 0 || v > 1) return Colour{0, 0, 0, 0};
    return in(u, v);
  };
}
std::function<bool(const Sampler&, float, float)> nearQuadEdge(gfx::AffineTransform m, bool ignoreAspect, bool anchor,
                                                              float n) {
  if (ignoreAspect) n = 1;
  const gfx::AffineTransform inverse = m.inverted();
  return [=](const Sampler&, float s, float t) {
    const float X = 2 * s - 1, Y = 2 * t - 1;
    const gfx::Point world = anchor ? gfx::Point{(X + 1) / 2, (Y + 1) * n / 2} : gfx::Point{X, Y * n};
    const gfx::Point p = inverse.apply(world);
    const float u = anchor ? p.x : (p.x + 1) / 2, v = anchor ? p.y / n : (p.y / n + 1) / 2;
    return std::min({std::fabs(u), std::fabs(1 - u), std::fabs(v), std::fabs(1 - v)}) < 0.02f;
  };
}


// The cases for one picture's aspect ratio; run on the cat photo (3:2).
std::vector<Case> distortionCases() {
  constexpr float A = 100.0f / 150.0f;
  std::vector<Case> c;
  auto add = [&](std::string name, auto make, gpuref::Shader ref,
                 std::function<bool(const Sampler&, float, float)> jump = nullptr) {
    c.push_back({std::move(name), make, std::move(ref), 4, std::move(jump)});
  };
  add("Bulge", maker<GPUBulgeDistortionFilter>([](auto&) {}), bulge({0.5f, 0.5f, 0.25f, 0.5f, A}));
  add("BulgeStrong", maker<GPUBulgeDistortionFilter>([](auto& f) {
        f.setCenter({0.3f, 0.6f});
        f.setRadius(0.4f);
        f.setScale(0.9f);
      }),
      bulge({0.3f, 0.6f, 0.4f, 0.9f, A}));
  add("BulgeInward", maker<GPUBulgeDistortionFilter>([](auto& f) { f.setScale(-0.5f); }),
      bulge({0.5f, 0.5f, 0.25f, -0.5f, A}));
  add("Pinch", maker<GPUPinchDistortionFilter>([](auto&) {}), pinch({0.5f, 0.5f, 1.0f, 0.5f, A}),
      nearCircle(0.5f, 0.5f, 1.0f, A, 0.01f));
  add("PinchSmall", maker<GPUPinchDistortionFilter>([](auto& f) {
        f.setRadius(0.3f);
        f.setCenter({0.6f, 0.4f});
      }),
      pinch({0.6f, 0.4f, 0.3f, 0.5f, A}), nearCircle(0.6f, 0.4f, 0.3f, A, 0.01f));
  add("PinchNegative", maker<GPUPinchDistortionFilter>([](auto& f) { f.setScale(-0.4f); }),
      pinch({0.5f, 0.5f, 1.0f, -0.4f, A}), nearCircle(0.5f, 0.5f, 1.0f, A, 0.01f));
  add("Stretch", maker<GPUStretchDistortionFilter>([](auto&) {}), stretch(0.5f, 0.5f));
  add("StretchLeft", maker<GPUStretchDistortionFilter>([](auto& f) { f.setCenter({0.3f, 0.5f}); }),
      stretch(0.3f, 0.5f));
  add("StretchCorner", maker<GPUStretchDistortionFilter>([](auto& f) { f.setCenter({0.7f, 0.2f}); }),
      stretch(0.7f, 0.2f));
  add("Swirl", maker<GPUSwirlFilter>([](auto&) {}), swirl(0.5f, 0.5f, 0.5f, 1.0f));
  add("SwirlTight", maker<GPUSwirlFilter>([](auto& f) {
        f.setRadius(0.3f);
        f.setAngle(-0.6f);
      }),
      swirl(0.5f, 0.5f, 0.3f, -0.6f));
  add("SwirlOffCentre", maker<GPUSwirlFilter>([](auto& f) { f.setCenter({0.35f, 0.6f}); }),
      swirl(0.35f, 0.6f, 0.5f, 1.0f));
  add("Sphere", maker<GPUSphereRefractionFilter>([](auto&) {}), sphere({0.5f, 0.5f, 0.25f, 0.71f, A}),
      nearCircle(0.5f, 0.5f, 0.25f, A, 0.01f));
  add("SphereLarge", maker<GPUSphereRefractionFilter>([](auto& f) {
        f.setRadius(0.45f);
        f.setRefractiveIndex(0.5f);
      }),
      sphere({0.5f, 0.5f, 0.45f, 0.5f, A}), nearCircle(0.5f, 0.5f, 0.45f, A, 0.01f));
  add("SphereMoved", maker<GPUSphereRefractionFilter>([](auto& f) { f.setCenter({0.3f, 0.4f}); }),
      sphere({0.3f, 0.4f, 0.25f, 0.71f, A}), nearCircle(0.3f, 0.4f, 0.25f, A, 0.01f));
  add("Glass", maker<GPUGlassSphereFilter>([](auto&) {}), glass({0.5f, 0.5f, 0.25f, 0.71f, A}),
      nearCircle(0.5f, 0.5f, 0.25f, A, 0.02f));
  add("GlassLarge", maker<GPUGlassSphereFilter>([](auto& f) {
        f.setRadius(0.4f);
        f.setRefractiveIndex(0.9f);
      }),
      glass({0.5f, 0.5f, 0.4f, 0.9f, A}), nearCircle(0.5f, 0.5f, 0.4f, A, 0.02f));
  add("GlassMoved", maker<GPUGlassSphereFilter>([](auto& f) { f.setCenter({0.6f, 0.45f}); }),
      glass({0.6f, 0.45f, 0.25f, 0.71f, A}), nearCircle(0.6f, 0.45f, 0.25f, A, 0.02f));
  const auto identity = gfx::AffineTransform::identity();
  add("TransformIdentity", maker<GPUTransformFilter>([](auto&) {}), transformed(identity, false, false, A));
  const auto turned = gfx::AffineTransform::makeRotation(0.5f).scaled(0.7f, 0.7f);
  add("TransformTurned", maker<GPUTransformFilter>([turned](auto& f) { f.setAffineTransform(turned); }),
      transformed(turned, false, false, A), nearQuadEdge(turned, false, false, A));
  const auto shifted = gfx::AffineTransform::makeScale(0.6f, 0.8f).translated(0.2f, 0.1f);
  add("TransformAnchoredSquare", maker<GPUTransformFilter>([shifted](auto& f) {
        f.setIgnoreAspectRatio(true);
        f.setAnchorTopLeft(true);
        f.setAffineTransform(shifted);
      }),
      transformed(shifted, true, true, A), nearQuadEdge(shifted, true, true, A));
  return c;
}

class Distortion : public ::testing::TestWithParam<Case> {};
TEST_P(Distortion, MatchesTheFormulaOnTheCatPhoto) {
  const Case& c = GetParam();
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto filter = c.make();
  ASSERT_NE(filter->filterProgram(), nullptr);
  gfx::Image out = runPicture(cat, filter);
  gfx::Image expected = gpuref::filter(gpuref::uploaded(cat), 0, c.reference);
  if (c.atJump) {
    for (int y = 0; y < out.pixelHeight(); ++y)
      for (int x = 0; x < out.pixelWidth(); ++x)
        if (c.atJump({}, (x + 0.5f) / out.pixelWidth(), (y + 0.5f) / out.pixelHeight()))
          std::copy_n(out.pixel(x, y), 4, expected.pixel(x, y));
  }
  const auto result = gpuref::compare(out, expected, c.tolerance, c.tolerance);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest " << result.maxDifference << ")";
}
INSTANTIATE_TEST_SUITE_P(Stock, Distortion, ::testing::ValuesIn(distortionCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace

TEST(DistortionFilters, CentreFollowsTheRotationButAnswersAsSet) {
  auto swirlFilter = std::make_shared<GPUSwirlFilter>();
  swirlFilter->setCenter({0.2f, 0.3f});
  swirlFilter->setInputRotation(RotationRight, 0);
  EXPECT_EQ(swirlFilter->center(), (gfx::Point{0.2f, 0.3f}));
  // The photo turned right through the swirl: the centre sent is the rotated
  // point, so the swirl lands where it was set on the turned picture.
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto source = std::make_shared<GPUPicture>(cat);
  source->addTarget(swirlFilter);
  source->processImage();
  const gfx::Image out = swirlFilter->newCGImageFromCurrentlyProcessedOutput();
  const gfx::Point c = rotatedPoint({0.2f, 0.3f}, RotationRight);
  auto shader = swirl(c.x, c.y, 0.5f, 1.0f);
  const gfx::Image expected = gpuref::filter(gpuref::uploaded(cat), RotationRight, shader);
  EXPECT_EQ(gpuref::compare(out, expected, 4, 4).badPixels, 0);
}

TEST(DistortionFilters, AspectRatioFollowsNewSizesOnly) {
  GPUBulgeDistortionFilter bulgeFilter;
  EXPECT_EQ(bulgeFilter.aspectRatio(), 0.0f);
  performOnProcessingQueueSync([&] {
    bulgeFilter.setInputSize({640, 480}, 0);
    EXPECT_FLOAT_EQ(bulgeFilter.aspectRatio(), 0.75f);
    bulgeFilter.setAspectRatio(2.0f);
    bulgeFilter.setInputSize({640, 480}, 0);  // the same size: untouched
    EXPECT_FLOAT_EQ(bulgeFilter.aspectRatio(), 2.0f);
    bulgeFilter.setInputSize({0, 0}, 0);  // ignored
    EXPECT_FLOAT_EQ(bulgeFilter.aspectRatio(), 2.0f);
  });
  GPUSphereRefractionFilter turned;
  performOnProcessingQueueSync([&] {
    turned.setInputRotation(RotationLeft, 0);
    turned.setInputSize({640, 480}, 0);  // recorded as 480 x 640
    EXPECT_FLOAT_EQ(turned.aspectRatio(), 480.0f / 640.0f);
  });
}

TEST(DistortionFilters, AnchoringRebuildsTheOrthographicMatrix) {
  GPUTransformFilter transform;
  transform.setIgnoreAspectRatio(true);
  EXPECT_EQ(transform.orthographicMatrix(), (GPUMatrix4x4{{1, 0, 0, -0.0f}, {0, 1, 0, -0.0f}, {0, 0, 1, -0.0f}, {0, 0, 0, 1}}));
  transform.setAnchorTopLeft(true);
  EXPECT_EQ(transform.orthographicMatrix(), (GPUMatrix4x4{{2, 0, 0, -1}, {0, 2, 0, -1}, {0, 0, 2, -0.0f}, {0, 0, 0, 1}}));
  transform.setAffineTransform(gfx::AffineTransform::makeScale(2, 3));
  EXPECT_EQ(transform.affineTransform(), gfx::AffineTransform::makeScale(2, 3));
  EXPECT_EQ(transform.transform3D().m33, 1.0f);
}

TEST(DistortionFilters, CropRecordsTheRegionsSizeAndReadsItsCorners) {
  auto crop = std::make_shared<GPUCropFilter>(gfx::Rect{0.25f, 0.25f, 0.5f, 0.5f});
  performOnProcessingQueueSync([&] {
    crop->setInputSize({640, 480}, 0);
    crop->setFilterFBO();
  });
  EXPECT_EQ(crop->inputTextureSize(), (gfx::Size{320, 240}));
  EXPECT_EQ(crop->originallySuppliedInputSize(), (gfx::Size{640, 480}));
  const GLuint framebuffer = crop->filterFramebuffer();
  performOnProcessingQueueSync([&] { crop->setInputSize({640, 480}, 0); });
  EXPECT_EQ(crop->filterFramebuffer(), framebuffer);

  for (int mode : {0, 2, 6}) {
    SCOPED_TRACE(mode);
    auto region = std::make_shared<GPUCropFilter>(gfx::Rect{0.2f, 0.1f, 0.6f, 0.5f});
    region->setInputRotation(static_cast<RotationMode>(mode), 0);
    // Taken before the run: the picture going away resets the rotation.
    const GPUQuad q = region->cropTextureCoordinates();
    const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
    const gfx::Image out = runPicture(cat, region);
    // The quad's corners interpolated bilinearly over the output.
    const gfx::Image texture = gpuref::uploaded(cat);
    const int w = out.pixelWidth(), h = out.pixelHeight();
    ASSERT_EQ(w, gpuref::swapsSides(mode) ? 60 : 90);
    gfx::Image expected(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const float a = (x + 0.5f) / w, b = (y + 0.5f) / h;
        const float s = (1 - a) * (1 - b) * q[0] + a * (1 - b) * q[2] + (1 - a) * b * q[4] + a * b * q[6];
        const float t = (1 - a) * (1 - b) * q[1] + a * (1 - b) * q[3] + (1 - a) * b * q[5] + a * b * q[7];
        const Colour c = gpuref::sampleLinear(texture, s, t);
        for (int k = 0; k < 4; ++k) expected.pixel(x, y)[k] = static_cast<std::uint8_t>(std::lround(c[k] * 255));
      }
    const auto result = gpuref::compare(out, expected, 2, 2);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  }
  GPUCropFilter turned(gfx::Rect{0.1f, 0.2f, 0.3f, 0.4f});
  turned.setInputRotation(Rotation180, 0);
  EXPECT_EQ(turned.cropTextureCoordinates(), (GPUQuad{0.4f, 0.6f, 0.4f, 0.2f, 0.1f, 0.6f, 0.1f, 0.2f}));
}
