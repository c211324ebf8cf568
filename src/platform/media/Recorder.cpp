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
// How much sound may be on disk beyond what the header counts: a recording
// whose process is killed keeps all but at most this much of its end.
constexpr std::size_t kHeaderInterval = kRecordingSampleRate / 4;

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
  drain();
  updateHeader();
  recording_ = false;
  capture_->pause();
  if (timer_) timer_->invalidate();
}

void Recorder::stop() {
  if (stopped_) return;
  if (recording_) drain();
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
  if (!recording_ || !out_ || out_->file == nullptr) return;
  std::vector<float> block(4096);
  std::vector<std::int16_t> shorts;
  for (;;) {
    std::size_t want = block.size();
    if (limit_ != 0) want = std::min(want, limit_ - written_);
    if (want == 0) break;
    const std::size_t n = capture_->read(block.data(), want);
    if (n == 0) break;
    // The same scale the reader uses (s / 32768), so a recording of 16-bit
    // input reads back sample for sample.
    shorts.resize(n);
    for (std::size_t i = 0; i < n; ++i)
      shorts[i] = static_cast<std::int16_t>(std::clamp(std::lrint(block[i] * 32768.0f), -32768L, 32767L));
    if (sf_write_short(out_->file, shorts.data(), static_cast<sf_count_t>(n)) != static_cast<sf_count_t>(n)) {
      fd::Log("Recording into %s failed: %s\n", file_.c_str(), sf_strerror(out_->file));
      failed_ = true;
      finish();
      return;
    }
    written_ += n;
    if (metering_) lastBlock_.assign(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
  }
  if (limit_ != 0 && written_ >= limit_) {
    finish();
    return;
  }
  if (written_ - headerCounts_ >= kHeaderInterval) updateHeader();
}

void Recorder::updateHeader() {
  if (!out_ || out_->file == nullptr || headerCounts_ == written_) return;
  // The header is written over in place with the length so far; the samples
  // themselves are already with the system, so a kill loses only what came
  // after this.
  sf_command(out_->file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
  headerCounts_ = written_;
}

}  // namespace media
