// The recorder manager and the buffer-queue player the desk and the frame
// manager record and play with.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "desk/sound/AudioPlayer.h"
#include "desk/sound/AudioRecorderManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioCapture.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/AudioSession.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::int16_t> ramp(std::size_t n) {
  std::vector<std::int16_t> s(n);
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<std::int16_t>(static_cast<int>((i * 104729) % 50001) - 25000);
  return s;
}

class SoundComponentsTest : public testing_support::SandboxTest {
 protected:
  SoundComponentsTest() { media::AudioOutput::shared().setManualRendering(true); }
  ~SoundComponentsTest() override {
    AudioRecorderManager::sharedManager().completeRecording();
    media::setCaptureInputFile(std::nullopt);
  }
  fs::path sound(const char* name, const std::vector<std::int16_t>& samples, int rate = 44100, int format = SF_FORMAT_CAF) {
    fs::path p = root() / name;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = format | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(p.c_str(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr);
    sf_write_short(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
    return p;
  }
  // Plays until the queue stops, handing buffers back between blocks.
  std::vector<float> playOut(AudioPlayer& player, int maxBlocks = 200) {
    std::vector<float> all, block(4096);
    for (int i = 0; i < maxBlocks && player.isRunning(); ++i) {
      media::AudioOutput::shared().render(block.data(), block.size());
      all.insert(all.end(), block.begin(), block.end());
      fd::RunLoop::main().runUntilIdle();
    }
    return all;
  }
};

TEST_F(SoundComponentsTest, QualityFollowsTheSampleRate) {
  const std::pair<int, int> cases[] = {{8000, 0}, {11025, 1}, {22050, 1}, {44100, 2}, {48000, 2}};
  for (auto [rate, quality] : cases) {
    auto player = AudioPlayer::initWithURL(sound("q.caf", ramp(100), rate));
    EXPECT_EQ(player->getQualityType(), quality) << rate;
  }
}

// 0.1 s of 44100 Hz 16-bit mono is 8820 bytes, below the 16384-byte floor.
TEST_F(SoundComponentsTest, BuffersHoldAtLeastSixteenKilobytes) {
  auto player = AudioPlayer::initWithURL(sound("b.caf", ramp(100)));
  EXPECT_EQ(player->bufferByteSize(), 16384u);
  EXPECT_EQ(player->numPacketsToRead(), 8192u);
  EXPECT_EQ(player->gain(), 1.0f);
}

TEST_F(SoundComponentsTest, PlaysTheFileFromASeekAndStopsAtItsEnd) {
  const auto samples = ramp(30000);
  auto player = AudioPlayer::initWithURL(sound("p.caf", samples));
  EXPECT_NEAR(player->getDuration(), 30000.0 / 44100, 1e-9);
  player->playAt(10000.0 / 44100);
  EXPECT_EQ(player->primedBuffers(), 3);  // 20000 packets left: 8192 + 8192 + 3616
  EXPECT_EQ(player->startingPacketNumber(), 30000);
  auto out = playOut(*player);
  EXPECT_FALSE(player->isRunning());
  EXPECT_TRUE(player->donePlayingFile());
  ASSERT_GE(out.size(), 20000u);
  for (std::size_t i = 0; i < 20000; ++i) ASSERT_EQ(out[i], samples[10000 + i] / 32768.0f) << i;
  EXPECT_EQ(out[20000], 0.0f);
  EXPECT_NEAR(player->getTimeLine(), 20000.0 / 44100, 1e-9);
  // Stopped, the file is closed: the same player plays nothing again.
  player->play();
  EXPECT_FALSE(player->isRunning());
}

TEST_F(SoundComponentsTest, ShortFilePrimesFewerBuffersAndSeekPastTheEndPlaysNothing) {
  auto shortPlayer = AudioPlayer::initWithURL(sound("s.caf", ramp(10000)));
  shortPlayer->play();
  EXPECT_EQ(shortPlayer->primedBuffers(), 2);
  EXPECT_TRUE(shortPlayer->isRunning());
  const auto out = playOut(*shortPlayer);
  EXPECT_FALSE(shortPlayer->isRunning());  // the queued buffers played out, then it stopped
  EXPECT_NEAR(shortPlayer->getTimeLine(), 10000.0 / 44100, 1e-9);

  auto late = AudioPlayer::initWithURL(sound("l.caf", ramp(1000)));
  late->playAt(5.0);
  EXPECT_EQ(late->primedBuffers(), 0);
  EXPECT_TRUE(late->donePlayingFile());
  EXPECT_FALSE(late->isRunning());
}

TEST_F(SoundComponentsTest, VolumeAndMetersReachTheQueue) {
  auto player = AudioPlayer::initWithURL(sound("v.caf", std::vector<std::int16_t>(20000, 16384)));
  player->setupVolume(0.5f);
  player->play();
  std::vector<float> block(1000);
  media::AudioOutput::shared().render(block.data(), block.size());
  EXPECT_EQ(block[0], 0.25f);
  float average = 0, peak = 0;
  player->getAudioLevels(&average, &peak);
  EXPECT_NEAR(peak, -12.04f, 0.01f);
  EXPECT_NEAR(average, -12.04f, 0.01f);
  player->pause();
  media::AudioOutput::shared().render(block.data(), block.size());
  EXPECT_EQ(block[0], 0.0f);
  player->resume();
  media::AudioOutput::shared().render(block.data(), block.size());
  EXPECT_EQ(block[0], 0.25f);
}

TEST_F(SoundComponentsTest, UnreadableFilePlaysNothing) {
  fs::path bad = root() / "bad.caf";
  std::ofstream(bad) << "nothing";
  auto player = AudioPlayer::initWithURL(bad);
  EXPECT_EQ(player->audioFormat().sampleRate, 0);
  player->play();
  EXPECT_FALSE(player->isRunning());
  EXPECT_EQ(player->getDuration(), 0);
}

TEST_F(SoundComponentsTest, RecorderSwitchesCategoriesAndRecordsTheMicrophone) {
  const auto fed = ramp(44100);
  media::setCaptureInputFile(sound("mic.wav", fed, 44100, SF_FORMAT_WAV));
  auto& manager = AudioRecorderManager::sharedManager();
  fs::path first = root() / "Rec1.caf", second = root() / "Rec2.caf";
  ASSERT_FALSE(manager.prepareToRecordFile(first).has_value());
  EXPECT_EQ(manager.fileUrl(), "file://" + first.string());
  EXPECT_EQ(manager.averagePower(), 0.0f);  // metering off
  ASSERT_TRUE(manager.record());
  EXPECT_EQ(media::AudioSession::shared().category(), media::SessionCategory::Record);
  EXPECT_TRUE(manager.isRecording());
  fd::RunLoop::main().advance(0.2);
  // Preparing again completes the first recording before the second starts.
  ASSERT_FALSE(manager.prepareToRecordFile(second).has_value());
  EXPECT_FALSE(manager.isRecording());
  SF_INFO info{};
  SNDFILE* f = sf_open(first.c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  sf_close(f);
  EXPECT_NEAR(static_cast<double>(info.frames), 0.2 * 44100, 0.02 * 44100);
  manager.setMeteringEnabled(true);
  ASSERT_TRUE(manager.recordForDuration(0.1));
  fd::RunLoop::main().advance(0.5);
  EXPECT_FALSE(manager.isRecording());
  EXPECT_NEAR(manager.currentTime(), 0.1, 1e-9);
  EXPECT_LT(manager.peakPower(), 0.0f);
  manager.stop();
  EXPECT_EQ(media::AudioSession::shared().category(), media::SessionCategory::SoloAmbient);
  manager.completeRecording();
  EXPECT_EQ(media::AudioSession::shared().category(), media::SessionCategory::Ambient);
  EXPECT_FALSE(manager.hasRecorder());
}

TEST_F(SoundComponentsTest, InterruptionEndResumesRecording) {
  media::setCaptureInputFile(sound("mic.wav", ramp(44100), 44100, SF_FORMAT_WAV));
  auto& manager = AudioRecorderManager::sharedManager();
  ASSERT_FALSE(manager.prepareToRecordFile(root() / "i.caf").has_value());
  ASSERT_TRUE(manager.record());
  manager.pause();
  EXPECT_FALSE(manager.isRecording());
  manager.interruptionEnded();
  EXPECT_TRUE(manager.isRecording());
}

TEST_F(SoundComponentsTest, NoMicrophoneIsAnErrorAndNothingRecords) {
  media::setCaptureInputFile(std::nullopt);  // the dummy driver: no capture device
  auto& manager = AudioRecorderManager::sharedManager();
  auto error = manager.prepareToRecordFile(root() / "none.caf");
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->domain, AudioRecorderManager::kErrorDomain);
  EXPECT_EQ(error->code, -1);
  EXPECT_EQ(error->localizedDescription, "Could not prepare recording");
  EXPECT_NE(error->reason.find("microphone"), std::string::npos);
  EXPECT_FALSE(manager.record());
  EXPECT_FALSE(fs::exists(root() / "none.caf"));
}

}  // namespace
