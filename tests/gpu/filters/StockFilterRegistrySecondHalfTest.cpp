// The blend, separable, neighbourhood and detection classes are in the
// registry: each is made by its name with its shaders built, and a
// configuration's messages reach them.
#include <gtest/gtest.h>

#include <typeinfo>

#include "gpu/GPUFilterGroup.h"
#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/blend/GPUBlendFilters.h"
#include "gpu/filters/blur/GPUBlurFilters.h"
#include "gpu/filters/detection/GPUDetectionFilters.h"
#include "gpu/filters/neighbourhood/GPU3x3Filters.h"

namespace {

const std::vector<std::string> kBlendClasses = {
    "GPUAlphaBlendFilter", "GPUDissolveBlendFilter", "GPUChromaKeyBlendFilter", "GPUColorBurnBlendFilter",
    "GPUColorDodgeBlendFilter", "GPUDarkenBlendFilter", "GPULightenBlendFilter", "GPUDifferenceBlendFilter",
    "GPUSubtractBlendFilter", "GPUDivideBlendFilter", "GPUExclusionBlendFilter", "GPUHardLightBlendFilter",
    "GPUOverlayBlendFilter", "GPUMultiplyBlendFilter", "GPUScreenBlendFilter", "GPUSoftLightBlendFilter",
    "GPUNormalBlendFilter", "GPUSourceOverBlendFilter", "GPUMaskFilter", "GPULookupFilter"};

// Single-input classes, in a chain a configuration can run.
const std::vector<std::string> kChainClasses = {
    "GPUGaussianBlurFilter", "GPUBilateralFilter", "GPUSingleComponentGaussianBlurFilter", "GPUBoxBlurFilter",
    "GPUFastBlurFilter", "GPUSingleComponentFastBlurFilter", "GPULanczosResamplingFilter", "GPUDilationFilter",
    "GPUErosionFilter", "GPURGBDilationFilter", "GPURGBErosionFilter", "GPU3x3ConvolutionFilter", "GPUEmbossFilter",
    "GPUMedianFilter", "GPULocalBinaryPatternFilter", "GPUNonMaximumSuppressionFilter",
    "GPUThresholdedNonMaximumSuppressionFilter", "GPUWeakPixelInclusionFilter", "GPUToonFilter",
    "GPUimageDirectionalSobelEdgeDetectionFilter", "GPUSobelEdgeDetectionFilter", "GPUPrewittEdgeDetectionFilter",
    "GPUSketchFilter", "GPUXYDerivativeFilter", "GPUThresholdEdgeDetectionFilter", "GPUThresholdSketchFilter",
    "GPUCannyEdgeDetectionFilter", "GPUHarrisCornerDetectionFilter", "GPUNobleCornerDetectionFilter",
    "GPUShiTomasiFeatureDetectionFilter", "GPUHoughTransformLineDetector"};

}  // namespace

TEST(StockFilterRegistrySecondHalf, EveryBlendIsMadeByItsNameWithItsShaderBuilt) {
  GPUFilterRegistry::registerCoreFilters();
  for (const std::string& name : kBlendClasses) {
    const GPUFilterClass* c = GPUFilterRegistry::shared().classNamed(name);
    ASSERT_NE(c, nullptr) << name;
    auto stage = c->make();
    EXPECT_TRUE(stocktest::isClass(*stage, name)) << name;
    auto* filter = dynamic_cast<GPUTwoInputFilter*>(stage.get());
    ASSERT_NE(filter, nullptr) << name;
    EXPECT_NE(filter->filterProgram(), nullptr) << name;
  }
}

TEST(StockFilterRegistrySecondHalf, AConfigurationChainsEverySingleInputClassWithItsMessages) {
  GPUFilterRegistry::registerCoreFilters();
  fd::Array entries;
  for (const std::string& name : kChainClasses) {
    fd::Dictionary entry{{"FilterName", fd::Value(name)}};
    if (name == "GPUGaussianBlurFilter")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setBlurSize:", fd::Value("float(2.5)")}});
    if (name == "GPUFastBlurFilter")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setBlurPasses:", fd::Value("float(2)")}});
    if (name == "GPUToonFilter")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setQuantizationLevels:", fd::Value("float(4)")}});
    if (name == "GPUHarrisCornerDetectionFilter")
      entry["Attributes"] = fd::Value(fd::Dictionary{{"setSensitivity:", fd::Value("float(7)")}});
    entries.push_back(fd::Value(std::move(entry)));
  }
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto output = std::make_shared<gputest::RecordingTarget>();
  auto pipeline = GPUFilterPipeline::withConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(entries)}}),
                                                       picture, output);
  ASSERT_TRUE(pipeline.ok()) << pipeline.error();
  const auto filters = (*pipeline)->filters();
  ASSERT_EQ(filters.size(), kChainClasses.size());
  for (std::size_t i = 0; i < filters.size(); ++i) {
    EXPECT_TRUE(stocktest::isClass(*filters[i], kChainClasses[i])) << kChainClasses[i];
    if (auto* filter = dynamic_cast<GPUFilter*>(filters[i].get())) {
      EXPECT_NE(filter->filterProgram(), nullptr) << kChainClasses[i];
    } else {
      EXPECT_NE(dynamic_cast<GPUFilterGroup*>(filters[i].get()), nullptr) << kChainClasses[i];
    }
  }
  EXPECT_FLOAT_EQ(dynamic_cast<GPUGaussianBlurFilter&>(*filters[0]).blurSize(), 2.5f);
  EXPECT_EQ(dynamic_cast<GPUFastBlurFilter&>(*filters[4]).blurPasses(), 2u);
  EXPECT_FLOAT_EQ(dynamic_cast<GPUToonFilter&>(*filters[18]).quantizationLevels(), 4.0f);
  EXPECT_FLOAT_EQ(dynamic_cast<GPUHarrisCornerDetectionFilter&>(*filters[27]).sensitivity(), 7.0f);
  picture->processImage();
  gputest::drainProcessingQueue();
  EXPECT_EQ(output->frames, 1);
}
