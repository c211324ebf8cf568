#pragma once
// The single-input filter: draws its input texture, turned by the input's
// rotation, through one GLSL program into a framebuffer of its own and hands
// the result to its targets. The base of every filter.
//
// Uniform values belong to the filter instance, not to the program: filters
// made from the same two shader sources share one cached program, so each
// filter keeps the values it was given and sets them again before it draws.
#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "gpu/GLProgram.h"
#include "gpu/GPUOutput.h"

// Passes the position through and hands the texture coordinate on.
extern const char* const kGPUVertexShaderString;
// Every output pixel is the input texel at its coordinate.
extern const char* const kGPUPassthroughFragmentShaderString;
// The input with red and blue swapped: what glReadPixels then leaves in
// memory is B, G, R, A.
extern const char* const kGPUSwizzlingFragmentShaderString;

// A shader source from the bundle's resources ("<name>.<type>"); nullopt when missing.
std::optional<std::string> shaderSourceFromResource(const std::string& name, const std::string& type);

// Attributes in the order they take their locations: "position",
// "inputTextureCoordinate" (then whatever a filter draws with besides).
const std::vector<std::string>& defaultFilterAttributes();
// On the processing queue: the cached program for the two sources, linked
// with the attributes when new; nullptr (its logs written) when it fails.
GLProgram* linkedFilterProgram(const std::optional<std::string>& vertexShader,
                               const std::optional<std::string>& fragmentShader,
                               const std::vector<std::string>& attributes = defaultFilterAttributes());
// On the processing queue: makes the program active and enables the arrays
// of its position and first texture coordinate.
void activateFilterProgram(GLProgram* program);

class GPUFilter : public GPUFilterStage {
 public:
  // The pass-through filter.
  GPUFilter();
  explicit GPUFilter(const std::string& fragmentShader);
  GPUFilter(const std::string& vertexShader, const std::string& fragmentShader);
  // The fragment shader from the bundle resource "<name>.fsh".
  static std::shared_ptr<GPUFilter> withFragmentShaderFromFile(const std::string& name);
  ~GPUFilter() override;

  // --- GPUInput
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  void setInputTexture(GLuint texture, int textureIndex) override;
  void setTextureDelegate(GPUTextureDelegate* delegate, int textureIndex) override;
  int nextAvailableTextureIndex() const override { return 0; }
  void setInputSize(gfx::Size size, int textureIndex) override;
  void setInputRotation(RotationMode rotation, int textureIndex) override;
  gfx::Size maximumOutputSize() const override { return {}; }
  void endProcessing() override;
  void conserveMemoryForNextFrame() override;

  // --- drawing hooks
  virtual void setupFilterForSize(gfx::Size) {}
  virtual void setUniformsForProgramAtIndex(int) {}
  virtual void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                           GLuint sourceTexture);
  void informTargetsAboutNewFrameAtTime(CMTime frameTime);
  // The quad of a mode; a filter with a table of its own replaces it.
  virtual const GPUQuad& textureCoordinatesForRotation(int mode) const { return ::textureCoordinatesForRotation(mode); }

  // --- framebuffer and size
  gfx::Size sizeOfFBO() const;
  virtual void createFilterFBOofSize(gfx::Size size);
  virtual void destroyFilterFBO();
  virtual void setFilterFBO();
  virtual void setOutputFBO() { setFilterFBO(); }
  virtual void recreateFilterFBO();
  virtual void releaseInputTexturesIfNeeded();
  virtual gfx::Size outputFrameSize() const { return inputTextureSize_; }
  virtual gfx::Size rotatedSize(gfx::Size size, int textureIndex) const;
  void forceProcessingAtSize(gfx::Size size) override;
  void forceProcessingAtSizeRespectingAspectRatio(gfx::Size size) override;
  void cleanupOutputImage() override;

  // --- capture
  void prepareForImageCapture() override { preparedToCaptureImage_ = true; }
  gfx::Image newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation) override;

  // --- uniforms by location, for the given program. Each queues its work on
  // the processing queue; the value is kept by this filter and set again
  // before every draw with that program. Array values are copied.
  void setFloat(float value, GLint uniform, GLProgram* program);
  void setInteger(GLint value, GLint uniform, GLProgram* program);
  void setPoint(gfx::Point value, GLint uniform, GLProgram* program);
  void setSize(gfx::Size value, GLint uniform, GLProgram* program);
  void setVec3(GPUVector3 value, GLint uniform, GLProgram* program);
  void setVec4(GPUVector4 value, GLint uniform, GLProgram* program);
  void setMatrix3f(const GPUMatrix3x3& value, GLint uniform, GLProgram* program);
  void setMatrix4f(const GPUMatrix4x4& value, GLint uniform, GLProgram* program);
  void setFloatArray(const float* values, int length, GLint uniform, GLProgram* program);
  // --- uniforms by name in this filter's program
  void setInteger(GLint value, const std::string& uniformName);
  void setFloat(float value, const std::string& uniformName);
  void setSize(gfx::Size value, const std::string& uniformName);
  void setPoint(gfx::Point value, const std::string& uniformName);
  void setFloatVec3(GPUVector3 value, const std::string& uniformName);
  void setFloatVec4(GPUVector4 value, const std::string& uniformName);
  void setFloatArray(const float* values, int length, const std::string& uniformName);

  void setBackgroundColorRed(float red, float green, float blue, float alpha);
  bool preventRendering() const { return preventRendering_; }
  void setPreventRendering(bool on) { preventRendering_ = on; }
  RotationMode inputRotation() const { return inputRotation_; }
  GLProgram* filterProgram() const { return filterProgram_; }
  GLuint filterFramebuffer() const { return filterFramebuffer_.get(); }

 protected:
  GPUFilter(const std::optional<std::string>& vertexShader, const std::optional<std::string>& fragmentShader,
            const std::vector<std::string>& attributes);

  // On the processing queue, with the program active: this filter's values.
  void applyStoredUniforms(GLProgram* program) const;
  // Framebuffer plus texture storage of the size, colour attachment 0.
  static void attachNewTexture(glx::FramebufferHandle& framebuffer, glx::TextureHandle& texture, gfx::Size size);
  // Clears to the colour and draws the strip with the source on the unit.
  void drawQuad(GLProgram* program, const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                GLuint sourceTexture, GLint samplerUniform, int textureUnit) const;
  void setClearColor(float r, float g, float b, float a) const;
  // Program active, framebuffer bound and cleared, uniforms set: the steps
  // every first-program draw begins with.
  void prepareToDraw();
  // Binds the framebuffer with the viewport at sizeOfFBO.
  void bindFramebufferAtFBOSize(const glx::FramebufferHandle& framebuffer) const;

  GLuint filterSourceTexture_ = 0;
  glx::FramebufferHandle filterFramebuffer_;
  GLProgram* filterProgram_ = nullptr;
  GLint filterPositionAttribute_ = 0;
  GLint filterTextureCoordinateAttribute_ = 1;
  GLint filterInputTextureUniform_ = -1;
  float backgroundColorRed_ = 0, backgroundColorGreen_ = 0, backgroundColorBlue_ = 0, backgroundColorAlpha_ = 0;
  bool preparedToCaptureImage_ = false;
  RotationMode inputRotation_ = RotationNone;
  bool preventRendering_ = false;

 private:
  using UniformValue = std::variant<GLint, GLfloat, std::array<GLfloat, 2>, GPUVector3, GPUVector4, GPUMatrix3x3,
                                    GPUMatrix4x4, std::vector<GLfloat>>;
  struct StoredUniform {
    GLProgram* program;
    GLint location;
    UniformValue value;
  };
  void setUniform(UniformValue value, GLint uniform, GLProgram* program);
  static void applyUniform(GLint location, const UniformValue& value);
  std::vector<StoredUniform> uniformValues_;  // processing queue only
};
