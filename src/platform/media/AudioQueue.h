#pragma once
// An output queue of sound buffers, as the phone's audio queues work: the
// owner fills buffers of 16-bit PCM in the stream's format and enqueues them;
// each played buffer comes back to the owner's callback on the main run loop
// to be filled again. Volume, level metering and the queue's sample time as
// the phone reports them.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/AudioOutput.h"
#include "platform/media/PcmFile.h"

namespace media {

struct QueueBuffer {
  std::vector<std::uint8_t> audioData;  // capacity
  std::uint32_t audioDataByteSize = 0;  // bytes filled
};

class AudioQueue : public AudioSource, public std::enable_shared_from_this<AudioQueue> {
 public:
  using Callback = std::function<void(AudioQueue&, QueueBuffer&)>;

  // 16-bit linear PCM, 1 to 8 channels, any positive rate; nullptr otherwise.
  static std::shared_ptr<AudioQueue> create(const StreamDescription& format, Callback callback);
  ~AudioQueue() override;

  QueueBuffer* allocateBuffer(std::uint32_t byteSize);
  bool enqueue(QueueBuffer* buffer);

  void start();
  void pause();
  // Immediately drops what is queued; otherwise what is queued plays out first.
  void stop(bool immediately);
  bool isRunning() const;

  void setVolume(float volume);
  float volume() const;
  void setLevelMetering(bool enabled);
  // One meter per channel of the stream (the mix is mono: every channel reads the same).
  std::vector<LevelMeter> currentLevels() const;
  // Frames of the stream played since start, at the stream's rate.
  double currentSampleTime() const;
  const StreamDescription& format() const { return format_; }

  bool mixInto(float* mix, std::size_t frames) override;

 private:
  AudioQueue(const StreamDescription& format, Callback callback);
  void giveBack(QueueBuffer* buffer);

  StreamDescription format_;
  Callback callback_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<QueueBuffer>> buffers_;
  std::deque<QueueBuffer*> queued_;
  std::size_t readFrame_ = 0;   // frames of the head buffer consumed
  double phase_ = 0;            // fractional source frame for resampling
  bool running_ = false;
  bool paused_ = false;
  bool stopping_ = false;
  float volume_ = 1.0f;
  bool metering_ = false;
  LevelMeter meter_;
  double playedFrames_ = 0;
};

}  // namespace media
