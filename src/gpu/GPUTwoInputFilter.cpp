#include "gpu/GPUTwoInputFilter.h"

#include "gpu/GPUOpenGLESContext.h"

const char* const kGPUTwoInputTextureVertexShaderString =
    "attribute vec4 position;\n"
    "attribute vec4 inputTextureCoordinate;\n"
    "attribute vec4 inputTextureCoordinate2;\n"
    "varying vec2 textureCoordinate;\n"
    "varying vec2 textureCoordinate2;\n"
    "void main()\n"
    "{\n"
    "  gl_Position = position;\n"
    "  textureCoordinate = inputTextureCoordinate.xy;\n"
    "  textureCoordinate2 = inputTextureCoordinate2.xy;\n"
    "}\n";

namespace {
const std::vector<std::string>& twoInputAttributes() {
  static const std::vector<std::string> attributes = {"position", "inputTextureCoordinate",
                                                      "inputTextureCoordinate2"};
  return attributes;
}
}  // namespace

GPUTwoInputFilter::GPUTwoInputFilter(const std::string& fragmentShader)
    : GPUTwoInputFilter(kGPUTwoInputTextureVertexShaderString, fragmentShader) {}

GPUTwoInputFilter::GPUTwoInputFilter(const std::string& vertexShader, const std::string& fragmentShader)
    : GPUFilter(std::optional<std::string>(vertexShader), std::optional<std::string>(fragmentShader),
                twoInputAttributes()) {
  performOnProcessingQueueSync([this] {
    if (filterProgram_ == nullptr || !GPUOpenGLESContext::useImageProcessingContext()) return;
    filterSecondTextureCoordinateAttribute_ = filterProgram_->attributeIndex("inputTextureCoordinate2");
    filterInputTextureUniform2_ = filterProgram_->uniformIndex("inputImageTexture2");
    glEnableVertexAttribArray(filterSecondTextureCoordinateAttribute_);
  });
}

void GPUTwoInputFilter::newFrameReadyAtTime(CMTime frameTime, int textureIndex) {
  outputTextureRetainCount_ = static_cast<unsigned>(targets_.size());
  if (hasReceivedFirstFrame_ && hasReceivedSecondFrame_) return;
  bool movingAgainstStill = false;
  if (textureIndex == 0) {
    hasReceivedFirstFrame_ = true;
    firstFrameTime_ = frameTime;
    if (secondFrameCheckDisabled_) hasReceivedSecondFrame_ = true;
    movingAgainstStill = !CMTIME_IS_INDEFINITE(frameTime) && CMTIME_IS_INDEFINITE(secondFrameTime_);
  } else {
    hasReceivedSecondFrame_ = true;
    secondFrameTime_ = frameTime;
    if (firstFrameCheckDisabled_) hasReceivedFirstFrame_ = true;
    movingAgainstStill = !CMTIME_IS_INDEFINITE(frameTime) && CMTIME_IS_INDEFINITE(firstFrameTime_);
  }
  if ((hasReceivedFirstFrame_ && hasReceivedSecondFrame_) || movingAgainstStill) {
    GPUFilter::newFrameReadyAtTime(frameTime, 0);
    hasReceivedFirstFrame_ = false;
    hasReceivedSecondFrame_ = false;
  }
}

void GPUTwoInputFilter::setInputTexture(GLuint texture, int textureIndex) {
  if (textureIndex == 0) {
    filterSourceTexture_ = texture;
    // A source going away sends size zero and then texture 0: that 0
    // detaches the index rather than taking it.
    if (texture != 0 || !detachingFirstInput_) hasSetFirstTexture_ = true;
    detachingFirstInput_ = false;
  } else {
    filterSourceTexture2_ = texture;
  }
}

void GPUTwoInputFilter::setTextureDelegate(GPUTextureDelegate* delegate, int textureIndex) {
  if (textureIndex == 0) {
    firstTextureDelegate_ = delegate;
  } else {
    secondTextureDelegate_ = delegate;
  }
}

void GPUTwoInputFilter::setInputSize(gfx::Size size, int textureIndex) {
  if (textureIndex != 0) return;
  GPUFilter::setInputSize(size, textureIndex);
  if (size == gfx::Size{}) {
    hasSetFirstTexture_ = false;
    detachingFirstInput_ = true;
  }
}

void GPUTwoInputFilter::setInputRotation(RotationMode rotation, int textureIndex) {
  if (textureIndex == 0) {
    inputRotation_ = validRotation(rotation);
  } else {
    inputRotation2_ = validRotation(rotation);
  }
}

gfx::Size GPUTwoInputFilter::rotatedSize(gfx::Size size, int textureIndex) const {
  const RotationMode rotation = textureIndex == 0 ? inputRotation_ : inputRotation2_;
  return rotationSwapsWidthAndHeight(rotation) ? gfx::Size{size.height, size.width} : size;
}

void GPUTwoInputFilter::releaseInputTexturesIfNeeded() {
  if (!shouldConserveMemoryForNextFrame_) return;
  if (firstTextureDelegate_ != nullptr) firstTextureDelegate_->textureNoLongerNeededForTarget(this);
  if (secondTextureDelegate_ != nullptr) secondTextureDelegate_->textureNoLongerNeededForTarget(this);
  shouldConserveMemoryForNextFrame_ = false;
}

void GPUTwoInputFilter::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                    GLuint sourceTexture) {
  if (preventRendering_ || filterProgram_ == nullptr) return;
  prepareToDraw();
  glActiveTexture(GL_TEXTURE3);
  glBindTexture(GL_TEXTURE_2D, filterSourceTexture2_);
  glUniform1i(filterInputTextureUniform2_, 3);
  glVertexAttribPointer(filterSecondTextureCoordinateAttribute_, 2, GL_FLOAT, GL_FALSE, 0,
                        textureCoordinatesForRotation(inputRotation2_).data());
  drawQuad(filterProgram_, vertices, textureCoordinates, sourceTexture, filterInputTextureUniform_, 2);
}
