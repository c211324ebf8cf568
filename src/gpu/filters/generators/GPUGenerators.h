#pragma once
// Filters that produce a picture instead of transforming one: a solid
// colour, Perlin noise, crosshairs at points, lines by slope and intercept,
// and the parallel-coordinate transform that turns the lit pixels of its
// input into accumulated line segments (a voting space for line detection).
#include <vector>

#include "gpu/GPUFilter.h"
#include "gpu/filters/GPUStockFilterSupport.h"

// Every pixel the colour. Once it has a size it draws at each colour change
// and hands the colour at once to a target added later.
class GPUSolidColorGenerator : public GPUFilter {
 public:
  GPUSolidColorGenerator();
  void setColorRed(float r, float g, float b, float a);
  void setColor(GPUVector4 c) { setColorRed(c.one, c.two, c.three, c.four); }
  GPUVector4 color() const { return color_; }
  void forceProcessingAtSize(gfx::Size size) override;
  void addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) override;
  using GPUOutput::addTarget;

 private:
  void renderIfSized();
  GLint colorUniform_ = -1;
  GPUVector4 color_;
};

class GPUPerlinNoiseFilter : public GPUFilter {
 public:
  GPUPerlinNoiseFilter();
  void setScale(float v);
  void setColorStart(GPUVector4 c);
  void setColorFinish(GPUVector4 c);
  float scale() const { return scale_; }
  GPUVector4 colorStart() const { return colorStart_; }
  GPUVector4 colorFinish() const { return colorFinish_; }

 private:
  GLint scaleUniform_ = -1, colorStartUniform_ = -1, colorFinishUniform_ = -1;
  float scale_ = 8.0f;
  GPUVector4 colorStart_{0, 0, 0, 1}, colorFinish_{1, 1, 1, 1};
};

// Crosshairs crosshairWidth pixels across at points given in 0..1. Frames
// arriving through the pipeline draw nothing. A width of 0 or less draws no
// crosshair (its bar spacing would be a division by zero).
class GPUCrosshairGenerator : public GPUFilter {
 public:
  GPUCrosshairGenerator();
  void setCrosshairWidth(float v);
  float crosshairWidth() const { return crosshairWidth_; }
  void setCrosshairColorRed(float r, float g, float b);
  // x and y per crosshair.
  void renderCrosshairsFromArray(const float* points, int count, CMTime frameTime);
  void renderToTextureWithVertices(const GPUQuad&, const GPUQuad&, GLuint) override {}

 private:
  GLint crosshairWidthUniform_ = -1, crosshairColorUniform_ = -1;
  float crosshairWidth_ = 5.0f;
};

// Lines given as slope and intercept in device space (-1..1); a slope above
// 9000 is a vertical line at x = intercept. Any number of lines is drawn:
// the buffer grows past its first 1024 lines when asked for more.
class GPULineGenerator : public GPUFilter {
 public:
  static constexpr int kInitialLineCapacity = 1024;
  GPULineGenerator();
  void setLineWidth(float v);
  float lineWidth() const { return lineWidth_; }
  void setLineColorRed(float r, float g, float b);
  void renderLinesFromArray(const float* lines, int count, CMTime frameTime);
  void renderToTextureWithVertices(const GPUQuad&, const GPUQuad&, GLuint) override {}
  // Lines the buffer holds now.
  std::size_t lineCapacity() const { return lineCoordinates_.size() / 4; }

 private:
  void generateLineCoordinates(std::size_t lines);
  GLint lineColorUniform_ = -1;
  float lineWidth_ = 1.0f;
  std::vector<GLfloat> lineCoordinates_;
};

// Every second pixel of the input (in raster order) whose red is not zero
// becomes two segments joining the axes x = -1, 0 and 1; each adds 0.004 to
// the pixels it covers over opaque black. The buffers follow the input size;
// a zero-sized input gives opaque black.
class GPUParallelCoordinateLineTransformFilter : public GPUFilter {
 public:
  GPUParallelCoordinateLineTransformFilter();
  ~GPUParallelCoordinateLineTransformFilter() override;
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  unsigned maxLinePairsToRender() const { return maxLinePairsToRender_; }
  unsigned linePairsToRender() const { return linePairsToRender_; }

 private:
  void generateLineCoordinates();
  void renderLines();
  std::vector<std::uint8_t> rawImagePixels_;
  std::vector<GLfloat> lineCoordinates_;
  unsigned maxLinePairsToRender_ = 0, linePairsToRender_ = 0;
  int bufferWidth_ = 0, bufferHeight_ = 0;
  glx::FramebufferHandle readFramebuffer_;
};

void registerGenerators();
