#include "platform/media/AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "platform/foundation/FileUtil.h"

namespace media {

namespace {

struct SndCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndHandle = std::unique_ptr<SNDFILE, SndCloser>;

SndHandle openForReading(const std::filesystem::path& path, SF_INFO& info, std::string* error) {
  info = SF_INFO{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr && error != nullptr) *error = sf_strerror(nullptr);
  if (f != nullptr && (info.samplerate <= 0 || info.channels <= 0)) {
    sf_close(f);
    if (error != nullptr) *error = "not a sound file";
    return nullptr;
  }
  return SndHandle(f);
}

// Linear interpolation from one rate to another.
std::vector<float> resample(const std::vector<float>& in, int fromRate, int toRate) {
  if (fromRate == toRate || in.empty()) return in;
  const double ratio = static_cast<double>(fromRate) / toRate;
  const auto outCount = static_cast<std::size_t>(std::floor(in.size() / ratio));
  std::vector<float> out(outCount);
  for (std::size_t i = 0; i < outCount; ++i) {
    const double at = i * ratio;
    const auto j = static_cast<std::size_t>(at);
    const double frac = at - j;
    const float a = in[j];
    const float b = j + 1 < in.size() ? in[j + 1] : a;
    out[i] = static_cast<float>(a + (b - a) * frac);
  }
  return out;
}

}  // namespace

std::optional<double> audioDuration(const std::filesystem::path& path) {
  SF_INFO info;
  SndHandle f = openForReading(path, info, nullptr);
  if (!f) return std::nullopt;
  return static_cast<double>(info.frames) / info.samplerate;
}

std::optional<std::vector<float>> readMonoSamples(const std::filesystem::path& path, int sampleRate,
                                                  std::string* error) {
  SF_INFO info;
  SndHandle f = openForReading(path, info, error);
  if (!f) return std::nullopt;
  const int channels = info.channels;
  std::vector<float> mono;
  mono.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)));
  constexpr sf_count_t kChunkFrames = 4096;
  std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames) * channels);
  for (;;) {
    const sf_count_t got = sf_readf_float(f.get(), chunk.data(), kChunkFrames);
    if (got <= 0) break;
    for (sf_count_t i = 0; i < got; ++i) {
      float sum = 0;
      for (int c = 0; c < channels; ++c) sum += chunk[static_cast<std::size_t>(i) * channels + c];
      mono.push_back(sum / channels);
    }
  }
  return resample(mono, info.samplerate, sampleRate);
}

bool writeMonoCaf(const std::filesystem::path& path, const std::vector<float>& samples, int sampleRate,
                  std::string* error) {
  std::vector<std::int16_t> pcm(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const long v = std::lrint(static_cast<double>(samples[i]) * 32768.0);
    pcm[i] = static_cast<std::int16_t>(std::clamp<long>(v, -32768, 32767));
  }
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
  const sf_count_t written = sf_write_short(f, pcm.data(), static_cast<sf_count_t>(pcm.size()));
  const bool ok = sf_close(f) == 0 && written == static_cast<sf_count_t>(pcm.size());
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
