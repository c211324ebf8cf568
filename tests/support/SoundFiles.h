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
