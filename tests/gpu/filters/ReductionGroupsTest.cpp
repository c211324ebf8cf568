// The groups built on the reductions against their members run one by one,
// and every reduction class made from a pipeline configuration.
#include <gtest/gtest.h>

#include <atomic>

#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GpuTestSupport.h"
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

TEST(ReductionRegistry, AConfigurationMakesEachClassWithItsMessages) {
  GPUFilterRegistry::registerCoreFilters();
  const std::vector<std::string> names = {"GPUAverageColor", "GPULuminosity", "GPUHistogramFilter",
                                          "GPUHistogramGenerator", "GPUAverageLuminanceThresholdFilter"};
  fd::Array entries;
  for (const std::string& name : names) {
    fd::Dictionary entry{{"FilterName", fd::Value(name)}};
    if (name == "GPUHistogramFilter")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setDownsamplingFactor:", fd::Value("float(4)")}});
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
  EXPECT_EQ(dynamic_cast<GPUAverageLuminanceThresholdFilter&>(*filters[4]).thresholdMultiplier(), 0.75f);
  picture->processImage();
  gputest::drainProcessingQueue();
  EXPECT_EQ(output->frames, 1);
}
