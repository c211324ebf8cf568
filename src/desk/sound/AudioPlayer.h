#pragma once
// One sound file played through an output buffer queue, with a seek, a volume
// and level meters: `AudioQueueObject` holds the queue, the file and its
// format; `AudioPlayer` reads the file into three buffers of about 0.1 s and
// refills each as it comes back. Main thread only (buffers come back on the
// main run loop). A stopped player has closed its file and cannot play again.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/AudioQueue.h"
#include "platform/media/PcmFile.h"

class AudioQueueObject {
 public:
  virtual ~AudioQueueObject();

  void incrementStartingPacketNumberBy(std::uint32_t count) { startingPacketNumber_ += count; }
  bool isRunning() const;
  void enableLevelMetering();
  // The first channel's average and peak power, in decibels.
  void getAudioLevels(float* average, float* peak);

  std::int64_t startingPacketNumber() const { return startingPacketNumber_; }
  void setStartingPacketNumber(std::int64_t n) { startingPacketNumber_ = n; }
  const media::StreamDescription& audioFormat() const { return audioFormat_; }
  const std::filesystem::path& audioFileURL() const { return audioFileURL_; }
  void setNotificationDelegate(const void* delegate) { notificationDelegate_ = delegate; }
  const void* notificationDelegate() const { return notificationDelegate_; }

 protected:
  std::shared_ptr<media::AudioQueue> queueObject_;
  std::unique_ptr<media::PcmFile> audioFileID_;
  std::filesystem::path audioFileURL_;
  media::StreamDescription audioFormat_;
  std::vector<media::LevelMeter> audioLevels_;
  std::int64_t startingPacketNumber_ = 0;
  const void* notificationDelegate_ = nullptr;
};

class AudioPlayer : public AudioQueueObject {
 public:
  // Ready to play. A file that cannot be opened leaves an empty format, and
  // playing it does nothing; openFailure() then says why, naming the file.
  static std::unique_ptr<AudioPlayer> initWithURL(const std::filesystem::path& file);
  const std::string& openFailure() const { return openFailure_; }

  void play() { playAt(0); }
  void playAt(double seconds);
  void stop();
  void pause();
  void resume();
  void setupVolume(float gain);
  void setupMode(std::uint32_t mode) { playMode_ = mode; }
  double getDuration();
  double getTimeElapsed() const;
  double getTimeLine() const;
  int getQualityType();

  std::uint32_t bufferByteSize() const { return bufferByteSize_; }
  std::uint32_t numPacketsToRead() const { return numPacketsToRead_; }
  float gain() const { return gain_; }
  bool donePlayingFile() const { return donePlayingFile_; }
  void setAudioPlayerShouldStopImmediately(bool v) { audioPlayerShouldStopImmediately_ = v; }
  // Buffers the last playAt filled before starting (at most three).
  int primedBuffers() const { return primed_; }

 private:
  AudioPlayer() = default;
  void calculateSizesFor(double seconds);
  void playbackCallback(media::QueueBuffer& buffer);

  std::vector<media::QueueBuffer*> buffers_;
  std::uint32_t bufferByteSize_ = 0;
  std::uint32_t numPacketsToRead_ = 0;
  float gain_ = 1.0f;
  bool donePlayingFile_ = false;
  bool audioPlayerShouldStopImmediately_ = false;
  std::uint32_t playMode_ = 0;
  int qualityType_ = 0;
  double duration_ = 0;
  int primed_ = 0;
  bool stopped_ = false;
  std::string openFailure_;
};
