#include "platform/media/AudioCapture.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioFile.h"

namespace media {

namespace {

std::mutex gInputMutex;
std::optional<std::filesystem::path> gInputFile;
bool gInputFromEnvironmentRead = false;

std::optional<std::filesystem::path> inputFile() {
  std::lock_guard lock(gInputMutex);
  if (!gInputFromEnvironmentRead) {
    gInputFromEnvironmentRead = true;
    if (const char* env = std::getenv("FLIPDESK_AUDIO_INPUT"); env != nullptr && *env != '\0' && !gInputFile)
      gInputFile = std::filesystem::path(env);
  }
  return gInputFile;
}

// Samples of a file handed out as the run loop's clock moves on.
class FileCapture : public CaptureSource {
 public:
  FileCapture(std::vector<float> samples, CaptureClock clock) : samples_(std::move(samples)), clock_(clock) {}
  void start() override {
    if (running_) return;
    running_ = true;
    startedAt_ = now();
  }
  void pause() override {
    if (!running_) return;
    elapsedBefore_ += now() - startedAt_;
    running_ = false;
  }
  std::size_t available() override {
    const double elapsed = elapsedBefore_ + (running_ ? now() - startedAt_ : 0.0);
    const auto due = static_cast<std::size_t>(std::floor(elapsed * kRecordingSampleRate + 1e-6));
    return due > delivered_ ? due - delivered_ : 0;
  }
  std::size_t read(float* out, std::size_t max) override {
    const std::size_t n = std::min(max, available());
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t at = delivered_ + i;
      out[i] = at < samples_.size() ? samples_[at] : 0.0f;
    }
    delivered_ += n;
    return n;
  }

 private:
  double now() const {
    if (clock_ == CaptureClock::RunLoop) return fd::RunLoop::main().now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  std::vector<float> samples_;
  CaptureClock clock_;
  bool running_ = false;
  double startedAt_ = 0;
  double elapsedBefore_ = 0;
  std::size_t delivered_ = 0;
};

// The machine's capture device; SDL's thread fills a queue the recorder drains.
class DeviceCapture : public CaptureSource {
 public:
  DeviceCapture() = default;
  ~DeviceCapture() override {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
  }
  fd::Status open() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
      return fd::fail(std::string("no sound system for the microphone: ") + SDL_GetError());
    // The dummy driver's capture device records silence: it is no microphone.
    const char* driver = SDL_GetCurrentAudioDriver();
    if (SDL_GetNumAudioDevices(1) <= 0 || (driver != nullptr && std::string_view(driver) == "dummy"))
      return fd::fail("this machine has no microphone (no capture device)");
    SDL_AudioSpec want{}, have{};
    want.freq = kRecordingSampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 1024;
    want.callback = &DeviceCapture::callback;
    want.userdata = this;
    device_ = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
    if (device_ == 0) return fd::fail(std::string("the microphone cannot be opened: ") + SDL_GetError());
    return {};
  }
  void start() override { SDL_PauseAudioDevice(device_, 0); }
  void pause() override {
    SDL_PauseAudioDevice(device_, 1);
    std::lock_guard lock(mutex_);
    queue_.clear();
  }
  std::size_t available() override {
    std::lock_guard lock(mutex_);
    return queue_.size();
  }
  std::size_t read(float* out, std::size_t max) override {
    std::lock_guard lock(mutex_);
    const std::size_t n = std::min(max, queue_.size());
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<float>(queue_[i]) / 32768.0f;
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
  }

 private:
  static void callback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<DeviceCapture*>(user);
    const auto* samples = reinterpret_cast<const std::int16_t*>(stream);
    std::lock_guard lock(self->mutex_);
    self->queue_.insert(self->queue_.end(), samples, samples + len / 2);
  }
  SDL_AudioDeviceID device_ = 0;
  std::mutex mutex_;
  std::deque<std::int16_t> queue_;
};

}  // namespace

void setCaptureInputFile(std::optional<std::filesystem::path> file) {
  std::lock_guard lock(gInputMutex);
  gInputFromEnvironmentRead = true;
  gInputFile = std::move(file);
}

fd::Expected<std::unique_ptr<CaptureSource>> openCapture(CaptureClock clock) {
  if (auto file = inputFile()) {
    auto samples = decodeSound(*file, kRecordingSampleRate);
    if (!samples) return fd::fail("the microphone's input file cannot be used: " + samples.error());
    return std::unique_ptr<CaptureSource>(std::make_unique<FileCapture>(std::move(*samples), clock));
  }
  auto device = std::make_unique<DeviceCapture>();
  if (fd::Status s = device->open(); !s) return s.failure();
  return std::unique_ptr<CaptureSource>(std::move(device));
}

}  // namespace media
