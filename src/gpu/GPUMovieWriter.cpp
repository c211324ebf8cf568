#include "gpu/GPUMovieWriter.h"

#include <cinttypes>

#include "gpu/GPUFilter.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPixels.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Extensions.h"
#include "platform/media/AudioFile.h"
#include "platform/gl/Util.h"

GPUMovieWriter::GPUMovieWriter(const std::filesystem::path& movieURL, gfx::Size size)
    : GPUMovieWriter(movieURL, size, media::MovieContainer::QuickTime, std::nullopt) {}

GPUMovieWriter::GPUMovieWriter(const std::filesystem::path& movieURL, gfx::Size size,
                               media::MovieContainer fileType,
                               std::optional<media::MovieVideoSettings> outputSettings)
    : movieURL_(movieURL), fileType_(fileType), videoSize_(size) {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    // glReadPixels gives R, G, B, A in memory; the movie takes B, G, R, A.
    colorSwizzlingProgram_ =
        linkedFilterProgram(std::string(kGPUVertexShaderString), std::string(kGPUSwizzlingFragmentShaderString));
    if (colorSwizzlingProgram_ == nullptr) return;
    colorSwizzlingInputTextureUniform_ = colorSwizzlingProgram_->uniformIndex("inputImageTexture");
    activateFilterProgram(colorSwizzlingProgram_);
  });
  initializeMovieWithOutputSettings(outputSettings);
}

GPUMovieWriter::~GPUMovieWriter() {
  // Stops the synchronised pulls before anything they touch goes away.
  performOnProcessingQueueSync([this] { *alive_ = false; });
  destroyDataFBO();
  waitForEncoding();
  encodingQueue_.reset();
  // An unfinished recording is no movie: the media writer removes its file.
  performOnProcessingQueueSync([this] { assetWriter_.reset(); });
}

void GPUMovieWriter::initializeMovieWithOutputSettings(const std::optional<media::MovieVideoSettings>& settings) {
  isRecording_ = false;
  enabled_ = true;
  auto writer = media::MovieWriter::create(movieURL_, fileType_);
  if (!writer) {
    reportFailure(writer.failure());
    return;
  }
  assetWriter_ = std::move(*writer);
  media::MovieVideoSettings video;
  if (settings) {
    video = *settings;
  } else {
    video.width = static_cast<int>(videoSize_.width);
    video.height = static_cast<int>(videoSize_.height);
  }
  if (auto s = assetWriter_->addVideoTrack(video); !s) reportFailure(s.failure());
}

void GPUMovieWriter::reportFailure(const fd::Failure& failure) {
  const std::string& error = failure.message;
  fd::Log("Error: %s\n", error.c_str());
  std::function<void(const std::string&)> block;
  GPUMovieWriterDelegate* delegate = nullptr;
  {
    std::lock_guard lock(reportMutex_);
    if (writerError_.empty()) {
      writerError_ = error;
      writerErrorNumber_ = failure.error;
    }
    block = failureBlock_;
    delegate = delegate_;
  }
  if (block) {
    block(error);
  } else if (delegate != nullptr) {
    delegate->movieRecordingFailedWithError(error);
  }
}

void GPUMovieWriter::reportCompletion() {
  std::function<void()> block;
  GPUMovieWriterDelegate* delegate = nullptr;
  {
    std::lock_guard lock(reportMutex_);
    if (completionReported_) return;
    completionReported_ = true;
    block = completionBlock_;
    delegate = delegate_;
  }
  if (block) {
    block();
  } else if (delegate != nullptr) {
    delegate->movieRecordingCompleted();
  }
}

void GPUMovieWriter::setCompletionBlock(std::function<void()> block) {
  std::lock_guard lock(reportMutex_);
  completionBlock_ = std::move(block);
}

void GPUMovieWriter::setFailureBlock(std::function<void(const std::string&)> block) {
  std::lock_guard lock(reportMutex_);
  failureBlock_ = std::move(block);
}

void GPUMovieWriter::setDelegate(GPUMovieWriterDelegate* delegate) {
  std::lock_guard lock(reportMutex_);
  delegate_ = delegate;
}

std::string GPUMovieWriter::error() const {
  std::lock_guard lock(reportMutex_);
  return writerError_;
}

int GPUMovieWriter::errorNumber() const {
  std::lock_guard lock(reportMutex_);
  return writerErrorNumber_;
}

CMTime GPUMovieWriter::startTime() const {
  CMTime t;
  performOnProcessingQueueSync([&] { t = startTime_; });
  return t;
}

void GPUMovieWriter::startRecording() {
  performOnProcessingQueueSync([this] {
    startTime_ = kCMTimeInvalid;
    isRecording_ = true;
  });
  const std::string failure = error();
  if (!failure.empty()) reportFailure({failure, errorNumber()});
}

void GPUMovieWriter::startRecordingInOrientation(const gfx::AffineTransform& t) {
  performOnProcessingQueueSync([&] {
    if (!assetWriter_) return;
    if (auto s = assetWriter_->setVideoTransform({t.a, t.b, t.c, t.d, t.tx, t.ty}); !s) fd::Log("%s\n", s.error().c_str());
  });
  startRecording();
}

void GPUMovieWriter::setHasAudioTrack(bool hasAudioTrack) { setHasAudioTrack(hasAudioTrack, std::nullopt); }

void GPUMovieWriter::setHasAudioTrack(bool hasAudioTrack, std::optional<media::MovieAudioSettings> audioSettings) {
  performOnProcessingQueueSync([&] {
    hasAudioTrack_ = hasAudioTrack;
    if (!hasAudioTrack || !assetWriter_ || assetWriter_->hasAudioTrack()) return;
    // Sound passed through keeps its own rate and channels; the writer
    // still has to encode it, so pass-through takes the sound's defaults.
    media::MovieAudioSettings settings;
    if (audioSettings && !shouldPassthroughAudio_) {
      settings = *audioSettings;
    } else {
      settings.sampleRate = media::kRecordingSampleRate;
      settings.channels = 1;
      settings.bitRate = 64000;
    }
    if (auto s = assetWriter_->addAudioTrack(settings); !s) {
      hasAudioTrack_ = false;
      fd::Log("Error: %s\n", s.error().c_str());
    }
  });
}

void GPUMovieWriter::startSessionIfNeeded(CMTime time, bool synchronizedStart) {
  if (CMTIME_IS_VALID(startTime_)) return;
  if (!synchronizedStart) assetWriter_->startWriting();
  assetWriter_->startSession(time);
  startTime_ = time;
}

void GPUMovieWriter::newFrameReadyAtTime(CMTime frameTime, int) {
  if (!isRecording_ || !assetWriter_) return;
  if (!CMTIME_IS_VALID(frameTime) || CMTIME_IS_INDEFINITE(frameTime) || frameTime == previousFrameTime_) return;
  startSessionIfNeeded(frameTime, synchronizedEncoding_);
  if (!GPUOpenGLESContext::useImageProcessingContext() || colorSwizzlingProgram_ == nullptr) return;
  const int w = static_cast<int>(videoSize_.width), h = static_cast<int>(videoSize_.height);
  auto pixels = media::PixelBuffer::make(w, h);
  if (pixels->data.empty()) return;
  if (!readInputTextureDirectly(pixels->data.data())) {
    renderAtInternalSize();
    glx::readPixels(0, 0, w, h, pixels->data.data());
  }
  media::MovieWriter* writer = assetWriter_.get();
  encode([this, writer, pixels, frameTime] {
    if (writer->appendVideo(*pixels, frameTime)) {
      ++framesWritten_;
    } else {
      fd::Log("Problem appending pixel buffer at time: %" PRId64 "\n", frameTime.value);
    }
  });
  previousFrameTime_ = frameTime;
}

void GPUMovieWriter::processAudioBuffer(const media::AudioSamples& sound) {
  if (!isRecording_ || !hasAudioTrack_ || !assetWriter_) return;
  startSessionIfNeeded(sound.presentationTime, audioInputReadyCallback_ != nullptr);
  media::MovieWriter* writer = assetWriter_.get();
  encode([writer, sound] {
    if (!writer->appendAudio(sound)) fd::Log("Had to drop an audio frame\n");
  });
}

void GPUMovieWriter::encode(std::function<void()> job) {
  // Two frames of 640x480 wait at most: enough to keep both queues busy.
  constexpr int kMaximumBacklog = 3;
  {
    std::unique_lock lock(encodingMutex_);
    encodingDone_.wait(lock, [this] { return encodingBacklog_ < kMaximumBacklog; });
    ++encodingBacklog_;
  }
  encodingQueue_->async([this, job = std::move(job)] {
    job();
    std::lock_guard lock(encodingMutex_);
    --encodingBacklog_;
    encodingDone_.notify_all();
  });
}

void GPUMovieWriter::waitForEncoding() {
  if (encodingQueue_) encodingQueue_->drain();
}

bool GPUMovieWriter::readInputTextureDirectly(std::uint8_t* out) {
  if (!(inputSize_ == videoSize_)) return false;
  return readTexturePixels(inputTextureForMovieRendering_, inputReadFramebuffer_, static_cast<int>(videoSize_.width),
                           static_cast<int>(videoSize_.height), out, true);
}

void GPUMovieWriter::setFilterFBO() {
  const int w = static_cast<int>(videoSize_.width), h = static_cast<int>(videoSize_.height);
  if (!movieFramebuffer_) {
    glActiveTexture(GL_TEXTURE1);
    movieFramebuffer_ = glx::FramebufferHandle::make();
    glBindFramebuffer(GL_FRAMEBUFFER, movieFramebuffer_.get());
    movieRenderbuffer_ = glx::RenderbufferHandle::make();
    glBindRenderbuffer(GL_RENDERBUFFER, movieRenderbuffer_.get());
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8_OES, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, movieRenderbuffer_.get());
  }
  glBindFramebuffer(GL_FRAMEBUFFER, movieFramebuffer_.get());
  glViewport(0, 0, w, h);
}

void GPUMovieWriter::destroyDataFBO() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    movieFramebuffer_.reset();
    movieRenderbuffer_.reset();
    inputReadFramebuffer_.reset();
  });
}

void GPUMovieWriter::renderAtInternalSize() {
  setFilterFBO();
  GPUOpenGLESContext::setActiveShaderProgram(colorSwizzlingProgram_);
  // Opaque red shows at once where the quad failed to cover the frame.
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glActiveTexture(GL_TEXTURE4);
  glBindTexture(GL_TEXTURE_2D, inputTextureForMovieRendering_);
  glUniform1i(colorSwizzlingInputTextureUniform_, 4);
  glVertexAttribPointer(colorSwizzlingProgram_->attributeIndex("position"), 2, GL_FLOAT, GL_FALSE, 0,
                        kFullFrameVertices.data());
  glVertexAttribPointer(colorSwizzlingProgram_->attributeIndex("inputTextureCoordinate"), 2, GL_FLOAT, GL_FALSE, 0,
                        textureCoordinatesForRotation(RotationNone).data());
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glFinish();
}

bool GPUMovieWriter::finishOnQueue() {
  bool ok = false;
  fd::Failure failure;
  performOnProcessingQueueSync([&] {
    isRecording_ = false;
    // No more pulls: the file is closing.
    videoInputReadyCallback_ = nullptr;
    audioInputReadyCallback_ = nullptr;
    if (!assetWriter_) {
      failure = {error(), errorNumber()};
      return;
    }
    waitForEncoding();
    if (assetWriter_->status() == media::MovieWriter::Status::Completed) {
      ok = true;
      return;
    }
    if (auto s = assetWriter_->finishWriting(); !s) {
      failure = s.failure();
      return;
    }
    ok = true;
  });
  if (!ok && failure.message.empty()) failure.message = "the movie could not be written";
  if (!ok) reportFailure(failure);
  return ok;
}

void GPUMovieWriter::finishRecording() {
  if (assetWriter_ && assetWriter_->status() == media::MovieWriter::Status::Completed) return;
  finishOnQueue();
}

void GPUMovieWriter::finishRecordingWithCompletionHandler(const std::function<void()>& handler) {
  finishRecording();
  if (handler) handler();
}

void GPUMovieWriter::endProcessing() {
  if (finishOnQueue()) reportCompletion();
}

void GPUMovieWriter::setVideoInputReadyCallback(std::function<void()> callback) {
  performOnProcessingQueueSync([&] { videoInputReadyCallback_ = std::move(callback); });
}

void GPUMovieWriter::setAudioInputReadyCallback(std::function<void()> callback) {
  performOnProcessingQueueSync([&] { audioInputReadyCallback_ = std::move(callback); });
}

void GPUMovieWriter::enableSynchronizationCallbacks() {
  performOnProcessingQueueSync([this] {
    if (videoInputReadyCallback_ && assetWriter_) {
      synchronizedEncoding_ = true;
      assetWriter_->startWriting();
    }
  });
  // Each pull is a job of its own, so other work on the queue goes between.
  auto alive = alive_;
  GPUOpenGLESContext::sharedOpenGLESQueue().async([this, alive] {
    if (*alive) pullSynchronizedSamples();
  });
}

void GPUMovieWriter::pullSynchronizedSamples() {
  if (!videoInputReadyCallback_ && !audioInputReadyCallback_) return;
  // Copies: a callback may clear or replace itself.
  if (auto video = videoInputReadyCallback_) video();
  if (auto audio = audioInputReadyCallback_) audio();
  auto alive = alive_;
  GPUOpenGLESContext::sharedOpenGLESQueue().async([this, alive] {
    if (*alive) pullSynchronizedSamples();
  });
}
