#include <sndfile.h>

#include <vector>

#include "platform/media/SoundSource.h"

namespace media::sound {

namespace {

struct SndCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndHandle = std::unique_ptr<SNDFILE, SndCloser>;

constexpr sf_count_t kChunkFrames = 4096;

class SndfileSource : public SoundSource {
 public:
  SndfileSource(SndHandle file, const SF_INFO& info) : file_(std::move(file)) { info_ = sourceInfoOf(info); }

  fd::Expected<std::size_t> readMono(float* out, std::size_t max) override {
    const auto channels = static_cast<int>(info_.channels);
    const sf_count_t want = std::min<sf_count_t>(kChunkFrames, static_cast<sf_count_t>(max));
    chunk_.resize(static_cast<std::size_t>(want * channels));
    const sf_count_t got = sf_readf_float(file_.get(), chunk_.data(), want);
    if (got <= 0) return std::size_t{0};
    for (sf_count_t i = 0; i < got; ++i) {
      double sum = 0;
      for (int c = 0; c < channels; ++c) sum += chunk_[static_cast<std::size_t>(i * channels + c)];
      out[i] = sampleOf(sum / channels);
    }
    return static_cast<std::size_t>(got);
  }

 private:
  SndHandle file_;
  std::vector<float> chunk_;
};

}  // namespace

SourceInfo sourceInfoOf(const SF_INFO& info) {
  SourceInfo s;
  s.sampleRate = info.samplerate;
  s.channels = info.channels;
  // Formats that cannot tell their length in advance say SF_COUNT_MAX.
  if (info.frames >= 0 && info.frames != SF_COUNT_MAX && info.samplerate > 0)
    s.seconds = static_cast<double>(info.frames) / info.samplerate;
  return s;
}

fd::Expected<std::unique_ptr<SoundSource>> openSndfileSource(const std::filesystem::path& file) {
  SF_INFO info{};
  SndHandle f(sf_open(file.c_str(), SFM_READ, &info));
  if (!f) return fd::fail(quotedName(file) + " cannot be read as sound: " + sf_strerror(nullptr));
  return std::unique_ptr<SoundSource>(std::make_unique<SndfileSource>(std::move(f), info));
}

}  // namespace media::sound
