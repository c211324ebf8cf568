#pragma once
// Sound files through libsndfile (CAF, WAV, AIFF and what else it reads):
// durations, decoding to 44100 Hz mono, and 16-bit linear PCM CAF output.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace media {

inline constexpr int kRecordingSampleRate = 44100;

// Length in seconds; nullopt when the file cannot be opened as sound.
std::optional<double> audioDuration(const std::filesystem::path& path);

// The whole file as mono samples at `sampleRate` (channels averaged, linear
// interpolation when the file's rate differs). Samples are in [-1, 1), a
// 16-bit value s reading as s / 32768.
std::optional<std::vector<float>> readMonoSamples(const std::filesystem::path& path,
                                                  int sampleRate = kRecordingSampleRate,
                                                  std::string* error = nullptr);

// Writes samples (scaled by 32768, rounded, clipped to 16 bits) as a mono
// 16-bit linear PCM CAF file; replaces the file atomically.
bool writeMonoCaf(const std::filesystem::path& path, const std::vector<float>& samples,
                  int sampleRate = kRecordingSampleRate, std::string* error = nullptr);

}  // namespace media
