#pragma once
// The decoders behind SoundReader, internal to the media layer: each hands out
// a file's sound as mono samples at the file's own rate, channels averaged and
// every sample made safe (sampleOf). SoundReader checks what they report
// against the bounds, resamples and counts.
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Expected.h"

struct SF_INFO;

namespace media::sound {

struct SourceInfo {
  int sampleRate = 0;
  // As many as the file claims (a CAF header: up to 4,294,967,295), so that a
  // refusal tells the count the file gives.
  std::int64_t channels = 0;
  // From the header, when it says.
  std::optional<double> seconds;
};

class SoundSource {
 public:
  virtual ~SoundSource() = default;
  const SourceInfo& info() const { return info_; }
  // Up to max samples; 0 at the end.
  virtual fd::Expected<std::size_t> readMono(float* out, std::size_t max) = 0;

 protected:
  SourceInfo info_;
};

// A sample as the program plays it: within [-1, 1], and silence where the
// file holds no number or an infinite one.
inline float sampleOf(double value) {
  if (!std::isfinite(value)) return 0.0f;
  return static_cast<float>(value < -1.0 ? -1.0 : value > 1.0 ? 1.0 : value);
}

// "name", quoted, as every message names the file.
inline std::string quotedName(const std::filesystem::path& file) { return "\"" + file.filename().string() + "\""; }

// Refuses, with a message naming the file, what no sound file sensibly has:
// a rate or a channel count outside the bounds, or a length beyond maxSeconds.
fd::Status checkSoundInfo(const std::filesystem::path& file, const SourceInfo& info, double maxSeconds);

// What libsndfile says of a file it opened.
SourceInfo sourceInfoOf(const SF_INFO& info);

// WAV, AIFF, CAF of linear PCM and the rest libsndfile reads.
fd::Expected<std::unique_ptr<SoundSource>> openSndfileSource(const std::filesystem::path& file);

// Whether the file starts as a CAF file does.
bool looksLikeCaf(const std::filesystem::path& file);
// The CAF header alone (format, rate, channels, length), checked chunk by
// chunk against the file's size, then against the bounds (checkSoundInfo),
// then for a format decoded here; for the files libsndfile does not read.
fd::Expected<SourceInfo> readCafHeader(const std::filesystem::path& file, double maxSeconds);
// A CAF file holding AAC, ALAC, MP3 or IMA4, decoded by FFmpeg.
fd::Expected<std::unique_ptr<SoundSource>> openCafSource(const std::filesystem::path& file);

}  // namespace media::sound
