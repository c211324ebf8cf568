// The frame manager's player running its own sound step: its counter starting
// at the desk's page, clips started on their tags' first frames and stopped one
// frame before their ends, the queue player for sounds that are not ".caf"
// (a second in when the clip is long enough), missing and unreadable sounds,
// the wrap, and no clip sounding on after the playing stops or the manager
// closes; checked on the rendered sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>

#include "SoundTrackTestSupport.h"

namespace {

namespace fs = std::filesystem;
using sound_test::tone;

// A mono 16-bit WAV file of the samples.
void writeWav(const fs::path& path, const std::vector<float>& samples) {
  std::ofstream out(path, std::ios::binary);
  auto le = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  le(36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  le(16, 4);
  le(1, 2);  // linear PCM
  le(1, 2);  // mono
  le(44100, 4);
  le(88200, 4);
  le(2, 2);
  le(16, 2);
  out.write("data", 4);
  le(dataBytes, 4);
  for (float s : samples) {
    const long v = std::clamp(std::lround(s * 32768.0f), -32768L, 32767L);
    le(static_cast<std::uint32_t>(static_cast<std::int16_t>(v)) & 0xFFFF, 2);
  }
}

class PlayerSoundStepTest : public sound_test::SoundTrackTest {
 protected:
  // The manager open, its player on its own sound step, playing forward from
  // the desk's page.
  ZTPlayView& playFrom(int deskPage) {
    ZTPicManagerView& m = open();
    ZTPlayView& v = *m.playView();
    v.setIsModelPlay(true);
    settings().setCurPage(deskPage);
    m.play();
    return v;
  }
  // Advances the clock to the middle of forward step n (counted from play),
  // the clips started on the way read.
  void toStep(int n) {
    host->advance(step * (n - stepsTaken));
    stepsTaken = n;
    host->runUntilIdle();
    media::ClipPlayer::waitForLoads();
  }
  static std::vector<float> render(std::size_t n) {
    std::vector<float> out(n);
    media::AudioOutput::shared().render(out.data(), n);
    return out;
  }
  // The next rendered samples are the clip's from `from` on.
  static void expectSounding(const std::vector<float>& clip, std::size_t from, std::size_t n = 2000) {
    const std::vector<float> heard = render(n);
    ASSERT_LE(from + n, clip.size());
    for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(heard[i], clip[from + i], 1e-6) << "sample " << i;
  }
  static void expectSilent() {
    EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
    for (float s : render(2000)) ASSERT_EQ(s, 0.0f);
  }

  const double step = 0.16;  // the manager plays sound projects at speed 0.5
  int stepsTaken = 0;
};

TEST_F(PlayerSoundStepTest, ACafClipSoundsFromItsTagsFirstFrameToOneBeforeItsEnd) {
  tags = {SoundTag{"clip.caf", {{100, 232}}, {{3, 6}}}};
  const std::vector<float> clip = tone(3);
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "clip.caf", clip));
  ZTPlayView& v = playFrom(1);
  EXPECT_EQ(v.firstPageCounter(), 1);
  EXPECT_EQ(v.firstFew(), 0);
  stepsTaken = 0;
  host->advance(step / 2);
  toStep(2);
  expectSilent();
  toStep(3);  // the counter on frame 3: the clip starts from its beginning
  ASSERT_TRUE(v.isAudioPlayer());
  ASSERT_NE(v.audioPlayer(), nullptr);
  EXPECT_EQ(v.audioPlayer()->file(), fd::paths::documents() / "clip.caf");
  EXPECT_EQ(settings().avAudio(), v.audioPlayer());
  expectSounding(clip, 0);
  toStep(4);
  EXPECT_TRUE(v.isAudioPlayer());
  expectSounding(clip, 2000);
  toStep(5);  // frame 5, one before the tag's end
  EXPECT_FALSE(v.isAudioPlayer());
  EXPECT_EQ(v.audioPlayer(), nullptr);
  EXPECT_EQ(settings().avAudio(), nullptr);
  expectSilent();
  // Round the ten frames the counter starts again and so does the clip.
  toStep(12);
  EXPECT_FALSE(v.isAudioPlayer());
  toStep(13);
  ASSERT_TRUE(v.isAudioPlayer());
  expectSounding(clip, 0);
  // Closing the manager silences it.
  auto clipPlayer = v.audioPlayer();
  host->tap({5, 5});
  host->runUntilIdle();
  EXPECT_EQ(desk->picManagerView(), nullptr);
  EXPECT_FALSE(clipPlayer->isPlaying());
  EXPECT_EQ(settings().avAudio(), nullptr);
  expectSilent();
}

TEST_F(PlayerSoundStepTest, OtherSoundsPlayThroughTheQueueASecondInWhenLongEnough) {
  tags = {SoundTag{"beat.wav", {{60, 100}}, {{2, 4}}}, SoundTag{"short.wav", {{200, 260}}, {{6, 8}}}};
  const std::vector<float> beat = tone(3), shortOne = tone(1.2);
  writeWav(fd::paths::documents() / "beat.wav", beat);
  writeWav(fd::paths::documents() / "short.wav", shortOne);
  ZTPlayView& v = playFrom(1);
  host->advance(step / 2);
  toStep(2);
  // Three seconds outlast the tag's 0.32 s by more than a second: it starts 1 s in.
  ASSERT_TRUE(v.isPlayer());
  ASSERT_NE(v.player(), nullptr);
  EXPECT_EQ(settings().player(), v.player());
  EXPECT_FALSE(v.isAudioPlayer());
  expectSounding(beat, 44100);
  toStep(3);
  EXPECT_FALSE(v.isPlayer());
  EXPECT_EQ(v.player(), nullptr);
  EXPECT_EQ(settings().player(), nullptr);
  EXPECT_EQ(v.firstFew(), 1);
  expectSilent();
  toStep(6);  // 1.2 s is not a second longer than the tag: from the start
  ASSERT_TRUE(v.isPlayer());
  expectSounding(shortOne, 0);
  // Stopping the player stops the queue at once, buffers and all.
  ZTPicManagerView& m = *manager;
  m.play();
  EXPECT_FALSE(v.isPlay());
  EXPECT_FALSE(v.isPlayer());
  EXPECT_EQ(settings().player(), nullptr);
  expectSilent();
  host->advance(step * 4);
  expectSilent();
}

TEST_F(PlayerSoundStepTest, MissingUnreadableAndTooShortTagsPlayNothingAndTheCounterGoesOn) {
  frames = 12;
  tags = {SoundTag{"gone.caf", {{60, 100}}, {{2, 4}}}, SoundTag{"one.caf", {{130, 150}}, {{5, 5}}},
          SoundTag{"junk.wav", {{170, 230}}, {{6, 8}}}, SoundTag{"clip.caf", {{260, 370}}, {{9, 12}}}};
  const std::vector<float> clip = tone(2);
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", tone(2)));
  std::ofstream(fd::paths::documents() / "junk.wav") << "not a sound";
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "clip.caf", clip));
  ZTPlayView& v = playFrom(1);
  host->advance(step / 2);
  for (int n = 1; n <= 8; ++n) {
    toStep(n);
    SCOPED_TRACE("step " + std::to_string(n));
    EXPECT_FALSE(v.isAudioPlayer());
    EXPECT_FALSE(v.isPlayer());
    expectSilent();
  }
  EXPECT_EQ(v.firstFew(), 3);
  toStep(9);
  ASSERT_TRUE(v.isAudioPlayer());
  EXPECT_EQ(v.audioPlayer()->file(), fd::paths::documents() / "clip.caf");
  expectSounding(clip, 0);
}

TEST_F(PlayerSoundStepTest, ATagReachingPastTheLastFrameIsSilencedAtTheWrap) {
  // Frames were deleted since the tag was counted: its stop frame never comes.
  tags = {SoundTag{"long.caf", {{150, 370}}, {{4, 15}}}};
  const std::vector<float> clip = tone(4);
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "long.caf", clip));
  ZTPlayView& v = playFrom(1);
  host->advance(step / 2);
  toStep(4);
  ASSERT_TRUE(v.isAudioPlayer());
  expectSounding(clip, 0);
  toStep(9);
  EXPECT_TRUE(v.isAudioPlayer());
  toStep(10);  // the counter leaves the last frame
  EXPECT_FALSE(v.isAudioPlayer());
  EXPECT_EQ(v.firstPageCounter(), 1);
  expectSilent();
  toStep(14);  // and the next round starts it again on frame 4
  EXPECT_TRUE(v.isAudioPlayer());
}

TEST_F(PlayerSoundStepTest, StartingInsideTheTagsWaitsForTheNextTagsFirstFrame) {
  tags = {SoundTag{"a.caf", {{60, 160}}, {{2, 5}}}, SoundTag{"b.caf", {{200, 300}}, {{6, 9}}}};
  const std::vector<float> a = tone(2), b = tone(2.5);
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "a.caf", a));
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "b.caf", b));
  ZTPlayView& v = playFrom(3);
  EXPECT_EQ(v.firstPageCounter(), 3);
  EXPECT_EQ(v.firstFew(), 1);
  host->advance(step / 2);
  toStep(3);  // counter 5: the first tag is passed, nothing sounds
  expectSilent();
  toStep(4);  // counter 6
  ASSERT_TRUE(v.isAudioPlayer());
  EXPECT_EQ(v.audioPlayer()->file(), fd::paths::documents() / "b.caf");
  expectSounding(b, 0);
  ZTPicManagerView& m = *manager;
  m.play();
  expectSilent();
  // On a tag's first frame, or at the last tag's end, the counter waits for the first tag.
  for (int page : {2, 9}) {
    settings().setCurPage(page);
    m.play();
    EXPECT_EQ(v.firstPageCounter(), page);
    EXPECT_EQ(v.firstFew(), 0);
    m.play();
  }
}

}  // namespace
