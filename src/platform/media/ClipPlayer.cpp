#include "platform/media/ClipPlayer.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <system_error>
#include <thread>

#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioFile.h"

namespace media {

namespace {

// The loads under way. At exit none may still be decoding or posting: the
// process tells them to stop and waits for them rather than let them run
// into torn-down statics.
struct Loads {
  ~Loads() {
    stopping = true;
    std::unique_lock lock(mutex);
    done.wait(lock, [this] { return inFlight == 0; });
  }
  std::mutex mutex;
  std::condition_variable done;
  int inFlight = 0;
  // One decode at a time: a row of taps costs one clip's memory, not many.
  std::mutex decoding;
  std::atomic<bool> stopping{false};
};

Loads& loads() {
  static Loads l;
  return l;
}

void endLoad() {
  Loads& l = loads();
  std::lock_guard lock(l.mutex);
  if (--l.inFlight == 0) l.done.notify_all();
}

}  // namespace

fd::Expected<std::shared_ptr<ClipPlayer>> ClipPlayer::open(const std::filesystem::path& file) {
  auto samples = decodeSound(file, kOutputSampleRate);
  if (!samples) return samples.failure();
  auto player = fromSamples(std::move(*samples));
  player->file_ = file;
  return player;
}

std::shared_ptr<ClipPlayer> ClipPlayer::load(const std::filesystem::path& file,
                                             std::function<void(const fd::Status&)> loaded) {
  std::shared_ptr<ClipPlayer> player(new ClipPlayer());
  player->file_ = file;
  player->loading_ = true;
  Loads& l = loads();
  {
    std::lock_guard lock(l.mutex);
    ++l.inFlight;
  }
  auto run = [weak = std::weak_ptr<ClipPlayer>(player), file, loaded = std::move(loaded)]() mutable {
    try {
      Loads& l = loads();
      std::unique_lock one(l.decoding);
      auto gone = [&] { return weak.expired() || l.stopping; };
      if (gone()) return endLoad();
      auto samples = decodeSound(file, kOutputSampleRate, kMaxSoundSeconds, gone);
      one.unlock();
      if (auto p = weak.lock(); p && !l.stopping) {
        const fd::Status outcome = p->finishLoading(std::move(samples));
        // The player and the handler (and whatever it keeps alive) travel on
        // to the main thread, so their last owner is never this thread.
        fd::RunLoop::main().post([p, loaded = std::move(loaded), outcome] {
          if (loaded) loaded(outcome);
        });
      }
    } catch (...) {
      // Only the post itself can throw (out of memory); the player then
      // stays silent and nobody is told.
    }
    endLoad();
  };
  try {
    std::thread(std::move(run)).detach();
  } catch (const std::system_error&) {
    endLoad();
    (void)player->finishLoading(fd::fail("\"" + file.filename().string() + "\" cannot be read now: no thread is free"));
  }
  return player;
}

void ClipPlayer::waitForLoads() {
  {
    Loads& l = loads();
    std::unique_lock lock(l.mutex);
    l.done.wait(lock, [&] { return l.inFlight == 0; });
  }
  fd::RunLoop::main().runUntilIdle();
}

fd::Status ClipPlayer::finishLoading(fd::Expected<std::vector<float>> samples) {
  std::lock_guard lock(mutex_);
  loading_ = false;
  if (!samples) {
    refused_ = true;
    return samples.failure();
  }
  samples_ = std::move(*samples);
  position_ = std::min(position_, samples_.size());
  return {};
}

bool ClipPlayer::isLoading() const {
  std::lock_guard lock(mutex_);
  return loading_;
}

std::shared_ptr<ClipPlayer> ClipPlayer::fromSamples(std::vector<float> samples) {
  std::shared_ptr<ClipPlayer> p(new ClipPlayer());
  p->samples_ = std::move(samples);
  return p;
}

double ClipPlayer::duration() const {
  std::lock_guard lock(mutex_);
  return static_cast<double>(samples_.size()) / kOutputSampleRate;
}

bool ClipPlayer::play() {
  {
    std::lock_guard lock(mutex_);
    if (refused_ || (!loading_ && position_ >= samples_.size())) return false;
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
  const double end = loading_ ? kMaxSoundSeconds * kOutputSampleRate : static_cast<double>(samples_.size());
  const double at = std::min(seconds * kOutputSampleRate, end);
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
  if (refused_) {
    playing_ = false;
    return false;
  }
  if (metering_) lastBlock_.assign(frames, 0.0f);
  if (loading_) {
    position_ += frames;
    return true;
  }
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
