#include "gpu/GPUMovie.h"

#include <chrono>
#include <thread>

#include "gpu/GPUMovieWriter.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPixels.h"
#include "platform/foundation/Log.h"

GPUMovie::GPUMovie(std::filesystem::path url) : url_(std::move(url)) { initializeOutputTextureIfNeeded(); }

GPUMovie::GPUMovie(std::unique_ptr<media::MovieReader> asset) : reader_(std::move(asset)) {
  initializeOutputTextureIfNeeded();
}

GPUMovie::~GPUMovie() {
  stopRequested_ = true;
  if (readingThread_.joinable()) readingThread_.join();
  if (synchronizedMovieWriter_) {
    synchronizedMovieWriter_->setVideoInputReadyCallback(nullptr);
    synchronizedMovieWriter_->setAudioInputReadyCallback(nullptr);
  }
  performOnProcessingQueueSync([] {});
}

std::string GPUMovie::error() const {
  std::lock_guard lock(errorMutex_);
  return error_;
}

void GPUMovie::fail(const std::string& why) {
  fd::Log("Error reading from file at URL: %s (%s)\n", url_ ? url_->c_str() : "(opened movie)", why.c_str());
  std::lock_guard lock(errorMutex_);
  error_ = why;
}

void GPUMovie::enableSynchronizedEncodingUsingMovieWriter(const std::shared_ptr<GPUMovieWriter>& writer) {
  synchronizedMovieWriter_ = writer;
  if (writer) writer->setEncodingLiveVideo(false);
}

void GPUMovie::startProcessing() {
  endSent_ = false;
  videoEncodingIsFinished_ = false;
  framesProcessed_ = 0;
  if (!url_) {
    processAsset();
    return;
  }
  if (readingThread_.joinable()) readingThread_.join();
  previousFrameTime_ = kCMTimeZero;
  previousActualFrameTime_ = std::chrono::steady_clock::now();
  readingThread_ = std::thread([this] {
    auto reader = media::MovieReader::open(*url_);
    if (!reader) {
      fail(reader.error());
      return;
    }
    reader_ = std::move(*reader);
    processAsset();
  });
}

void GPUMovie::waitUntilDone() {
  if (readingThread_.joinable()) readingThread_.join();
}

void GPUMovie::processAsset() {
  if (!reader_ || !reader_->hasVideo() || reader_->status() == media::MovieReader::Status::Failed) {
    fail(!reader_ ? "no movie" : !reader_->hasVideo() ? "the movie has no pictures" : reader_->error());
    return;
  }
  audioEncodingIsFinished_ = true;
  if (reader_->hasAudio() && audioEncodingTarget_) {
    audioEncodingIsFinished_ = false;
    reader_->setReadsAudio(true);
  }
  if (synchronizedMovieWriter_) {
    synchronizedMovieWriter_->setVideoInputReadyCallback([this] {
      if (!stopRequested_ && !readNextVideoFrame()) finishReading();
    });
    synchronizedMovieWriter_->setAudioInputReadyCallback(
        audioEncodingIsFinished_ ? std::function<void()>() : [this] { readNextAudioSample(); });
    synchronizedMovieWriter_->enableSynchronizationCallbacks();
    return;
  }
  while (!stopRequested_ && readNextVideoFrame()) {
    if (!audioEncodingIsFinished_) readNextAudioSample();
  }
  if (!stopRequested_) finishReading();
}

bool GPUMovie::readNextVideoFrame() {
  if (videoEncodingIsFinished_) return false;
  auto frame = reader_->nextVideoFrame();
  if (!frame) {
    videoEncodingIsFinished_ = true;
    if (reader_->status() == media::MovieReader::Status::Failed) fail(reader_->error());
    return false;
  }
  if (playAtActualSpeed_) {
    const double frameDifference = CMTimeGetSeconds(frame->presentationTime) - CMTimeGetSeconds(previousFrameTime_);
    const auto now = std::chrono::steady_clock::now();
    const double actualDifference = std::chrono::duration<double>(now - previousActualFrameTime_).count();
    if (frameDifference > actualDifference) {
      std::this_thread::sleep_for(std::chrono::duration<double>(frameDifference - actualDifference));
    }
    previousFrameTime_ = frame->presentationTime;
    previousActualFrameTime_ = std::chrono::steady_clock::now();
  }
  performOnProcessingQueueSync([&] { processMovieFrame(*frame); });
  return true;
}

void GPUMovie::readNextAudioSample() {
  if (audioEncodingIsFinished_) return;
  auto sound = reader_->nextAudioSamples();
  if (!sound) {
    audioEncodingIsFinished_ = true;
    return;
  }
  performOnProcessingQueueSync([&] {
    if (audioEncodingTarget_) audioEncodingTarget_->processAudioBuffer(*sound);
  });
}

void GPUMovie::finishReading() {
  while (!audioEncodingIsFinished_ && !stopRequested_) readNextAudioSample();
  endProcessing();
}

void GPUMovie::processMovieFrame(const media::VideoSample& sample) {
  if (!sample.pixels || !GPUOpenGLESContext::useImageProcessingContext()) return;
  const auto started = std::chrono::steady_clock::now();
  const media::PixelBuffer& pixels = *sample.pixels;
  glBindTexture(GL_TEXTURE_2D, outputTexture_.get());
  uploadBGRATexture(pixels.bytesPerRow / 4, pixels.height, pixels.data.data());
  const gfx::Size size{static_cast<float>(pixels.width), static_cast<float>(pixels.height)};
  for (const TargetEntry& e : targetEntries()) {
    e.target->setInputSize(size, e.textureIndex);
    e.target->newFrameReadyAtTime(sample.presentationTime, e.textureIndex);
  }
  ++framesProcessed_;
  if (runBenchmark_) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    fd::Log("Current frame time : %f ms\n", ms);
  }
}

void GPUMovie::endProcessing() {
  if (endSent_.exchange(true)) return;
  performOnProcessingQueueSync([this] {
    for (const TargetEntry& e : targetEntries()) e.target->endProcessing();
  });
  if (synchronizedMovieWriter_) {
    synchronizedMovieWriter_->setVideoInputReadyCallback(nullptr);
    synchronizedMovieWriter_->setAudioInputReadyCallback(nullptr);
  }
}
