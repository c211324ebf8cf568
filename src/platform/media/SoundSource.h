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
struct sf_private_tag;

namespace media::sound {

struct SourceInfo {
  int sampleRate = 0;
  // The rate as a CAF header gives it (a number of any size, or none), so
  // that a refusal tells the rate the file claims rather than the 0 it reads
  // as; unset where the rate read is the file's own.
  std::optional<double> claimedRate;
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

// A file open for reading through libsndfile. A CAF file whose sound runs to
// its end (a sound chunk claiming -1, as a recording cut off before its
// header was finished is marked), which libsndfile refuses, is read through a
// view of the file that gives the chunk the size of its whole frames.
class SndfileReader {
 public:
  struct View;
  SndfileReader(sf_private_tag* file, std::unique_ptr<View> view);
  ~SndfileReader();
  SndfileReader(const SndfileReader&) = delete;
  SndfileReader& operator=(const SndfileReader&) = delete;
  sf_private_tag* get() const { return file_; }

 private:
  std::unique_ptr<View> view_;  // outlives the file that reads through it
  sf_private_tag* file_ = nullptr;
};

// Opens a file for reading and fills info; the failure is libsndfile's reason.
fd::Expected<std::unique_ptr<SndfileReader>> openSndfile(const std::filesystem::path& file, SF_INFO& info);

// WAV, AIFF, CAF of linear PCM and the rest libsndfile reads.
fd::Expected<std::unique_ptr<SoundSource>> openSndfileSource(const std::filesystem::path& file);

// Whether the file starts as a CAF file does.
bool looksLikeCaf(const std::filesystem::path& file);
// The CAF header alone (format, rate, channels, length), checked chunk by
// chunk against the file's size, then against the bounds (checkSoundInfo),
// then for a format decoded here; for the files libsndfile does not read.
fd::Expected<SourceInfo> readCafHeader(const std::filesystem::path& file, double maxSeconds);
// Where the size of a CAF file's sound chunk is stored and the size that
// holds the chunk's whole packets, for a file of packets of one size whose
// sound chunk claims -1, running to the end of the file; nullopt for any other.
struct OpenEndedSound {
  std::int64_t sizeAt = 0;
  std::int64_t size = 0;
};
std::optional<OpenEndedSound> openEndedCafSound(const std::filesystem::path& file);
// A CAF file holding AAC, ALAC, MP3 or IMA4, decoded by FFmpeg.
fd::Expected<std::unique_ptr<SoundSource>> openCafSource(const std::filesystem::path& file);

}  // namespace media::sound
