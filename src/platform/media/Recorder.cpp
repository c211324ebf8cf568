#include "platform/media/Recorder.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

#include "platform/foundation/Log.h"
#include "platform/media/AudioFile.h"

namespace media {

namespace {

constexpr double kDrainInterval = 0.02;
// The longest one drain keeps the main loop: what it has not written by then
// waits for the next turn, so the screen, the player and Stop keep time when
// the file's writes are slow (a network or user-space mount, a traced process).
constexpr double kDrainTurn = 0.05;
// How much sound may be on disk beyond what the header counts: a recording
// whose process is killed keeps all but this and what waited to be written.
constexpr std::size_t kHeaderLag = kRecordingSampleRate * 3 / 20;
// Samples handed to the file in one write. A turn writes what waited, so the
// slower the writes, the larger the blocks and the fewer of them: a file
// system that charges for each write keeps pace with the microphone.
constexpr std::size_t kBlock = kHeaderLag;

std::function<void(const std::filesystem::path&)>& writeHook() {
  // Never destroyed: a recording may be written while the process ends.
  static auto* hook = new std::function<void(const std::filesystem::path&)>;
  return *hook;
}

void beforeWrite(const std::filesystem::path& file) {
  if (writeHook()) writeHook()(file);
}

std::optional<int> containerFor(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".caf") return SF_FORMAT_CAF;
  if (ext == ".wav") return SF_FORMAT_WAV;
  if (ext == ".aif" || ext == ".aiff") return SF_FORMAT_AIFF;
  return std::nullopt;
}

}  // namespace

struct Recorder::File {
  SNDFILE* file = nullptr;
  ~File() {
    if (file != nullptr) sf_close(file);
  }
};

fd::Expected<std::unique_ptr<Recorder>> Recorder::prepare(const std::filesystem::path& file,
                                                          const RecordingSettings& settings) {
  if (settings.sampleRate != kRecordingSampleRate || settings.channels != 1)
    return fd::fail("recordings are 44100 Hz mono");
  const auto container = containerFor(file);
  if (!container) return fd::fail("no sound container for " + file.filename().string());
  auto capture = openCapture();
  if (!capture) return capture.failure();

  SF_INFO info{};
  info.samplerate = kRecordingSampleRate;
  info.channels = 1;
  info.format = *container | SF_FORMAT_PCM_16;
  auto out = std::make_unique<File>();
  out->file = sf_open(file.c_str(), SFM_WRITE, &info);
  if (out->file == nullptr)
    return fd::fail("cannot record into " + file.string() + ": " + sf_strerror(nullptr));

  std::unique_ptr<Recorder> r(new Recorder());
  r->out_ = std::move(out);
  r->capture_ = std::move(*capture);
  r->file_ = file;
  return r;
}

Recorder::~Recorder() {
  // Whoever set the handler may be going away with the recorder.
  finish_ = nullptr;
  if (!stopped_) stop();
}

bool Recorder::record() {
  if (stopped_ || failed_) return false;
  if (recording_) return true;
  recording_ = true;
  capture_->start();
  timer_ = fd::RunLoop::main().scheduleTimer(kDrainInterval, true, [this] { drain(); });
  return true;
}

bool Recorder::recordForDuration(double seconds) {
  if (!(seconds > 0)) return false;
  limit_ = written_ + static_cast<std::size_t>(std::llround(seconds * kRecordingSampleRate));
  return record();
}

void Recorder::pause() {
  if (!recording_) return;
  if (!moveCaptured(std::nullopt)) return fail();
  updateHeader();
  recording_ = false;
  capture_->pause();
  if (timer_) timer_->invalidate();
}

void Recorder::stop() {
  if (stopped_) return;
  // All that was captured up to now, however long a slow file takes for it.
  if (recording_ && !moveCaptured(std::nullopt)) return fail();
  finish();
}

void Recorder::fail() {
  fd::Log("Recording into %s failed: %s\n", file_.c_str(), sf_strerror(out_ ? out_->file : nullptr));
  failed_ = true;
  finish();
}

void Recorder::finish() {
  recording_ = false;
  stopped_ = true;
  if (timer_) timer_->invalidate();
  capture_->pause();
  bool ok = !failed_;
  if (out_ && out_->file != nullptr) {
    sf_write_sync(out_->file);
    ok = sf_close(out_->file) == 0 && ok;
    out_->file = nullptr;
  }
  if (finish_) finish_(ok);
}

double Recorder::currentTime() const { return static_cast<double>(written_) / kRecordingSampleRate; }

void Recorder::updateMeters() {
  meter_ = metering_ ? LevelMeter::measure(lastBlock_.data(), lastBlock_.size()) : LevelMeter{};
}

void Recorder::drain() {
  if (!recording_) return;
  if (!moveCaptured(kDrainTurn)) return fail();
  if (limit_ != 0 && written_ >= limit_) finish();
}

bool Recorder::moveCaptured(std::optional<double> turn) {
  if (!out_ || out_->file == nullptr) return true;
  fd::RunLoop& loop = fd::RunLoop::main();
  const double began = loop.now();
  // Only what was there when the drain began: samples keep coming while a
  // slow write lasts, and taking them too would never let the loop go.
  std::size_t due = capture_->available();
  if (limit_ != 0) due = std::min(due, limit_ - written_);
  std::vector<float> block(std::min(due, kBlock));
  while (due > 0) {
    const std::size_t n = capture_->read(block.data(), std::min(due, kBlock));
    if (n == 0) break;
    due -= n;
    if (!writeSamples(block.data(), n)) return false;
    if (turn && loop.now() - began >= *turn) break;
  }
  return true;
}

bool Recorder::writeSamples(const float* samples, std::size_t n) {
  // The header first when this block would take the file too far past it.
  if (written_ + n - headerCounts_ > kHeaderLag) updateHeader();
  // The same scale the reader uses (s / 32768), so a recording of 16-bit
  // input reads back sample for sample.
  std::vector<std::int16_t> shorts(n);
  for (std::size_t i = 0; i < n; ++i)
    shorts[i] = static_cast<std::int16_t>(std::clamp(std::lrint(samples[i] * 32768.0f), -32768L, 32767L));
  beforeWrite(file_);
  if (sf_write_short(out_->file, shorts.data(), static_cast<sf_count_t>(n)) != static_cast<sf_count_t>(n)) return false;
  written_ += n;
  if (metering_) lastBlock_.assign(samples, samples + n);
  return true;
}

void Recorder::updateHeader() {
  if (!out_ || out_->file == nullptr || headerCounts_ == written_) return;
  // The header is written over in place with the length so far; the samples
  // themselves are already with the system, so a kill loses only what came
  // after this.
  beforeWrite(file_);
  sf_command(out_->file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
  headerCounts_ = written_;
}

void setRecordingWriteHookForTesting(std::function<void(const std::filesystem::path& file)> hook) {
  writeHook() = std::move(hook);
}

}  // namespace media
