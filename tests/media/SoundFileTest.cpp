// Sound files that other programs and people put where the program reads
// them: rates no sound has, lengths past the longest sound, samples that are
// not numbers, the phone's compressed CAF formats, CAF files whose sound runs
// to their end, and CAF headers built to make a reader take memory. Each is decoded within the bounds or refused in
// words that name the file; the memory-bounded cases run in a child whose
// address space may grow by 512 MB only.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "graphics/MemoryCeiling.h"
#include "platform/media/AudioCapture.h"
#include "platform/media/AudioFile.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/AudioQueue.h"
#include "platform/media/ClipPlayer.h"
#include "platform/media/PcmFile.h"
#include "platform/media/Recorder.h"
#include "platform/media/SoundMix.h"
#include "support/Sandbox.h"
#include "support/SoundFiles.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readShorts;
using testing_support::compressedCafTones;
using testing_support::soundData;
using testing_support::writeChannelsWav;
using testing_support::writeFloatWav;
using testing_support::writePcmCafClaiming;
using testing_support::writeSineWav8;

constexpr std::size_t kCeiling = std::size_t{512} << 20;

std::vector<float> render(std::size_t n) {
  std::vector<float> out(n);
  media::AudioOutput::shared().render(out.data(), n);
  return out;
}

void expectNamed(const std::string& message, const fs::path& file, const std::string& why) {
  EXPECT_NE(message.find("\"" + file.filename().string() + "\""), std::string::npos) << message;
  EXPECT_NE(message.find(why), std::string::npos) << message;
}

// A CAF file of the given chunks: type, body, and the size its header
// claims (the body's own unless given; -1 is "to the end of the file").
struct Chunk {
  std::string type;
  std::string body;
  std::int64_t claimed = -2;
};

std::string bigEndian(std::uint64_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string describeChunk(double rate, const char* format, std::uint32_t bytesPerPacket, std::uint32_t framesPerPacket) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &rate, 8);
  return bigEndian(bits, 8) + format + bigEndian(0, 4) + bigEndian(bytesPerPacket, 4) + bigEndian(framesPerPacket, 4) +
         bigEndian(1, 4) + bigEndian(0, 4);
}

void writeCaf(const fs::path& path, const std::vector<Chunk>& chunks) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "caff" << bigEndian(1, 2) << bigEndian(0, 2);
  for (const Chunk& c : chunks) {
    const std::int64_t size = c.claimed == -2 ? static_cast<std::int64_t>(c.body.size()) : c.claimed;
    out << c.type << bigEndian(static_cast<std::uint64_t>(size), 8) << c.body;
  }
}

// Sign changes per second: twice the frequency of a tone.
double crossingsPerSecond(const std::vector<float>& s, std::size_t from, std::size_t to) {
  int n = 0;
  for (std::size_t i = from + 1; i < to; ++i) n += (s[i - 1] < 0) != (s[i] < 0);
  return n * 44100.0 / static_cast<double>(to - from);
}

class SoundFileTest : public testing_support::SandboxTest {
 protected:
  SoundFileTest() { media::AudioOutput::shared().setManualRendering(true); }
  ~SoundFileTest() override {
    media::ClipPlayer::waitForLoads();
    media::setCaptureInputFile(std::nullopt);
    media::AudioOutput::shared().setManualRendering(true);
  }
};

TEST_F(SoundFileTest, RatesNoSoundHasAreRefusedByNameWithinTheCeiling) {
  // 1 MB at 2 Hz is six days of sound; 20 KB and 100 KB at 1 Hz would take
  // 3.6 GB and 16 GB at 44100 Hz.
  const fs::path two = root() / "two-hertz.wav", one = root() / "one-hertz.wav", more = root() / "one-hertz-more.wav";
  writeSineWav8(two, 2, std::size_t{1} << 20);
  writeSineWav8(one, 1, 20000);
  writeSineWav8(more, 1, 100000);
  const auto child = testing_support::runUnderMemoryCeiling(kCeiling, [&] {
    for (const auto& [file, rate] : {std::pair{two, 2}, std::pair{one, 1}, std::pair{more, 1}}) {
      SCOPED_TRACE(file.filename().string());
      const std::string why = "a sample rate of " + std::to_string(rate) + " Hz";
      auto clip = media::ClipPlayer::open(file);
      ASSERT_FALSE(clip.ok());
      expectNamed(clip.error(), file, why);
      auto queued = media::PcmFile::open(file);
      ASSERT_FALSE(queued.ok());
      expectNamed(queued.error(), file, why);
      std::string error;
      EXPECT_FALSE(media::mixClipsToCaf({{file, 0.0}}, root() / "mix.caf", &error));
      EXPECT_FALSE(fs::exists(root() / "mix.caf"));
      auto length = media::soundDuration(file);
      ASSERT_FALSE(length.ok());
      expectNamed(length.error(), file, why);
    }
    // Nor is a rate beyond any sound card's taken.
    const fs::path fast = root() / "fast.wav";
    writeSineWav8(fast, 4000000, 4000);
    expectNamed(media::decodeSound(fast).error(), fast, "a sample rate of 4000000 Hz");
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(SoundFileTest, ASoundLongerThanTenMinutesIsRefusedAndOneWithinIsRead) {
  // 4000 Hz 8-bit: eleven minutes in 2.6 MB, nine in 2.2 MB.
  const fs::path eleven = root() / "eleven.wav", nine = root() / "nine.wav";
  writeSineWav8(eleven, 4000, 11 * 60 * 4000);
  writeSineWav8(nine, 4000, 9 * 60 * 4000);
  const auto child = testing_support::runUnderMemoryCeiling(kCeiling, [&] {
    auto refused = media::ClipPlayer::open(eleven);
    ASSERT_FALSE(refused.ok());
    expectNamed(refused.error(), eleven, "lasts 11 minutes; only sounds of up to 10 minutes can be played");
    auto read = media::ClipPlayer::open(nine);
    ASSERT_TRUE(read.ok()) << read.error();
    EXPECT_NEAR((*read)->duration(), 540.0, 1e-3);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(SoundFileTest, ADecodeIsHeldToTheLimitWhateverTheHeaderSays) {
  // A header that claims forty minutes over a few hundred bytes is read for
  // what the file holds.
  const fs::path claims = root() / "claims.wav";
  {
    writeSineWav8(claims, 4000, 400);
    std::fstream f(claims, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(40);  // the data chunk's size
    const char size[4] = {0x00, 0x7c, static_cast<char>(0x92), 0x00};  // 9,600,000
    f.write(size, 4);
  }
  auto held = media::decodeSound(claims);
  ASSERT_TRUE(held.ok()) << held.error();
  EXPECT_EQ(held->size(), 4410u);
  // An AAC file whose header says its packets hold one frame each, where
  // they hold 1024: the decode itself stops at the limit.
  std::ifstream in(soundData("tone-aac.caf"), std::ios::binary);
  std::string aac{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(aac.substr(8, 4), "desc");
  aac.replace(20 + 20, 4, std::string("\0\0\0\1", 4));  // frames per packet
  const fs::path untold = root() / "untold.caf";
  std::ofstream(untold, std::ios::binary) << aac;
  auto claimed = media::soundDuration(untold);
  ASSERT_TRUE(claimed.ok()) << claimed.error();
  EXPECT_LT(*claimed, 0.001);
  auto whole = media::decodeSound(untold);
  ASSERT_TRUE(whole.ok()) << whole.error();
  EXPECT_EQ(whole->size(), 16384u);  // 8 packets of 1024 at 22050 Hz, at 44100 Hz
  auto cut = media::decodeSound(untold, media::kRecordingSampleRate, 0.1);
  ASSERT_FALSE(cut.ok());
  expectNamed(cut.error(), untold, "lasts more than");
}

TEST_F(SoundFileTest, SamplesThatAreNotNumbersAreSilenceEverywhere) {
  const float nan = std::nanf(""), inf = INFINITY;
  const std::vector<float> pattern{0.5f, nan, inf, -inf, 1e30f, -0.25f};
  std::vector<float> values;
  for (int i = 0; i < 100; ++i) values.insert(values.end(), pattern.begin(), pattern.end());
  const fs::path file = root() / "float.wav";
  writeFloatWav(file, 44100, values);
  const std::vector<float> heardAs{0.5f, 0.0f, 0.0f, 0.0f, 1.0f, -0.25f};
  const std::vector<std::int16_t> storedAs{16384, 0, 0, 0, 32767, -8192};

  // The live output.
  auto clip = media::ClipPlayer::open(file);
  ASSERT_TRUE(clip.ok()) << clip.error();
  ASSERT_TRUE((*clip)->play());
  const std::vector<float> heard = render(600);
  for (std::size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], heardAs[i % 6]) << "sample " << i;
  // A mix written to a file.
  ASSERT_TRUE(media::mixClipsToCaf({{file, 0.0}}, root() / "mix.caf"));
  const std::vector<std::int16_t> mixed = readShorts(root() / "mix.caf");
  ASSERT_EQ(mixed.size(), values.size());
  for (std::size_t i = 0; i < mixed.size(); ++i) ASSERT_EQ(mixed[i], storedAs[i % 6]) << "sample " << i;
  // The queue player's packets.
  auto pcm = media::PcmFile::open(file);
  ASSERT_TRUE(pcm.ok()) << pcm.error();
  std::vector<std::int16_t> packets(6);
  ASSERT_EQ((*pcm)->readPackets(0, 6, packets.data()), 6u);
  EXPECT_EQ(packets, storedAs);
  // And whatever a source hands the output.
  ASSERT_TRUE(media::ClipPlayer::fromSamples({nan, inf, -inf, 0.5f})->play());
  EXPECT_EQ(render(4), (std::vector<float>{0.0f, 0.0f, 0.0f, 0.5f}));
}

TEST_F(SoundFileTest, ThePhonesCompressedCafFormatsAreDecoded) {
  for (const std::string& name : compressedCafTones()) {
    SCOPED_TRACE(name);
    const fs::path file = soundData(name);
    auto length = media::soundDuration(file);
    ASSERT_TRUE(length.ok()) << length.error();
    EXPECT_GT(*length, 0.29);
    EXPECT_LT(*length, 0.4);
    auto clip = media::ClipPlayer::open(file);
    ASSERT_TRUE(clip.ok()) << clip.error();
    EXPECT_GT((*clip)->duration(), 0.29);
    EXPECT_LT((*clip)->duration(), 0.4);
    // The 440 Hz tone, away from the codecs' start and end.
    auto samples = media::decodeSound(file);
    ASSERT_TRUE(samples.ok());
    EXPECT_NEAR(crossingsPerSecond(*samples, 4410, 11025), 880, 30);
    float peak = 0;
    for (float s : *samples) peak = std::max(peak, std::fabs(s));
    EXPECT_GT(peak, 0.08f);
  }
  // Bytes left after the last chunk do not stop a file from playing.
  const fs::path trailing = root() / "trailing.caf";
  fs::copy_file(soundData("tone-ima4.caf"), trailing);
  std::ofstream(trailing, std::ios::binary | std::ios::app) << "junk";
  auto kept = media::decodeSound(trailing);
  ASSERT_TRUE(kept.ok()) << kept.error();
  EXPECT_EQ(kept->size(), media::decodeSound(soundData("tone-ima4.caf"))->size());
  // A format the phone does not record in is refused by name.
  const fs::path ilbc = root() / "speech.caf";
  writeCaf(ilbc, {{"desc", describeChunk(8000, "ilbc", 50, 240)}, {"data", std::string(104, '\0')}});
  expectNamed(media::decodeSound(ilbc).error(), ilbc, "coded as 'ilbc', which cannot be played");
}

TEST_F(SoundFileTest, CafHeadersBuiltToMakeTheReaderBalloonAreRefusedFirst) {
  const std::string aac = describeChunk(22050, "aac ", 0, 1024);
  struct Case {
    const char* name;
    std::vector<Chunk> chunks;
    const char* why;
  };
  const std::vector<Case> cases{
      {"trillion.caf",
       {{"desc", aac}, {"pakt", bigEndian(1000000000000, 8) + bigEndian(0, 8) + bigEndian(0, 8) + std::string(64, '\x10')}, {"data", std::string(68, '\0'), -1}},
       "its packet table lists 1000000000000 packets"},
      {"tags.caf",
       {{"desc", aac}, {"info", bigEndian(1000000000, 4) + std::string(256, 'a')}, {"data", std::string(68, '\0'), -1}},
       "its information chunk is too long"},
      {"past.caf", {{"desc", aac}, {"kuki", std::string(16, '\0'), std::int64_t{1} << 40}}, "a chunk is larger than the file"},
      {"alac.caf",
       {{"desc", describeChunk(44100, "alac", 0, 4096)}, {"kuki", bigEndian(0x7fffffff, 4) + std::string(20, '\0')}},
       "ALAC frames of 2147483647 samples"},
      {"slow.caf", {{"desc", describeChunk(1, "ima4", 34, 64)}, {"data", std::string(1028, '\0')}}, "a sample rate of 1 Hz"},
  };
  for (const Case& c : cases) writeCaf(root() / c.name, c.chunks);
  const auto child = testing_support::runUnderMemoryCeiling(kCeiling, [&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      auto read = media::decodeSound(root() / c.name);
      ASSERT_FALSE(read.ok());
      expectNamed(read.error(), root() / c.name, c.why);
    }
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(SoundFileTest, NoReaderTakesASoundOfNoChannelsOrMoreThanEight) {
  // Nine channels in a WAV file and in a CAF file of linear PCM, which
  // libsndfile reads; none and nine claimed by CAF headers of linear PCM
  // (none: libsndfile does not open it) and of AAC (decoded by FFmpeg).
  ASSERT_TRUE(writeChannelsWav(root() / "nine.wav", 9, 4410));
  writePcmCafClaiming(root() / "pcm-nine.caf", 9);
  writePcmCafClaiming(root() / "pcm-none.caf", 0);
  // The most a header can claim is told as claimed, not as some lesser count.
  writePcmCafClaiming(root() / "pcm-most.caf", 4294967295u);
  std::ifstream in(soundData("tone-aac.caf"), std::ios::binary);
  const std::string aac{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(aac.substr(8, 4), "desc");
  for (const auto& [name, channels] :
       {std::pair{"aac-none.caf", 0u}, std::pair{"aac-nine.caf", 9u}, std::pair{"aac-most.caf", 4294967295u}}) {
    std::string claims = aac;
    claims.replace(20 + 24, 4, bigEndian(channels, 4));  // channels per frame
    std::ofstream(root() / name, std::ios::binary) << claims;
  }
  const std::vector<std::pair<std::string, std::string>> files{{"nine.wav", "has 9 channels"},
                                                               {"pcm-nine.caf", "has 9 channels"},
                                                               {"pcm-none.caf", "has 0 channels"},
                                                               {"aac-nine.caf", "has 9 channels"},
                                                               {"aac-none.caf", "has 0 channels"},
                                                               {"pcm-most.caf", "has 4294967295 channels"},
                                                               {"aac-most.caf", "has 4294967295 channels"}};
  const std::string bound = "only sounds of 1 to 8 channels can be played";
  for (const auto& [name, why] : files) {
    SCOPED_TRACE(name);
    const fs::path file = root() / name;
    auto reader = media::SoundReader::open(file);
    ASSERT_FALSE(reader.ok());
    expectNamed(reader.error(), file, why + "; " + bound);
    auto decoded = media::decodeSound(file);
    ASSERT_FALSE(decoded.ok());
    expectNamed(decoded.error(), file, why);
    auto length = media::soundDuration(file);
    ASSERT_FALSE(length.ok());
    expectNamed(length.error(), file, why);
    auto clip = media::ClipPlayer::open(file);
    ASSERT_FALSE(clip.ok());
    expectNamed(clip.error(), file, why);
    std::string told;
    auto loading = media::ClipPlayer::load(file, [&](const fd::Status& s) { told = s ? "read" : s.error(); });
    media::ClipPlayer::waitForLoads();
    expectNamed(told, file, why);
    auto queued = media::PcmFile::open(file);
    ASSERT_FALSE(queued.ok());
    expectNamed(queued.error(), file, why);
    std::string error;
    const media::MixOutcome mixed = media::mixClipsToCaf({{file, 0.0}}, root() / "mix.caf", &error);
    EXPECT_FALSE(mixed);
    EXPECT_FALSE(fs::exists(root() / "mix.caf"));
    ASSERT_EQ(mixed.problems.size(), 1u);
    expectNamed(mixed.problems[0], file, why);
    media::setCaptureInputFile(file);
    auto recorder = media::Recorder::prepare(root() / "rec.caf");
    ASSERT_FALSE(recorder.ok());
    expectNamed(recorder.error(), file, why);
    EXPECT_FALSE(fs::exists(root() / "rec.caf"));
  }
  // Eight channels are the most a sound may have: read by every reader, and
  // the queue player takes their format while it refuses none or nine.
  ASSERT_TRUE(writeChannelsWav(root() / "eight.wav", 8, 4410));
  auto eight = media::decodeSound(root() / "eight.wav");
  ASSERT_TRUE(eight.ok()) << eight.error();
  EXPECT_EQ(eight->size(), 4410u);
  EXPECT_EQ(eight->front(), 1000.0f / 32768);
  auto packets = media::PcmFile::open(root() / "eight.wav");
  ASSERT_TRUE(packets.ok()) << packets.error();
  media::StreamDescription format = (*packets)->format();
  EXPECT_EQ(format.channelsPerFrame, 8u);
  EXPECT_NE(media::AudioQueue::create(format, nullptr), nullptr);
  for (std::uint32_t channels : {0u, 9u}) {
    format.channelsPerFrame = channels;
    format.bytesPerFrame = format.bytesPerPacket = 2 * channels;
    EXPECT_EQ(media::AudioQueue::create(format, nullptr), nullptr) << channels << " channels";
  }
}

TEST_F(SoundFileTest, RatesAreConvertedSmoothlyAcrossTheReadersBlocks) {
  // Long enough to span many of the reader's blocks in both directions.
  std::vector<float> slow(50000), fast(80000);
  for (std::size_t i = 0; i < slow.size(); ++i) slow[i] = static_cast<float>(static_cast<int>(i % 2000) - 1000) / 2048.0f;
  for (std::size_t i = 0; i < fast.size(); ++i) fast[i] = static_cast<float>(static_cast<int>(i % 3000) - 1500) / 2048.0f;
  writeFloatWav(root() / "slow.wav", 22050, slow);
  writeFloatWav(root() / "fast.wav", 48000, fast);
  for (const auto& [name, rate, in] : {std::tuple{"slow.wav", 22050, &slow}, std::tuple{"fast.wav", 48000, &fast}}) {
    SCOPED_TRACE(name);
    auto out = media::decodeSound(root() / name);
    ASSERT_TRUE(out.ok()) << out.error();
    const double step = static_cast<double>(rate) / 44100;
    EXPECT_EQ(out->size(), static_cast<std::size_t>(std::floor(in->size() / step)));
    for (std::size_t i = 0; i < out->size(); ++i) {
      const double at = i * step;
      const auto j = static_cast<std::size_t>(at);
      const float a = (*in)[j], b = j + 1 < in->size() ? (*in)[j + 1] : a;
      ASSERT_FLOAT_EQ((*out)[i], static_cast<float>(a + (b - a) * (at - j))) << "sample " << i;
    }
  }
}

TEST_F(SoundFileTest, AMixLastsAtMostTheLongestSound) {
  const fs::path clip = root() / "clip.wav";
  writeSineWav8(clip, 8000, 8000);  // 1 s
  const auto child = testing_support::runUnderMemoryCeiling(kCeiling, [&] {
    std::string error;
    const media::MixOutcome mixed =
        media::mixClipsToCaf({{clip, 0.0}, {clip, 599.5}, {clip, 601.0}}, root() / "mix.caf", &error);
    ASSERT_TRUE(mixed) << error;
    ASSERT_EQ(mixed.problems.size(), 2u);
    expectNamed(mixed.problems[0], clip, "is cut where the mix reaches 10 minutes");
    expectNamed(mixed.problems[1], clip, "starts after the first 10 minutes of the mix and is left out");
    auto length = media::soundDuration(root() / "mix.caf");
    ASSERT_TRUE(length.ok()) << length.error();
    EXPECT_EQ(*length, 600.0);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

}  // namespace

namespace {

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The CAF file as a recording still being written leaves it: every other
// chunk ahead of the sound, the sound's chunk claiming a size of -1 (to the
// end of the file), and `trailing` bytes of a frame begun and never finished.
std::string openEnded(const std::string& caf, std::size_t trailing) {
  std::string head = caf.substr(0, 8), data;
  for (std::size_t at = 8; at + 12 <= caf.size();) {
    std::uint64_t size = 0;
    for (int i = 0; i < 8; ++i) size = (size << 8) | static_cast<std::uint8_t>(caf[at + 4 + i]);
    const std::string type = caf.substr(at, 4), body = caf.substr(at + 12, size);
    if (type == "data") data = body;
    else head += caf.substr(at, 12 + size);
    at += 12 + size;
  }
  return head + "data" + bigEndian(~std::uint64_t{0}, 8) + data + std::string(trailing, '\x5a');
}

}  // namespace

// A CAF file whose sound runs to its end, as a recording cut off by a kill
// is marked, is read to its last whole frame by every reader, in every
// sample format the readers take; the bytes of a frame the writer never
// finished are left out.
TEST_F(SoundFileTest, ACafWhoseSoundRunsToTheEndIsReadToItsLastWholeFrame) {
  struct Case {
    std::string name;
    int format;
    int channels;
  };
  std::vector<Case> cases;
  for (const auto& [name, sub] : {std::pair{"s8", SF_FORMAT_PCM_S8}, std::pair{"s16", SF_FORMAT_PCM_16},
                                  std::pair{"s24", SF_FORMAT_PCM_24}, std::pair{"s32", SF_FORMAT_PCM_32},
                                  std::pair{"float", SF_FORMAT_FLOAT}, std::pair{"double", SF_FORMAT_DOUBLE},
                                  std::pair{"alaw", SF_FORMAT_ALAW}, std::pair{"ulaw", SF_FORMAT_ULAW}}) {
    cases.push_back({std::string(name) + ".caf", SF_FORMAT_CAF | sub, 2});
    cases.push_back({std::string(name) + "-le.caf", SF_FORMAT_CAF | sub | SF_ENDIAN_LITTLE, 1});
  }
  for (const Case& c : cases) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = c.channels;
    info.format = c.format;
    SNDFILE* f = sf_open((root() / c.name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << c.name << ": " << sf_strerror(nullptr);
    std::vector<float> frames(static_cast<std::size_t>(2205 * c.channels));
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = 0.5f * std::sin(static_cast<float>(i) * 0.05f);
    ASSERT_EQ(sf_writef_float(f, frames.data(), 2205), 2205);
    sf_close(f);
  }
  for (const std::string& tone : compressedCafTones()) cases.push_back({tone, 0, 1});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path whole = c.format == 0 ? soundData(c.name) : root() / c.name;
    const std::string bytes = fileBytes(whole);
    auto expected = media::decodeSound(whole);
    ASSERT_TRUE(expected.ok()) << expected.error();
    auto expectedLength = media::soundDuration(whole);
    ASSERT_TRUE(expectedLength.ok()) << expectedLength.error();
    // A frame or packet of this file is at least two bytes (one for an
    // 8-bit mono one); one byte short of one is always a partial frame.
    std::uint32_t frameBytes = 0;
    for (int i = 0; i < 4; ++i) frameBytes = (frameBytes << 8) | static_cast<std::uint8_t>(bytes[8 + 12 + 16 + i]);
    for (std::size_t trailing : {std::size_t{0}, std::size_t{frameBytes > 1 ? frameBytes - 1 : 0}}) {
      SCOPED_TRACE("trailing " + std::to_string(trailing));
      const fs::path file = root() / ("open-" + c.name);
      std::ofstream(file, std::ios::binary | std::ios::trunc) << openEnded(bytes, trailing);
      auto length = media::soundDuration(file);
      ASSERT_TRUE(length.ok()) << length.error();
      EXPECT_DOUBLE_EQ(*length, *expectedLength);
      auto samples = media::decodeSound(file);
      ASSERT_TRUE(samples.ok()) << samples.error();
      EXPECT_EQ(*samples, *expected);
      auto clip = media::ClipPlayer::open(file);
      ASSERT_TRUE(clip.ok()) << clip.error();
      if (c.format == 0) continue;  // the queue player reads linear PCM only
      auto packets = media::PcmFile::open(file);
      ASSERT_TRUE(packets.ok()) << packets.error();
      EXPECT_EQ((*packets)->packetCount(), 2205);
      std::vector<std::int16_t> out(2 * 2205 + 2);
      EXPECT_EQ((*packets)->readPackets(0, 2206, out.data()), 2205u);
    }
  }
}

// A CAF header's rate is a number of any size or none: whatever rate a file
// claims out of the bounds, every reader refuses it naming that rate.
TEST_F(SoundFileTest, ACafRateOutOfTheBoundsIsToldAsTheFileClaimsIt) {
  const std::string aac = fileBytes(soundData("tone-aac.caf"));
  ASSERT_EQ(aac.substr(8, 4), "desc");
  struct Case {
    double rate;
    std::string told;
  };
  const std::vector<Case> cases{{4294967295.0, "a sample rate of 4294967295 Hz"},
                                {1e300, "a sample rate of 1e+300 Hz"},
                                {-44100, "a sample rate of -44100 Hz"},
                                {0.5, "a sample rate of 0.5 Hz"},
                                {std::nan(""), "a sample rate that is not a number"},
                                {HUGE_VAL, "an infinite sample rate"},
                                {-HUGE_VAL, "an infinite sample rate"}};
  const std::string bound = "; only sounds of 4000 to 768000 Hz can be played";
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &cases[i].rate, 8);
    const fs::path pcm = root() / ("pcm-" + std::to_string(i) + ".caf");
    writePcmCafClaiming(pcm, 1);
    std::string bytes = fileBytes(pcm);
    bytes.replace(20, 8, bigEndian(bits, 8));
    std::ofstream(pcm, std::ios::binary | std::ios::trunc) << bytes;
    const fs::path coded = root() / ("aac-" + std::to_string(i) + ".caf");
    std::ofstream(coded, std::ios::binary) << std::string(aac).replace(20, 8, bigEndian(bits, 8));
    for (const fs::path& file : {pcm, coded}) {
      SCOPED_TRACE(file.filename().string() + ": " + cases[i].told);
      auto reader = media::SoundReader::open(file);
      ASSERT_FALSE(reader.ok());
      expectNamed(reader.error(), file, cases[i].told + bound);
      auto length = media::soundDuration(file);
      ASSERT_FALSE(length.ok());
      expectNamed(length.error(), file, cases[i].told + bound);
      auto clip = media::ClipPlayer::open(file);
      ASSERT_FALSE(clip.ok());
      expectNamed(clip.error(), file, cases[i].told + bound);
      auto queued = media::PcmFile::open(file);
      ASSERT_FALSE(queued.ok());
      expectNamed(queued.error(), file, cases[i].told + bound);
    }
  }
}
