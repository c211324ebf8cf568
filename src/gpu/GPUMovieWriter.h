#pragma once
// The pipeline target that records what it receives into a movie: each frame
// is drawn into a framebuffer of the recording size, read back as BGRA and
// appended to a media::MovieWriter at the frame's own time; sound handed over
// by a camera or a movie source goes to the sound track.
//
// Encoding runs on a queue of the writer's own, so the processing queue draws
// the next frame while the last one is encoded; a few frames may wait there,
// after which the processing queue waits for the encoder (a live camera then
// drops frames rather than the movie falling behind).
//
// The file is complete and readable when the completion is reported: a
// source's endProcessing finishes the recording before the completion block
// (or the delegate) is told. A writer that cannot write (a bad path, a full
// disk) reports the failure and leaves no file under the movie's name.
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "gpu/GLProgram.h"
#include "platform/foundation/Dispatch.h"
#include "gpu/GPUOutput.h"
#include "platform/media/MovieWriter.h"

class GPUMovieWriterDelegate {
 public:
  virtual ~GPUMovieWriterDelegate() = default;
  virtual void movieRecordingCompleted() {}
  virtual void movieRecordingFailedWithError(const std::string& error) { (void)error; }
};

class GPUMovieWriter : public GPUInput {
 public:
  // A QuickTime movie with H.264 at the size.
  GPUMovieWriter(const std::filesystem::path& movieURL, gfx::Size size);
  // Settings nullopt: H.264 at the size (truncated to whole pixels).
  GPUMovieWriter(const std::filesystem::path& movieURL, gfx::Size size, media::MovieContainer fileType,
                 std::optional<media::MovieVideoSettings> outputSettings);
  ~GPUMovieWriter() override;
  GPUMovieWriter(const GPUMovieWriter&) = delete;
  GPUMovieWriter& operator=(const GPUMovieWriter&) = delete;

  // Arms the writer: the first frame or sound after this starts the movie's
  // time line at its own time. A writer that could not be made reports its
  // failure here (again) to the block or delegate set by now.
  void startRecording();
  // The same, with the transform a player applies to show the pictures
  // upright stored with the movie.
  void startRecordingInOrientation(const gfx::AffineTransform& orientationTransform);
  // Closes the file (from any thread; waits for the frames already queued).
  // Failures go to the failure block or delegate; nothing else is reported.
  void finishRecording();
  // The same, then the handler, once the file is complete and readable
  // (or right after the failure was reported).
  void finishRecordingWithCompletionHandler(const std::function<void()>& handler);

  void setHasAudioTrack(bool hasAudioTrack);
  // Settings nullopt: AAC mono at the capture rate (media::kRecordingSampleRate), 64000 bit/s.
  void setHasAudioTrack(bool hasAudioTrack, std::optional<media::MovieAudioSettings> audioSettings);
  bool hasAudioTrack() const { return hasAudioTrack_; }
  // On the processing queue: sound at its own time.
  void processAudioBuffer(const media::AudioSamples& sound);

  // A movie source pulls its frames through these: the writer calls them on
  // the processing queue until they are cleared.
  void setVideoInputReadyCallback(std::function<void()> callback);
  void setAudioInputReadyCallback(std::function<void()> callback);
  void enableSynchronizationCallbacks();

  // --- GPUInput
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  void setInputTexture(GLuint texture, int) override { inputTextureForMovieRendering_ = texture; }
  void setTextureDelegate(GPUTextureDelegate* delegate, int) override { textureDelegate_ = delegate; }
  int nextAvailableTextureIndex() const override { return 0; }
  void setInputSize(gfx::Size size, int) override { inputSize_ = size; }
  void setInputRotation(RotationMode rotation, int) override { inputRotation_ = rotation; }
  gfx::Size maximumOutputSize() const override { return videoSize_; }
  // Finishes the recording, then reports the completion (once).
  void endProcessing() override;
  bool shouldIgnoreUpdatesToThisTarget() const override { return false; }
  bool enabled() const override { return enabled_; }
  void setEnabled(bool on) { enabled_ = on; }
  void conserveMemoryForNextFrame() override {}

  // --- properties
  void setCompletionBlock(std::function<void()> block);
  void setFailureBlock(std::function<void(const std::string&)> block);
  void setDelegate(GPUMovieWriterDelegate* delegate);
  bool encodingLiveVideo() const { return encodingLiveVideo_; }
  void setEncodingLiveVideo(bool live) { encodingLiveVideo_ = live; }
  bool shouldPassthroughAudio() const { return shouldPassthroughAudio_; }
  void setShouldPassthroughAudio(bool on) { shouldPassthroughAudio_ = on; }
  RotationMode inputRotation() const { return inputRotation_; }
  gfx::Size videoSize() const { return videoSize_; }
  const std::filesystem::path& movieURL() const { return movieURL_; }
  bool isRecording() const { return isRecording_; }
  CMTime startTime() const;
  // The platform writer's failure, empty while none, and the system's error
  // number it carries (0 for none).
  std::string error() const;
  int errorNumber() const;
  // Frames appended so far.
  int framesWritten() const { return framesWritten_; }

 private:
  void initializeMovieWithOutputSettings(const std::optional<media::MovieVideoSettings>& settings);
  void reportFailure(const fd::Failure& failure);
  void reportCompletion();
  // Closes the file on the processing queue; false when it failed.
  bool finishOnQueue();
  void startSessionIfNeeded(CMTime time, bool synchronizedStart);
  void setFilterFBO();
  void destroyDataFBO();
  void renderAtInternalSize();
  // Reads the input texture itself when it has the movie's size: the
  // drawing would copy it texel for texel. False when it cannot be read so.
  bool readInputTextureDirectly(std::uint8_t* out);
  // Hands work to the encoding queue, waiting while it is full.
  void encode(std::function<void()> job);
  void waitForEncoding();
  void pullSynchronizedSamples();

  std::filesystem::path movieURL_;
  media::MovieContainer fileType_;
  std::unique_ptr<media::MovieWriter> assetWriter_;
  std::string writerError_;
  int writerErrorNumber_ = 0;
  gfx::Size videoSize_;
  RotationMode inputRotation_ = RotationNone;
  GPUTextureDelegate* textureDelegate_ = nullptr;
  glx::FramebufferHandle movieFramebuffer_;
  glx::RenderbufferHandle movieRenderbuffer_;
  glx::FramebufferHandle inputReadFramebuffer_;
  gfx::Size inputSize_;
  GLProgram* colorSwizzlingProgram_ = nullptr;
  GLint colorSwizzlingInputTextureUniform_ = -1;
  GLuint inputTextureForMovieRendering_ = 0;
  CMTime startTime_ = kCMTimeInvalid;
  CMTime previousFrameTime_{0, 0, kCMTimeFlags_Valid | kCMTimeFlags_NegativeInfinity, 0};
  std::atomic<bool> isRecording_{false};
  bool hasAudioTrack_ = false;
  bool encodingLiveVideo_ = true;
  bool shouldPassthroughAudio_ = false;
  bool enabled_ = true;
  std::atomic<int> framesWritten_{0};

  mutable std::mutex reportMutex_;
  std::function<void()> completionBlock_;
  std::function<void(const std::string&)> failureBlock_;
  GPUMovieWriterDelegate* delegate_ = nullptr;
  bool completionReported_ = false;

  std::function<void()> videoInputReadyCallback_;
  std::function<void()> audioInputReadyCallback_;
  bool synchronizedEncoding_ = false;
  std::mutex encodingMutex_;
  std::condition_variable encodingDone_;
  int encodingBacklog_ = 0;
  std::unique_ptr<fd::DispatchQueue> encodingQueue_ =
      std::make_unique<fd::DispatchQueue>("flipdesk.movie-writer.encoding");
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};
