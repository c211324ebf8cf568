#pragma once
// Sound files as other programs and people leave them: WAV files written
// byte by byte (any rate, 8-bit or float samples), and the CAF files of
// tests/data/sound in the phone's compressed formats; what a file written by
// the program holds.
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

inline void putLE(std::ofstream& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A mono WAV file; `format` 1 is integer PCM, 3 IEEE float.
inline void writeWav(const std::filesystem::path& path, std::uint32_t rate, const std::vector<std::uint8_t>& data,
                     int format = 1, int bits = 8) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const auto bytes = static_cast<std::uint32_t>(data.size());
  const std::uint32_t align = static_cast<std::uint32_t>(bits / 8);
  out.write("RIFF", 4);
  putLE(out, 36 + bytes, 4);
  out.write("WAVEfmt ", 8);
  putLE(out, 16, 4);
  putLE(out, static_cast<std::uint32_t>(format), 2);
  putLE(out, 1, 2);
  putLE(out, rate, 4);
  putLE(out, rate * align, 4);
  putLE(out, align, 2);
  putLE(out, static_cast<std::uint32_t>(bits), 2);
  out.write("data", 4);
  putLE(out, bytes, 4);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// An 8-bit mono WAV of `count` samples of a slow sine at `rate` Hz: a 1 MB
// file at 2 Hz claims days of sound.
inline void writeSineWav8(const std::filesystem::path& path, std::uint32_t rate, std::size_t count) {
  std::vector<std::uint8_t> data(count);
  for (std::size_t i = 0; i < count; ++i) data[i] = static_cast<std::uint8_t>(128 + std::lround(100 * std::sin(i * 0.3)));
  writeWav(path, rate, data);
}

// A mono 32-bit float WAV holding exactly these values.
inline void writeFloatWav(const std::filesystem::path& path, std::uint32_t rate, const std::vector<float>& values) {
  std::vector<std::uint8_t> data(values.size() * 4);
  std::memcpy(data.data(), values.data(), data.size());
  writeWav(path, rate, data, 3, 32);
}

// A WAV file of `frames` frames of 16-bit samples in `channels` channels,
// every sample 1000.
inline bool writeChannelsWav(const std::filesystem::path& path, int channels, std::size_t frames) {
  std::filesystem::create_directories(path.parent_path());
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) return false;
  const std::vector<short> samples(frames * static_cast<std::size_t>(channels), 1000);
  const bool written = sf_writef_short(f, samples.data(), static_cast<sf_count_t>(frames)) == static_cast<sf_count_t>(frames);
  return sf_close(f) == 0 && written;
}

inline std::string bigEndianBytes(std::uint64_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

// A CAF file of 44100 Hz 16-bit linear PCM (0.1 s of nine channels' worth of
// bytes) whose header claims `channels`: nine are read by libsndfile, none
// are not.
inline void writePcmCafClaiming(const std::filesystem::path& path, std::uint32_t channels) {
  std::filesystem::create_directories(path.parent_path());
  const double rate = 44100;
  std::uint64_t rateBits = 0;
  std::memcpy(&rateBits, &rate, 8);
  const std::string desc = bigEndianBytes(rateBits, 8) + "lpcm" + bigEndianBytes(0, 4) + bigEndianBytes(2 * channels, 4) +
                           bigEndianBytes(1, 4) + bigEndianBytes(channels, 4) + bigEndianBytes(16, 4);
  const std::string data = bigEndianBytes(0, 4) + std::string(2 * 9 * 4410, '\x01');
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "caff" << bigEndianBytes(1, 2) << bigEndianBytes(0, 2) << "desc" << bigEndianBytes(desc.size(), 8) << desc
      << "data" << bigEndianBytes(data.size(), 8) << data;
}

// The 16-bit samples of a mono sound file (empty when it cannot be read),
// and its rate.
inline std::vector<std::int16_t> readShorts(const std::filesystem::path& path, int* rate = nullptr) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) return {};
  std::vector<std::int16_t> s(static_cast<std::size_t>(info.frames));
  sf_readf_short(f, s.data(), info.frames);
  sf_close(f);
  if (rate) *rate = info.samplerate;
  return s;
}

// A mono 16-bit file of these samples in a container libsndfile writes
// (SF_FORMAT_WAV, SF_FORMAT_CAF, ...); false when it cannot be made.
inline bool writeShorts(const std::filesystem::path& path, int format, int rate,
                        const std::vector<std::int16_t>& samples) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = format | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) return false;
  const auto n = static_cast<sf_count_t>(samples.size());
  const bool whole = sf_write_short(f, samples.data(), n) == n;
  return sf_close(f) == 0 && whole;
}

// A ramp that never repeats within a second, so any shift or gap in a
// recording of it shows.
inline std::vector<std::int16_t> ramp(std::size_t n) {
  std::vector<std::int16_t> s(n);
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<std::int16_t>(static_cast<int>((i * 7919) % 60001) - 30000);
  return s;
}

// A file of tests/data/sound: a 0.3 s 440 Hz tone at 22050 Hz, mono, as
// "tone-aac.caf", "tone-alac.caf", "tone-mp3.caf" or "tone-ima4.caf".
inline std::filesystem::path soundData(const std::string& name) {
  return std::filesystem::path(FLIPDESK_TEST_DATA) / "sound" / name;
}

inline const std::vector<std::string>& compressedCafTones() {
  static const std::vector<std::string> names{"tone-aac.caf", "tone-alac.caf", "tone-mp3.caf", "tone-ima4.caf"};
  return names;
}

}  // namespace testing_support
