#include "desk/sound/AudioPlayer.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kBufferCount = 3;
constexpr std::uint32_t kMaxBufferSize = 0x10000;
constexpr std::uint32_t kMinBufferSize = 0x4000;
}  // namespace

AudioQueueObject::~AudioQueueObject() {
  // The queue goes with its player, at once.
  if (queueObject_) queueObject_->stop(true);
}

bool AudioQueueObject::isRunning() const { return queueObject_ && queueObject_->isRunning(); }

void AudioQueueObject::enableLevelMetering() {
  audioLevels_.assign(audioFormat_.channelsPerFrame, media::LevelMeter{});
  if (queueObject_) queueObject_->setLevelMetering(true);
}

void AudioQueueObject::getAudioLevels(float* average, float* peak) {
  if (queueObject_) audioLevels_ = queueObject_->currentLevels();
  const media::LevelMeter first = audioLevels_.empty() ? media::LevelMeter{} : audioLevels_[0];
  if (average) *average = first.averagePower;
  if (peak) *peak = first.peakPower;
}

std::unique_ptr<AudioPlayer> AudioPlayer::initWithURL(const std::filesystem::path& file) {
  std::unique_ptr<AudioPlayer> p(new AudioPlayer());
  p->audioFileURL_ = file;
  if (auto opened = media::PcmFile::open(file)) {
    p->audioFileID_ = std::move(*opened);
    p->audioFormat_ = p->audioFileID_->format();
  } else {
    p->openFailure_ = opened.error();
  }
  p->getQualityType();
  AudioPlayer* self = p.get();
  p->queueObject_ = media::AudioQueue::create(
      p->audioFormat_, [self](media::AudioQueue&, media::QueueBuffer& b) { self->playbackCallback(b); });
  p->setupVolume(1.0f);
  p->calculateSizesFor(0.1);
  p->getDuration();
  return p;
}

void AudioPlayer::calculateSizesFor(double seconds) {
  const std::uint32_t maxPacketSize = audioFileID_ ? audioFileID_->packetSizeUpperBound() : 0;
  if (audioFormat_.framesPerPacket != 0) {
    bufferByteSize_ = static_cast<std::uint32_t>(audioFormat_.sampleRate / audioFormat_.framesPerPacket * seconds *
                                                 maxPacketSize);
  } else {
    bufferByteSize_ = std::max(maxPacketSize, kMaxBufferSize);
  }
  if (bufferByteSize_ > kMaxBufferSize && bufferByteSize_ > maxPacketSize) {
    bufferByteSize_ = kMaxBufferSize;
  } else if (bufferByteSize_ < kMinBufferSize) {
    bufferByteSize_ = kMinBufferSize;
  }
  numPacketsToRead_ = maxPacketSize == 0 ? 0 : bufferByteSize_ / maxPacketSize;
}

double AudioPlayer::getDuration() {
  duration_ = audioFileID_ ? audioFileID_->estimatedDuration() : 0;
  return duration_;
}

int AudioPlayer::getQualityType() {
  const double rate = audioFormat_.sampleRate;
  qualityType_ = rate < 11025 ? 0 : rate < 44100 ? 1 : 2;
  return qualityType_;
}

double AudioPlayer::getTimeElapsed() const {
  if (!(audioFormat_.sampleRate > 0)) return 0;
  return static_cast<double>(startingPacketNumber_) * audioFormat_.framesPerPacket / audioFormat_.sampleRate;
}

double AudioPlayer::getTimeLine() const {
  if (!queueObject_ || !(audioFormat_.sampleRate > 0)) return 0;
  return queueObject_->currentSampleTime() / audioFormat_.sampleRate;
}

void AudioPlayer::setupVolume(float gain) {
  gain_ = gain;
  if (queueObject_) queueObject_->setVolume(gain);
  enableLevelMetering();
}

void AudioPlayer::playAt(double seconds) {
  if (!queueObject_ || !audioFileID_ || stopped_ || audioFormat_.framesPerPacket == 0) return;
  if (seconds >= duration_) seconds = duration_;
  if (!(seconds > 0)) seconds = 0;
  startingPacketNumber_ =
      static_cast<std::int64_t>(seconds * audioFormat_.sampleRate / audioFormat_.framesPerPacket);
  primed_ = 0;
  for (int i = 0; i < kBufferCount && !donePlayingFile_; ++i) {
    if (static_cast<int>(buffers_.size()) <= i) buffers_.push_back(queueObject_->allocateBuffer(bufferByteSize_));
    playbackCallback(*buffers_[i]);
    if (!donePlayingFile_) ++primed_;
  }
  // A file shorter than the buffers has asked for a stop that lets what is
  // queued play out; a seek at the end found nothing to queue at all.
  if (primed_ > 0) queueObject_->start();
}

void AudioPlayer::playbackCallback(media::QueueBuffer& buffer) {
  if (donePlayingFile_ || !audioFileID_) return;
  const std::uint32_t packets =
      audioFileID_->readPackets(startingPacketNumber_, numPacketsToRead_, buffer.audioData.data());
  if (packets > 0) {
    buffer.audioDataByteSize = packets * audioFormat_.bytesPerPacket;
    queueObject_->enqueue(&buffer);
    incrementStartingPacketNumberBy(packets);
    return;
  }
  donePlayingFile_ = true;
  if (!audioPlayerShouldStopImmediately_) stop();
}

void AudioPlayer::stop() {
  stopped_ = true;
  audioFileID_.reset();
  if (queueObject_) queueObject_->stop(audioPlayerShouldStopImmediately_);
  getTimeLine();
}

void AudioPlayer::pause() {
  if (queueObject_) queueObject_->pause();
}

void AudioPlayer::resume() {
  if (queueObject_ && !stopped_) queueObject_->start();
}
