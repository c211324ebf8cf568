#include "gpu/filters/groups/GPUFilterGroups.h"

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/graphics/Image.h"

const char* const kGPUAdaptiveThresholdFragmentShaderString =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "varying highp vec2 textureCoordinate2;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D inputImageTexture2;\n"
    "void main() {\n"
    "  float blurredInput = texture2D(inputImageTexture, textureCoordinate).r;\n"
    "  float localLuminance = texture2D(inputImageTexture2, textureCoordinate2).r;\n"
    "  float thresholdResult = step(blurredInput - 0.05, localLuminance);\n"
    "  gl_FragColor = vec4(vec3(thresholdResult), 1.0);\n"
    "}\n";

const char* const kGPUSelectiveFocusFragmentShaderString =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "varying highp vec2 textureCoordinate2;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D inputImageTexture2;\n"
    "uniform float excludeCircleRadius;\n"
    "uniform vec2 excludeCirclePoint;\n"
    "uniform float excludeBlurSize;\n"
    "uniform float aspectRatio;\n"
    "void main() {\n"
    "  vec4 sharpImageColor = texture2D(inputImageTexture, textureCoordinate);\n"
    "  vec4 blurredImageColor = texture2D(inputImageTexture2, textureCoordinate2);\n"
    "  vec2 pointInCircleSpace = vec2(textureCoordinate2.x,\n"
    "                                 textureCoordinate2.y * aspectRatio + 0.5 - 0.5 * aspectRatio);\n"
    "  float distanceFromCenter = distance(excludeCirclePoint, pointInCircleSpace);\n"
    "  gl_FragColor = mix(sharpImageColor, blurredImageColor,\n"
    "                     smoothstep(excludeCircleRadius - excludeBlurSize, excludeCircleRadius, distanceFromCenter));\n"
    "}\n";

const char* const kGPUTiltShiftFragmentShaderString =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "varying highp vec2 textureCoordinate2;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D inputImageTexture2;\n"
    "uniform float topFocusLevel;\n"
    "uniform float bottomFocusLevel;\n"
    "uniform float focusFallOffRate;\n"
    "void main() {\n"
    "  vec4 sharpImageColor = texture2D(inputImageTexture, textureCoordinate);\n"
    "  vec4 blurredImageColor = texture2D(inputImageTexture2, textureCoordinate2);\n"
    "  float y = textureCoordinate2.y;\n"
    "  float blurIntensity = 1.0 - smoothstep(topFocusLevel - focusFallOffRate, topFocusLevel, y);\n"
    "  blurIntensity += smoothstep(bottomFocusLevel, bottomFocusLevel + focusFallOffRate, y);\n"
    "  gl_FragColor = mix(sharpImageColor, blurredImageColor, blurIntensity);\n"
    "}\n";

const char* const kGPUUnsharpMaskFragmentShaderString =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "varying highp vec2 textureCoordinate2;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D inputImageTexture2;\n"
    "uniform float intensity;\n"
    "void main() {\n"
    "  vec4 sharpImageColor = texture2D(inputImageTexture, textureCoordinate);\n"
    "  vec3 blurredImageColor = texture2D(inputImageTexture2, textureCoordinate2).rgb;\n"
    "  gl_FragColor = vec4(sharpImageColor.rgb * intensity + blurredImageColor * (1.0 - intensity),\n"
    "                      sharpImageColor.a);\n"
    "}\n";

// --- adaptive threshold

GPUAdaptiveThresholdFilter::GPUAdaptiveThresholdFilter()
    : luminanceFilter_(std::make_shared<GPUGrayscaleFilter>()),
      boxBlurFilter_(std::make_shared<GPUBoxBlurFilter>()),
      adaptiveThresholdFilter_(std::make_shared<GPUTwoInputFilter>(kGPUAdaptiveThresholdFragmentShaderString)) {
  addFilter(luminanceFilter_);
  addFilter(boxBlurFilter_);
  addFilter(adaptiveThresholdFilter_);
  luminanceFilter_->addTarget(boxBlurFilter_);
  // The blurred neighbourhood takes the first input, the pixel's own
  // luminance the second.
  boxBlurFilter_->addTarget(adaptiveThresholdFilter_, 0);
  luminanceFilter_->addTarget(adaptiveThresholdFilter_, 1);
  setInitialFilters({luminanceFilter_});
  setTerminalFilter(adaptiveThresholdFilter_);
  setBlurSize(1.0f);
}

// --- morphology pairs

GPUMorphologyGroup::GPUMorphologyGroup(std::shared_ptr<GPUTwoPassTextureSamplingFilter> dilation,
                                       std::shared_ptr<GPUTwoPassTextureSamplingFilter> erosion, bool dilateFirst)
    : dilationFilter_(std::move(dilation)), erosionFilter_(std::move(erosion)) {
  addFilter(dilationFilter_);
  addFilter(erosionFilter_);
  const auto& first = dilateFirst ? dilationFilter_ : erosionFilter_;
  const auto& second = dilateFirst ? erosionFilter_ : dilationFilter_;
  first->addTarget(second);
  setInitialFilters({first});
  setTerminalFilter(second);
}

GPUClosingFilter::GPUClosingFilter(unsigned radius)
    : GPUMorphologyGroup(std::make_shared<GPUDilationFilter>(radius), std::make_shared<GPUErosionFilter>(radius),
                         true) {}
GPUOpeningFilter::GPUOpeningFilter(unsigned radius)
    : GPUMorphologyGroup(std::make_shared<GPUDilationFilter>(radius), std::make_shared<GPUErosionFilter>(radius),
                         false) {}
GPURGBClosingFilter::GPURGBClosingFilter(unsigned radius)
    : GPUMorphologyGroup(std::make_shared<GPURGBDilationFilter>(radius),
                         std::make_shared<GPURGBErosionFilter>(radius), true) {}
GPURGBOpeningFilter::GPURGBOpeningFilter(unsigned radius)
    : GPUMorphologyGroup(std::make_shared<GPURGBDilationFilter>(radius),
                         std::make_shared<GPURGBErosionFilter>(radius), false) {}

// --- a blur beside the sharp input

GPUBlurredPairGroup::GPUBlurredPairGroup(const char* pairFragmentShader)
    : blurFilter_(std::make_shared<GPUGaussianBlurFilter>()),
      pairFilter_(std::make_shared<GPUTwoInputFilter>(pairFragmentShader)) {
  addFilter(blurFilter_);
  addFilter(pairFilter_);
  blurFilter_->addTarget(pairFilter_, 1);
  // The blur first: the pair then has its second input when the group's
  // frame reaches it at index 0.
  setInitialFilters({blurFilter_, pairFilter_});
  setTerminalFilter(pairFilter_);
}

GPUGaussianSelectiveBlurFilter::GPUGaussianSelectiveBlurFilter()
    : GPUBlurredPairGroup(kGPUSelectiveFocusFragmentShaderString) {
  setBlurSize(2.0f);
  setExcludeCircleRadius(60.0f / 320.0f);
  setExcludeCirclePoint({0.5f, 0.5f});
  setExcludeBlurSize(30.0f / 320.0f);
}

void GPUGaussianSelectiveBlurFilter::setExcludeCircleRadius(float v) {
  excludeCircleRadius_ = v;
  pairFilter_->setFloat(v, "excludeCircleRadius");
}

void GPUGaussianSelectiveBlurFilter::setExcludeCirclePoint(gfx::Point p) {
  excludeCirclePoint_ = p;
  pairFilter_->setPoint(p, "excludeCirclePoint");
}

void GPUGaussianSelectiveBlurFilter::setExcludeBlurSize(float v) {
  excludeBlurSize_ = v;
  pairFilter_->setFloat(v, "excludeBlurSize");
}

void GPUGaussianSelectiveBlurFilter::setAspectRatio(float v) {
  hasOverriddenAspectRatio_ = true;
  sendAspectRatio(v);
}

void GPUGaussianSelectiveBlurFilter::sendAspectRatio(float v) {
  aspectRatio_ = v;
  pairFilter_->setFloat(v, "aspectRatio");
}

void GPUGaussianSelectiveBlurFilter::setInputSize(gfx::Size size, int textureIndex) {
  const gfx::Size oldInputSize = currentInputSize_;
  GPUBlurredPairGroup::setInputSize(size, textureIndex);
  currentInputSize_ = size;
  if (!(oldInputSize == size) && !hasOverriddenAspectRatio_ && size.width > 0 && size.height > 0) {
    sendAspectRatio(size.width / size.height);
  }
}

GPUTiltShiftFilter::GPUTiltShiftFilter() : GPUBlurredPairGroup(kGPUTiltShiftFragmentShaderString) {
  setBlurSize(2.0f);
  setTopFocusLevel(0.4f);
  setBottomFocusLevel(0.6f);
  setFocusFallOffRate(0.2f);
}

void GPUTiltShiftFilter::setTopFocusLevel(float v) {
  topFocusLevel_ = v;
  pairFilter_->setFloat(v, "topFocusLevel");
}

void GPUTiltShiftFilter::setBottomFocusLevel(float v) {
  bottomFocusLevel_ = v;
  pairFilter_->setFloat(v, "bottomFocusLevel");
}

void GPUTiltShiftFilter::setFocusFallOffRate(float v) {
  focusFallOffRate_ = v;
  pairFilter_->setFloat(v, "focusFallOffRate");
}

GPUUnsharpMaskFilter::GPUUnsharpMaskFilter() : GPUBlurredPairGroup(kGPUUnsharpMaskFragmentShaderString) {
  setBlurSize(1.0f);
  setIntensity(1.0f);
}

void GPUUnsharpMaskFilter::setIntensity(float v) {
  intensity_ = v;
  pairFilter_->setFloat(v, "intensity");
}

// --- low and high pass

GPULowPassFilter::GPULowPassFilter()
    : dissolveBlendFilter_(std::make_shared<GPUDissolveBlendFilter>()), bufferFilter_(std::make_shared<GPUBuffer>()) {
  addFilter(dissolveBlendFilter_);
  addFilter(bufferFilter_);
  bufferFilter_->addTarget(dissolveBlendFilter_, 1);
  dissolveBlendFilter_->addTarget(bufferFilter_);
  // The past is always there: each frame at index 0 draws at once.
  dissolveBlendFilter_->disableSecondFrameCheck();
  setInitialFilters({dissolveBlendFilter_});
  setTerminalFilter(dissolveBlendFilter_);
  setFilterStrength(0.5f);
}

GPULowPassFilter::~GPULowPassFilter() {
  // The dissolve and the buffer are each other's targets: without this cut
  // neither would ever be freed.
  bufferFilter_->removeAllTargets();
}

void GPULowPassFilter::removeAllTargets() {
  // The terminal filter's targets include the buffer, which must keep
  // receiving the output (a pipeline clears targets each time it rechains).
  performOnProcessingQueueSync([this] {
    dissolveBlendFilter_->removeAllTargets();
    dissolveBlendFilter_->addTarget(bufferFilter_, 0);
  });
}

GPUHighPassFilter::GPUHighPassFilter()
    : lowPassFilter_(std::make_shared<GPULowPassFilter>()),
      differenceBlendFilter_(std::make_shared<GPUDifferenceBlendFilter>()) {
  addFilter(lowPassFilter_);
  addFilter(differenceBlendFilter_);
  lowPassFilter_->addTarget(differenceBlendFilter_, 1);
  setInitialFilters({lowPassFilter_, differenceBlendFilter_});
  setTerminalFilter(differenceBlendFilter_);
  setFilterStrength(0.5f);
}

// --- smooth toon

GPUSmoothToonFilter::GPUSmoothToonFilter()
    : blurFilter_(std::make_shared<GPUGaussianBlurFilter>()), toonFilter_(std::make_shared<GPUToonFilter>()) {
  addFilter(blurFilter_);
  addFilter(toonFilter_);
  blurFilter_->addTarget(toonFilter_);
  setInitialFilters({blurFilter_});
  setTerminalFilter(toonFilter_);
  setBlurSize(0.5f);
  setThreshold(0.2f);
  setQuantizationLevels(10.0f);
}

// --- lookups

namespace {

// A lookup table of the resources as a still second input. Null, with the
// failure logged, when the picture cannot be read: the lookup then draws
// with no table, and processing goes on.
std::shared_ptr<GPUPicture> lookupPicture(const std::string& name) {
  auto image = gfx::readImage(fd::paths::resource(name));
  if (!image) {
    fd::Log("Lookup picture %s cannot be read: %s", name.c_str(), image.error().c_str());
    return nullptr;
  }
  return std::make_shared<GPUPicture>(*image);
}

// The table is a still that is sent once, when the group is made: the
// lookup must not wait for it again before each frame.
std::shared_ptr<GPULookupFilter> makeLookupFilter() {
  auto lookup = std::make_shared<GPULookupFilter>();
  lookup->disableSecondFrameCheck();
  return lookup;
}

void feedLookupTable(const std::shared_ptr<GPUPicture>& picture, const std::shared_ptr<GPULookupFilter>& lookup) {
  if (!picture) return;
  picture->addTarget(lookup, 1);
  picture->processImage();
}

}  // namespace

GPUSoftEleganceFilter::GPUSoftEleganceFilter()
    : lookupFilter1_(makeLookupFilter()),
      lookupImageSource1_(lookupPicture("lookup_soft_elegance_1.png")),
      blurFilter_(std::make_shared<GPUGaussianBlurFilter>()),
      alphaBlendFilter_(std::make_shared<GPUAlphaBlendFilter>()),
      lookupFilter2_(makeLookupFilter()),
      lookupImageSource2_(lookupPicture("lookup_soft_elegance_2.png")) {
  addFilter(lookupFilter1_);
  addFilter(blurFilter_);
  addFilter(alphaBlendFilter_);
  addFilter(lookupFilter2_);
  feedLookupTable(lookupImageSource1_, lookupFilter1_);
  blurFilter_->setBlurSize(kGlowBlurSize);
  lookupFilter1_->addTarget(blurFilter_);
  lookupFilter1_->addTarget(alphaBlendFilter_, 0);
  blurFilter_->addTarget(alphaBlendFilter_, 1);
  alphaBlendFilter_->setMix(kGlowMix);
  alphaBlendFilter_->addTarget(lookupFilter2_, 0);
  feedLookupTable(lookupImageSource2_, lookupFilter2_);
  setInitialFilters({lookupFilter1_});
  setTerminalFilter(lookupFilter2_);
}

GPUSingleLookupGroup::GPUSingleLookupGroup(const std::string& pictureName)
    : lookupImageSource_(lookupPicture(pictureName)), lookupFilter_(makeLookupFilter()) {
  // A member like any other, so that a processing size forced on the group
  // reaches it.
  addFilter(lookupFilter_);
  feedLookupTable(lookupImageSource_, lookupFilter_);
  setInitialFilters({lookupFilter_});
  setTerminalFilter(lookupFilter_);
}

GPUBrenlowFilter::GPUBrenlowFilter() : GPUSingleLookupGroup("lookup_brenlow.png") {}
GPUVastrelFilter::GPUVastrelFilter() : GPUSingleLookupGroup("lookup_vastrel.png") {}

void registerFilterGroups() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(C::of<GPUAdaptiveThresholdFilter>("GPUAdaptiveThresholdFilter")
                      .message("setBlurSize:", &GPUAdaptiveThresholdFilter::setBlurSize));
  r.registerClass(C::of<GPUClosingFilter>("GPUClosingFilter"));
  r.registerClass(C::of<GPUOpeningFilter>("GPUOpeningFilter"));
  r.registerClass(C::of<GPURGBClosingFilter>("GPURGBClosingFilter"));
  r.registerClass(C::of<GPURGBOpeningFilter>("GPURGBOpeningFilter"));
  using S = GPUGaussianSelectiveBlurFilter;
  r.registerClass(C::of<S>("GPUGaussianSelectiveBlurFilter")
                      .message("setBlurSize:", &S::setBlurSize)
                      .message("setExcludeCircleRadius:", &S::setExcludeCircleRadius)
                      .message("setExcludeCirclePoint:", &S::setExcludeCirclePoint)
                      .message("setExcludeBlurSize:", &S::setExcludeBlurSize)
                      .message("setAspectRatio:", &S::setAspectRatio));
  using T = GPUTiltShiftFilter;
  r.registerClass(C::of<T>("GPUTiltShiftFilter")
                      .message("setBlurSize:", &T::setBlurSize)
                      .message("setTopFocusLevel:", &T::setTopFocusLevel)
                      .message("setBottomFocusLevel:", &T::setBottomFocusLevel)
                      .message("setFocusFallOffRate:", &T::setFocusFallOffRate));
  using U = GPUUnsharpMaskFilter;
  r.registerClass(
      C::of<U>("GPUUnsharpMaskFilter").message("setBlurSize:", &U::setBlurSize).message("setIntensity:", &U::setIntensity));
  r.registerClass(C::of<GPULowPassFilter>("GPULowPassFilter")
                      .message("setFilterStrength:", &GPULowPassFilter::setFilterStrength));
  r.registerClass(C::of<GPUHighPassFilter>("GPUHighPassFilter")
                      .message("setFilterStrength:", &GPUHighPassFilter::setFilterStrength));
  using M = GPUSmoothToonFilter;
  r.registerClass(C::of<M>("GPUSmoothToonFilter")
                      .message("setBlurSize:", &M::setBlurSize)
                      .message("setThreshold:", &M::setThreshold)
                      .message("setQuantizationLevels:", &M::setQuantizationLevels)
                      .message("setTexelWidth:", &M::setTexelWidth)
                      .message("setTexelHeight:", &M::setTexelHeight));
  r.registerClass(C::of<GPUSoftEleganceFilter>("GPUSoftEleganceFilter"));
  r.registerClass(C::of<GPUBrenlowFilter>("GPUBrenlowFilter"));
  r.registerClass(C::of<GPUVastrelFilter>("GPUVastrelFilter"));
}
