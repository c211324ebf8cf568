#include "platform/media/AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "platform/media/SoundSource.h"

namespace media {

namespace {

using sound::quotedName;
using sound::SoundSource;
using sound::SourceInfo;

constexpr std::size_t kFillSamples = 8192;
constexpr std::size_t kDecodeBlock = 16384;

std::string count(long long n, const char* unit) {
  return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

// "3 minutes 20 seconds", "145 hours 38 minutes": a length as a person says it.
std::string describeLength(double seconds) {
  const auto total = static_cast<long long>(std::ceil(std::min(seconds, 1e15)));
  if (total < 60) return count(total, "second");
  if (total < 3600) return count(total / 60, "minute") + (total % 60 ? " " + count(total % 60, "second") : "");
  return count(total / 3600, "hour") + (total % 3600 / 60 ? " " + count(total % 3600 / 60, "minute") : "");
}

std::string tooLong(const std::filesystem::path& file, const std::string& length, double maxSeconds) {
  return quotedName(file) + " lasts " + length + "; only sounds of up to " + describeLength(maxSeconds) +
         " can be played";
}

// "a sample rate of 4294967295 Hz", "an infinite sample rate": the rate as
// the file claims it.
std::string describeRate(const SourceInfo& info) {
  const double rate = info.claimedRate.value_or(info.sampleRate);
  if (std::isnan(rate)) return "a sample rate that is not a number";
  if (std::isinf(rate)) return "an infinite sample rate";
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", rate);
  return std::string("a sample rate of ") + text + " Hz";
}

}  // namespace

fd::Status sound::checkSoundInfo(const std::filesystem::path& file, const SourceInfo& info, double maxSeconds) {
  const std::string name = quotedName(file);
  if (info.sampleRate < kMinSoundSampleRate || info.sampleRate > kMaxSoundSampleRate)
    return fd::fail(name + " has " + describeRate(info) + "; only sounds of " +
                    std::to_string(kMinSoundSampleRate) + " to " + std::to_string(kMaxSoundSampleRate) +
                    " Hz can be played");
  if (info.channels < 1 || info.channels > kMaxSoundChannels)
    return fd::fail(name + " has " + count(info.channels, "channel") + "; only sounds of 1 to " +
                    std::to_string(kMaxSoundChannels) + " channels can be played");
  if (info.seconds && *info.seconds > maxSeconds) return fd::fail(tooLong(file, describeLength(*info.seconds), maxSeconds));
  return {};
}

namespace {

using sound::checkSoundInfo;

// libsndfile first; a CAF file it cannot read may hold one of the phone's
// compressed formats, which FFmpeg decodes once its header has passed.
fd::Expected<std::unique_ptr<SoundSource>> openSource(const std::filesystem::path& file, double maxSeconds) {
  auto plain = sound::openSndfileSource(file);
  if (plain) {
    if (fd::Status s = checkSoundInfo(file, (*plain)->info(), maxSeconds); !s) return s.failure();
    return plain;
  }
  if (!sound::looksLikeCaf(file)) return plain.failure();
  if (auto header = sound::readCafHeader(file, maxSeconds); !header) return header.failure();
  auto compressed = sound::openCafSource(file);
  if (!compressed) return compressed.failure();
  if (fd::Status s = checkSoundInfo(file, (*compressed)->info(), maxSeconds); !s) return s.failure();
  return compressed;
}

fd::Failure outOfMemory(const std::filesystem::path& file) {
  return fd::fail(quotedName(file) + " is too large to be played in the memory left");
}

}  // namespace

SoundReader::~SoundReader() = default;

fd::Expected<std::unique_ptr<SoundReader>> SoundReader::open(const std::filesystem::path& file, int outputRate,
                                                             double maxSeconds) {
  try {
    if (outputRate <= 0 || !(maxSeconds >= 0)) return fd::fail("no sound is read at that rate or length");
    auto source = openSource(file, maxSeconds);
    if (!source) return source.failure();
    std::unique_ptr<SoundReader> r(new SoundReader());
    r->file_ = file;
    r->source_ = std::move(*source);
    r->ratio_ = static_cast<double>(r->source_->info().sampleRate) / outputRate;
    r->maxSeconds_ = maxSeconds;
    r->capSamples_ = static_cast<std::int64_t>(std::floor(maxSeconds * outputRate));
    return r;
  } catch (const std::bad_alloc&) {
    return outOfMemory(file);
  }
}

int SoundReader::fileSampleRate() const { return source_->info().sampleRate; }
// At most kMaxSoundChannels: more are refused when the file is opened.
int SoundReader::fileChannels() const { return static_cast<int>(source_->info().channels); }
std::optional<double> SoundReader::headerSeconds() const { return source_->info().seconds; }

bool SoundReader::fill() {
  // What interpolation no longer needs goes first: the buffer stays a few
  // blocks long however long the sound.
  const auto needed = static_cast<std::int64_t>(static_cast<double>(produced_) * ratio_);
  const auto drop = static_cast<std::size_t>(std::clamp<std::int64_t>(needed - base_, 0, static_cast<std::int64_t>(buffer_.size())));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(drop));
  base_ += static_cast<std::int64_t>(drop);
  const std::size_t had = buffer_.size();
  buffer_.resize(had + kFillSamples);
  auto got = source_->readMono(buffer_.data() + had, kFillSamples);
  const std::size_t added = got ? std::min(*got, kFillSamples) : 0;
  buffer_.resize(had + added);
  decoded_ += static_cast<std::int64_t>(added) * source_->info().channels;
  if (!got) sourceError_ = got.error();
  if (added == 0) sourceEnded_ = true;
  return added > 0;
}

fd::Expected<std::size_t> SoundReader::read(float* out, std::size_t max) {
  try {
    std::size_t n = 0;
    while (n < max) {
      const double at = static_cast<double>(produced_) * ratio_;
      const auto j = static_cast<std::int64_t>(at);
      while (!sourceEnded_ && base_ + static_cast<std::int64_t>(buffer_.size()) < j + 2) fill();
      if (!sourceError_.empty()) return fd::fail(sourceError_);
      const std::int64_t available = base_ + static_cast<std::int64_t>(buffer_.size());
      if (sourceEnded_) {
        // As many output samples as the source's length covers at the new rate.
        const auto total = static_cast<std::int64_t>(std::floor(static_cast<double>(available) / ratio_));
        if (produced_ >= total || j >= available) break;
      }
      if (produced_ >= capSamples_) return fd::fail(tooLong(file_, "more than " + describeLength(maxSeconds_), maxSeconds_));
      const float a = buffer_[static_cast<std::size_t>(j - base_)];
      const float b = j + 1 < available ? buffer_[static_cast<std::size_t>(j + 1 - base_)] : a;
      out[n++] = static_cast<float>(a + (b - a) * (at - static_cast<double>(j)));
      ++produced_;
    }
    return n;
  } catch (const std::bad_alloc&) {
    return outOfMemory(file_);
  }
}

fd::Expected<double> soundDuration(const std::filesystem::path& file) {
  try {
    auto plain = sound::openSndfileSource(file);
    std::optional<SourceInfo> info;
    if (plain) {
      info = (*plain)->info();
    } else if (sound::looksLikeCaf(file)) {
      auto header = sound::readCafHeader(file, kMaxSoundSeconds);
      if (!header) return header.failure();
      info = *header;
    } else {
      return plain.failure();
    }
    if (fd::Status s = checkSoundInfo(file, *info, kMaxSoundSeconds); !s) return s.failure();
    if (!info->seconds) return fd::fail(quotedName(file) + " does not tell how long it lasts");
    return *info->seconds;
  } catch (const std::bad_alloc&) {
    return outOfMemory(file);
  }
}

fd::Expected<std::vector<float>> decodeSound(const std::filesystem::path& file, int rate, double maxSeconds,
                                             const std::function<bool()>& cancelled) {
  try {
    auto reader = SoundReader::open(file, rate, maxSeconds);
    if (!reader) return reader.failure();
    std::vector<float> samples;
    // The header's length, when it gives one, sizes the result once; it is
    // within the bound by now.
    if (auto seconds = (*reader)->headerSeconds())
      samples.reserve(static_cast<std::size_t>(std::min(*seconds, maxSeconds) * rate) + 1);
    std::vector<float> block(kDecodeBlock);
    for (;;) {
      if (cancelled && cancelled()) return fd::fail("the reading of " + quotedName(file) + " was cancelled");
      auto got = (*reader)->read(block.data(), block.size());
      if (!got) return got.failure();
      if (*got == 0) break;
      samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(*got));
    }
    return samples;
  } catch (const std::bad_alloc&) {
    return outOfMemory(file);
  }
}

std::int16_t pcm16(float sample) {
  if (!std::isfinite(sample)) return 0;
  const double scaled = std::clamp(static_cast<double>(sample) * 32768.0, -32768.0, 32767.0);
  return static_cast<std::int16_t>(std::lrint(scaled));
}

bool writeMonoCaf(const std::filesystem::path& path, const std::vector<float>& samples, int sampleRate,
                  std::string* error) {
  // Written next to the target, then renamed over it: a reader never sees half a file.
  std::filesystem::path temp = path;
  temp += ".partial";
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_CAF | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(temp.c_str(), SFM_WRITE, &info);
  if (f == nullptr) {
    if (error != nullptr) *error = sf_strerror(nullptr);
    return false;
  }
  bool ok = true;
  std::int16_t pcm[4096];
  for (std::size_t at = 0; ok && at < samples.size(); at += std::size(pcm)) {
    const std::size_t n = std::min(std::size(pcm), samples.size() - at);
    for (std::size_t i = 0; i < n; ++i) pcm[i] = pcm16(samples[at + i]);
    ok = sf_write_short(f, pcm, static_cast<sf_count_t>(n)) == static_cast<sf_count_t>(n);
  }
  ok = sf_close(f) == 0 && ok;
  std::error_code ec;
  if (ok) std::filesystem::rename(temp, path, ec);
  if (!ok || ec) {
    std::filesystem::remove(temp, ec);
    if (error != nullptr) *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace media
