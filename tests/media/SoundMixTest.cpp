// Reading sound files and mixing clips at offsets into one recording.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <fstream>

#include "platform/media/AudioFile.h"
#include "platform/media/SoundMix.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;

// Writes 16-bit samples (interleaved when channels > 1) in the given format.
void writeShorts(const fs::path& path, int format, int rate, int channels, const std::vector<std::int16_t>& samples) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  sf_write_short(f, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(f);
}

struct ReadBack {
  SF_INFO info{};
  std::vector<std::int16_t> samples;
};

ReadBack readShorts(const fs::path& path) {
  ReadBack r;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &r.info);
  if (f == nullptr) return r;
  r.samples.resize(static_cast<std::size_t>(r.info.frames * r.info.channels));
  sf_read_short(f, r.samples.data(), static_cast<sf_count_t>(r.samples.size()));
  sf_close(f);
  return r;
}

std::vector<std::int16_t> ramp(std::size_t n, int step, int start) {
  std::vector<std::int16_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int16_t>((start + static_cast<int>(i) * step) % 20000 - 10000);
  return v;
}

class SoundMixTest : public testing_support::SandboxTest {
 protected:
  fs::path file(const std::string& name) { return root() / name; }
};

TEST_F(SoundMixTest, TheMixIsTheSumOfTheClipsAtTheirOffsets) {
  const std::vector<std::int16_t> a = ramp(30000, 7, 0);
  const std::vector<std::int16_t> b = ramp(20000, 13, 500);
  const std::vector<std::int16_t> c = ramp(5000, 3, 900);
  writeShorts(file("a.caf"), SF_FORMAT_CAF, 44100, 1, a);
  // Stereo with equal channels: the downmix is exact.
  std::vector<std::int16_t> stereo;
  for (std::int16_t s : b) stereo.insert(stereo.end(), {s, s});
  writeShorts(file("b.wav"), SF_FORMAT_WAV, 44100, 2, stereo);
  writeShorts(file("c.aif"), SF_FORMAT_AIFF, 44100, 1, c);

  const std::size_t offB = 14112;  // frame 2 at 0.32 s per frame
  const std::size_t offC = 3 * 14112;
  ASSERT_TRUE(media::mixClipsToCaf({{file("a.caf"), 0.0}, {file("b.wav"), 0.32}, {file("c.aif"), 0.96}, {file("none.caf"), 0.0}},
                                   file("mix.caf")));
  ReadBack mix = readShorts(file("mix.caf"));
  EXPECT_EQ(mix.info.samplerate, 44100);
  EXPECT_EQ(mix.info.channels, 1);
  EXPECT_EQ(mix.info.format, SF_FORMAT_CAF | SF_FORMAT_PCM_16);
  const std::size_t length = std::max({a.size(), offB + b.size(), offC + c.size()});
  ASSERT_EQ(mix.samples.size(), length);
  for (std::size_t i = 0; i < length; ++i) {
    int want = 0;
    if (i < a.size()) want += a[i];
    if (i >= offB && i - offB < b.size()) want += b[i - offB];
    if (i >= offC && i - offC < c.size()) want += c[i - offC];
    want = std::clamp(want, -32768, 32767);
    ASSERT_EQ(mix.samples[i], want) << "sample " << i;
  }
}

TEST_F(SoundMixTest, LoudSumsClipInsteadOfWrapping) {
  writeShorts(file("loud.caf"), SF_FORMAT_CAF, 44100, 1, std::vector<std::int16_t>(100, 30000));
  writeShorts(file("low.caf"), SF_FORMAT_CAF, 44100, 1, std::vector<std::int16_t>(100, -30000));
  ASSERT_TRUE(media::mixClipsToCaf({{file("loud.caf"), 0}, {file("loud.caf"), 0}}, file("up.caf")));
  ASSERT_TRUE(media::mixClipsToCaf({{file("low.caf"), 0}, {file("low.caf"), 0}}, file("down.caf")));
  EXPECT_EQ(readShorts(file("up.caf")).samples, std::vector<std::int16_t>(100, 32767));
  EXPECT_EQ(readShorts(file("down.caf")).samples, std::vector<std::int16_t>(100, -32768));
}

TEST_F(SoundMixTest, OtherRatesAreResampled) {
  // A 0.5 s tone at 22050 Hz becomes 0.5 s at 44100 Hz.
  std::vector<std::int16_t> tone(11025);
  for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<std::int16_t>(8000 * std::sin(i * 0.05));
  writeShorts(file("tone.wav"), SF_FORMAT_WAV, 22050, 1, tone);
  auto read = media::decodeSound(file("tone.wav"));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size(), 22050u);
  for (std::size_t i = 0; i + 1 < read->size(); i += 2) {
    ASSERT_NEAR((*read)[i] * 32768.0f, tone[i / 2], 1.0f);
  }
  EXPECT_NEAR(*media::soundDuration(file("tone.wav")), 0.5, 1e-9);
}

TEST_F(SoundMixTest, NothingReadableWritesNothing) {
  std::ofstream(file("junk.caf")) << "not sound";
  std::string error;
  EXPECT_FALSE(media::mixClipsToCaf({{file("junk.caf"), 0}, {file("missing.wav"), 1}}, file("out.caf"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(file("out.caf")));
  EXPECT_FALSE(media::soundDuration(file("junk.caf")));
  EXPECT_FALSE(media::mixClipsToCaf({}, file("out.caf")));
}

TEST_F(SoundMixTest, RecordingsRoundTrip) {
  std::vector<float> samples{0.0f, 0.5f, -0.5f, 1.5f, -2.0f, 100.0f / 32768};
  ASSERT_TRUE(media::writeMonoCaf(file("rec.caf"), samples));
  ReadBack r = readShorts(file("rec.caf"));
  EXPECT_EQ(r.samples, (std::vector<std::int16_t>{0, 16384, -16384, 32767, -32768, 100}));
  EXPECT_NEAR(*media::soundDuration(file("rec.caf")), 6.0 / 44100, 1e-12);
  EXPECT_FALSE(media::writeMonoCaf(root() / "no" / "such" / "dir.caf", samples));
}

}  // namespace
