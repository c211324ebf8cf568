#pragma once
// Filters that give the picture a look by sampling it on a grid or a
// neighbourhood: pixellation (square, around a point, polar), halftone and
// polka dots, cross-hatching, a four-colour palette, Kuwahara smoothing,
// sharpening and a vignette.
#include "gpu/GPUFilter.h"
#include "gpu/filters/GPUStockFilterSupport.h"

// Square cells of fractionalWidthOfAPixel across. The cell is never narrower
// than one pixel of the recorded input (1/2048 before any input), so a zero
// or negative width cannot reach the shader.
class GPUPixellateFilter : public GPUAspectRatioFilter {
 public:
  GPUPixellateFilter();
  explicit GPUPixellateFilter(const std::string& fragmentShader);
  void setFractionalWidthOfAPixel(float v);
  float fractionalWidthOfAPixel() const { return fractionalWidthOfAPixel_; }
  void setAspectRatio(float v) override;
  float aspectRatio() const { return aspectRatio_; }

 private:
  GLint fractionalWidthOfPixelUniform_ = -1, aspectRatioUniform_ = -1;
  float fractionalWidthOfAPixel_ = 0.05f, aspectRatio_ = 0;
};

// Black dots on white, larger where the cell is darker.
class GPUHalftoneFilter : public GPUPixellateFilter {
 public:
  GPUHalftoneFilter();
};

// Round dots of each cell's colour on black.
class GPUPolkaDotFilter : public GPUPixellateFilter {
 public:
  GPUPolkaDotFilter();
  void setDotScaling(float v);
  float dotScaling() const { return dotScaling_; }

 private:
  GLint dotScalingUniform_ = -1;
  float dotScaling_ = 0.9f;
};

// Pixellation inside a circle around a point only.
class GPUPixellatePositionFilter : public GPUAspectRatioFilter {
 public:
  GPUPixellatePositionFilter();
  explicit GPUPixellatePositionFilter(const std::string& fragmentShader);
  void setFractionalWidthOfAPixel(float v);
  void setAspectRatio(float v) override;
  void setCenter(gfx::Point p);
  void setRadius(float v);
  float fractionalWidthOfAPixel() const { return fractionalWidthOfAPixel_; }
  float aspectRatio() const { return aspectRatio_; }
  gfx::Point center() const { return center_; }
  float radius() const { return radius_; }

 private:
  GLint fractionalWidthOfPixelUniform_ = -1, aspectRatioUniform_ = -1, centerUniform_ = -1, radiusUniform_ = -1;
  float fractionalWidthOfAPixel_ = 0.05f, aspectRatio_ = 0, radius_ = 1.0f;
  gfx::Point center_{0.5f, 0.5f};
};

// Cells in polar coordinates around a centre: pixelSize is (radius step,
// angle step). A step of 0 leaves that coordinate unquantised.
class GPUPolarPixellateFilter : public GPUFilter {
 public:
  GPUPolarPixellateFilter();
  void setCenter(gfx::Point p);
  void setPixelSize(gfx::Size s);
  gfx::Point center() const { return center_; }
  gfx::Size pixelSize() const { return pixelSize_; }
  void setInputRotation(RotationMode rotation, int textureIndex) override;
  // For configurations: (radius step, angle step) as a point.
  void setPixelSizePoint(gfx::Point p) { setPixelSize({p.x, p.y}); }

 private:
  GLint centerUniform_ = -1, pixelSizeUniform_ = -1;
  gfx::Point center_{0.5f, 0.5f};
  gfx::Size pixelSize_{0.05f, 0.05f};
};

class GPUCrosshatchFilter : public GPUFilter {
 public:
  GPUCrosshatchFilter();
  void setCrossHatchSpacing(float v);
  void setLineWidth(float v);
  float crossHatchSpacing() const { return crossHatchSpacing_; }
  float lineWidth() const { return lineWidth_; }

 private:
  GLint crossHatchSpacingUniform_ = -1, lineWidthUniform_ = -1;
  float crossHatchSpacing_ = 0.03f, lineWidth_ = 0.003f;
};

// Cyan, magenta, white and black on a fixed 200 x 320 grid.
class GPUCGAColorspaceFilter : public GPUFilter {
 public:
  GPUCGAColorspaceFilter();
};

class GPUKuwaharaFilter : public GPUFilter {
 public:
  GPUKuwaharaFilter();
  void setRadius(unsigned v);
  unsigned radius() const { return radius_; }
  void setRadiusNumber(float v) { setRadius(v > 0 ? static_cast<unsigned>(v) : 0u); }

 private:
  GLint radiusUniform_ = -1;
  unsigned radius_ = 3;
};

class GPUSharpenFilter : public GPUFilter {
 public:
  GPUSharpenFilter();
  void setSharpness(float v);
  float sharpness() const { return sharpness_; }
  void setupFilterForSize(gfx::Size size) override;

 private:
  GLint sharpnessUniform_ = -1, imageWidthFactorUniform_ = -1, imageHeightFactorUniform_ = -1;
  float sharpness_ = 0;
};

class GPUVignetteFilter : public GPUFilter {
 public:
  GPUVignetteFilter();
  void setVignetteCenter(gfx::Point p);
  void setVignetteColor(GPUVector3 c);
  void setVignetteStart(float v);
  void setVignetteEnd(float v);
  gfx::Point vignetteCenter() const { return vignetteCenter_; }
  GPUVector3 vignetteColor() const { return vignetteColor_; }
  float vignetteStart() const { return vignetteStart_; }
  float vignetteEnd() const { return vignetteEnd_; }

 private:
  GLint vignetteCenterUniform_ = -1, vignetteColorUniform_ = -1, vignetteStartUniform_ = -1, vignetteEndUniform_ = -1;
  gfx::Point vignetteCenter_{0.5f, 0.5f};
  GPUVector3 vignetteColor_{0, 0, 0};
  float vignetteStart_ = 0.3f, vignetteEnd_ = 0.75f;
};

void registerStylisingFilters();
