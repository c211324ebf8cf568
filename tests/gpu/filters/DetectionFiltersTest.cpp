// Edge detectors against their two passes worked on the CPU, and the
// feature groups: Canny's thin edges, corners of a drawn rectangle and a
// checkerboard at the places the CPU reference finds, the cap on reported
// corners, lines of a drawn grid, and read-backs that follow the frame size.
#include <gtest/gtest.h>

#include <set>

#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/detection/GPUDetectionFilters.h"

using namespace stocktest;

namespace {

gfx::Image luminancePass(const gfx::Image& uploaded) {
  return gpuref::filter(uploaded, 0, [](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    const float l = luminance(c);
    return Colour{l, l, l, c[3]};
  });
}

using RingShader = std::function<Colour(const Ring&)>;

// A 3x3 pass over the picture, one texel apart.
gfx::Image ringPass(const gfx::Image& input, const RingShader& shader) {
  const float tw = 1.0f / input.pixelWidth(), th = 1.0f / input.pixelHeight();
  return gpuref::filter(input, 0, [&](const Sampler& in, float s, float t) { return shader(ring(in, s, t, tw, th)); });
}

float sobel(const Ring& n) { return std::hypot(sobelH(n), sobelV(n)); }
Colour grey(float v) { return {v, v, v, 1}; }

struct EdgeCase {
  std::string name;
  std::function<std::shared_ptr<GPUFilter>()> make;
  RingShader shader;
  std::function<bool(const Ring&)> atJump;
};
std::ostream& operator<<(std::ostream& os, const EdgeCase& c) { return os << c.name; }

std::vector<EdgeCase> edgeCases() {
  std::vector<EdgeCase> c;
  c.push_back({"Sobel", maker<GPUSobelEdgeDetectionFilter>(), [](const Ring& n) { return grey(sobel(n)); }, nullptr});
  c.push_back({"Prewitt", maker<GPUPrewittEdgeDetectionFilter>(),
               [](const Ring& n) {
                 const float h = -n.tl[0] - n.t[0] - n.tr[0] + n.bl[0] + n.b[0] + n.br[0];
                 const float v = -n.bl[0] - n.l[0] - n.tl[0] + n.br[0] + n.r[0] + n.tr[0];
                 return grey(std::hypot(h, v));
               },
               nullptr});
  c.push_back({"Sketch", maker<GPUSketchFilter>(), [](const Ring& n) { return grey(1 - sobel(n)); }, nullptr});
  c.push_back({"XYDerivative", maker<GPUXYDerivativeFilter>(),
               [](const Ring& n) {
                 const float dy = -n.tl[0] - n.t[0] - n.tr[0] + n.bl[0] + n.b[0] + n.br[0];
                 const float dx = -n.bl[0] - n.l[0] - n.tl[0] + n.br[0] + n.r[0] + n.tr[0];
                 return Colour{dx * dx, dy * dy, (dx * dy + 1) / 2, 1};
               },
               nullptr});
  c.push_back({"ThresholdEdge", maker<GPUThresholdEdgeDetectionFilter>([](auto& f) { f.setThreshold(0.3f); }),
               [](const Ring& n) { return grey(sobel(n) >= 0.3f ? 1.0f : 0.0f); },
               [](const Ring& n) { return std::fabs(sobel(n) - 0.3f) < 0.02f; }});
  c.push_back({"ThresholdSketch", maker<GPUThresholdSketchFilter>([](auto& f) { f.setThreshold(0.8f); }),
               [](const Ring& n) { return grey(1 - sobel(n) >= 0.8f ? 1.0f : 0.0f); },
               [](const Ring& n) { return std::fabs(1 - sobel(n) - 0.8f) < 0.02f; }});
  return c;
}

class EdgeDetectors : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(EdgeDetectors, MatchLuminanceThenGradientOnRealPictures) {
  for (const char* name : {"gpu_cat.png", "gpu_headphones.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image picture = gpuref::loadPicture(name);
    const gfx::Image out = runPicture(picture, GetParam().make());
    const gfx::Image lum = luminancePass(gpuref::uploaded(picture));
    gfx::Image expected = ringPass(lum, GetParam().shader);
    ASSERT_EQ(out.pixelWidth(), expected.pixelWidth());
    if (GetParam().atJump) {
      const int w = lum.pixelWidth(), h = lum.pixelHeight();
      const Sampler in = [&](float s, float t) { return gpuref::sampleLinear(lum, s, t); };
      int skipped = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          if (GetParam().atJump(ring(in, (x + 0.5f) / w, (y + 0.5f) / h, 1.0f / w, 1.0f / h))) {
            std::copy_n(out.pixel(x, y), 4, expected.pixel(x, y));
            ++skipped;
          }
      EXPECT_LT(skipped, w * h / 6);
    }
    const auto result = gpuref::compare(out, expected, 4, 4);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest difference " << result.maxDifference << ")";
  }
}

INSTANTIATE_TEST_SUITE_P(Stock, EdgeDetectors, ::testing::ValuesIn(edgeCases()),
                         [](const auto& info) { return info.param.name; });

// A white picture with a black filled rectangle.
gfx::Image rectangle(int w, int h, int x0, int y0, int x1, int y1) {
  gfx::Image image = solid(w, h, {255, 255, 255, 255});
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) std::fill_n(image.pixel(x, y), 3, 0);
  return image;
}

gfx::Image checkerboard(int w, int h, int cell, int margin) {
  gfx::Image image = solid(w, h, {255, 255, 255, 255});
  for (int y = margin; y < h - margin; ++y)
    for (int x = margin; x < w - margin; ++x)
      if (((x - margin) / cell + (y - margin) / cell) % 2 == 0) std::fill_n(image.pixel(x, y), 3, 0);
  return image;
}

using Points = std::vector<std::array<float, 2>>;

// The corner group worked on the CPU: derivatives of the luminance, the
// fast blur's two passes, Harris cornerness times the sensitivity, and the
// thresholded suppression; the lit pixels in memory order.
Points referenceCorners(const gfx::Image& picture, float sensitivity = 5.0f, float threshold = 0.2f) {
  const gfx::Image lum = luminancePass(gpuref::uploaded(picture));
  const gfx::Image derivative = ringPass(lum, [](const Ring& n) {
    const float dy = -n.tl[0] - n.t[0] - n.tr[0] + n.bl[0] + n.b[0] + n.br[0];
    const float dx = -n.bl[0] - n.l[0] - n.tl[0] + n.br[0] + n.r[0] + n.tr[0];
    return Colour{dx * dx, dy * dy, (dx * dy + 1) / 2, 1};
  });
  const float w = picture.pixelWidth(), h = picture.pixelHeight();
  auto fastPass = [](float dx, float dy) {
    return [dx, dy](const Sampler& in, float s, float t) {
      const float m[5] = {0, 1.3846153846f, -1.3846153846f, 3.2307692308f, -3.2307692308f};
      const float wt[5] = {0.2270270270f, 0.3162162162f, 0.3162162162f, 0.0702702703f, 0.0702702703f};
      Colour sum{};
      for (int i = 0; i < 5; ++i) {
        const Colour c = in(s + dx * m[i], t + dy * m[i]);
        for (int k = 0; k < 4; ++k) sum[k] += c[k] * wt[i];
      }
      return sum;
    };
  };
  const gfx::Image blurred = gpuref::filter(gpuref::filter(derivative, 0, fastPass(0, 1 / h)), 0, fastPass(1 / w, 0));
  const gfx::Image cornerness = gpuref::filter(blurred, 0, [sensitivity](const Sampler& in, float s, float t) {
    const Colour d = in(s, t);
    const float c = 2 * d[2] - 1;
    const float v = (d[0] * d[1] - c * c - 0.04f * (d[0] + d[1]) * (d[0] + d[1])) * sensitivity;
    return Colour{v, v, v, 1};
  });
  const gfx::Image suppressed = ringPass(cornerness, [threshold](const Ring& n) {
    const float c = n.ctr[0];
    const bool pass = c > n.t[0] && c > n.tl[0] && c > n.l[0] && c > n.bl[0] && c >= n.b[0] && c >= n.br[0] &&
                      c >= n.r[0] && c >= n.tr[0];
    return grey(pass && c >= threshold ? 1.0f : 0.0f);
  });
  Points points;
  for (int y = 0; y < suppressed.pixelHeight(); ++y)
    for (int x = 0; x < suppressed.pixelWidth(); ++x)
      if (suppressed.pixel(x, y)[0] != 0) points.push_back({x / w, y / h});
  return points;
}

struct Detected {
  Points points;
  unsigned count = 0;
  int calls = 0;
};

Detected detectCorners(const std::shared_ptr<GPUHarrisCornerDetectionFilter>& group, const gfx::Image& picture) {
  auto detected = std::make_shared<Detected>();
  group->setCornersDetectedBlock([detected](const float* pairs, unsigned count, CMTime) {
    detected->points.clear();
    for (unsigned i = 0; i < count; ++i) detected->points.push_back({pairs[2 * i], pairs[2 * i + 1]});
    detected->count = count;
    ++detected->calls;
  });
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(group);
  source->processImage();
  performOnProcessingQueueSync([] {});
  return *detected;
}

// Every point of one list within `pixels` of a point of the other.
void expectSamePlaces(const Points& actual, const Points& expected, float w, float h, float pixels = 1.01f) {
  auto covered = [&](const Points& from, const Points& to) {
    for (const auto& p : from) {
      bool found = false;
      for (const auto& q : to)
        if (std::fabs(p[0] - q[0]) * w <= pixels && std::fabs(p[1] - q[1]) * h <= pixels) found = true;
      if (!found) return testing::AssertionFailure() << "no match for (" << p[0] * w << ", " << p[1] * h << ")";
    }
    return testing::AssertionSuccess();
  };
  EXPECT_TRUE(covered(actual, expected));
  EXPECT_TRUE(covered(expected, actual));
}

}  // namespace

TEST(EdgeDetectorEdges, FlatPicturesAndTexelOverride) {
  const gfx::Image flat = solid(16, 12, {120, 60, 200, 255});
  EXPECT_EQ(gpuref::compare(runPicture(flat, std::make_shared<GPUSobelEdgeDetectionFilter>()),
                            solid(16, 12, {0, 0, 0, 255}), 0, 0)
                .badPixels,
            0);
  EXPECT_EQ(gpuref::compare(runPicture(flat, std::make_shared<GPUSketchFilter>()), solid(16, 12, {255, 255, 255, 255}),
                            0, 0)
                .badPixels,
            0);
  GPUSobelEdgeDetectionFilter f;
  performOnProcessingQueueSync([&] { f.setupFilterForSize({200, 100}); });
  EXPECT_FLOAT_EQ(f.texelWidth(), 1 / 200.0f);
  f.setTexelWidth(0.02f);
  EXPECT_TRUE(f.hasOverriddenImageSizeFactor());
  performOnProcessingQueueSync([&] { f.setupFilterForSize({400, 300}); });
  EXPECT_FLOAT_EQ(f.texelWidth(), 0.02f);
  EXPECT_FLOAT_EQ(f.texelHeight(), 1 / 100.0f);
}

TEST(CannyEdges, PropertiesReachTheirMembersAndARectangleGivesThinEdges) {
  auto canny = std::make_shared<GPUCannyEdgeDetectionFilter>();
  EXPECT_FLOAT_EQ(canny->upperThreshold(), 0.4f);
  EXPECT_FLOAT_EQ(canny->lowerThreshold(), 0.1f);
  EXPECT_FLOAT_EQ(canny->blurSize(), 1.0f);
  EXPECT_EQ(canny->filterCount(), 5u);
  const gfx::Image picture = rectangle(64, 48, 16, 12, 48, 36);
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(canny);
  source->processImage();
  const gfx::Image out = canny->newCGImageFromCurrentlyProcessedOutput();
  ASSERT_EQ(out.pixelWidth(), 64);
  // Lit pixels only near the rectangle's outline, and the outline found on
  // every side.
  int lit = 0;
  std::set<int> rowsOnLeftSide;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      if (out.pixel(x, y)[0] == 0) continue;
      ++lit;
      const bool nearVertical = (std::abs(x - 16) <= 2 || std::abs(x - 47) <= 2) && y >= 10 && y <= 37;
      const bool nearHorizontal = (std::abs(y - 12) <= 2 || std::abs(y - 35) <= 2) && x >= 14 && x <= 49;
      EXPECT_TRUE(nearVertical || nearHorizontal) << x << ", " << y;
      if (std::abs(x - 16) <= 2) rowsOnLeftSide.insert(y);
    }
  EXPECT_GE(rowsOnLeftSide.size(), 18u);
  EXPECT_GT(lit, 2 * (32 + 24));
  canny->setTexelWidth(0.5f);
  EXPECT_FLOAT_EQ(canny->texelWidth(), 0.5f);
  canny->setUpperThreshold(0.7f);
  EXPECT_FLOAT_EQ(canny->upperThreshold(), 0.7f);
}

TEST(CornerDetection, FindsTheCornersOfARectangleAndACheckerboardWhereTheReferenceDoes) {
  {
    SCOPED_TRACE("rectangle");
    const gfx::Image picture = rectangle(80, 60, 20, 15, 60, 45);
    const Points expected = referenceCorners(picture);
    ASSERT_GE(expected.size(), 4u);
    const Detected found = detectCorners(std::make_shared<GPUHarrisCornerDetectionFilter>(), picture);
    EXPECT_EQ(found.calls, 1);
    expectSamePlaces(found.points, expected, 80, 60);
    // Each of the four corners has a detection within two pixels.
    for (auto [cx, cy] : {std::pair{20, 15}, std::pair{60, 15}, std::pair{20, 45}, std::pair{60, 45}}) {
      bool near = false;
      for (const auto& p : found.points) near |= std::fabs(p[0] * 80 - cx) <= 2.5f && std::fabs(p[1] * 60 - cy) <= 2.5f;
      EXPECT_TRUE(near) << cx << ", " << cy;
    }
  }
  {
    SCOPED_TRACE("checkerboard");
    const gfx::Image picture = checkerboard(96, 96, 16, 16);
    const Points expected = referenceCorners(picture);
    ASSERT_GE(expected.size(), 16u);
    const Detected found = detectCorners(std::make_shared<GPUHarrisCornerDetectionFilter>(), picture);
    expectSamePlaces(found.points, expected, 96, 96);
  }
}

TEST(CornerDetection, MoreThan511CornersReport511WithTheLastFoundInTheLastPair) {
  // Isolated single dots each make a corner (well apart, so none suppresses another).
  gfx::Image dots = solid(200, 200, {255, 255, 255, 255});
  for (int y = 4; y < 196; y += 6)
    for (int x = 4; x < 196; x += 6) std::fill_n(dots.pixel(x, y), 3, 0);
  auto group = std::make_shared<GPUHarrisCornerDetectionFilter>();
  const Detected found = detectCorners(group, dots);
  ASSERT_EQ(found.count, 511u);
  // The last pair holds the last lit pixel of the suppression image.
  const gfx::Image suppressed = group->newCGImageFromCurrentlyProcessedOutput();
  int lastX = -1, lastY = -1, lit = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x)
      if (suppressed.pixel(x, y)[0] != 0) {
        lastX = x;
        lastY = y;
        ++lit;
      }
  EXPECT_GT(lit, 511);
  // The pairs before the last are the first corners found, in order.
  EXPECT_EQ(found.points.size(), 511u);
  EXPECT_FLOAT_EQ(found.points[510][0], lastX / 200.0f);
  EXPECT_FLOAT_EQ(found.points[510][1], lastY / 200.0f);
}

// The read-back buffer follows the frame: a larger frame after a smaller one
// is read whole (never past the end of a buffer sized for the first), and
// its corners are where the reference finds them.
TEST(CornerDetection, ReadBackFollowsTheOutputSize) {
  auto group = std::make_shared<GPUHarrisCornerDetectionFilter>();
  const gfx::Image small = rectangle(40, 30, 10, 8, 30, 22);
  const gfx::Image large = rectangle(160, 120, 30, 20, 130, 100);
  Detected found = detectCorners(group, small);
  EXPECT_EQ(group->rawImageBytes(), 40u * 30 * 4);
  expectSamePlaces(found.points, referenceCorners(small), 40, 30);
  found = detectCorners(group, large);
  EXPECT_EQ(group->rawImageBytes(), 160u * 120 * 4);
  expectSamePlaces(found.points, referenceCorners(large), 160, 120);
  found = detectCorners(group, small);
  EXPECT_EQ(group->rawImageBytes(), 40u * 30 * 4);
  expectSamePlaces(found.points, referenceCorners(small), 40, 30);
}

TEST(CornerDetection, VariantsAndTheirSettings) {
  GPUHarrisCornerDetectionFilter harris;
  EXPECT_FLOAT_EQ(harris.sensitivity(), 5.0f);
  EXPECT_FLOAT_EQ(harris.threshold(), 0.2f);
  EXPECT_FLOAT_EQ(harris.blurSize(), 1.0f);
  EXPECT_TRUE(harris.intermediateImages().empty());
  GPUShiTomasiFeatureDetectionFilter shiTomasi;
  EXPECT_FLOAT_EQ(shiTomasi.sensitivity(), 1.5f);
  // Noble and Shi-Tomasi find the rectangle's corners too; Noble's flat
  // areas (no derivative) give no corner rather than 0/0.
  const gfx::Image picture = rectangle(80, 60, 20, 15, 60, 45);
  for (auto group : {std::static_pointer_cast<GPUHarrisCornerDetectionFilter>(std::make_shared<GPUNobleCornerDetectionFilter>()),
                     std::static_pointer_cast<GPUHarrisCornerDetectionFilter>(std::make_shared<GPUShiTomasiFeatureDetectionFilter>())}) {
    const Detected found = detectCorners(group, picture);
    EXPECT_GE(found.count, 4u);
    for (const auto& p : found.points) {
      const float x = p[0] * 80, y = p[1] * 60;
      EXPECT_TRUE((std::fabs(x - 20) <= 3 || std::fabs(x - 60) <= 3) && (std::fabs(y - 15) <= 3 || std::fabs(y - 45) <= 3))
          << x << ", " << y;
    }
  }
}

namespace {

struct Lines {
  std::vector<std::array<float, 2>> pairs;
  unsigned count = 0;
};

Lines detectLines(const std::shared_ptr<GPUHoughTransformLineDetector>& group, const gfx::Image& picture) {
  auto lines = std::make_shared<Lines>();
  group->setLinesDetectedBlock([lines](const float* pairs, unsigned count, CMTime) {
    lines->pairs.clear();
    for (unsigned i = 0; i < count; ++i) lines->pairs.push_back({pairs[2 * i], pairs[2 * i + 1]});
    lines->count = count;
  });
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(group);
  source->processImage();
  performOnProcessingQueueSync([] {});
  return *lines;
}

// The parameters the read-back gives the lit pixel (x, y) of a w x h image.
std::array<float, 2> lineParameters(int x, int y, int w, int h) {
  const float nx = -1 + 2.0f * x / w, ny = -1 + 2.0f * y / h;
  if (nx > -0.05f && nx < 0.05f) return {100000.0f, ny};
  if (nx <= -0.05f) return {-1 / nx - 1, ny / nx};
  return {1 - 1 / nx, ny / nx};
}

}  // namespace

TEST(LineDetection, AGridsLinesAreReportedFromTheVoteMaxima) {
  // Black lines on white: two horizontal, two vertical, one diagonal.
  const int w = 128, h = 96;
  gfx::Image grid = solid(w, h, {255, 255, 255, 255});
  for (int x = 0; x < w; ++x)
    for (int y : {30, 66}) std::fill_n(grid.pixel(x, y), 3, 0);
  for (int y = 0; y < h; ++y)
    for (int x : {40, 90}) std::fill_n(grid.pixel(x, y), 3, 0);
  auto group = std::make_shared<GPUHoughTransformLineDetector>();
  EXPECT_FLOAT_EQ(group->edgeThreshold(), 0.95f);
  EXPECT_FLOAT_EQ(group->lineDetectionThreshold(), 0.2f);
  const Lines lines = detectLines(group, grid);
  ASSERT_GT(lines.count, 0u);
  // The reported pairs are exactly those of the suppression image's lit
  // pixels, converted as the read-back defines.
  const gfx::Image votes = group->newCGImageFromCurrentlyProcessedOutput();
  std::vector<std::array<float, 2>> expected;
  for (int y = 0; y < votes.pixelHeight(); ++y)
    for (int x = 0; x < votes.pixelWidth(); ++x)
      if (votes.pixel(x, y)[0] != 0) expected.push_back(lineParameters(x, y, votes.pixelWidth(), votes.pixelHeight()));
  ASSERT_EQ(lines.pairs.size(), std::min<std::size_t>(expected.size(), 1023));
  for (std::size_t i = 0; i < lines.pairs.size() && i < 2040 / 2; ++i) {
    EXPECT_FLOAT_EQ(lines.pairs[i][0], expected[i][0]) << i;
    EXPECT_FLOAT_EQ(lines.pairs[i][1], expected[i][1]) << i;
  }
  EXPECT_EQ(group->rawImageBytes(), static_cast<std::size_t>(votes.pixelWidth()) * votes.pixelHeight() * 4);
}

TEST(LineDetection, TheMiddleColumnReportsAnEndlessFirstParameter) {
  EXPECT_FLOAT_EQ(lineParameters(64, 10, 128, 96)[0], 100000.0f);
  EXPECT_FLOAT_EQ(lineParameters(63, 10, 128, 96)[0], 100000.0f);
  EXPECT_FLOAT_EQ(lineParameters(96, 48, 128, 96)[0], 1 - 1 / 0.5f);
}

TEST(LineDetection, AFullListReports1023WholePairsTheLastOverwritten) {
  // Threshold 0 lights every pixel of the vote image: far more than 1023.
  auto group = std::make_shared<GPUHoughTransformLineDetector>();
  group->setLineDetectionThreshold(0);
  const Lines lines = detectLines(group, gpuref::loadPicture("gpu_cat.png"));
  ASSERT_EQ(lines.count, 1023u);
  const gfx::Image votes = group->newCGImageFromCurrentlyProcessedOutput();
  const int w = votes.pixelWidth(), h = votes.pixelHeight();
  ASSERT_GT(w * h, 1023);
  // Every pixel is lit: pair i is pixel i, and the last pair the last pixel.
  for (int i : {0, 1, 500, 1021}) {
    const auto expected = lineParameters(i % w, i / w, w, h);
    EXPECT_FLOAT_EQ(lines.pairs[i][0], expected[0]) << i;
    EXPECT_FLOAT_EQ(lines.pairs[i][1], expected[1]) << i;
  }
  const auto last = lineParameters(w - 1, h - 1, w, h);
  EXPECT_FLOAT_EQ(lines.pairs[1022][0], last[0]);
  EXPECT_FLOAT_EQ(lines.pairs[1022][1], last[1]);
}
