// Mean colour, mean luminance, histograms and the histogram chart against
// what the photos hold, counted on the CPU: the stage plan, the callbacks'
// values, kinds and sampling of the histogram, sizes changing between reads,
// inputs too small to reduce, and the bars drawn from counted bins.
#include <gtest/gtest.h>

#include <mutex>

#include "gpu/GpuTestSupport.h"
#include "gpu/filters/ReductionCase.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/reduction/GPUReductionFilters.h"

using namespace stocktest;
using reductiontest::crop;

namespace {

constexpr float kW[3] = {0.2125f, 0.7154f, 0.0721f};

// What the callbacks were called with, collected on the processing queue.
struct Reported {
  std::mutex m;
  std::vector<std::array<float, 4>> values;
  std::vector<CMTime> times;
  void add(std::array<float, 4> v, CMTime t) {
    std::lock_guard lock(m);
    values.push_back(v);
    times.push_back(t);
  }
};

void watch(GPUAverageColor& filter, Reported& reported) {
  filter.setColorAverageProcessingFinishedBlock(
      [&reported](float r, float g, float b, float a, CMTime t) { reported.add({r, g, b, a}, t); });
}
void watch(GPULuminosity& filter, Reported& reported) {
  filter.setLuminosityProcessingFinishedBlock([&reported](float l, CMTime t) { reported.add({l, 0, 0, 0}, t); });
}

// One frame of the picture through the filter; waits for it.
void process(const gfx::Image& picture, const std::shared_ptr<GPUFilterStage>& filter) {
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(filter);
  source->processImage();
  gputest::drainProcessingQueue();
  source->removeAllTargets();
}

// The exact mean of each channel of the uploaded (premultiplied) picture.
std::array<double, 4> meanColour(const gfx::Image& picture) {
  const gfx::Image up = gpuref::uploaded(picture);
  std::array<double, 4> sum{};
  for (int y = 0; y < up.pixelHeight(); ++y)
    for (int x = 0; x < up.pixelWidth(); ++x)
      for (int c = 0; c < 4; ++c) sum[c] += up.pixel(x, y)[c];
  const double n = static_cast<double>(up.pixelWidth()) * up.pixelHeight() * 255.0;
  for (double& s : sum) s /= n;
  return sum;
}
double meanLuminance(const gfx::Image& picture) {
  const auto m = meanColour(picture);
  return m[0] * kW[0] + m[1] * kW[1] + m[2] * kW[2];
}

const char* const kPhotos[] = {"gpu_cat.png", "gpu_headphones.png", "gpu_rocket.png"};

// The bins of the pixels a histogram samples: every factor - 1 pixels in
// memory order (every pixel for factor 1), width x height / factor of them.
// `value` gives a pixel's bin, or -1 where the bin lies within rounding of a
// column edge (those may land on either side).
struct Counted {
  std::array<int, 256> sure{};
  std::array<int, 256> either{};  // ambiguous pixels that may land here
};
Counted countBins(const gfx::Image& picture, unsigned factor, const std::function<double(const std::uint8_t*)>& value) {
  const gfx::Image up = gpuref::uploaded(picture);
  const std::size_t w = up.pixelWidth(), n = w * up.pixelHeight() / factor;
  const std::size_t step = factor <= 1 ? 1 : factor - 1;
  Counted c;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = k * step;
    const double v = value(up.pixel(static_cast<int>(i % w), static_cast<int>(i / w)));
    const double frac = v - std::floor(v);
    // Points are placed on a grid of 1/256 pixel: a bin within 1/50 of a
    // column edge may land on either side.
    if (std::abs(frac - 0.5) < 0.02) {
      ++c.either[static_cast<int>(std::floor(v))];
      ++c.either[std::min(255, static_cast<int>(std::floor(v)) + 1)];
    } else {
      ++c.sure[static_cast<int>(std::floor(v + 0.5))];
    }
  }
  return c;
}

// Every bin of the channel of the histogram's middle row within what the
// counts allow (8-bit bins saturate at 255).
void expectBins(const gfx::Image& histogram, int channel, const Counted& counted) {
  ASSERT_EQ(histogram.pixelWidth(), 256);
  ASSERT_EQ(histogram.pixelHeight(), 3);
  for (int bin = 0; bin < 256; ++bin) {
    const int got = histogram.pixel(bin, 1)[channel];
    const int low = std::min(255, counted.sure[bin]), high = std::min(255, counted.sure[bin] + counted.either[bin]);
    EXPECT_TRUE(got >= low && got <= high) << "channel " << channel << " bin " << bin << ": " << got << ", counted "
                                           << low << ".." << high;
  }
}

gfx::Image histogramOf(const gfx::Image& picture, GPUHistogramType type, unsigned factor = 16) {
  auto histogram = std::make_shared<GPUHistogramFilter>(type);
  histogram->setDownsamplingFactor(factor);
  process(picture, histogram);
  return histogram->newCGImageFromCurrentlyProcessedOutput();
}

double channelValue(const std::uint8_t* p, int c) { return p[c]; }
double luminanceValue(const std::uint8_t* p) { return p[0] * kW[0] + p[1] * kW[1] + p[2] * kW[2]; }

}  // namespace

TEST(ReductionStages, EachStageQuartersBothSidesWhileTheyStayAtLeastTwo) {
  using S = std::vector<gfx::Size>;
  EXPECT_EQ(reductionStageSizes({640, 480}), (S{{160, 120}, {40, 30}, {10, 7}}));
  EXPECT_EQ(reductionStageSizes({64, 64}), (S{{16, 16}, {4, 4}}));
  EXPECT_EQ(reductionStageSizes({150, 100}), (S{{37, 25}, {9, 6}}));
  EXPECT_EQ(reductionStageSizes({8, 8}), (S{{2, 2}}));
  // Below 8 on either side no stage fits.
  EXPECT_TRUE(reductionStageSizes({7, 640}).empty());
  EXPECT_TRUE(reductionStageSizes({640, 7}).empty());
  EXPECT_TRUE(reductionStageSizes({0, 0}).empty());

  // The filter draws the planned chain, and hands its targets the last stage.
  auto average = std::make_shared<GPUAverageColor>();
  auto target = std::make_shared<gputest::RecordingTarget>();
  average->addTarget(target);
  process(solid(640, 480, {10, 20, 30, 255}), average);
  EXPECT_EQ(average->stageSizes(), (S{{160, 120}, {40, 30}, {10, 7}}));
  EXPECT_EQ(target->size, (gfx::Size{10, 7}));
  EXPECT_EQ(target->frames, 1);
  const gfx::Image last = average->newCGImageFromCurrentlyProcessedOutput();
  ASSERT_EQ(last.pixelWidth(), 10);
  ASSERT_EQ(last.pixelHeight(), 7);
  EXPECT_NEAR(last.pixel(5, 3)[1], 20, 1);
}

namespace {

// The photos as they are, and cut to sides every stage divides by 4.
std::vector<std::pair<gfx::Image, double>> photosWithTolerance() {
  std::vector<std::pair<gfx::Image, double>> out;
  for (const char* name : kPhotos) {
    const gfx::Image photo = gpuref::loadPicture(name);
    // A side that is no multiple of 4 leaves up to 3 pixels of a stage
    // outside the 4 x 4 blocks: the mean is then near, not exact.
    const bool exact = photo.pixelWidth() % 16 == 0 && photo.pixelHeight() % 16 == 0;
    out.emplace_back(photo, exact ? 1.0 / 255 : 2.0 / 255);
    if (!exact) out.emplace_back(crop(photo, 128, 64), 1.0 / 255);
  }
  return out;
}

}  // namespace

TEST(AverageColor, CallbackGetsThePhotosMeanColourOncePerFrame) {
  int i = 0;
  for (const auto& [photo, tolerance] : photosWithTolerance()) {
    SCOPED_TRACE(i++);
    auto average = std::make_shared<GPUAverageColor>();
    Reported reported;
    watch(*average, reported);
    process(photo, average);
    process(photo, average);
    ASSERT_EQ(reported.values.size(), 2u);
    const auto expected = meanColour(photo);
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(reported.values[0][c], expected[c], tolerance) << "channel " << c;
    EXPECT_EQ(reported.values[0], reported.values[1]);
    // A still picture's frames carry the indefinite time, passed on unchanged.
    EXPECT_TRUE(CMTIME_IS_INDEFINITE(reported.times[0]));
  }
}

TEST(AverageColor, AskedRotationsAreIgnored) {
  const gfx::Image photo = gpuref::loadPicture("gpu_cat.png");
  auto average = std::make_shared<GPUAverageColor>();
  Reported reported;
  watch(*average, reported);
  auto source = std::make_shared<GPUPicture>(photo);
  source->addTarget(average);
  performOnProcessingQueueSync([&] { average->setInputRotation(RotationRight, 0); });
  EXPECT_EQ(average->inputRotation(), RotationNone);
  source->processImage();
  gputest::drainProcessingQueue();
  EXPECT_EQ(average->stageSizes(), (std::vector<gfx::Size>{{37, 25}, {9, 6}}));
  ASSERT_EQ(reported.values.size(), 1u);
  EXPECT_NEAR(reported.values[0][0], meanColour(photo)[0], 1.0 / 255);
}

TEST(Luminosity, CallbackGetsThePhotosMeanLuminance) {
  int i = 0;
  for (const auto& [photo, tolerance] : photosWithTolerance()) {
    SCOPED_TRACE(i++);
    auto luminosity = std::make_shared<GPULuminosity>();
    ASSERT_NE(luminosity->filterProgram(), nullptr);
    Reported reported;
    watch(*luminosity, reported);
    process(photo, luminosity);
    ASSERT_EQ(reported.values.size(), 1u);
    EXPECT_NEAR(reported.values[0][0], meanLuminance(photo), tolerance);
    EXPECT_TRUE(CMTIME_IS_INDEFINITE(reported.times[0]));
  }
}

TEST(AverageColor, ASizeChangeBetweenReadsIsReadWhole) {
  // The last stage grows from 4 x 4 to 9 x 6 and then to 10 x 7 pixels; each
  // read must cover the whole of it.
  const gfx::Image small = gpuref::loadPicture("gpu_headphones.png");
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image large = solid(640, 480, {200, 100, 50, 255});
  auto average = std::make_shared<GPUAverageColor>();
  auto luminosity = std::make_shared<GPULuminosity>();
  Reported colours, luminances;
  watch(*average, colours);
  watch(*luminosity, luminances);
  for (const gfx::Image* picture : {&small, &cat, &large, &small}) {
    process(*picture, average);
    process(*picture, luminosity);
  }
  ASSERT_EQ(colours.values.size(), 4u);
  ASSERT_EQ(luminances.values.size(), 4u);
  const gfx::Image* order[] = {&small, &cat, &large, &small};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const auto expected = meanColour(*order[i]);
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(colours.values[i][c], expected[c], 1.0 / 255);
    EXPECT_NEAR(luminances.values[i][0], meanLuminance(*order[i]), 1.0 / 255);
  }
}

TEST(AverageColor, AnInputTooSmallForAStageIsAveragedWhole) {
  // 7 x 5: no stage fits; the mean comes from the input itself rather than
  // from a division by zero pixels.
  const gfx::Image corner = crop(gpuref::loadPicture("gpu_cat.png"), 7, 5);
  auto average = std::make_shared<GPUAverageColor>();
  auto luminosity = std::make_shared<GPULuminosity>();
  Reported colours, luminances;
  watch(*average, colours);
  watch(*luminosity, luminances);
  process(corner, average);
  process(corner, luminosity);
  EXPECT_TRUE(average->stageSizes().empty());
  ASSERT_EQ(colours.values.size(), 1u);
  ASSERT_EQ(luminances.values.size(), 1u);
  const auto expected = meanColour(corner);
  for (int c = 0; c < 4; ++c) {
    EXPECT_TRUE(std::isfinite(colours.values[0][c]));
    EXPECT_NEAR(colours.values[0][c], expected[c], 0.5 / 255);
  }
  EXPECT_NEAR(luminances.values[0][0], meanLuminance(corner), 0.5 / 255);

  // An input of no pixels has no mean: the callback is not called.
  performOnProcessingQueueSync([&] {
    average->setInputSize({0, 0}, 0);
    average->newFrameReadyAtTime(kCMTimeIndefinite, 0);
  });
  EXPECT_EQ(colours.values.size(), 1u);
}

TEST(Histogram, EachKindCountsTheSampledPixelsOfAPhoto) {
  for (const char* name : {"gpu_cat.png", "gpu_rocket.png"}) {
    SCOPED_TRACE(name);
    const gfx::Image photo = gpuref::loadPicture(name);
    for (int c = 0; c < 3; ++c) {
      SCOPED_TRACE(c);
      const auto counted = countBins(photo, 16, [c](const std::uint8_t* p) { return channelValue(p, c); });
      const gfx::Image h = histogramOf(photo, static_cast<GPUHistogramType>(c));
      expectBins(h, c, counted);
      // The other channels and the other rows stay as cleared.
      for (int bin = 0; bin < 256; ++bin) {
        EXPECT_EQ(h.pixel(bin, 1)[(c + 1) % 3], 0);
        EXPECT_EQ(h.pixel(bin, 0)[c], 0);
        EXPECT_EQ(h.pixel(bin, 2)[c], 0);
      }
    }
    // RGB: three passes into one target, one channel each.
    const gfx::Image rgb = histogramOf(photo, GPUHistogramType::RGB);
    for (int c = 0; c < 3; ++c)
      expectBins(rgb, c, countBins(photo, 16, [c](const std::uint8_t* p) { return channelValue(p, c); }));
    // Luminance raises all three channels of its bin.
    const gfx::Image lum = histogramOf(photo, GPUHistogramType::Luminance);
    const auto counted = countBins(photo, 16, luminanceValue);
    for (int c = 0; c < 3; ++c) expectBins(lum, c, counted);
  }
}

TEST(Histogram, OutputIsAlways256By3AndIgnoresRotation) {
  const gfx::Image photo = gpuref::loadPicture("gpu_headphones.png");
  auto histogram = std::make_shared<GPUHistogramFilter>(GPUHistogramType::Red);
  auto target = std::make_shared<gputest::RecordingTarget>();
  histogram->addTarget(target);
  performOnProcessingQueueSync([&] { histogram->setInputRotation(RotationLeft, 0); });
  EXPECT_EQ(histogram->inputRotation(), RotationNone);
  process(photo, histogram);
  EXPECT_EQ(target->size, (gfx::Size{256, 3}));
  expectBins(histogram->newCGImageFromCurrentlyProcessedOutput(), 0,
             countBins(photo, 16, [](const std::uint8_t* p) { return channelValue(p, 0); }));
}

TEST(Histogram, ASizeChangeBetweenFramesIsCountedWhole) {
  // The point buffer was filled for a 16 x 12 input; a 150 x 100 frame
  // needs a larger one, and a smaller frame after it counts only itself.
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  const gfx::Image corner = crop(cat, 16, 12);
  auto histogram = std::make_shared<GPUHistogramFilter>(GPUHistogramType::Green);
  histogram->setDownsamplingFactor(1);
  const auto green = [](const std::uint8_t* p) { return channelValue(p, 1); };
  for (const gfx::Image* picture : {&corner, &cat, &corner}) {
    process(*picture, histogram);
    expectBins(histogram->newCGImageFromCurrentlyProcessedOutput(), 1, countBins(*picture, 1, green));
  }
}

TEST(Histogram, KindsOutsideTheFiveAndAZeroFactorAreRefused) {
  for (int type : {-1, 5, 42}) EXPECT_FALSE(GPUHistogramFilter::withHistogramType(type).ok()) << type;
  for (int type = 0; type <= 4; ++type) {
    auto made = GPUHistogramFilter::withHistogramType(type);
    ASSERT_TRUE(made.ok()) << type;
    EXPECT_EQ(static_cast<int>((*made)->histogramType()), type);
    EXPECT_NE((*made)->filterProgram(), nullptr) << type;
    EXPECT_EQ((*made)->downsamplingFactor(), 16u);
  }
  // A factor of 0 would divide by zero and step backwards: it means every pixel.
  GPUHistogramFilter histogram(GPUHistogramType::Blue);
  histogram.setDownsamplingFactor(0);
  EXPECT_EQ(histogram.downsamplingFactor(), 1u);
  const gfx::Image corner = crop(gpuref::loadPicture("gpu_rocket.png"), 16, 15);
  auto shared = std::make_shared<GPUHistogramFilter>(GPUHistogramType::Blue);
  shared->setDownsamplingFactor(0);
  process(corner, shared);
  expectBins(shared->newCGImageFromCurrentlyProcessedOutput(), 2,
             countBins(corner, 1, [](const std::uint8_t* p) { return channelValue(p, 2); }));
}

namespace {

// The chart the generator should draw of a histogram picture: a pixel is in
// the colour of the channels whose bin reaches 1 - t, else the background.
// Pixels whose bin lies within rounding of their height are taken as drawn.
gfx::Image referenceChart(const gfx::Image& histogram, const gfx::Image& drawn, int w, int h,
                          std::array<std::uint8_t, 4> background) {
  gfx::Image chart(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float height = 1.0f - (y + 0.5f) / h;
      const std::uint8_t* bin = histogram.pixel(x * 256 / w, 1);
      std::array<std::uint8_t, 4> out = background;
      bool on = false, edge = false;
      std::array<std::uint8_t, 4> t{0, 0, 0, 255};
      for (int c = 0; c < 3; ++c) {
        const float v = bin[c] / 255.0f;
        if (std::abs(v - height) < 1e-3f) edge = true;
        if (v >= height) {
          t[c] = 255;
          on = true;
        }
      }
      if (on) out = t;
      if (edge) std::copy_n(drawn.pixel(x, y), 4, out.data());
      std::copy(out.begin(), out.end(), chart.pixel(x, y));
    }
  return chart;
}

gfx::Image chartOf(const gfx::Image& picture, GPUHistogramType type, unsigned factor, gfx::Size chartSize,
                   const std::array<float, 4>* background, gfx::Image& histogramOut) {
  auto histogram = std::make_shared<GPUHistogramFilter>(type);
  histogram->setDownsamplingFactor(factor);
  auto generator = std::make_shared<GPUHistogramGenerator>();
  if (background != nullptr)
    generator->setBackgroundColorRed((*background)[0], (*background)[1], (*background)[2], (*background)[3]);
  generator->forceProcessingAtSize(chartSize);
  histogram->addTarget(generator);
  process(picture, histogram);
  histogramOut = histogram->newCGImageFromCurrentlyProcessedOutput();
  return generator->newCGImageFromCurrentlyProcessedOutput();
}

}  // namespace

TEST(HistogramGenerator, DrawsThePhotosCountedBinsAsBars) {
  const gfx::Image photo = gpuref::loadPicture("gpu_cat.png");
  gfx::Image histogram;
  const gfx::Image chart = chartOf(photo, GPUHistogramType::RGB, 4, {256, 64}, nullptr, histogram);
  ASSERT_EQ(chart.pixelWidth(), 256);
  ASSERT_EQ(chart.pixelHeight(), 64);
  // The bars stand on the histogram the photo's pixels give.
  for (int c = 0; c < 3; ++c)
    expectBins(histogram, c, countBins(photo, 4, [c](const std::uint8_t* p) { return channelValue(p, c); }));
  const auto result = gpuref::compare(chart, referenceChart(histogram, chart, 256, 64, {0, 0, 0, 0}), 0, 0);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}

TEST(HistogramGenerator, AFullBinFillsItsWholeColumnOverTheBackground) {
  // 32 x 32 pixels of one colour, every pixel counted: three bins saturate.
  const gfx::Image plain = solid(32, 32, {200, 10, 90, 255});
  const std::array<float, 4> grey{0.2f, 0.4f, 0.6f, 1.0f};
  gfx::Image histogram;
  const gfx::Image chart = chartOf(plain, GPUHistogramType::RGB, 1, {256, 40}, &grey, histogram);
  ASSERT_EQ(chart.pixelHeight(), 40);
  EXPECT_EQ(histogram.pixel(200, 1)[0], 255);
  EXPECT_EQ(histogram.pixel(10, 1)[1], 255);
  EXPECT_EQ(histogram.pixel(90, 1)[2], 255);
  for (int y = 0; y < 40; ++y) {
    EXPECT_EQ(chart.pixel(200, y)[0], 255) << y;
    EXPECT_EQ(chart.pixel(200, y)[1], 0) << y;
    EXPECT_EQ(chart.pixel(10, y)[1], 255) << y;
    EXPECT_EQ(chart.pixel(90, y)[2], 255) << y;
    EXPECT_NEAR(chart.pixel(120, y)[0], 51, 1) << y;
    EXPECT_NEAR(chart.pixel(120, y)[1], 102, 1) << y;
    EXPECT_NEAR(chart.pixel(120, y)[2], 153, 1) << y;
  }
  const auto result = gpuref::compare(chart, referenceChart(histogram, chart, 256, 40, {51, 102, 153, 255}), 1, 1);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}
