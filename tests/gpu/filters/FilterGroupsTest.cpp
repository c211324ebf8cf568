// The ready-made groups: each against its members run one by one on the same
// photo; their own two-input stages against the formulas worked on the CPU;
// the frame-to-frame low and high pass; the members each group holds and
// the properties it forwards; and the groups made from a configuration.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUPicture.h"
#include "gpu/GPURawData.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/groups/GPUFilterGroups.h"
#include "platform/foundation/Paths.h"

using namespace stocktest;

namespace {

using StagePtr = std::shared_ptr<GPUFilterStage>;

gfx::Image through(const StagePtr& stage, const gfx::Image& picture) {
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(stage);
  source->processImage();
  return stage->newCGImageFromCurrentlyProcessedOutput();
}

// Single-input members chained by a pipeline, the picture at its head.
gfx::Image throughPipeline(GPUFilterPipeline::Filters filters, const gfx::Image& picture) {
  auto source = std::make_shared<GPUPicture>(picture);
  GPUFilterPipeline pipeline(filters, source, nullptr);
  source->processImage();
  return pipeline.newCGImageFromCurrentFilteredFrame();
}

// A two-input member: `first` at index 0, `second` at index 1.
gfx::Image pair(const std::shared_ptr<GPUTwoInputFilter>& filter, const gfx::Image& first, const gfx::Image& second) {
  auto a = std::make_shared<GPUPicture>(first), b = std::make_shared<GPUPicture>(second);
  a->addTarget(filter, 0);
  b->addTarget(filter, 1);
  b->processImage();
  a->processImage();
  return filter->newCGImageFromCurrentlyProcessedOutput();
}

std::shared_ptr<GPUTwoInputFilter> twoInput(const char* shader) { return std::make_shared<GPUTwoInputFilter>(shader); }

template <typename F>
std::shared_ptr<F> blur(float size) {
  auto f = std::make_shared<F>();
  f->setBlurSize(size);
  return f;
}

gfx::Image lookupTable(const std::string& name) {
  auto image = gfx::readImage(fd::paths::resource(name));
  return image ? *image : gfx::Image{};
}

gfx::Image lookup(const gfx::Image& picture, const std::string& table) {
  return pair(std::make_shared<GPULookupFilter>(), picture, lookupTable(table));
}

struct SelectiveSettings {
  float blurSize = 2.0f, radius = 0.1875f, edge = 0.09375f;
  gfx::Point centre{0.5f, 0.5f};
  float aspect = 0;  // 0: width over height
};

void apply(GPUGaussianSelectiveBlurFilter& g, const SelectiveSettings& s) {
  g.setBlurSize(s.blurSize);
  g.setExcludeCircleRadius(s.radius);
  g.setExcludeBlurSize(s.edge);
  g.setExcludeCirclePoint(s.centre);
  if (s.aspect > 0) g.setAspectRatio(s.aspect);
}

gfx::Image selectiveByMembers(const gfx::Image& in, const SelectiveSettings& s) {
  auto focus = twoInput(kGPUSelectiveFocusFragmentShaderString);
  focus->setFloat(s.radius, "excludeCircleRadius");
  focus->setFloat(s.edge, "excludeBlurSize");
  focus->setPoint(s.centre, "excludeCirclePoint");
  focus->setFloat(s.aspect > 0 ? s.aspect : float(in.pixelWidth()) / in.pixelHeight(), "aspectRatio");
  return pair(focus, in, through(blur<GPUGaussianBlurFilter>(s.blurSize), in));
}

gfx::Image tiltByMembers(const gfx::Image& in, float blurSize, float top, float bottom, float fall) {
  auto tilt = twoInput(kGPUTiltShiftFragmentShaderString);
  tilt->setFloat(top, "topFocusLevel");
  tilt->setFloat(bottom, "bottomFocusLevel");
  tilt->setFloat(fall, "focusFallOffRate");
  return pair(tilt, in, through(blur<GPUGaussianBlurFilter>(blurSize), in));
}

struct GroupCase {
  std::string name;
  std::function<StagePtr()> make;
  std::function<gfx::Image(const gfx::Image&)> byMembers;
};
std::ostream& operator<<(std::ostream& os, const GroupCase& c) { return os << c.name; }

template <typename G>
std::function<StagePtr()> group(std::function<void(G&)> setup = [](G&) {}) {
  return [setup] {
    auto g = std::make_shared<G>();
    setup(*g);
    return std::static_pointer_cast<GPUFilterStage>(g);
  };
}

template <typename D, typename E>
gfx::Image morphologyByMembers(const gfx::Image& in, unsigned radius, bool dilateFirst) {
  StagePtr d = std::make_shared<D>(radius), e = std::make_shared<E>(radius);
  return throughPipeline(dilateFirst ? GPUFilterPipeline::Filters{d, e} : GPUFilterPipeline::Filters{e, d}, in);
}

std::vector<GroupCase> groupCases() {
  std::vector<GroupCase> c;
  for (float size : {1.0f, 2.5f}) {
    c.push_back({"AdaptiveThresholdBlur" + std::to_string(int(size * 10)),
                 group<GPUAdaptiveThresholdFilter>([size](auto& g) { if (size != 1.0f) g.setBlurSize(size); }),
                 [size](const gfx::Image& in) {
                   const gfx::Image lum = through(std::make_shared<GPUGrayscaleFilter>(), in);
                   return pair(twoInput(kGPUAdaptiveThresholdFragmentShaderString),
                               through(blur<GPUBoxBlurFilter>(size), lum), lum);
                 }});
  }
  c.push_back({"ClosingRadius1", group<GPUClosingFilter>(),
               [](const gfx::Image& in) { return morphologyByMembers<GPUDilationFilter, GPUErosionFilter>(in, 1, true); }});
  c.push_back({"OpeningRadius2", [] { return StagePtr(std::make_shared<GPUOpeningFilter>(2)); },
               [](const gfx::Image& in) { return morphologyByMembers<GPUDilationFilter, GPUErosionFilter>(in, 2, false); }});
  c.push_back({"RGBClosingRadius3", [] { return StagePtr(std::make_shared<GPURGBClosingFilter>(3)); },
               [](const gfx::Image& in) {
                 return morphologyByMembers<GPURGBDilationFilter, GPURGBErosionFilter>(in, 3, true);
               }});
  c.push_back({"RGBOpeningRadius1", group<GPURGBOpeningFilter>(), [](const gfx::Image& in) {
                 return morphologyByMembers<GPURGBDilationFilter, GPURGBErosionFilter>(in, 1, false);
               }});
  c.push_back({"SelectiveBlurDefaults", group<GPUGaussianSelectiveBlurFilter>(),
               [](const gfx::Image& in) { return selectiveByMembers(in, {}); }});
  const SelectiveSettings moved{1.5f, 0.3f, 0.1f, {0.3f, 0.6f}, 0};
  c.push_back({"SelectiveBlurMoved", group<GPUGaussianSelectiveBlurFilter>([moved](auto& g) { apply(g, moved); }),
               [moved](const gfx::Image& in) { return selectiveByMembers(in, moved); }});
  const SelectiveSettings square{2.0f, 0.25f, 0.05f, {0.5f, 0.5f}, 1.0f};
  c.push_back({"SelectiveBlurAspectSetByHand",
               group<GPUGaussianSelectiveBlurFilter>([square](auto& g) { apply(g, square); }),
               [square](const gfx::Image& in) { return selectiveByMembers(in, square); }});
  c.push_back({"TiltShiftDefaults", group<GPUTiltShiftFilter>(),
               [](const gfx::Image& in) { return tiltByMembers(in, 2.0f, 0.4f, 0.6f, 0.2f); }});
  c.push_back({"TiltShiftMoved", group<GPUTiltShiftFilter>([](auto& g) {
                 g.setBlurSize(1.0f);
                 g.setTopFocusLevel(0.3f);
                 g.setBottomFocusLevel(0.5f);
                 g.setFocusFallOffRate(0.1f);
               }),
               [](const gfx::Image& in) { return tiltByMembers(in, 1.0f, 0.3f, 0.5f, 0.1f); }});
  c.push_back({"UnsharpMask", group<GPUUnsharpMaskFilter>([](auto& g) {
                 g.setBlurSize(2.0f);
                 g.setIntensity(1.7f);
               }),
               [](const gfx::Image& in) {
                 auto unsharp = twoInput(kGPUUnsharpMaskFragmentShaderString);
                 unsharp->setFloat(1.7f, "intensity");
                 return pair(unsharp, in, through(blur<GPUGaussianBlurFilter>(2.0f), in));
               }});
  c.push_back({"SmoothToonDefaults", group<GPUSmoothToonFilter>(), [](const gfx::Image& in) {
                 return throughPipeline({blur<GPUGaussianBlurFilter>(0.5f), std::make_shared<GPUToonFilter>()}, in);
               }});
  c.push_back({"SmoothToonMoved", group<GPUSmoothToonFilter>([](auto& g) {
                 g.setBlurSize(1.0f);
                 g.setThreshold(0.3f);
                 g.setQuantizationLevels(4.0f);
                 g.setTexelWidth(2.0f / 150);
               }),
               [](const gfx::Image& in) {
                 auto toon = std::make_shared<GPUToonFilter>();
                 toon->setThreshold(0.3f);
                 toon->setQuantizationLevels(4.0f);
                 toon->setTexelWidth(2.0f / 150);
                 return throughPipeline({blur<GPUGaussianBlurFilter>(1.0f), toon}, in);
               }});
  c.push_back({"SoftElegance", group<GPUSoftEleganceFilter>(), [](const gfx::Image& in) {
                 const gfx::Image first = lookup(in, "lookup_soft_elegance_1.png");
                 auto glow = std::make_shared<GPUAlphaBlendFilter>();
                 glow->setMix(0.14f);
                 const gfx::Image glowing = pair(glow, first, through(blur<GPUGaussianBlurFilter>(9.7f), first));
                 return lookup(glowing, "lookup_soft_elegance_2.png");
               }});
  c.push_back({"Brenlow", group<GPUBrenlowFilter>(),
               [](const gfx::Image& in) { return lookup(in, "lookup_brenlow.png"); }});
  c.push_back({"Vastrel", group<GPUVastrelFilter>(),
               [](const gfx::Image& in) { return lookup(in, "lookup_vastrel.png"); }});
  return c;
}

class FilterGroups : public ::testing::TestWithParam<GroupCase> {};

TEST_P(FilterGroups, MatchTheirMembersRunOneByOne) {
  for (const char* name : {"gpu_cat.png", "gpu_rocket.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image picture = gpuref::loadPicture(name);
    const gfx::Image out = through(GetParam().make(), picture);
    const gfx::Image expected = GetParam().byMembers(picture);
    ASSERT_EQ(out.pixelWidth(), picture.pixelWidth());
    ASSERT_EQ(out.pixelHeight(), picture.pixelHeight());
    const auto result = gpuref::compare(out, expected, 0, 0);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest difference " << result.maxDifference << ")";
  }
}

INSTANTIATE_TEST_SUITE_P(Stock, FilterGroups, ::testing::ValuesIn(groupCases()),
                         [](const auto& info) { return info.param.name; });

// The group's output beside a formula of the sharp input and its blurred
// copy (the blur as the member draws it), pixel by pixel.
using PairFormula = std::function<Colour(const Colour& sharp, const Colour& blurred, float s, float t)>;
void expectFormula(const gfx::Image& out, const gfx::Image& picture, const gfx::Image& blurred,
                   const PairFormula& formula, int tolerance) {
  const gfx::Image sharp = gpuref::uploaded(picture);
  const int w = sharp.pixelWidth(), h = sharp.pixelHeight();
  gfx::Image expected(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float s = (x + 0.5f) / w, t = (y + 0.5f) / h;
      const Colour c = formula(gpuref::sampleLinear(sharp, s, t), gpuref::sampleLinear(blurred, s, t), s, t);
      for (int k = 0; k < 4; ++k) expected.pixel(x, y)[k] = std::uint8_t(std::lround(std::clamp(c[k], 0.0f, 1.0f) * 255));
    }
  const auto result = gpuref::compare(out, expected, tolerance, tolerance);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest difference " << result.maxDifference << ")";
}

Colour mixColour(const Colour& a, const Colour& b, float k) {
  return {mix(a[0], b[0], k), mix(a[1], b[1], k), mix(a[2], b[2], k), mix(a[3], b[3], k)};
}

TEST(FilterGroupShaders, SelectiveFocusTiltShiftAndUnsharpFollowTheirFormulas) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image blurred2 = through(blur<GPUGaussianBlurFilter>(2.0f), cat);
  {
    SCOPED_TRACE("selective focus: the circle in a space stretched by width over height");
    auto g = std::make_shared<GPUGaussianSelectiveBlurFilter>();
    g->setExcludeCirclePoint({0.4f, 0.45f});
    const float aspect = 1.5f;
    expectFormula(through(g, cat), cat, blurred2, [&](const Colour& sharp, const Colour& b, float s, float t) {
      const float d = std::hypot(s - 0.4f, t * aspect + 0.5f - 0.5f * aspect - 0.45f);
      return mixColour(sharp, b, smoothstep(0.1875f - 0.09375f, 0.1875f, d));
    }, 2);
  }
  {
    SCOPED_TRACE("tilt shift: sharp band from 0.4 to 0.6, fully blurred beyond 0.2 and 0.8");
    expectFormula(through(std::make_shared<GPUTiltShiftFilter>(), cat), cat, blurred2,
                  [](const Colour& sharp, const Colour& b, float, float t) {
                    if (t >= 0.4f && t <= 0.6f) return sharp;
                    if (t <= 0.2f || t >= 0.8f) return b;
                    return mixColour(sharp, b, 1 - smoothstep(0.2f, 0.4f, t) + smoothstep(0.6f, 0.8f, t));
                  }, 2);
  }
  {
    SCOPED_TRACE("unsharp mask: intensity 1 gives the input back exactly, above 1 it sharpens");
    EXPECT_EQ(gpuref::compare(through(std::make_shared<GPUUnsharpMaskFilter>(), cat), gpuref::uploaded(cat), 0, 0)
                  .badPixels, 0);
    auto g = std::make_shared<GPUUnsharpMaskFilter>();
    g->setIntensity(2.5f);
    const gfx::Image blurred1 = through(blur<GPUGaussianBlurFilter>(1.0f), cat);
    expectFormula(through(g, cat), cat, blurred1, [](const Colour& sharp, const Colour& b, float, float) {
      Colour c;
      for (int k = 0; k < 3; ++k) c[k] = sharp[k] * 2.5f - b[k] * 1.5f;
      c[3] = sharp[3];
      return c;
    }, 2);
  }
}

TEST(FilterGroupShaders, AdaptiveThresholdIsWhereTheLuminanceReachesItsNeighbourhoodLessAStep) {
  for (const char* name : {"gpu_cat.png", "gpu_rocket.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image picture = gpuref::loadPicture(name);
    const gfx::Image lum = through(std::make_shared<GPUGrayscaleFilter>(), picture);
    const gfx::Image blurred = through(std::make_shared<GPUBoxBlurFilter>(), lum);
    const gfx::Image out = through(std::make_shared<GPUAdaptiveThresholdFilter>(), picture);
    int white = 0, compared = 0;
    for (int y = 0; y < out.pixelHeight(); ++y)
      for (int x = 0; x < out.pixelWidth(); ++x) {
        const float local = lum.pixel(x, y)[0] / 255.0f, edge = blurred.pixel(x, y)[0] / 255.0f - 0.05f;
        if (std::fabs(local - edge) < 0.002f) continue;
        ++compared;
        const int expected = local >= edge ? 255 : 0;
        white += expected != 0;
        ASSERT_EQ(out.pixel(x, y)[0], expected) << x << ", " << y;
        ASSERT_EQ(out.pixel(x, y)[3], 255);
      }
    EXPECT_GT(compared, out.pixelWidth() * out.pixelHeight() * 9 / 10);
    EXPECT_GT(white, 0);
    EXPECT_LT(white, compared);
  }
}

// Blocks at (x, y, side) on a plain ground (white blocks on black, or black
// on white when inverted): the pixels still of the blocks' colour.
std::set<std::pair<int, int>> blockPixelsAfter(const StagePtr& stage, std::vector<std::array<int, 3>> blocks,
                                               bool invert) {
  const std::uint8_t bg = invert ? 255 : 0, fg = invert ? 0 : 255;
  gfx::Image image = solid(40, 40, {bg, bg, bg, 255});
  for (const auto& [x0, y0, side] : blocks)
    for (int y = y0; y < y0 + side; ++y)
      for (int x = x0; x < x0 + side; ++x) std::fill_n(image.pixel(x, y), 3, fg);
  const gfx::Image out = through(stage, image);
  std::set<std::pair<int, int>> lit;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      if (out.pixel(x, y)[0] == fg) lit.insert({x, y});
  return lit;
}

TEST(FilterGroupShaders, OpeningRemovesSpecksBelowItsSquareAndClosingFillsSuchHoles) {
  std::set<std::pair<int, int>> square;
  for (int y = 25; y < 30; ++y)
    for (int x = 25; x < 30; ++x) square.insert({x, y});
  const std::vector<std::array<int, 3>> blocks = {{3, 3, 4}, {20, 5, 1}, {6, 24, 2}, {25, 25, 5}};
  // An opening of radius 2 (a 5 x 5 square) keeps only the 5 x 5 block whole.
  EXPECT_EQ(blockPixelsAfter(std::make_shared<GPUOpeningFilter>(2), blocks, false), square);
  EXPECT_EQ(blockPixelsAfter(std::make_shared<GPURGBOpeningFilter>(2), blocks, false), square);
  // The dual on white: holes below 5 x 5 close, the 5 x 5 hole stays.
  EXPECT_EQ(blockPixelsAfter(std::make_shared<GPUClosingFilter>(2), blocks, true), square);
}

// Frames through one stage from a raw-bytes source, each read back.
std::vector<gfx::Image> frames(const StagePtr& stage, const std::vector<gfx::Image>& inputs) {
  const gfx::Size size{float(inputs[0].pixelWidth()), float(inputs[0].pixelHeight())};
  auto source = std::make_shared<GPURawDataInput>(inputs[0].pixels(), size, GL_RGBA);
  source->addTarget(stage);
  std::vector<gfx::Image> out;
  for (const gfx::Image& in : inputs) {
    source->updateDataFromBytes(in.pixels(), size);
    source->processData();
    gputest::drainProcessingQueue();
    out.push_back(stage->newCGImageFromCurrentlyProcessedOutput());
  }
  return out;
}

std::vector<gfx::Image> threeFrames() {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png"), rocket = gpuref::loadPicture("gpu_rocket.png");
  gfx::Image flipped = cat;
  for (int y = 0; y < 100; ++y) std::copy_n(cat.pixel(0, 99 - y), 150 * 4, flipped.pixel(0, y));
  return {cat, rocket, flipped};
}

// The low pass worked on the CPU: the past starts opaque black (the buffer
// has drawn nothing yet), each frame stored as bytes.
std::vector<gfx::Image> referenceLowPass(const std::vector<gfx::Image>& inputs, float strength) {
  std::vector<gfx::Image> out;
  gfx::Image past = solid(inputs[0].pixelWidth(), inputs[0].pixelHeight(), {0, 0, 0, 255});
  for (const gfx::Image& in : inputs) {
    past = gpuref::filter(gpuref::uploaded(in), 0, [&](const Sampler& current, float s, float t) {
      return mixColour(current(s, t), gpuref::sampleLinear(past, s, t), strength);
    });
    out.push_back(past);
  }
  return out;
}

void expectFrames(const std::vector<gfx::Image>& actual, const std::vector<gfx::Image>& expected, int tolerance) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const auto result = gpuref::compare(actual[i], expected[i], tolerance, tolerance);
    EXPECT_EQ(result.badPixels, 0) << "frame " << i << ": " << result.firstBad << " (largest difference "
                                   << result.maxDifference << ")";
  }
}

TEST(FrameFilterGroups, LowPassWeighsThePastByItsStrengthAndHighPassIsTheDistanceFromIt) {
  const auto inputs = threeFrames();
  for (float strength : {0.5f, 0.25f}) {
    SCOPED_TRACE(strength);
    auto low = std::make_shared<GPULowPassFilter>();
    if (strength != 0.5f) low->setFilterStrength(strength);
    const auto lowFrames = frames(low, inputs);
    const auto reference = referenceLowPass(inputs, strength);
    expectFrames(lowFrames, reference, 2);

    // Its members one by one: each frame dissolved with the last output.
    std::vector<gfx::Image> byMembers;
    gfx::Image past = solid(150, 100, {0, 0, 0, 255});
    for (const gfx::Image& in : inputs) {
      auto dissolve = std::make_shared<GPUDissolveBlendFilter>();
      dissolve->setMix(strength);
      byMembers.push_back(past = pair(dissolve, in, past));
    }
    expectFrames(lowFrames, byMembers, 0);

    auto high = std::make_shared<GPUHighPassFilter>();
    if (strength != 0.5f) high->setFilterStrength(strength);
    std::vector<gfx::Image> highReference;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      highReference.push_back(gpuref::filter(gpuref::uploaded(inputs[i]), 0, [&](const Sampler& in, float s, float t) {
        const Colour c = in(s, t), l = gpuref::sampleLinear(reference[i], s, t);
        return Colour{std::fabs(l[0] - c[0]), std::fabs(l[1] - c[1]), std::fabs(l[2] - c[2]), c[3]};
      }));
    }
    const auto highFrames = frames(high, inputs);
    expectFrames(highFrames, highReference, 2);
    // And by its members: the low pass run on its own, then the difference.
    std::vector<gfx::Image> highByMembers;
    for (std::size_t i = 0; i < inputs.size(); ++i)
      highByMembers.push_back(pair(std::make_shared<GPUDifferenceBlendFilter>(), inputs[i], lowFrames[i]));
    expectFrames(highFrames, highByMembers, 0);
  }
}

TEST(FrameFilterGroups, LowPassFromAConfigurationKeepsItsLoopWhenThePipelineChains) {
  GPUFilterRegistry::registerCoreFilters();
  fd::Dictionary entry{{"FilterName", fd::Value("GPULowPassFilter")},
                       {"Attributes", fd::Value(fd::Dictionary{{"setFilterStrength:", fd::Value("float(0.25)")}})}};
  auto parsed =
      GPUFilterPipeline::parseConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{fd::Value(entry)})}}));
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  const auto inputs = threeFrames();
  auto source = std::make_shared<GPURawDataInput>(inputs[0].pixels(), gfx::Size{150, 100}, GL_RGBA);
  GPUFilterPipeline pipeline(*parsed, source, std::make_shared<gputest::RecordingTarget>());
  // Rechaining clears every filter's targets again.
  pipeline.setOutput(std::make_shared<gputest::RecordingTarget>());
  std::vector<gfx::Image> out;
  for (const gfx::Image& in : inputs) {
    source->updateDataFromBytes(in.pixels(), {150, 100});
    source->processData();
    gputest::drainProcessingQueue();
    out.push_back(pipeline.currentFilteredFrame());
  }
  expectFrames(out, referenceLowPass(inputs, 0.25f), 2);
}

TEST(LookupGroups, EveryStillPictureIsGradedNotOnlyTheFirst) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png"), rocket = gpuref::loadPicture("gpu_rocket.png");
  auto brenlow = std::make_shared<GPUBrenlowFilter>();
  auto elegance = std::make_shared<GPUSoftEleganceFilter>();
  for (const StagePtr& g : {StagePtr(brenlow), StagePtr(elegance)}) through(g, cat);
  EXPECT_EQ(gpuref::compare(through(brenlow, rocket), lookup(rocket, "lookup_brenlow.png"), 0, 0).badPixels, 0);
  const gfx::Image second = through(elegance, rocket);
  const gfx::Image fresh = through(std::make_shared<GPUSoftEleganceFilter>(), rocket);
  EXPECT_EQ(gpuref::compare(second, fresh, 0, 0).badPixels, 0);
}

// The groups are made while the resources point at a folder without their
// tables: through the program's own seam, as the GL driver's threads read the
// environment at any time and a change of it under them can end the process.
TEST(LookupGroups, AMissingTableIsLoggedAndFramesStillPass) {
  const auto empty = std::filesystem::temp_directory_path() / "flipdesk-no-lookups";
  std::filesystem::create_directories(empty);
  fd::paths::setResourcesOverride(empty);
  auto vastrel = std::make_shared<GPUVastrelFilter>();
  auto elegance = std::make_shared<GPUSoftEleganceFilter>();
  fd::paths::setResourcesOverride({});
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image graded = through(std::make_shared<GPUVastrelFilter>(), cat);
  for (const StagePtr& g : {StagePtr(vastrel), StagePtr(elegance)}) {
    auto target = std::make_shared<gputest::RecordingTarget>();
    g->addTarget(target);
    const gfx::Image out = through(g, cat);
    EXPECT_EQ(out.pixelWidth(), 150);
    EXPECT_EQ(target->frames, 1);
    if (g == vastrel) EXPECT_GT(gpuref::compare(out, graded, 0, 0).badPixels, 0) << "made with its table";
  }
}

// --- members and forwarding

struct Shape {
  std::function<std::shared_ptr<GPUFilterGroup>()> make;
  std::size_t members;
};

TEST(FilterGroupMembers, EachMemberOnceWithInitialAndTerminalAmongThemAndAForcedSizeReachingAll) {
  const std::vector<std::pair<std::string, Shape>> shapes = {
      {"adaptive threshold", {[] { return std::make_shared<GPUAdaptiveThresholdFilter>(); }, 3}},
      {"closing", {[] { return std::make_shared<GPUClosingFilter>(); }, 2}},
      {"opening", {[] { return std::make_shared<GPUOpeningFilter>(3); }, 2}},
      {"rgb closing", {[] { return std::make_shared<GPURGBClosingFilter>(); }, 2}},
      {"rgb opening", {[] { return std::make_shared<GPURGBOpeningFilter>(); }, 2}},
      {"selective blur", {[] { return std::make_shared<GPUGaussianSelectiveBlurFilter>(); }, 2}},
      {"tilt shift", {[] { return std::make_shared<GPUTiltShiftFilter>(); }, 2}},
      {"unsharp mask", {[] { return std::make_shared<GPUUnsharpMaskFilter>(); }, 2}},
      {"low pass", {[] { return std::make_shared<GPULowPassFilter>(); }, 2}},
      {"high pass", {[] { return std::make_shared<GPUHighPassFilter>(); }, 2}},
      {"smooth toon", {[] { return std::make_shared<GPUSmoothToonFilter>(); }, 2}},
      {"soft elegance", {[] { return std::make_shared<GPUSoftEleganceFilter>(); }, 4}},
      {"brenlow", {[] { return std::make_shared<GPUBrenlowFilter>(); }, 1}},
      {"vastrel", {[] { return std::make_shared<GPUVastrelFilter>(); }, 1}},
  };
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  for (const auto& [name, shape] : shapes) {
    SCOPED_TRACE(name);
    auto g = shape.make();
    ASSERT_EQ(g->filterCount(), shape.members);
    std::set<GPUFilterStage*> members;
    for (std::size_t i = 0; i < g->filterCount(); ++i) {
      ASSERT_NE(g->filterAtIndex(i), nullptr);
      EXPECT_TRUE(members.insert(g->filterAtIndex(i).get()).second) << "member " << i << " added twice";
    }
    EXPECT_TRUE(members.count(g->terminalFilter().get()));
    ASSERT_FALSE(g->initialFilters().empty());
    for (const auto& f : g->initialFilters()) EXPECT_TRUE(members.count(f.get()));

    g->forceProcessingAtSize({48, 32});
    EXPECT_EQ(through(g, cat).pixelWidth(), 48);
    for (std::size_t i = 0; i < g->filterCount(); ++i) {
      const gfx::Image image = g->filterAtIndex(i)->newCGImageFromCurrentlyProcessedOutput();
      EXPECT_EQ(image.pixelWidth(), 48) << "member " << i;
      EXPECT_EQ(image.pixelHeight(), 32) << "member " << i;
    }
  }
}

// (The defaults the groups draw with are checked by the renders above.)
TEST(FilterGroupMembers, PropertiesSetOnTheGroupAreReadOnTheMember) {
  GPUAdaptiveThresholdFilter adaptive;
  EXPECT_EQ(adaptive.boxBlurFilter()->blurSize(), 1.0f);
  adaptive.setBlurSize(2.5f);
  EXPECT_EQ(adaptive.boxBlurFilter()->blurSize(), 2.5f);

  GPUGaussianSelectiveBlurFilter selective;
  EXPECT_EQ(selective.blurFilter()->blurSize(), 2.0f);
  selective.setBlurSize(3.0f);
  EXPECT_EQ(selective.blurFilter()->blurSize(), 3.0f);

  GPUTiltShiftFilter tilt;
  EXPECT_EQ(tilt.blurFilter()->blurSize(), 2.0f);
  tilt.setBlurSize(0.75f);
  EXPECT_EQ(tilt.blurFilter()->blurSize(), 0.75f);

  GPUHighPassFilter high;
  EXPECT_EQ(high.lowPassFilter()->dissolveBlendFilter()->mix(), 0.5f);
  high.setFilterStrength(0.8f);
  EXPECT_EQ(high.lowPassFilter()->dissolveBlendFilter()->mix(), 0.8f);
  EXPECT_EQ(high.filterStrength(), 0.8f);

  GPUSmoothToonFilter toon;
  EXPECT_EQ(toon.blurFilter()->blurSize(), 0.5f);
  toon.setThreshold(0.35f);
  toon.setQuantizationLevels(6.0f);
  toon.setTexelWidth(0.01f);
  toon.setTexelHeight(0.02f);
  EXPECT_EQ(toon.toonFilter()->threshold(), 0.35f);
  EXPECT_EQ(toon.toonFilter()->quantizationLevels(), 6.0f);
  EXPECT_EQ(toon.toonFilter()->texelWidth(), 0.01f);
  EXPECT_EQ(toon.toonFilter()->texelHeight(), 0.02f);
  EXPECT_TRUE(toon.toonFilter()->hasOverriddenImageSizeFactor());

  GPUSoftEleganceFilter elegance;
  EXPECT_FLOAT_EQ(dynamic_cast<GPUGaussianBlurFilter&>(*elegance.filterAtIndex(1)).blurSize(), 9.7f);
  EXPECT_FLOAT_EQ(dynamic_cast<GPUAlphaBlendFilter&>(*elegance.filterAtIndex(2)).mix(), 0.14f);

  GPUOpeningFilter opening;
  EXPECT_TRUE(isClass(*opening.dilationFilter(), "GPUDilationFilter"));
  EXPECT_TRUE(isClass(*opening.erosionFilter(), "GPUErosionFilter"));
  EXPECT_EQ(opening.initialFilters().front(), opening.erosionFilter());
  GPUClosingFilter closing;
  EXPECT_EQ(closing.initialFilters().front(), closing.dilationFilter());
  EXPECT_NE(closing.dilationFilter(), closing.erosionFilter());
}

TEST(FilterGroupMembers, SelectiveBlurTakesItsAspectRatioFromTheInputUntilOneIsSet) {
  GPUGaussianSelectiveBlurFilter g;
  g.setInputSize({640, 480}, 0);
  EXPECT_NEAR(g.aspectRatio(), 1.3333f, 1e-4f);
  g.setInputSize({0, 0}, 0);
  EXPECT_NEAR(g.aspectRatio(), 1.3333f, 1e-4f);
  g.setInputSize({100, 50}, 0);
  EXPECT_EQ(g.aspectRatio(), 2.0f);
  EXPECT_FALSE(g.hasOverriddenAspectRatio());
  g.setAspectRatio(1.0f);
  EXPECT_TRUE(g.hasOverriddenAspectRatio());
  g.setInputSize({640, 480}, 0);
  EXPECT_EQ(g.aspectRatio(), 1.0f);
}

TEST(FilterGroupRegistry, AConfigurationChainsEveryGroupWithItsMessages) {
  GPUFilterRegistry::registerCoreFilters();
  auto attrs = [](fd::Dictionary d) { return fd::Value(std::move(d)); };
  const std::vector<std::pair<std::string, fd::Value>> entries = {
      {"GPUAdaptiveThresholdFilter", attrs({{"setBlurSize:", fd::Value("float(2)")}})},
      {"GPUClosingFilter", {}}, {"GPUOpeningFilter", {}}, {"GPURGBClosingFilter", {}}, {"GPURGBOpeningFilter", {}},
      {"GPUGaussianSelectiveBlurFilter",
       attrs({{"setExcludeCirclePoint:", fd::Value("CGPoint(0.25, 0.75)")}, {"setAspectRatio:", fd::Value("float(1)")}})},
      {"GPUTiltShiftFilter", attrs({{"setTopFocusLevel:", fd::Value("float(0.3)")}})},
      {"GPUUnsharpMaskFilter", attrs({{"setIntensity:", fd::Value("float(1.5)")}})},
      {"GPULowPassFilter", attrs({{"setFilterStrength:", fd::Value("float(0.3)")}})},
      {"GPUHighPassFilter", attrs({{"setFilterStrength:", fd::Value("float(0.6)")}})},
      {"GPUSmoothToonFilter", attrs({{"setQuantizationLevels:", fd::Value("float(5)")}})},
      {"GPUSoftEleganceFilter", {}}, {"GPUBrenlowFilter", {}}, {"GPUVastrelFilter", {}}};
  fd::Array list;
  for (const auto& [name, a] : entries) {
    fd::Dictionary e{{"FilterName", fd::Value(name)}};
    if (!a.isNull()) e["Attributes"] = a;
    list.push_back(fd::Value(std::move(e)));
  }
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto output = std::make_shared<gputest::RecordingTarget>();
  auto pipeline = GPUFilterPipeline::withConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(list)}}),
                                                       picture, output);
  ASSERT_TRUE(pipeline.ok()) << pipeline.error();
  const auto filters = (*pipeline)->filters();
  ASSERT_EQ(filters.size(), entries.size());
  for (std::size_t i = 0; i < filters.size(); ++i) EXPECT_TRUE(isClass(*filters[i], entries[i].first)) << entries[i].first;
  EXPECT_EQ(dynamic_cast<GPUAdaptiveThresholdFilter&>(*filters[0]).blurSize(), 2.0f);
  auto& selective = dynamic_cast<GPUGaussianSelectiveBlurFilter&>(*filters[5]);
  EXPECT_EQ(selective.excludeCirclePoint(), (gfx::Point{0.25f, 0.75f}));
  EXPECT_TRUE(selective.hasOverriddenAspectRatio());
  EXPECT_FLOAT_EQ(dynamic_cast<GPUTiltShiftFilter&>(*filters[6]).topFocusLevel(), 0.3f);
  EXPECT_FLOAT_EQ(dynamic_cast<GPUUnsharpMaskFilter&>(*filters[7]).intensity(), 1.5f);
  EXPECT_FLOAT_EQ(dynamic_cast<GPULowPassFilter&>(*filters[8]).filterStrength(), 0.3f);
  EXPECT_FLOAT_EQ(dynamic_cast<GPUHighPassFilter&>(*filters[9]).filterStrength(), 0.6f);
  EXPECT_FLOAT_EQ(dynamic_cast<GPUSmoothToonFilter&>(*filters[10]).quantizationLevels(), 5.0f);
  picture->processImage();
  gputest::drainProcessingQueue();
  EXPECT_EQ(output->frames, 1);
}

}  // namespace
