#pragma once
// Filters that recolour each pixel from that pixel alone. Each keeps its
// properties, sends every change to its uniform, and applies its defaults
// through its own setters when made.
#include "gpu/GPUFilter.h"
#include "gpu/filters/GPUStockFilterSupport.h"

class GPUBrightnessFilter : public GPUFilter {
 public:
  GPUBrightnessFilter();
  void setBrightness(float v);
  float brightness() const { return brightness_; }
 private:
  GLint brightnessUniform_ = -1;
  float brightness_ = 0;
};

class GPUExposureFilter : public GPUFilter {
 public:
  GPUExposureFilter();
  void setExposure(float v);
  float exposure() const { return exposure_; }
 private:
  GLint exposureUniform_ = -1;
  float exposure_ = 0;
};

class GPUContrastFilter : public GPUFilter {
 public:
  GPUContrastFilter();
  void setContrast(float v);
  float contrast() const { return contrast_; }
 private:
  GLint contrastUniform_ = -1;
  float contrast_ = 1;
};

class GPUSaturationFilter : public GPUFilter {
 public:
  GPUSaturationFilter();
  void setSaturation(float v);
  float saturation() const { return saturation_; }
 private:
  GLint saturationUniform_ = -1;
  float saturation_ = 1;
};

class GPUGammaFilter : public GPUFilter {
 public:
  GPUGammaFilter();
  void setGamma(float v);
  float gamma() const { return gamma_; }
 private:
  GLint gammaUniform_ = -1;
  float gamma_ = 1;
};

class GPUColorInvertFilter : public GPUFilter {
 public:
  GPUColorInvertFilter();
};

class GPUOpacityFilter : public GPUFilter {
 public:
  GPUOpacityFilter();
  void setOpacity(float v);
  float opacity() const { return opacity_; }
 private:
  GLint opacityUniform_ = -1;
  float opacity_ = 1;
};

// Channel gains; the output is always opaque.
class GPURGBFilter : public GPUFilter {
 public:
  GPURGBFilter();
  void setRed(float v);
  void setGreen(float v);
  void setBlue(float v);
  float red() const { return red_; }
  float green() const { return green_; }
  float blue() const { return blue_; }
 private:
  GLint redUniform_ = -1, greenUniform_ = -1, blueUniform_ = -1;
  float red_ = 1, green_ = 1, blue_ = 1;
};

// Every channel, alpha too, rounded to colorLevels steps.
class GPUPosterizeFilter : public GPUFilter {
 public:
  GPUPosterizeFilter();
  void setColorLevels(unsigned v);
  unsigned colorLevels() const { return colorLevels_; }
  // For configurations, which carry numbers as floats.
  void setColorLevelsNumber(float v) { setColorLevels(v > 0 ? static_cast<unsigned>(v) : 0u); }
 private:
  GLint colorLevelsUniform_ = -1;
  unsigned colorLevels_ = 10;
};

class GPULuminanceThresholdFilter : public GPUFilter {
 public:
  GPULuminanceThresholdFilter();
  void setThreshold(float v);
  float threshold() const { return threshold_; }
 private:
  GLint thresholdUniform_ = -1;
  float threshold_ = 0.5f;
};

// out = intensity * (in * colorMatrix) + (1 - intensity) * in, with the
// stored rows acting as the columns the input row vector meets.
class GPUColorMatrixFilter : public GPUFilter {
 public:
  GPUColorMatrixFilter();
  void setColorMatrix(const GPUMatrix4x4& m);
  const GPUMatrix4x4& colorMatrix() const { return colorMatrix_; }
  void setIntensity(float v);
  float intensity() const { return intensity_; }
 private:
  GLint colorMatrixUniform_ = -1, intensityUniform_ = -1;
  GPUMatrix4x4 colorMatrix_;
  float intensity_ = 1;
};

class GPUSepiaFilter : public GPUColorMatrixFilter {
 public:
  GPUSepiaFilter();
};

// Rotates the hue in YIQ space. Set in degrees; hue() answers radians.
class GPUHueFilter : public GPUFilter {
 public:
  GPUHueFilter();
  void setHue(float degrees);
  float hue() const { return hue_; }
 private:
  GLint hueAdjustUniform_ = -1;
  float hue_ = 0;
};

class GPUMonochromeFilter : public GPUFilter {
 public:
  GPUMonochromeFilter();
  void setIntensity(float v);
  float intensity() const { return intensity_; }
  void setColor(GPUVector4 c);
  GPUVector4 color() const { return color_; }
  // Only the uniform: the stored colour stays.
  void setColorRed(float r, float g, float b);
 private:
  GLint intensityUniform_ = -1, filterColorUniform_ = -1;
  float intensity_ = 1;
  GPUVector4 color_;
};

class GPUFalseColorFilter : public GPUFilter {
 public:
  GPUFalseColorFilter();
  void setFirstColor(GPUVector4 c);
  void setSecondColor(GPUVector4 c);
  GPUVector4 firstColor() const { return firstColor_; }
  GPUVector4 secondColor() const { return secondColor_; }
  void setFirstColorRed(float r, float g, float b);
  void setSecondColorRed(float r, float g, float b);
 private:
  GLint firstColorUniform_ = -1, secondColorUniform_ = -1;
  GPUVector4 firstColor_, secondColor_;
};

class GPUHazeFilter : public GPUFilter {
 public:
  GPUHazeFilter();
  void setDistance(float v);
  void setSlope(float v);
  float distance() const { return distance_; }
  float slope() const { return slope_; }
 private:
  GLint distanceUniform_ = -1, slopeUniform_ = -1;
  float distance_ = 0.2f, slope_ = 0;
};

// A black pixel (luminance 0) stays black rather than dividing by zero.
class GPUHighlightShadowFilter : public GPUFilter {
 public:
  GPUHighlightShadowFilter();
  void setShadows(float v);
  void setHighlights(float v);
  float shadows() const { return shadows_; }
  float highlights() const { return highlights_; }
 private:
  GLint shadowsUniform_ = -1, highlightsUniform_ = -1;
  float shadows_ = 0, highlights_ = 1;
};

class GPUWhiteBalanceFilter : public GPUFilter {
 public:
  GPUWhiteBalanceFilter();
  void setTemperature(int v);
  void setTint(int v);
  int temperature() const { return temperature_; }
  int tint() const { return tint_; }
  void setTemperatureNumber(float v) { setTemperature(static_cast<int>(v)); }
  void setTintNumber(float v) { setTint(static_cast<int>(v)); }
 private:
  GLint temperatureUniform_ = -1, tintUniform_ = -1;
  int temperature_ = 5000, tint_ = 0;
};

// Colours near the key colour become transparent.
class GPUChromaKeyFilter : public GPUChromaKeying<GPUFilter> {
 public:
  GPUChromaKeyFilter();
};

// Per channel: input range min..max, gamma, output range. A channel whose
// max equals its min is a hard step: above min it takes the output maximum,
// at or below it the output minimum.
class GPULevelsFilter : public GPUFilter {
 public:
  GPULevelsFilter();
  void setRedMin(float min, float gamma, float max, float minOut, float maxOut);
  void setGreenMin(float min, float gamma, float max, float minOut, float maxOut);
  void setBlueMin(float min, float gamma, float max, float minOut, float maxOut);
  void setRedMin(float min, float gamma, float max) { setRedMin(min, gamma, max, 0.0f, 1.0f); }
  void setGreenMin(float min, float gamma, float max) { setGreenMin(min, gamma, max, 0.0f, 1.0f); }
  void setBlueMin(float min, float gamma, float max) { setBlueMin(min, gamma, max, 0.0f, 1.0f); }
  void setMin(float min, float gamma, float max, float minOut, float maxOut);
  void setMin(float min, float gamma, float max) { setMin(min, gamma, max, 0.0f, 1.0f); }
  GPUVector3 minVector() const { return minVector_; }
  GPUVector3 midVector() const { return midVector_; }
  GPUVector3 maxVector() const { return maxVector_; }
  GPUVector3 minOutputVector() const { return minOutputVector_; }
  GPUVector3 maxOutputVector() const { return maxOutputVector_; }
 private:
  void updateUniforms();
  GLint minUniform_ = -1, midUniform_ = -1, maxUniform_ = -1, minOutputUniform_ = -1, maxOutputUniform_ = -1;
  GPUVector3 minVector_, midVector_, maxVector_, minOutputVector_, maxOutputVector_;
};

void registerColorAdjustmentFilters();
