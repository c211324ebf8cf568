#include "platform/media/AudioOutput.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <system_error>
#include <thread>

#include "platform/foundation/Log.h"

namespace media {

namespace {
constexpr std::size_t kBlockFrames = 441;  // 10 ms
}

struct AudioOutput::Impl {
  mutable std::mutex mutex;
  std::vector<std::shared_ptr<AudioSource>> sources;
  std::vector<float> scratch;
  bool manual = false;
  bool started = false;
  SDL_AudioDeviceID device = 0;
  std::thread pacer;
  std::atomic<bool> stopPacer{false};

  void renderLocked(float* out, std::size_t frames) {
    std::fill(out, out + frames, 0.0f);
    for (std::size_t i = 0; i < sources.size();) {
      if (!sources[i]->mixInto(out, frames)) {
        sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        ++i;
      }
    }
    // A sum that is not a number, or infinite, is silence rather than a
    // value the sound card would take as it pleased.
    for (std::size_t i = 0; i < frames; ++i) out[i] = std::isfinite(out[i]) ? std::clamp(out[i], -1.0f, 1.0f) : 0.0f;
  }

  static void deviceCallback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<Impl*>(user);
    const std::size_t frames = static_cast<std::size_t>(len) / sizeof(float);
    std::lock_guard lock(self->mutex);
    self->renderLocked(reinterpret_cast<float*>(stream), frames);
  }
};

AudioOutput& AudioOutput::shared() {
  static AudioOutput output;
  return output;
}

AudioOutput::AudioOutput() : impl_(std::make_unique<Impl>()) {}

AudioOutput::~AudioOutput() {
  impl_->stopPacer = true;
  if (impl_->pacer.joinable()) impl_->pacer.join();
  if (impl_->device != 0) SDL_CloseAudioDevice(impl_->device);
}

void AudioOutput::startLocked() {
  if (impl_->started || impl_->manual) return;
  impl_->started = true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    SDL_AudioSpec want{}, have{};
    want.freq = kOutputSampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = 1;
    want.samples = 1024;
    want.callback = &Impl::deviceCallback;
    want.userdata = impl_.get();
    impl_->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (impl_->device != 0) {
      SDL_PauseAudioDevice(impl_->device, 0);
      return;
    }
  }
  fd::Log("No sound output (%s); sounds play silently\n", SDL_GetError());
  // Silently, but in time: players still reach their ends and say so.
  try {
    impl_->pacer = std::thread([impl = impl_.get()] {
      std::vector<float> block(kBlockFrames);
      auto next = std::chrono::steady_clock::now();
      while (!impl->stopPacer) {
        {
          std::lock_guard lock(impl->mutex);
          impl->renderLocked(block.data(), block.size());
        }
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
      }
    });
  } catch (const std::system_error& e) {
    // No room for the thread (its stack under an address-space ceiling):
    // the sounds wait, and the next one added tries again.
    fd::Log("No thread to pace silent sounds (%s); they wait for one\n", e.what());
    impl_->started = false;
  }
}

void AudioOutput::add(const std::shared_ptr<AudioSource>& source) {
  if (!source) return;
  std::lock_guard lock(impl_->mutex);
  if (std::find(impl_->sources.begin(), impl_->sources.end(), source) == impl_->sources.end())
    impl_->sources.push_back(source);
  startLocked();
}

void AudioOutput::remove(const AudioSource* source) {
  std::lock_guard lock(impl_->mutex);
  std::erase_if(impl_->sources, [&](const auto& s) { return s.get() == source; });
}

bool AudioOutput::contains(const AudioSource* source) const {
  std::lock_guard lock(impl_->mutex);
  return std::any_of(impl_->sources.begin(), impl_->sources.end(), [&](const auto& s) { return s.get() == source; });
}

std::size_t AudioOutput::sourceCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->sources.size();
}

void AudioOutput::setManualRendering(bool manual) {
  std::lock_guard lock(impl_->mutex);
  impl_->manual = manual;
  if (manual) impl_->sources.clear();
}

bool AudioOutput::manualRendering() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->manual;
}

void AudioOutput::render(float* out, std::size_t frames) {
  std::lock_guard lock(impl_->mutex);
  impl_->renderLocked(out, frames);
}

bool AudioOutput::hasDevice() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->device != 0;
}

LevelMeter LevelMeter::measure(const float* samples, std::size_t count) {
  LevelMeter m;
  if (count == 0) return m;
  double sum = 0;
  float peak = 0;
  for (std::size_t i = 0; i < count; ++i) {
    sum += static_cast<double>(samples[i]) * samples[i];
    peak = std::max(peak, std::fabs(samples[i]));
  }
  auto decibels = [](double amplitude) {
    return amplitude <= 1e-8 ? -160.0f : std::max(-160.0f, static_cast<float>(20.0 * std::log10(amplitude)));
  };
  m.averagePower = decibels(std::sqrt(sum / static_cast<double>(count)));
  m.peakPower = decibels(peak);
  return m;
}

}  // namespace media
