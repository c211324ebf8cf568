// Every stock filter class is in the registry, and one pipeline
// configuration naming them all builds each, with messages reaching them.
#include <gtest/gtest.h>

#include <typeinfo>

#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/colour/GPUColorAdjustmentFilters.h"
#include "gpu/filters/stylise/GPUStylisingFilters.h"
#include "gpu/filters/utility/GPUUtilityFilters.h"

namespace {

const std::vector<std::string> kStockClasses = {
    "GPUBrightnessFilter", "GPUExposureFilter", "GPUContrastFilter", "GPUSaturationFilter", "GPUGammaFilter",
    "GPUColorInvertFilter", "GPUOpacityFilter", "GPURGBFilter", "GPUPosterizeFilter", "GPULuminanceThresholdFilter",
    "GPUColorMatrixFilter", "GPUSepiaFilter", "GPUHueFilter", "GPUMonochromeFilter", "GPUFalseColorFilter",
    "GPUHazeFilter", "GPUHighlightShadowFilter", "GPUWhiteBalanceFilter", "GPUChromaKeyFilter", "GPULevelsFilter",
    "GPUToneCurveFilter", "GPUBulgeDistortionFilter", "GPUPinchDistortionFilter", "GPUStretchDistortionFilter",
    "GPUSwirlFilter", "GPUSphereRefractionFilter", "GPUGlassSphereFilter", "GPUTransformFilter", "GPUCropFilter",
    "GPUPixellateFilter", "GPUHalftoneFilter", "GPUPolkaDotFilter", "GPUPixellatePositionFilter",
    "GPUPolarPixellateFilter", "GPUCrosshatchFilter", "GPUCGAColorspaceFilter", "GPUKuwaharaFilter",
    "GPUSharpenFilter", "GPUVignetteFilter", "GPUSolidColorGenerator", "GPUPerlinNoiseFilter",
    "GPUCrosshairGenerator", "GPULineGenerator", "GPUParallelCoordinateLineTransformFilter", "GPUBuffer",
    "GPUColorPackingFilter", "GPUDirectionalNonMaximumSuppressionFilter"};

}  // namespace

TEST(StockFilterRegistry, AConfigurationNamingEveryClassBuildsEach) {
  GPUFilterRegistry::registerCoreFilters();
  fd::Array entries;
  for (const std::string& name : kStockClasses) {
    fd::Dictionary entry{{"FilterName", fd::Value(name)}};
    if (name == "GPUBrightnessFilter") entry["Attributes"] = fd::Value(fd::Dictionary{{"setBrightness:", fd::Value("float(0.25)")}});
    if (name == "GPUVignetteFilter")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setVignetteCenter:", fd::Value("CGPoint(0.25, 0.75)")}});
    if (name == "GPUBuffer") entry["Attributes"] = fd::Value(fd::Dictionary{{"setBufferSize:", fd::Value("float(3)")}});
    entries.push_back(fd::Value(std::move(entry)));
  }
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto output = std::make_shared<gputest::RecordingTarget>();
  auto pipeline = GPUFilterPipeline::withConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(entries)}}),
                                                       picture, output);
  ASSERT_TRUE(pipeline.ok()) << pipeline.error();
  const auto filters = (*pipeline)->filters();
  ASSERT_EQ(filters.size(), kStockClasses.size());
  for (std::size_t i = 0; i < filters.size(); ++i) {
    EXPECT_TRUE(stocktest::isClass(*filters[i], kStockClasses[i])) << kStockClasses[i] << " made " << typeid(*filters[i]).name();
    auto* filter = dynamic_cast<GPUFilter*>(filters[i].get());
    ASSERT_NE(filter, nullptr);
    EXPECT_NE(filter->filterProgram(), nullptr) << kStockClasses[i] << ": its shaders did not build";
  }
  EXPECT_EQ(dynamic_cast<GPUBrightnessFilter&>(*filters[0]).brightness(), 0.25f);
  EXPECT_EQ(dynamic_cast<GPUVignetteFilter&>(*filters[38]).vignetteCenter(), (gfx::Point{0.25f, 0.75f}));
  EXPECT_EQ(dynamic_cast<GPUBuffer&>(*filters[44]).bufferSize(), 3u);
  // A frame runs through the whole chain to the end.
  picture->processImage();
  gputest::drainProcessingQueue();
  EXPECT_EQ(output->frames, 1);
}
