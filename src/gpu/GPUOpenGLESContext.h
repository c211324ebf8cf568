#pragma once
// The pipeline's one processing context: an ES 2 context, the serial
// processing queue that carries every GL call of the pipeline, the program
// cache and the device's GL limits. The context is current only on the
// queue's thread, so GL work anywhere else cannot touch the pipeline's objects.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "gpu/GLProgram.h"
#include "platform/foundation/Dispatch.h"
#include "platform/gl/Context.h"
#include "platform/graphics/Geometry.h"

class GPUOpenGLESContext {
 public:
  // Created once, thread-safely; lives for the whole process.
  static GPUOpenGLESContext& sharedImageProcessingOpenGLESContext();
  static fd::DispatchQueue& sharedOpenGLESQueue();

  // On the processing queue: makes the context current there (creating it
  // on first use). false, with one logged line, when no ES 2 context can be
  // had or when called off the queue; the caller then issues no GL.
  static bool useImageProcessingContext();
  // On the processing queue: makes the program active unless it already is.
  static void setActiveShaderProgram(GLProgram* program);

  static int maximumTextureSizeForThisDevice();
  static int maximumTextureUnitsForThisDevice();
  // Fits a size into one texture of the device's maximum side.
  static gfx::Size sizeThatFitsWithinATextureForSize(gfx::Size size);
  // The same for a given maximum side M: sides strictly below M are kept;
  // otherwise the longer side becomes M, keeping the aspect ratio.
  static gfx::Size sizeThatFits(gfx::Size size, float maximumSide);
  // The platform has no texture cache shared with pixel buffers: sources and
  // sinks upload and read back.
  static bool supportsFastTextureUpload() { return false; }
  // Whether textures take BGRA bytes directly; otherwise they are swizzled on
  // the processor before upload. Known once the context exists.
  static bool supportsBGRATextures();
  // Tests: take the swizzling path even where the driver has BGRA.
  static void setBGRATexturesDisabledForTesting(bool disabled);

  // Objects in this share group are visible to the processing context. Only
  // before the context is first made.
  void useSharegroup(const glx::Context* shareWith);
  // The ES 2 context, created on first request; on the processing queue.
  glx::Context* context();
  // On the processing queue: the cached program for the exact pair of
  // sources, built (unlinked) on a miss. Never removed.
  // A missing source (nullopt) is a key of its own and gives a program that
  // fails to link.
  GLProgram* programForVertexShaderString(const std::optional<std::string>& vertexShader,
                                          const std::optional<std::string>& fragmentShader);
  GLProgram* currentShaderProgram() const { return currentShaderProgram_; }
  fd::DispatchQueue& contextQueue() { return contextQueue_; }
  // Presents the renderbuffer bound to GL_RENDERBUFFER on its layer.
  void presentBufferForDisplay();

 private:
  GPUOpenGLESContext();

  fd::DispatchQueue contextQueue_;
  const glx::Context* sharegroup_ = nullptr;
  std::unique_ptr<glx::Context> context_;
  bool contextFailed_ = false;
  bool bgraTextures_ = false;
  std::map<std::string, std::unique_ptr<GLProgram>> shaderProgramCache_;
  GLProgram* currentShaderProgram_ = nullptr;
};

// Run a job on the main thread or on the processing queue; inline when the
// caller is already there (an async job submitted from the queue itself runs
// before the function returns, so it is never reordered behind later ones).
void performOnMainQueueSync(const std::function<void()>& job);
void performOnProcessingQueueSync(const std::function<void()>& job);
void performOnProcessingQueueAsync(std::function<void()> job);
