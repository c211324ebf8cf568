#pragma once
// Sound files: CAF, WAV and AIFF through libsndfile, and CAF holding the
// phone's compressed formats (AAC, ALAC, MP3, IMA4) through FFmpeg. Every file
// is held to the same bounds before and while it is decoded, so that no file
// makes the program take gigabytes or minutes; what comes out is mono at the
// caller's rate. Recordings and mixes are written as 16-bit linear PCM CAF.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Expected.h"

namespace media {

inline constexpr int kRecordingSampleRate = 44100;

// Rates outside these are refused: no sound file sensibly has them, and a
// rate of a few hertz turns a small file into days of sound.
inline constexpr int kMinSoundSampleRate = 4000;
inline constexpr int kMaxSoundSampleRate = 768000;
inline constexpr int kMaxSoundChannels = 8;
// The longest sound decoded: ten minutes, 26,460,000 samples at 44100 Hz
// (about 106 MB as floats). A file whose header says more is refused at once,
// and a decode that passes it is refused whatever the header said.
inline constexpr double kMaxSoundSeconds = 600;

namespace sound {
class SoundSource;
}

// A sound file read a block at a time as mono samples at the output rate:
// channels averaged, rates converted by linear interpolation, every sample
// within [-1, 1] (samples that are not numbers, or infinite, read as
// silence). Failures name the file and say why in words.
class SoundReader {
 public:
  static fd::Expected<std::unique_ptr<SoundReader>> open(const std::filesystem::path& file,
                                                         int outputRate = kRecordingSampleRate,
                                                         double maxSeconds = kMaxSoundSeconds);
  ~SoundReader();
  SoundReader(const SoundReader&) = delete;
  SoundReader& operator=(const SoundReader&) = delete;

  int fileSampleRate() const;
  int fileChannels() const;
  // The length the header gives, in seconds; nullopt when it does not say.
  std::optional<double> headerSeconds() const;

  // The next samples (up to max); 0 at the end. Fails once the sound runs
  // past maxSeconds, or when the file breaks off in a way that cannot be read.
  fd::Expected<std::size_t> read(float* out, std::size_t max);

  // The sample values decoded from the file so far, every channel counted at
  // the file's own rate: the measure of the work reading has taken.
  std::int64_t samplesDecoded() const { return decoded_; }

 private:
  SoundReader() = default;
  bool fill();
  std::filesystem::path file_;
  std::unique_ptr<sound::SoundSource> source_;
  double ratio_ = 1;
  double maxSeconds_ = 0;
  std::int64_t capSamples_ = 0;
  std::int64_t produced_ = 0;
  std::int64_t decoded_ = 0;
  // Source samples kept for interpolation; buffer_[0] is source sample base_.
  std::vector<float> buffer_;
  std::int64_t base_ = 0;
  bool sourceEnded_ = false;
  std::string sourceError_;
};

// The file's length in seconds from its header alone (nothing is decoded),
// once the same bounds are checked. Quick enough for the main thread.
fd::Expected<double> soundDuration(const std::filesystem::path& file);

// The whole sound, as SoundReader reads it. `cancelled`, when given, is asked
// between blocks; a cancelled decode fails. An allocation that fails is
// reported as a failure, never thrown.
fd::Expected<std::vector<float>> decodeSound(const std::filesystem::path& file, int rate = kRecordingSampleRate,
                                             double maxSeconds = kMaxSoundSeconds,
                                             const std::function<bool()>& cancelled = {});

// A sample as 16-bit linear PCM: scaled by 32768, rounded, clipped; samples
// that are not numbers, or infinite, are silence.
std::int16_t pcm16(float sample);

// Writes samples as a mono 16-bit linear PCM CAF file; replaces the file
// atomically.
bool writeMonoCaf(const std::filesystem::path& path, const std::vector<float>& samples,
                  int sampleRate = kRecordingSampleRate, std::string* error = nullptr);

}  // namespace media
