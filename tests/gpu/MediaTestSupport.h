#pragma once
// Helpers of the camera, movie writer and movie source tests: the camera
// setting for one test, a tone as a sound file fed to the microphone, movies
// written with known pictures and sound, and measures to compare them by.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/AudioCapture.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/VideoFrame.h"

namespace mediatest {

// $FLIPDESK_CAMERA for the lifetime of the object.
class ScopedCamera {
 public:
  explicit ScopedCamera(const std::string& setting) { ::setenv("FLIPDESK_CAMERA", setting.c_str(), 1); }
  ~ScopedCamera() { ::unsetenv("FLIPDESK_CAMERA"); }
};

// The microphone plays this file for the lifetime of the object.
class ScopedMicrophoneFile {
 public:
  explicit ScopedMicrophoneFile(const std::filesystem::path& file) { media::setCaptureInputFile(file); }
  ~ScopedMicrophoneFile() { media::setCaptureInputFile(std::nullopt); }
};

inline std::vector<float> tone(std::size_t count, double hz, float amplitude, std::size_t from = 0) {
  std::vector<float> s(count);
  for (std::size_t i = 0; i < count; ++i)
    s[i] = amplitude * static_cast<float>(std::sin(2 * M_PI * hz * static_cast<double>(from + i) / 44100.0));
  return s;
}

// A 16-bit mono WAV at 44100 Hz.
inline void writeWav(const std::filesystem::path& file, const std::vector<float>& samples) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(file.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  sf_write_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(f);
}

// A picture that tells its frame number: a gradient whose phase moves, and a
// red level of frame * 8.
inline std::shared_ptr<media::PixelBuffer> numberedPicture(int frame, int width, int height) {
  auto p = media::PixelBuffer::make(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* px = p->row(y) + 4 * x;
      px[0] = static_cast<std::uint8_t>((x + frame * 4) & 255);
      px[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
      px[2] = static_cast<std::uint8_t>((frame * 8) & 255);
      px[3] = 255;
    }
  return p;
}

// Mean difference per colour channel, out of 255, over the rows [fromRow, toRow).
inline double meanDifference(const media::PixelBuffer& a, const media::PixelBuffer& b, int fromRow = 0,
                             int toRow = -1) {
  if (toRow < 0) toRow = a.height;
  double sum = 0;
  for (int y = fromRow; y < toRow; ++y)
    for (int x = 0; x < a.width * 4; ++x)
      if (x % 4 != 3) sum += std::abs(a.row(y)[x] - b.row(y)[x]);
  return sum / (a.width * (toRow - fromRow) * 3.0);
}

// Writes `frames` numbered pictures at 30 a second and, when asked, a 440 Hz
// tone beside them.
inline fd::Status writeNumberedMovie(const std::filesystem::path& file, int frames, int width, int height,
                                     bool withSound) {
  auto writer = media::MovieWriter::create(file, media::MovieContainer::QuickTime);
  if (!writer) return writer.failure();
  media::MovieWriter& w = **writer;
  if (auto s = w.addVideoTrack({width, height, 30, 30}); !s) return s;
  if (withSound) {
    if (auto s = w.addAudioTrack({}); !s) return s;
  }
  if (!w.startWriting()) return fd::fail(w.error());
  w.startSession(CMTimeMake(0, 600));
  std::size_t audioAt = 0;
  for (int i = 0; i < frames; ++i) {
    w.appendVideo(*numberedPicture(i, width, height), CMTimeMake(i * 20, 600));
    while (withSound && audioAt < static_cast<std::size_t>((i + 1) * 44100 / 30)) {
      media::AudioSamples a;
      a.samples = tone(1024, 440, 0.5f, audioAt);
      a.presentationTime = CMTimeMake(static_cast<std::int64_t>(audioAt), 44100);
      w.appendAudio(a);
      audioAt += 1024;
    }
  }
  return w.finishWriting();
}

// Root mean square and zero crossings of a stretch of sound.
struct ToneMeasure {
  double rms = 0;
  int crossings = 0;
};
inline ToneMeasure measureTone(const std::vector<float>& s, std::size_t from, std::size_t count) {
  ToneMeasure m;
  double energy = 0;
  for (std::size_t i = from; i < from + count && i < s.size(); ++i) {
    energy += s[i] * s[i];
    if (i > 0) m.crossings += (s[i - 1] < 0) != (s[i] < 0);
  }
  m.rms = std::sqrt(energy / static_cast<double>(count));
  return m;
}

}  // namespace mediatest
