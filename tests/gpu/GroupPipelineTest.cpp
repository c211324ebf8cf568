// Filter groups and the filter pipeline: a photo through a group and through
// a pipeline built from a configuration, against the CPU reference; what a
// configuration may name; rechaining.
#include <gtest/gtest.h>

#include <atomic>

#include "gpu/GPUFilterArgumentText.h"
#include "gpu/GPUFilterGroup.h"
#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "platform/foundation/PropertyList.h"
#include "support/CpuCeiling.h"
#include "support/GpuTestFilters.h"
#include "support/Sandbox.h"

namespace {

std::atomic<int> tintsMade{0};

class CountedTint : public gputest::TintTestFilter {
 public:
  CountedTint() { ++tintsMade; }
};

void registerTestClasses() {
  GPUFilterRegistry::registerCoreFilters();
  GPUFilterRegistry::shared().registerClass(GPUFilterClass::of<gputest::GrayscaleTestFilter>("GrayscaleTestFilter"));
  GPUFilterRegistry::shared().registerClass(GPUFilterClass::of<CountedTint>("TintTestFilter")
                                                .message("setIntensity:", &CountedTint::setIntensity)
                                                .message("setChannelFactorList:", &CountedTint::setChannelFactorList)
                                                .message("setLabel:", &CountedTint::setLabel)
                                                .message("setAnchor:", &CountedTint::setAnchor)
                                                .message("prepareForImageCapture", &CountedTint::prepareForImageCapture));
}

gpuref::Colour grayTint(const gpuref::Sampler& in, float s, float t, float k) {
  auto c = in(s, t);
  const float l = c[0] * 0.2125f + c[1] * 0.7154f + c[2] * 0.0721f;
  return {l * k, l * k, l * k, c[3]};
}

// Grayscale, stored, then tinted: the reference of the two-filter chain.
gfx::Image referenceGrayThenTint(const gfx::Image& picture, float k) {
  const gfx::Image gray = gpuref::filter(gpuref::uploaded(picture), 0, [](const gpuref::Sampler& in, float s, float t) {
    return grayTint(in, s, t, 1);
  });
  return gpuref::filter(gray, 0, [k](const gpuref::Sampler& in, float s, float t) {
    auto c = in(s, t);
    return gpuref::Colour{c[0] * k, c[1] * k, c[2] * k, c[3]};
  });
}

fd::Value entry(const std::string& name, fd::Dictionary attributes = {}) {
  fd::Dictionary d{{"FilterName", name}};
  if (!attributes.empty()) d["Attributes"] = fd::Value(std::move(attributes));
  return fd::Value(std::move(d));
}

fd::Value tintConfiguration(fd::Dictionary attributes) {
  return fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{entry("TintTestFilter", std::move(attributes))})}});
}

}  // namespace

TEST(GPUFilterGroupTest, APhotoThroughAGroupMatchesTheChainReference) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  auto group = std::make_shared<GPUFilterGroup>();
  auto gray = std::make_shared<gputest::GrayscaleTestFilter>();
  auto tint = std::make_shared<gputest::TintTestFilter>();
  gray->addTarget(tint);
  group->addFilter(gray);
  group->addFilter(tint);
  group->setInitialFilters({gray});
  group->setTerminalFilter(tint);
  tint->setIntensity(0.8f);

  auto target = std::make_shared<gputest::RecordingTarget>();
  group->addTarget(target);
  EXPECT_EQ(tint->targets().size(), 1u);

  auto picture = std::make_shared<GPUPicture>(cat);
  picture->addTarget(group);
  picture->processImage();
  const auto result = gpuref::compare(group->newCGImageFromCurrentlyProcessedOutput(), referenceGrayThenTint(cat, 0.8f));
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  EXPECT_EQ(target->frames, 1);

  group->removeTarget(target);
  EXPECT_TRUE(tint->targets().empty());

  group->forceProcessingAtSize({40, 30});
  EXPECT_EQ(gray->inputTextureSize(), (gfx::Size{40, 30}));
  EXPECT_EQ(tint->inputTextureSize(), (gfx::Size{40, 30}));
}

TEST(GPUFilterGroupTest, ReleasesItsSourceOnlyAfterEveryInitialFilter) {
  struct Delegate : GPUTextureDelegate {
    int released = 0;
    void textureNoLongerNeededForTarget(GPUInput*) override { ++released; }
  } upstream;
  auto group = std::make_shared<GPUFilterGroup>();
  auto a = std::make_shared<GPUFilter>();
  auto b = std::make_shared<GPUFilter>();
  group->setInitialFilters({a, b});
  performOnProcessingQueueSync([&] {
    group->setTextureDelegate(&upstream, 0);
    group->setInputSize({8, 8}, 0);
    group->conserveMemoryForNextFrame();
    group->newFrameReadyAtTime(kCMTimeIndefinite, 0);
  });
  EXPECT_EQ(upstream.released, 1);
  performOnProcessingQueueSync([&] { group->textureNoLongerNeededForTarget(a.get()); });
  EXPECT_EQ(upstream.released, 1);
}

TEST(GPUFilterPipelineTest, AConfigurationBuildsTheChainAndSendsItsMessages) {
  registerTestClasses();
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  fd::Dictionary tintAttributes{{"setIntensity:", fd::Value("float(0.5)")},
                                {"setChannelFactorList:", fd::Value(fd::Array{"float(1)", "float(1)", "float(1)"})},
                                {"setLabel:", fd::Value("NSString(abc)")},
                                {"setAnchor:", fd::Value("CGPoint(0.5, 0.25)")},
                                {"prepareForImageCapture", fd::Value("")}};
  fd::Value configuration(fd::Dictionary{
      {"Filters", fd::Value(fd::Array{entry("GrayscaleTestFilter"), entry("TintTestFilter", tintAttributes)})}});
  auto picture = std::make_shared<GPUPicture>(cat);
  auto output = std::make_shared<gputest::RecordingTarget>();
  auto pipeline = GPUFilterPipeline::withConfiguration(configuration, picture, output);
  ASSERT_TRUE(pipeline.ok()) << pipeline.error();
  const auto filters = (*pipeline)->filters();
  ASSERT_EQ(filters.size(), 2u);
  auto* tint = dynamic_cast<CountedTint*>(filters[1].get());
  ASSERT_NE(tint, nullptr);
  EXPECT_EQ(tint->intensity(), 0.5f);
  EXPECT_EQ(tint->label, "abc");
  EXPECT_EQ(tint->anchor, (gfx::Point{0.5f, 0.25f}));

  picture->processImage();
  const auto result = gpuref::compare((*pipeline)->newCGImageFromCurrentFilteredFrame(), referenceGrayThenTint(cat, 0.5f));
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  EXPECT_EQ(output->frames, 1);

  // Rechaining: without filters the input feeds the output directly.
  (*pipeline)->removeAllFilters();
  EXPECT_EQ(picture->targets().size(), 1u);
  EXPECT_EQ(picture->textureIndexOfTarget(output.get()), 0);
}

TEST(GPUFilterPipelineTest, UnregisteredNamesAndBadArgumentsBuildNothing) {
  registerTestClasses();
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto output = std::make_shared<gputest::RecordingTarget>();
  const int before = tintsMade;
  auto expectNothingBuilt = [&](const fd::Value& configuration, const std::string& words) {
    auto pipeline = GPUFilterPipeline::withConfiguration(configuration, picture, output);
    ASSERT_FALSE(pipeline.ok());
    EXPECT_NE(pipeline.error().find(words), std::string::npos) << pipeline.error();
    EXPECT_TRUE(picture->targets().empty());
    EXPECT_EQ(tintsMade, before);  // not even the valid entries before the bad one
  };
  // A class that exists in the program but was not registered is as unknown
  // as any other name.
  expectNothingBuilt(fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{entry("TintTestFilter"),
                                                                               entry("GPUPicture")})}}),
                     "no filter class named \"GPUPicture\"");
  expectNothingBuilt(fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{entry("TintTestFilter"),
                                                                               entry("NoSuchFilter")})}}),
                     "NoSuchFilter");
  expectNothingBuilt(fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{entry(
                                                              "TintTestFilter", {{"setIntensity:", "double(2)"}})})}}),
                     "setIntensity:");
  expectNothingBuilt(fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{entry(
                                                              "TintTestFilter", {{"setIntensity:", "CGPoint(1, 2)"}})})}}),
                     "wrong type");
  expectNothingBuilt(fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{entry(
                                                              "TintTestFilter", {{"dealloc", ""}})})}}),
                     "does not answer dealloc");
  expectNothingBuilt(fd::Value(fd::Dictionary{{"Chain", fd::Value(fd::Array{})}}), "\"Filters\"");
}

TEST(GPUFilterPipelineTest, AConfigurationFileIsAPropertyList) {
  registerTestClasses();
  testing_support::ScopedSandbox sandbox;
  const auto file = sandbox.root() / "chain.plist";
  ASSERT_TRUE(fd::writePropertyList(
      file, fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{entry("GPUFilter")})}})));
  auto picture = std::make_shared<GPUPicture>(gpuref::loadPicture("gpu_cat.png"));
  auto pipeline = GPUFilterPipeline::withConfigurationFile(file, picture, nullptr);
  ASSERT_TRUE(pipeline.ok()) << pipeline.error();
  EXPECT_EQ((*pipeline)->filters().size(), 1u);
  EXPECT_FALSE(GPUFilterPipeline::withConfigurationFile(sandbox.root() / "missing.plist", picture, nullptr).ok());
}

TEST(GPUFilterPipelineTest, ArgumentsReadAsTheirTextForm) {
  registerTestClasses();
  const std::string longest = "float(0.25" + std::string(kMaxFilterArgumentLength - 11, ' ') + ")";
  auto filters = GPUFilterPipeline::parseConfiguration(
      tintConfiguration({{"setAnchor:", fd::Value("CGPoint(1, 2, 3)")},
                         {"setLabel:", fd::Value("note: NSString(half\nNSString(a(b)c)")},
                         {"setIntensity:", fd::Value(longest)}}));
  ASSERT_TRUE(filters.ok()) << filters.error();
  auto* tint = dynamic_cast<CountedTint*>(filters->front().get());
  ASSERT_NE(tint, nullptr);
  EXPECT_EQ(tint->anchor, (gfx::Point{1, 3}));  // the last of several arguments is the second
  EXPECT_EQ(tint->label, "a(b");                 // no argument spans a line; the first ")" closes
  EXPECT_EQ(tint->intensity(), 0.25f);           // an argument of the longest length is read
}

// A hostile argument is refused in words and at once: one past the longest
// length, one of 50,000 characters (a backtracking reader runs out of stack on
// it) and an unclosed form with many commas (a backtracking reader doubles its
// time with every comma). The child is stopped by a crash or by the
// processor-time ceiling should the reading go wrong.
TEST(GPUFilterPipelineTest, HostileArgumentsAreRefusedInWords) {
  registerTestClasses();
  const std::string justTooLong = "float(" + std::string(kMaxFilterArgumentLength - 6, '1') + ")";
  const std::string huge = "float(" + std::string(50000, '1') + ")";
  const std::string unclosed = "NSString(" + std::string(40, ',');
  const auto child = testing_support::runUnderCpuCeiling(5, [&] {
    auto refused = [](const fd::Value& configuration, const std::string& words) {
      auto filters = GPUFilterPipeline::parseConfiguration(configuration);
      ASSERT_FALSE(filters.ok());
      EXPECT_NE(filters.error().find(words), std::string::npos) << filters.error();
    };
    refused(tintConfiguration({{"setIntensity:", fd::Value(justTooLong)}}),
            "an argument of setIntensity: is 4097 characters long; a configuration may give at most 4096");
    refused(tintConfiguration({{"setIntensity:", fd::Value(huge)}}), "is 50007 characters long");
    refused(tintConfiguration({{"setChannelFactorList:", fd::Value(fd::Array{"float(1)", fd::Value(huge)})}}),
            "an argument of setChannelFactorList: is 50007 characters long");
    refused(tintConfiguration({{"setLabel:", fd::Value(unclosed)}}), "of setLabel: is not type(value)");
    refused(tintConfiguration({{"setChannelFactorList:", fd::Value(fd::Array{fd::Value(unclosed)})}}),
            "holds an element that is not float(x) or CGPoint(x, y)");
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0)
      << "the child ended with code " << child.exitCode << ", signal " << child.signal;
}
