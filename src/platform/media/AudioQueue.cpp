#include "platform/media/AudioQueue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/foundation/RunLoop.h"

namespace media {

std::shared_ptr<AudioQueue> AudioQueue::create(const StreamDescription& format, Callback callback) {
  if (format.formatID != kLinearPCMFormat || format.bitsPerChannel != 16 || format.channelsPerFrame == 0 ||
      format.channelsPerFrame > 8 || !(format.sampleRate > 0) || format.bytesPerFrame != 2 * format.channelsPerFrame)
    return nullptr;
  return std::shared_ptr<AudioQueue>(new AudioQueue(format, std::move(callback)));
}

AudioQueue::AudioQueue(const StreamDescription& format, Callback callback)
    : format_(format), callback_(std::move(callback)) {}

AudioQueue::~AudioQueue() = default;

QueueBuffer* AudioQueue::allocateBuffer(std::uint32_t byteSize) {
  auto buffer = std::make_unique<QueueBuffer>();
  buffer->audioData.resize(byteSize);
  std::lock_guard lock(mutex_);
  buffers_.push_back(std::move(buffer));
  return buffers_.back().get();
}

bool AudioQueue::enqueue(QueueBuffer* buffer) {
  std::lock_guard lock(mutex_);
  const bool ours = std::any_of(buffers_.begin(), buffers_.end(), [&](const auto& b) { return b.get() == buffer; });
  if (!ours || buffer->audioDataByteSize > buffer->audioData.size() ||
      buffer->audioDataByteSize < format_.bytesPerFrame)
    return false;
  queued_.push_back(buffer);
  return true;
}

void AudioQueue::start() {
  {
    std::lock_guard lock(mutex_);
    // A stop asked for before the start (a file shorter than the primed
    // buffers) still lets the queue end when what is queued has played.
    running_ = true;
    paused_ = false;
  }
  AudioOutput::shared().add(shared_from_this());
}

void AudioQueue::pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void AudioQueue::stop(bool immediately) {
  bool remove = false;
  {
    std::lock_guard lock(mutex_);
    if (immediately || queued_.empty()) {
      stopping_ = false;
      queued_.clear();
      readFrame_ = 0;
      running_ = false;
      remove = true;
    } else {
      stopping_ = true;
    }
  }
  if (remove) AudioOutput::shared().remove(this);
}

bool AudioQueue::isRunning() const {
  std::lock_guard lock(mutex_);
  return running_;
}

void AudioQueue::setVolume(float volume) {
  std::lock_guard lock(mutex_);
  volume_ = std::isfinite(volume) ? std::clamp(volume, 0.0f, 1.0f) : 1.0f;
}

float AudioQueue::volume() const {
  std::lock_guard lock(mutex_);
  return volume_;
}

void AudioQueue::setLevelMetering(bool enabled) {
  std::lock_guard lock(mutex_);
  metering_ = enabled;
  meter_ = {};
}

std::vector<LevelMeter> AudioQueue::currentLevels() const {
  std::lock_guard lock(mutex_);
  return std::vector<LevelMeter>(format_.channelsPerFrame, metering_ ? meter_ : LevelMeter{});
}

double AudioQueue::currentSampleTime() const {
  std::lock_guard lock(mutex_);
  return playedFrames_;
}

void AudioQueue::giveBack(QueueBuffer* buffer) {
  // The owner refills on the main thread, as the phone calls back on the
  // creating thread's run loop.
  std::weak_ptr<AudioQueue> weak = weak_from_this();
  fd::RunLoop::main().post([weak, buffer] {
    if (auto self = weak.lock()) {
      if (self->callback_) self->callback_(*self, *buffer);
    }
  });
}

bool AudioQueue::mixInto(float* mix, std::size_t frames) {
  std::lock_guard lock(mutex_);
  if (!running_) return false;
  if (paused_) return true;
  const double step = format_.sampleRate / kOutputSampleRate;
  const std::uint32_t channels = format_.channelsPerFrame;
  std::vector<float> block;
  if (metering_) block.reserve(frames);
  for (std::size_t i = 0; i < frames && !queued_.empty(); ++i) {
    const QueueBuffer* head = queued_.front();
    std::int16_t frame[8];
    std::memcpy(frame, head->audioData.data() + readFrame_ * format_.bytesPerFrame, format_.bytesPerFrame);
    float sum = 0;
    for (std::uint32_t c = 0; c < channels; ++c) sum += static_cast<float>(frame[c]) / 32768.0f;
    const float s = sum / static_cast<float>(channels) * volume_;
    mix[i] += s;
    if (metering_) block.push_back(s);
    phase_ += step;
    while (phase_ >= 1.0 && !queued_.empty()) {
      phase_ -= 1.0;
      playedFrames_ += 1;
      QueueBuffer* current = queued_.front();
      if (++readFrame_ >= current->audioDataByteSize / format_.bytesPerFrame) {
        queued_.pop_front();
        readFrame_ = 0;
        giveBack(current);
      }
    }
  }
  if (metering_ && !block.empty()) meter_ = LevelMeter::measure(block.data(), block.size());
  if (queued_.empty() && stopping_) {
    running_ = false;
    stopping_ = false;
    return false;
  }
  return true;
}

}  // namespace media
