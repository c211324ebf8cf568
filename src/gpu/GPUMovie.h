#pragma once
// A movie file as a pipeline source: its pictures go to the targets as
// textures at their own media times, either as fast as the pipeline takes
// them, paced at the movie's own speed, or pulled one by one by a movie
// writer that re-encodes them. The sound goes to the audio encoding target.
// The targets hear endProcessing once, after the last picture and the last
// sound were handed over.
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "gpu/GPUOutput.h"
#include "platform/media/MovieReader.h"

class GPUMovie : public GPUOutput {
 public:
  // Read on a thread of the movie's own, started by startProcessing.
  explicit GPUMovie(std::filesystem::path url);
  // An opened movie, read on the caller's thread by startProcessing.
  explicit GPUMovie(std::unique_ptr<media::MovieReader> asset);
  ~GPUMovie() override;

  // The writer then pulls the frames; it encodes as fast as they come.
  void enableSynchronizedEncodingUsingMovieWriter(const std::shared_ptr<GPUMovieWriter>& writer);
  void startProcessing();
  // Tells every target once; a synchronised writer stops pulling.
  void endProcessing();
  // Waits for the reading thread of a movie opened by path.
  void waitUntilDone();

  const std::optional<std::filesystem::path>& url() const { return url_; }
  bool runBenchmark() const { return runBenchmark_; }
  void setRunBenchmark(bool on) { runBenchmark_ = on; }
  bool playAtActualSpeed() const { return playAtActualSpeed_; }
  void setPlayAtActualSpeed(bool on) { playAtActualSpeed_ = on; }
  // Why the movie could not be read; empty while it could.
  std::string error() const;
  // Pictures handed to the targets in this run.
  int framesProcessed() const { return framesProcessed_; }

 private:
  void processAsset();
  // False once the pictures have run out (the run then ends).
  bool readNextVideoFrame();
  void readNextAudioSample();
  // The sound still unread, then the end.
  void finishReading();
  void processMovieFrame(const media::VideoSample& sample);
  void fail(const std::string& why);

  std::optional<std::filesystem::path> url_;
  std::shared_ptr<media::MovieReader> reader_;
  std::shared_ptr<GPUMovieWriter> synchronizedMovieWriter_;
  std::thread readingThread_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> endSent_{false};
  bool audioEncodingIsFinished_ = true;
  bool videoEncodingIsFinished_ = false;
  CMTime previousFrameTime_ = kCMTimeZero;
  std::chrono::steady_clock::time_point previousActualFrameTime_;
  bool runBenchmark_ = false;
  bool playAtActualSpeed_ = false;
  std::atomic<int> framesProcessed_{0};
  mutable std::mutex errorMutex_;
  std::string error_;
};
