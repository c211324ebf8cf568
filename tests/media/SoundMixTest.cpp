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

TEST_F(SoundMixTest, AFileTaggedManyTimesIsDecodedOnce) {
  // 20 s at 44100 Hz of small values, so that thirty clips of it sum without clipping.
  const std::vector<std::int16_t> clip = ramp(20 * 44100, 1, 0);
  std::vector<std::int16_t> quiet(clip.size());
  for (std::size_t i = 0; i < clip.size(); ++i) quiet[i] = static_cast<std::int16_t>(clip[i] / 100);
  writeShorts(file("long.wav"), SF_FORMAT_WAV, 44100, 1, quiet);
  fs::create_directories(file("sub"));
  std::vector<media::MixClip> clips;
  for (int k = 0; k < 30; ++k) clips.push_back({k % 3 == 0 ? root() / "sub" / ".." / "long.wav" : file("long.wav"), k * 0.1});
  // A file that cannot be read, tagged twice, is told of once.
  clips.push_back({file("missing.wav"), 0.0});
  clips.push_back({file("missing.wav"), 1.0});
  const media::MixOutcome mixed = media::mixClipsToCaf(clips, file("mix.caf"));
  ASSERT_TRUE(mixed);
  EXPECT_EQ(mixed.filesRead, 2);  // the sound and the missing file, each once
  EXPECT_EQ(mixed.samplesDecoded, static_cast<std::int64_t>(quiet.size()));
  EXPECT_EQ(mixed.samplesAdded, 30 * static_cast<std::int64_t>(quiet.size()));
  ASSERT_EQ(mixed.problems.size(), 1u);
  EXPECT_NE(mixed.problems[0].find("\"missing.wav\""), std::string::npos) << mixed.problems[0];
  const ReadBack mix = readShorts(file("mix.caf"));
  ASSERT_EQ(mix.samples.size(), 4410 * 29 + quiet.size());
  for (std::size_t i = 0; i < mix.samples.size(); ++i) {
    int want = 0;
    for (std::size_t k = 0; k < 30; ++k)
      if (i >= k * 4410 && i - k * 4410 < quiet.size()) want += quiet[i - k * 4410];
    ASSERT_EQ(mix.samples[i], want) << "sample " << i;
  }
}

TEST_F(SoundMixTest, OnlyThePartOfAFileInsideTheMixIsDecoded) {
  // A minute of stereo at 8000 Hz, tagged 30 s and 10 s before the mix's end,
  // the clips listed in time order and out of it: the earlier clip decides
  // how much is read, wherever it stands in the list.
  std::vector<std::int16_t> stereo;
  for (std::int16_t s : ramp(60 * 8000, 3, 0)) stereo.insert(stereo.end(), {s, s});
  writeShorts(file("minute.wav"), SF_FORMAT_WAV, 8000, 2, stereo);
  auto decoded = media::decodeSound(file("minute.wav"));
  ASSERT_TRUE(decoded.ok());
  for (const auto& [first, second] : {std::pair{570.0, 590.0}, std::pair{590.0, 570.0}}) {
    SCOPED_TRACE("clips at " + std::to_string(static_cast<int>(first)) + " s, then " +
                 std::to_string(static_cast<int>(second)) + " s");
    const media::MixOutcome mixed =
        media::mixClipsToCaf({{file("minute.wav"), first}, {file("minute.wav"), second}}, file("mix.caf"));
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed.filesRead, 1);
    // 30 s in two channels, and at most a few of the reader's fills of 8192 more.
    const std::int64_t inside = 30 * 8000 * 2;
    EXPECT_GE(mixed.samplesDecoded, inside);
    EXPECT_LE(mixed.samplesDecoded, inside + 3 * 8192 * 2);
    EXPECT_EQ(mixed.samplesAdded, 40 * 44100);
    ASSERT_EQ(mixed.problems.size(), 1u);  // both clips are cut: told once
    EXPECT_EQ(mixed.problems[0], "\"minute.wav\" is cut where the mix reaches 10 minutes");
    const ReadBack mix = readShorts(file("mix.caf"));
    ASSERT_EQ(mix.samples.size(), 600u * 44100);
    const std::size_t early = 570 * 44100, late = 590 * 44100;
    for (std::size_t i = 0; i < mix.samples.size(); i += 97) {
      float want = 0;
      if (i >= early) want += (*decoded)[i - early];
      if (i >= late) want += (*decoded)[i - late];
      ASSERT_EQ(mix.samples[i], media::pcm16(want)) << "sample " << i;
    }
  }
}

TEST_F(SoundMixTest, TheWorkOfAMixIsBoundedAndWhatItLeavesOutIsNamed) {
  // One second each, of values whose sums show which were mixed.
  const std::vector<std::pair<std::string, std::int16_t>> sounds{
      {"a.wav", 1}, {"b.wav", 2}, {"c.wav", 4}, {"d.wav", 8}, {"e.wav", 16}, {"f.wav", 32}, {"g.wav", 64}, {"h.wav", 128}};
  std::vector<media::MixClip> all;
  for (const auto& [name, value] : sounds) {
    writeShorts(file(name), SF_FORMAT_WAV, 44100, 1, std::vector<std::int16_t>(44100, value));
    all.push_back({file(name), 0.0});
  }
  auto uniform = [](const ReadBack& r, std::size_t from, std::size_t to, int value) {
    for (std::size_t i = from; i < to; ++i)
      if (r.samples[i] != value) return false;
    return true;
  };
  {
    SCOPED_TRACE("files");
    media::MixLimits limits;
    limits.files = 2;
    const media::MixOutcome mixed = media::mixClipsToCaf(all, file("files.caf"), nullptr, limits);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed.filesRead, 2);
    EXPECT_EQ(mixed.problems, std::vector<std::string>{"\"c.wav\", \"d.wav\", \"e.wav\", \"f.wav\", \"g.wav\" and 1 other sound "
                                                       "are left out: the sounds mixed before them are as much as is mixed at one time"});
    const ReadBack mix = readShorts(file("files.caf"));
    ASSERT_EQ(mix.samples.size(), 44100u);
    EXPECT_TRUE(uniform(mix, 0, 44100, 3));
  }
  {
    SCOPED_TRACE("decoded samples");
    media::MixLimits limits;
    limits.decodedSamples = 44100 + 22050;
    const media::MixOutcome mixed = media::mixClipsToCaf(all, file("decoded.caf"), nullptr, limits);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed.filesRead, 2);
    EXPECT_LE(mixed.samplesDecoded, limits.decodedSamples + 8192);
    ASSERT_EQ(mixed.problems.size(), 2u);
    EXPECT_EQ(mixed.problems[0], "\"b.wav\" is cut short: the sounds mixed up to there are as much as is mixed at one time");
    EXPECT_EQ(mixed.problems[1].substr(0, 70), "\"c.wav\", \"d.wav\", \"e.wav\", \"f.wav\", \"g.wav\" and 1 other sound are left");
    // "b.wav" as far as its reading went, "a.wav" whole.
    const ReadBack mix = readShorts(file("decoded.caf"));
    ASSERT_EQ(mix.samples.size(), 44100u);
    const auto cut = static_cast<std::size_t>(std::find(mix.samples.begin(), mix.samples.end(), 1) - mix.samples.begin());
    EXPECT_GT(cut, 22050u - 8192);
    EXPECT_LE(cut, 22050u);
    EXPECT_TRUE(uniform(mix, 0, cut, 3));
    EXPECT_TRUE(uniform(mix, cut, 44100, 1));
  }
  {
    SCOPED_TRACE("added samples");
    media::MixLimits limits;
    limits.addedSamples = 44100 * 5 / 2;
    const media::MixOutcome mixed = media::mixClipsToCaf(
        {{file("a.wav"), 0.0}, {file("a.wav"), 0.5}, {file("a.wav"), 1.0}, {file("b.wav"), 0.0}, {file("a.wav"), 1.5}},
        file("added.caf"), nullptr, limits);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed.filesRead, 1);  // nothing is left for "b.wav": it is not read
    EXPECT_EQ(mixed.samplesAdded, limits.addedSamples);
    EXPECT_EQ(mixed.problems, (std::vector<std::string>{
                                  "\"a.wav\" is cut short: the sounds mixed up to there are as much as is mixed at one time",
                                  "\"a.wav\" and \"b.wav\" are left out: the sounds mixed before them are as much as is mixed at one time"}));
    const ReadBack mix = readShorts(file("added.caf"));
    ASSERT_EQ(mix.samples.size(), 44100u * 3 / 2);
    EXPECT_TRUE(uniform(mix, 0, 22050, 1));
    EXPECT_TRUE(uniform(mix, 22050, 66150, 2));
  }
  {
    SCOPED_TRACE("nothing left");
    media::MixLimits limits;
    limits.addedSamples = 0;
    std::string error;
    const media::MixOutcome mixed = media::mixClipsToCaf({{file("a.wav"), 0.0}}, file("none.caf"), &error, limits);
    EXPECT_FALSE(mixed);
    EXPECT_FALSE(fs::exists(file("none.caf")));
    EXPECT_EQ(mixed.filesRead, 0);
    EXPECT_EQ(mixed.problems,
              std::vector<std::string>{"\"a.wav\" is left out: the sounds mixed before it are as much as is mixed at one time"});
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
