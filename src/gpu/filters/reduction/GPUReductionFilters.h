#pragma once
// Filters that turn a frame into numbers or a chart: the mean colour and the
// mean luminance, reduced on the GPU by repeated 4 x 4 averaging and read
// back to a callback; a 256-bin histogram counted by additive blending of
// one point per sampled pixel; and the bar chart of such a histogram.
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "gpu/GPUFilter.h"
#include "platform/foundation/Expected.h"

// The sides of each averaging stage for an input: each a quarter of the one
// before (rounded down), while both sides stay at least 2. Empty below 8.
std::vector<gfx::Size> reductionStageSizes(gfx::Size inputSize);

// Hands its targets the last (smallest) stage and, after every frame, the
// mean red, green, blue and alpha (0..1) of the frame to its callback. An
// input too small for one stage is averaged directly; nothing is reported
// for an empty input or when the shaders did not build.
class GPUAverageColor : public GPUFilter {
 public:
  using ColorAverageProcessingFinishedBlock =
      std::function<void(float red, float green, float blue, float alpha, CMTime frameTime)>;

  GPUAverageColor();
  ~GPUAverageColor() override;

  void setColorAverageProcessingFinishedBlock(ColorAverageProcessingFinishedBlock block);

  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  // The mean is the same in any orientation: rotations are not applied.
  void setInputRotation(RotationMode rotation, int textureIndex) override;
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;
  void setFilterFBO() override;
  void destroyFilterFBO() override;
  void recreateFilterFBO() override;
  gfx::Size outputFrameSize() const override;
  GLuint textureForOutput() const override;
  gfx::Image newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation) override;

  // The stage sizes now planned (on the processing queue).
  std::vector<gfx::Size> stageSizes() const;

 protected:
  // For a subclass that draws the first stage with a shader of its own.
  explicit GPUAverageColor(const std::string& firstStageFragmentShader);

  struct StageProgram {
    GLProgram* program = nullptr;
    GLint inputTexture = -1, texelWidth = -1, texelHeight = -1;
  };
  virtual StageProgram programForStage(std::size_t index) const;
  // Turns the pixels of the last stage (or of the input, when no stage fits)
  // into the callback's values.
  virtual void reportPixels(const std::vector<std::uint8_t>& rgba, std::size_t pixelCount, bool fromInput,
                            CMTime frameTime);
  static StageProgram stageProgram(GLProgram* program);

  StageProgram firstStage_;

 private:
  struct Stage {
    gfx::Size size;
    glx::TextureHandle texture;
    glx::FramebufferHandle framebuffer;
  };
  void planStages();
  void extractAtFrameTime(CMTime frameTime);

  std::vector<Stage> stages_;
  gfx::Size plannedFor_;
  bool reduced_ = false;
  std::vector<std::uint8_t> rawImagePixels_;
  glx::FramebufferHandle readFramebuffer_;
  ColorAverageProcessingFinishedBlock colorAverageProcessingFinishedBlock_;
};

// The mean luminance (weights 0.2125, 0.7154, 0.0721): the first stage
// reduces luminance, the later ones its red channel.
class GPULuminosity : public GPUAverageColor {
 public:
  using LuminosityProcessingFinishedBlock = std::function<void(float luminosity, CMTime frameTime)>;

  GPULuminosity();
  void setLuminosityProcessingFinishedBlock(LuminosityProcessingFinishedBlock block);

 protected:
  StageProgram programForStage(std::size_t index) const override;
  void reportPixels(const std::vector<std::uint8_t>& rgba, std::size_t pixelCount, bool fromInput,
                    CMTime frameTime) override;

 private:
  StageProgram secondStage_;
  LuminosityProcessingFinishedBlock luminosityProcessingFinishedBlock_;
};

enum class GPUHistogramType { Red = 0, Green = 1, Blue = 2, RGB = 3, Luminance = 4 };

// Counts sampled pixels into 256 bins along the middle row of a 256 x 3
// output: each point adds one step (1/255) to its bin, in the channel of its
// kind (all three for luminance), saturating at 255 points. Every
// downsamplingFactor-th point of the frame's bytes is drawn.
class GPUHistogramFilter : public GPUFilter {
 public:
  explicit GPUHistogramFilter(GPUHistogramType type = GPUHistogramType::RGB);
  // A kind given as a number; numbers outside 0..4 are refused.
  static fd::Expected<std::shared_ptr<GPUHistogramFilter>> withHistogramType(int type);
  ~GPUHistogramFilter() override;

  GPUHistogramType histogramType() const { return histogramType_; }
  unsigned downsamplingFactor() const { return downsamplingFactor_; }
  // 0 is taken as 1 (every pixel).
  void setDownsamplingFactor(unsigned factor);
  void setDownsamplingFactorNumber(float v) { setDownsamplingFactor(v > 0 ? static_cast<unsigned>(v) : 0u); }

  void setInputSize(gfx::Size size, int textureIndex) override;
  void setInputRotation(RotationMode rotation, int textureIndex) override;
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;
  void setFilterFBO() override;
  gfx::Size outputFrameSize() const override { return kHistogramSize; }
  gfx::Image newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation) override;

  static constexpr gfx::Size kHistogramSize{256, 3};

 private:
  GPUHistogramType histogramType_;
  std::atomic<unsigned> downsamplingFactor_{16};
  GLProgram* secondFilterProgram_ = nullptr;
  GLProgram* thirdFilterProgram_ = nullptr;
  std::vector<std::uint8_t> vertexSamplingCoordinates_;
  glx::FramebufferHandle readFramebuffer_;
};

// Draws a histogram (the 256 x 3 output above) as bars: a pixel shows a
// channel's colour where that channel's bin reaches its height (1 - y), the
// background colour where no channel does.
class GPUHistogramGenerator : public GPUFilter {
 public:
  GPUHistogramGenerator();
  void setBackgroundColorRed(float red, float green, float blue, float alpha);

 private:
  GLint backgroundColorUniform_ = -1;
};

void registerReductionFilters();
