#include "platform/media/ClipPlayer.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioFile.h"

namespace media {

fd::Expected<std::shared_ptr<ClipPlayer>> ClipPlayer::open(const std::filesystem::path& file) {
  auto samples = decodeSound(file, kOutputSampleRate);
  if (!samples) return samples.failure();
  auto player = fromSamples(std::move(*samples));
  player->file_ = file;
  return player;
}

std::shared_ptr<ClipPlayer> ClipPlayer::fromSamples(std::vector<float> samples) {
  std::shared_ptr<ClipPlayer> p(new ClipPlayer());
  p->samples_ = std::move(samples);
  return p;
}

double ClipPlayer::duration() const { return static_cast<double>(samples_.size()) / kOutputSampleRate; }

bool ClipPlayer::play() {
  {
    std::lock_guard lock(mutex_);
    if (position_ >= samples_.size()) return false;
    playing_ = true;
  }
  AudioOutput::shared().add(shared_from_this());
  return true;
}

void ClipPlayer::stop() {
  {
    std::lock_guard lock(mutex_);
    playing_ = false;
  }
  AudioOutput::shared().remove(this);
}

bool ClipPlayer::isPlaying() const {
  std::lock_guard lock(mutex_);
  return playing_;
}

double ClipPlayer::currentTime() const {
  std::lock_guard lock(mutex_);
  return static_cast<double>(position_) / kOutputSampleRate;
}

void ClipPlayer::setCurrentTime(double seconds) {
  std::lock_guard lock(mutex_);
  if (!(seconds > 0)) seconds = 0;  // also NaN
  const double at = std::min(seconds * kOutputSampleRate, static_cast<double>(samples_.size()));
  position_ = static_cast<std::size_t>(std::llround(at));
}

void ClipPlayer::setVolume(float volume) {
  std::lock_guard lock(mutex_);
  volume_ = std::isfinite(volume) ? std::clamp(volume, 0.0f, 1.0f) : 1.0f;
}

float ClipPlayer::volume() const {
  std::lock_guard lock(mutex_);
  return volume_;
}

void ClipPlayer::setNumberOfLoops(int loops) {
  std::lock_guard lock(mutex_);
  loopsLeft_ = loops;
}

void ClipPlayer::setMeteringEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  metering_ = enabled;
  if (!enabled) meter_ = {};
}

bool ClipPlayer::meteringEnabled() const {
  std::lock_guard lock(mutex_);
  return metering_;
}

void ClipPlayer::updateMeters() {
  std::lock_guard lock(mutex_);
  meter_ = metering_ ? LevelMeter::measure(lastBlock_.data(), lastBlock_.size()) : LevelMeter{};
}

float ClipPlayer::averagePower() const {
  std::lock_guard lock(mutex_);
  return meter_.averagePower;
}

float ClipPlayer::peakPower() const {
  std::lock_guard lock(mutex_);
  return meter_.peakPower;
}

void ClipPlayer::setFinishHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  finish_ = handler ? std::make_shared<std::function<void()>>(std::move(handler)) : nullptr;
}

bool ClipPlayer::mixInto(float* mix, std::size_t frames) {
  std::lock_guard lock(mutex_);
  if (!playing_) return false;
  if (metering_) lastBlock_.assign(frames, 0.0f);
  std::size_t done = 0;
  while (done < frames) {
    if (position_ >= samples_.size()) {
      if (loopsLeft_ != 0 && !samples_.empty()) {
        if (loopsLeft_ > 0) --loopsLeft_;
        position_ = 0;
        continue;
      }
      break;
    }
    const std::size_t n = std::min(frames - done, samples_.size() - position_);
    for (std::size_t i = 0; i < n; ++i) {
      const float s = samples_[position_ + i] * volume_;
      mix[done + i] += s;
      if (metering_) lastBlock_[done + i] = s;
    }
    position_ += n;
    done += n;
  }
  if (position_ < samples_.size() || loopsLeft_ != 0) return true;
  playing_ = false;
  if (finish_) {
    // The handler belongs to the main thread; a player gone by then is not told.
    std::weak_ptr<ClipPlayer> weak = weak_from_this();
    fd::RunLoop::main().post([weak, handler = finish_] {
      if (weak.lock()) (*handler)();
    });
  }
  return false;
}

}  // namespace media
