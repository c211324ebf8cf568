// The groups built on the reductions against their members run one by one,
// and every reduction class made from a pipeline configuration.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/filters/ReductionCase.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/reduction/GPUReductionGroups.h"

using namespace stocktest;

namespace {

gfx::Image runStage(const gfx::Image& picture, const std::shared_ptr<GPUFilterStage>& stage) {
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(stage);
  source->processImage();
  gputest::drainProcessingQueue();
  return stage->newCGImageFromCurrentlyProcessedOutput();
}

// The mean luminance the luminosity filter measures on its own.
float measuredLuminance(const gfx::Image& picture) {
  auto luminosity = std::make_shared<GPULuminosity>();
  std::atomic<float> measured{-1};
  luminosity->setLuminosityProcessingFinishedBlock([&measured](float l, CMTime) { measured = l; });
  runStage(picture, luminosity);
  return measured;
}

}  // namespace

TEST(AverageLuminanceThreshold, ThresholdsEachPhotoAtItsMeasuredLuminanceTimesTheMultiplier) {
  for (const char* name : {"gpu_cat.png", "gpu_rocket.png", "gpu_headphones.png"}) {
    for (float multiplier : {1.0f, 0.6f, 1.4f}) {
      SCOPED_TRACE(std::string(name) + " x " + std::to_string(multiplier));
      const gfx::Image photo = gpuref::loadPicture(name);
      const float luminance = measuredLuminance(photo);
      ASSERT_GT(luminance, 0.0f);

      auto group = std::make_shared<GPUAverageLuminanceThresholdFilter>();
      EXPECT_EQ(group->thresholdMultiplier(), 1.0f);
      group->setThresholdMultiplier(multiplier);
      const gfx::Image grouped = runStage(photo, group);
      EXPECT_FLOAT_EQ(group->luminanceThresholdFilter()->threshold(), multiplier * luminance);

      auto alone = std::make_shared<GPULuminanceThresholdFilter>();
      alone->setThreshold(multiplier * luminance);
      const gfx::Image expected = runStage(photo, alone);
      const auto result = gpuref::compare(grouped, expected, 0, 0);
      EXPECT_EQ(result.badPixels, 0) << result.firstBad;
      // Neither all black nor all white: the threshold sits inside the photo's range.
      int white = 0;
      for (int y = 0; y < grouped.pixelHeight(); ++y)
        for (int x = 0; x < grouped.pixelWidth(); ++x) white += grouped.pixel(x, y)[0] > 127;
      EXPECT_GT(white, 0);
      EXPECT_LT(white, grouped.pixelWidth() * grouped.pixelHeight());
    }
  }
}

TEST(AverageLuminanceThreshold, TheFrameMeasuredIsTheFrameThresholded) {
  // A dark frame and then a light one through the same group: each is cut
  // at its own mean, not at the one before.
  auto group = std::make_shared<GPUAverageLuminanceThresholdFilter>();
  const gfx::Image dark = solid(64, 64, {40, 40, 40, 255});
  gfx::Image light = solid(64, 64, {200, 200, 200, 255});
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) std::fill_n(light.pixel(x, y), 3, 240);
  const gfx::Image first = runStage(dark, group);
  EXPECT_NEAR(group->luminanceThresholdFilter()->threshold(), 40 / 255.0f, 1.0f / 255);
  const gfx::Image second = runStage(light, group);
  EXPECT_NEAR(group->luminanceThresholdFilter()->threshold(), 220 / 255.0f, 1.0f / 255);
  // The lighter half lies above the mean, the darker below.
  EXPECT_EQ(second.pixel(10, 10)[0], 255);
  EXPECT_EQ(second.pixel(10, 50)[0], 0);
}

namespace {

struct Motion {
  gfx::Point centroid;
  float intensity;
};

// What a callback reported, frame by frame.
struct MotionLog {
  std::mutex m;
  std::vector<Motion> seen;
  void add(Motion v) {
    std::lock_guard lock(m);
    seen.push_back(v);
  }
};

// A 128 x 64 corner of the cat (sides every stage divides by 4), and the
// same with a white 16 x 16 patch at (96, 32).
gfx::Image stillFrame() { return reductiontest::crop(gpuref::loadPicture("gpu_cat.png"), 128, 64); }
gfx::Image movedFrame() {
  gfx::Image frame = stillFrame();
  for (int y = 32; y < 48; ++y)
    for (int x = 96; x < 112; ++x) std::fill_n(frame.pixel(x, y), 4, 255);
  return frame;
}

}  // namespace

TEST(MotionDetector, AStillSceneSettlesToNoMotionAndAPatchIsFoundWhereItAppears) {
  auto detector = std::make_shared<GPUMotionDetector>();
  MotionLog log;
  detector->setMotionDetectionBlock([&log](gfx::Point c, float i, CMTime) { log.add({c, i}); });
  reductiontest::FrameFeeder feeder({128, 64});
  feeder.source().addTarget(detector);
  const gfx::Image still = stillFrame(), moved = movedFrame();
  for (int k = 0; k < 12; ++k) feeder.send(still);
  ASSERT_EQ(log.seen.size(), 12u);
  // The low pass has caught up with the still picture: nothing moves, and
  // the centroid is a number, not 0 / 0.
  EXPECT_EQ(log.seen.back().intensity, 0.0f);
  EXPECT_EQ(log.seen.back().centroid, (gfx::Point{0, 0}));

  feeder.send(moved);
  ASSERT_EQ(log.seen.size(), 13u);
  // The CPU's answer: pixels whose colour moved at least 0.2 from the
  // settled past, their share and the mean of their texture coordinates.
  const gfx::Image before = gpuref::uploaded(still), after = gpuref::uploaded(moved);
  double count = 0, sx = 0, sy = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 128; ++x) {
      double d2 = 0;
      for (int c = 0; c < 3; ++c) {
        const double d = (after.pixel(x, y)[c] - before.pixel(x, y)[c]) / 255.0;
        d2 += d * d;
      }
      if (std::sqrt(d2) >= 0.2) {
        ++count;
        sx += (x + 0.5) / 128;
        sy += (y + 0.5) / 64;
      }
    }
  ASSERT_GT(count, 200);
  const Motion m = log.seen.back();
  EXPECT_NEAR(m.intensity, count / (128 * 64), 2.0 / 255);
  EXPECT_NEAR(m.centroid.x, sx / count, 0.01);
  EXPECT_NEAR(m.centroid.y, sy / count, 0.01);
  feeder.source().removeAllTargets();
}

TEST(MotionDetector, ReportsWhatItsMembersRunOneByOneMeasure) {
  // The same chain built by hand: low pass, comparison at its second input,
  // colour average; its means turned into centroid and intensity.
  auto lowPass = std::make_shared<GPULowPassFilter>();
  auto comparison = std::make_shared<GPUTwoInputFilter>(kGPUMotionComparisonFragmentShaderString);
  auto average = std::make_shared<GPUAverageColor>();
  lowPass->setFilterStrength(0.8f);
  lowPass->addTarget(comparison, 1);
  comparison->addTarget(average);
  MotionLog byHand, grouped;
  average->setColorAverageProcessingFinishedBlock([&byHand](float r, float g, float, float a, CMTime) {
    byHand.add({a > 0 ? gfx::Point{r / a, g / a} : gfx::Point{0, 0}, a});
  });
  reductiontest::FrameFeeder handFeeder({128, 64});
  handFeeder.source().addTarget(lowPass);
  handFeeder.source().addTarget(comparison);

  auto detector = std::make_shared<GPUMotionDetector>();
  EXPECT_EQ(detector->lowPassFilterStrength(), 0.5f);
  detector->setLowPassFilterStrength(0.8f);
  EXPECT_EQ(detector->lowPassFilter()->filterStrength(), 0.8f);
  detector->setMotionDetectionBlock([&grouped](gfx::Point c, float i, CMTime) { grouped.add({c, i}); });
  reductiontest::FrameFeeder feeder({128, 64});
  feeder.source().addTarget(detector);

  const gfx::Image still = stillFrame(), moved = movedFrame();
  for (const gfx::Image* frame : {&still, &still, &still, &moved, &moved, &still, &moved}) {
    handFeeder.send(*frame);
    feeder.send(*frame);
  }
  ASSERT_EQ(byHand.seen.size(), 7u);
  ASSERT_EQ(grouped.seen.size(), 7u);
  for (std::size_t i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(grouped.seen[i].intensity, byHand.seen[i].intensity);
    EXPECT_EQ(grouped.seen[i].centroid, byHand.seen[i].centroid);
  }
  // The patch arriving and leaving both count as motion.
  EXPECT_GT(grouped.seen[3].intensity, 0.02f);
  EXPECT_GT(grouped.seen[5].intensity, 0.02f);
  // The comparison's picture is the group's output.
  const gfx::Image out = detector->newCGImageFromCurrentlyProcessedOutput();
  EXPECT_EQ(out.pixelWidth(), 128);
  EXPECT_EQ(out.pixel(100, 40)[3], 255);
  handFeeder.source().removeAllTargets();
  feeder.source().removeAllTargets();
}

TEST(ReductionRegistry, AConfigurationMakesEachClassWithItsMessages) {
  GPUFilterRegistry::registerCoreFilters();
  const std::vector<std::string> names = {"GPUAverageColor",       "GPULuminosity",
                                          "GPUHistogramFilter",    "GPUHistogramGenerator",
                                          "GPUMotionDetector",     "GPUAverageLuminanceThresholdFilter"};
  fd::Array entries;
  for (const std::string& name : names) {
    fd::Dictionary entry{{"FilterName", fd::Value(name)}};
    if (name == "GPUHistogramFilter")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setDownsamplingFactor:", fd::Value("float(4)")}});
    if (name == "GPUMotionDetector")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setLowPassFilterStrength:", fd::Value("float(0.25)")}});
    if (name == "GPUAverageLuminanceThresholdFilter")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setThresholdMultiplier:", fd::Value("float(0.75)")}});
    entries.push_back(fd::Value(std::move(entry)));
  }
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto output = std::make_shared<gputest::RecordingTarget>();
  auto pipeline = GPUFilterPipeline::withConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(entries)}}),
                                                       picture, output);
  ASSERT_TRUE(pipeline.ok()) << pipeline.error();
  const auto filters = (*pipeline)->filters();
  ASSERT_EQ(filters.size(), names.size());
  for (std::size_t i = 0; i < filters.size(); ++i) {
    EXPECT_TRUE(isClass(*filters[i], names[i])) << names[i];
    if (auto* filter = dynamic_cast<GPUFilter*>(filters[i].get())) {
      EXPECT_NE(filter->filterProgram(), nullptr) << names[i];
    }
  }
  EXPECT_EQ(dynamic_cast<GPUHistogramFilter&>(*filters[2]).downsamplingFactor(), 4u);
  EXPECT_EQ(dynamic_cast<GPUHistogramFilter&>(*filters[2]).histogramType(), GPUHistogramType::RGB);
  auto& detector = dynamic_cast<GPUMotionDetector&>(*filters[4]);
  EXPECT_EQ(detector.lowPassFilterStrength(), 0.25f);
  EXPECT_EQ(dynamic_cast<GPUAverageLuminanceThresholdFilter&>(*filters[5]).thresholdMultiplier(), 0.75f);
  // Chaining the pipeline left the detector's average in place: its callback runs.
  std::atomic<int> reports{0};
  detector.setMotionDetectionBlock([&reports](gfx::Point, float, CMTime) { ++reports; });
  picture->processImage();
  gputest::drainProcessingQueue();
  EXPECT_EQ(output->frames, 1);
  EXPECT_EQ(reports, 1);
}
