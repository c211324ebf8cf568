#include "gpu/GPUTwoPassFilter.h"

#include "gpu/GPUOpenGLESContext.h"

GPUTwoPassFilter::GPUTwoPassFilter(const std::string& firstStageVertexShader,
                                   const std::string& firstStageFragmentShader,
                                   const std::string& secondStageVertexShader,
                                   const std::string& secondStageFragmentShader)
    : GPUFilter(firstStageVertexShader, firstStageFragmentShader) {
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    secondFilterProgram_ = linkedFilterProgram(secondStageVertexShader, secondStageFragmentShader);
    if (secondFilterProgram_ == nullptr) return;
    secondFilterInputTextureUniform_ = secondFilterProgram_->uniformIndex("inputImageTexture");
    activateFilterProgram(secondFilterProgram_);
  });
}

GPUTwoPassFilter::GPUTwoPassFilter(const std::string& firstStageFragmentShader,
                                   const std::string& secondStageFragmentShader)
    : GPUTwoPassFilter(kGPUVertexShaderString, firstStageFragmentShader, kGPUVertexShaderString,
                       secondStageFragmentShader) {}

GPUTwoPassFilter::~GPUTwoPassFilter() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    secondFilterFramebuffer_.reset();
    secondFilterOutputTexture_.reset();
  });
}

void GPUTwoPassFilter::createFilterFBOofSize(gfx::Size size) {
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    if (!filterFramebuffer_) attachNewTexture(filterFramebuffer_, outputTexture_, size);
    attachNewTexture(secondFilterFramebuffer_, secondFilterOutputTexture_, size);
    notifyTargetsAboutNewOutputTexture();
    glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindTexture(GL_TEXTURE_2D, 0);
  });
}

void GPUTwoPassFilter::setFilterFBO() {
  if (!filterFramebuffer_) {
    const gfx::Size size = sizeOfFBO();
    attachNewTexture(filterFramebuffer_, outputTexture_, size);
    glBindTexture(GL_TEXTURE_2D, 0);
    setupFilterForSize(size);
  }
  bindFramebufferAtFBOSize(filterFramebuffer_);
}

void GPUTwoPassFilter::setSecondFilterFBO() {
  if (!secondFilterFramebuffer_) {
    const gfx::Size size = sizeOfFBO();
    createFilterFBOofSize(size);
    setupFilterForSize(size);
  }
  bindFramebufferAtFBOSize(secondFilterFramebuffer_);
}

void GPUTwoPassFilter::recreateFilterFBO() {
  destroyFilterFBO();
  deleteOutputTexture();
}

void GPUTwoPassFilter::destroyFilterFBO() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    filterFramebuffer_.reset();
    secondFilterFramebuffer_.reset();
  });
}

void GPUTwoPassFilter::deleteOutputTexture() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    outputTexture_.reset();
    secondFilterOutputTexture_.reset();
  });
}

void GPUTwoPassFilter::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                   GLuint sourceTexture) {
  if (preventRendering_) return;
  GPUFilter::renderToTextureWithVertices(vertices, textureCoordinates, sourceTexture);
  if (secondFilterProgram_ == nullptr) return;
  setSecondFilterFBO();
  GPUOpenGLESContext::setActiveShaderProgram(secondFilterProgram_);
  applyStoredUniforms(secondFilterProgram_);
  setUniformsForProgramAtIndex(1);
  // The intermediate image is already upright: the second pass reads it unturned.
  setClearColor(0, 0, 0, 1);
  drawQuad(secondFilterProgram_, vertices, textureCoordinatesForRotation(RotationNone), outputTexture_.get(),
           secondFilterInputTextureUniform_, 3);
  if (shouldConserveMemoryForNextFrame_) {
    if (firstTextureDelegate_ != nullptr) firstTextureDelegate_->textureNoLongerNeededForTarget(this);
    filterFramebuffer_.reset();
    outputTexture_.reset();
    shouldConserveMemoryForNextFrame_ = false;
  }
}

// --- texture sampling

GPUTwoPassTextureSamplingFilter::GPUTwoPassTextureSamplingFilter(const std::string& firstStageVertexShader,
                                                                 const std::string& firstStageFragmentShader,
                                                                 const std::string& secondStageVertexShader,
                                                                 const std::string& secondStageFragmentShader)
    : GPUTwoPassFilter(firstStageVertexShader, firstStageFragmentShader, secondStageVertexShader,
                       secondStageFragmentShader) {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    if (filterProgram_ != nullptr) {
      verticalPassTexelWidthOffsetUniform_ = filterProgram_->uniformIndex("texelWidthOffset");
      verticalPassTexelHeightOffsetUniform_ = filterProgram_->uniformIndex("texelHeightOffset");
    }
    if (secondFilterProgram_ != nullptr) {
      horizontalPassTexelWidthOffsetUniform_ = secondFilterProgram_->uniformIndex("texelWidthOffset");
      horizontalPassTexelHeightOffsetUniform_ = secondFilterProgram_->uniformIndex("texelHeightOffset");
    }
  });
}

void GPUTwoPassTextureSamplingFilter::setupFilterForSize(gfx::Size size) {
  performOnProcessingQueueSync([&] {
    // The first pass reads the input still turned: for quarter turns its
    // vertical step runs along the texture's x axis.
    if (rotationSwapsWidthAndHeight(inputRotation_)) {
      verticalPassTexelWidthOffset_ = 1.0f / size.height;
      verticalPassTexelHeightOffset_ = 0;
    } else {
      verticalPassTexelWidthOffset_ = 0;
      verticalPassTexelHeightOffset_ = 1.0f / size.height;
    }
    horizontalPassTexelWidthOffset_ = 1.0f / size.width;
    horizontalPassTexelHeightOffset_ = 0;
  });
}

void GPUTwoPassTextureSamplingFilter::setUniformsForProgramAtIndex(int programIndex) {
  if (programIndex == 0) {
    glUniform1f(verticalPassTexelWidthOffsetUniform_, verticalPassTexelWidthOffset_);
    glUniform1f(verticalPassTexelHeightOffsetUniform_, verticalPassTexelHeightOffset_);
  } else {
    glUniform1f(horizontalPassTexelWidthOffsetUniform_, horizontalPassTexelWidthOffset_);
    glUniform1f(horizontalPassTexelHeightOffsetUniform_, horizontalPassTexelHeightOffset_);
  }
}
