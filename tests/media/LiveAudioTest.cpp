// Live sound: clip players mixed into the output, the buffer queue fed from a
// sound file, and the recorder fed by a sound file standing in for the
// microphone on the virtual clock.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioCapture.h"
#include "platform/media/AudioFile.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/AudioQueue.h"
#include "platform/media/ClipPlayer.h"
#include "platform/media/PcmFile.h"
#include "platform/media/Recorder.h"
#include "support/ChildProcess.h"
#include "support/Sandbox.h"
#include "support/SoundFiles.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ramp;
using testing_support::readShorts;

class LiveAudioTest : public testing_support::SandboxTest {
 protected:
  LiveAudioTest() { media::AudioOutput::shared().setManualRendering(true); }
  ~LiveAudioTest() override {
    media::AudioOutput::shared().setManualRendering(true);
    media::setCaptureInputFile(std::nullopt);
  }
  std::vector<float> render(std::size_t frames) {
    std::vector<float> out(frames);
    media::AudioOutput::shared().render(out.data(), frames);
    return out;
  }
  fs::path wav(const char* name, const std::vector<std::int16_t>& s, int rate = 44100) {
    fs::path p = root() / name;
    EXPECT_TRUE(testing_support::writeShorts(p, SF_FORMAT_WAV, rate, s));
    return p;
  }
};

TEST_F(LiveAudioTest, ClipsStartAtTheirTimeAndMixIntoOneStream) {
  auto a = media::ClipPlayer::open(wav("a.wav", std::vector<std::int16_t>(44100, 8192)));
  auto b = media::ClipPlayer::open(wav("b.wav", std::vector<std::int16_t>(22050, 4096)));
  ASSERT_TRUE(a.ok()) << a.error();
  ASSERT_TRUE(b.ok()) << b.error();
  EXPECT_NEAR((*a)->duration(), 1.0, 1e-9);
  (*a)->setCurrentTime(0.75);  // a quarter of a second left
  ASSERT_TRUE((*a)->play());
  ASSERT_TRUE((*b)->play());
  auto out = render(22050);
  EXPECT_FLOAT_EQ(out[0], 0.25f + 0.125f);
  EXPECT_FLOAT_EQ(out[11024], 0.375f);
  EXPECT_FLOAT_EQ(out[11025], 0.125f);  // a has ended
  EXPECT_FALSE((*a)->isPlaying());
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);  // b ended on the last sample
}

TEST_F(LiveAudioTest, StopKeepsThePlaceAndOnlyTheEndIsTold) {
  auto clip = media::ClipPlayer::fromSamples(std::vector<float>(1000, 0.5f));
  int finished = 0;
  clip->setFinishHandler([&] { ++finished; });
  ASSERT_TRUE(clip->play());
  render(400);
  clip->stop();
  EXPECT_NEAR(clip->currentTime(), 400.0 / 44100, 1e-9);
  EXPECT_EQ(render(100)[0], 0.0f);
  fd::RunLoop::main().runUntilIdle();
  EXPECT_EQ(finished, 0);
  ASSERT_TRUE(clip->play());
  auto out = render(1000);
  EXPECT_EQ(out[599], 0.5f);
  EXPECT_EQ(out[600], 0.0f);
  EXPECT_EQ(finished, 0);  // told on the main run loop, not on the output's thread
  fd::RunLoop::main().runUntilIdle();
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(clip->play());  // at the end: nothing to play
  clip->setCurrentTime(-3);
  EXPECT_EQ(clip->currentTime(), 0.0);
  clip->setCurrentTime(99);
  EXPECT_NEAR(clip->currentTime(), clip->duration(), 1e-9);
}

TEST_F(LiveAudioTest, VolumeLoopsAndMeters) {
  auto clip = media::ClipPlayer::fromSamples({0.5f, -0.5f, 0.5f, -0.5f});
  clip->setVolume(0.5f);
  clip->setNumberOfLoops(1);
  clip->setMeteringEnabled(true);
  ASSERT_TRUE(clip->play());
  auto out = render(8);
  EXPECT_EQ(out[0], 0.25f);
  EXPECT_EQ(out[7], -0.25f);  // second time round
  EXPECT_EQ(render(2)[0], 0.0f);
  clip->updateMeters();
  EXPECT_NEAR(clip->peakPower(), 20 * std::log10(0.25), 1e-3);
  EXPECT_NEAR(clip->averagePower(), 20 * std::log10(0.25), 1e-3);
  clip->setMeteringEnabled(false);
  clip->updateMeters();
  EXPECT_EQ(clip->peakPower(), -160.0f);
}

TEST_F(LiveAudioTest, UnreadableClipIsRefusedWithItsName) {
  fs::path bad = root() / "noise.caf";
  std::ofstream(bad) << "not a sound";
  auto clip = media::ClipPlayer::open(bad);
  ASSERT_FALSE(clip.ok());
  EXPECT_NE(clip.error().find("noise.caf"), std::string::npos);
}

TEST_F(LiveAudioTest, PcmFileDescribesItselfAndReadsPackets) {
  auto file = media::PcmFile::open(wav("r.wav", ramp(1000), 22050));
  ASSERT_TRUE(file.ok()) << file.error();
  const auto& f = **file;
  EXPECT_EQ(f.format().formatID, media::kLinearPCMFormat);
  EXPECT_EQ(f.format().sampleRate, 22050);
  EXPECT_EQ(f.format().bytesPerPacket, 2u);
  EXPECT_EQ(f.format().framesPerPacket, 1u);
  EXPECT_EQ(f.packetCount(), 1000);
  EXPECT_NEAR(f.estimatedDuration(), 1000.0 / 22050, 1e-12);
  std::vector<std::int16_t> got(300);
  EXPECT_EQ((*file)->readPackets(800, 300, got.data()), 200u);
  EXPECT_EQ(got[0], ramp(1000)[800]);
  EXPECT_EQ((*file)->readPackets(1000, 10, got.data()), 0u);
  EXPECT_EQ((*file)->readPackets(-1, 10, got.data()), 0u);
}

// Three buffers primed from the file, each handed back to be refilled: what
// comes out is the file, and a stop that is not immediate plays out what is
// queued.
TEST_F(LiveAudioTest, QueuePlaysTheFileThroughItsBuffers) {
  const auto samples = ramp(5000);
  auto file = media::PcmFile::open(wav("q.wav", samples));
  ASSERT_TRUE(file.ok());
  std::int64_t next = 0;
  int givenBack = 0;
  std::shared_ptr<media::AudioQueue> queue;
  auto fillAndEnqueue = [&](media::AudioQueue& q, media::QueueBuffer& b) {
    const auto got = (*file)->readPackets(next, 1000, b.audioData.data());
    if (got == 0) {
      q.stop(false);
      return;
    }
    b.audioDataByteSize = got * 2;
    q.enqueue(&b);
    next += got;
  };
  queue = media::AudioQueue::create((*file)->format(), [&](media::AudioQueue& q, media::QueueBuffer& b) {
    ++givenBack;
    fillAndEnqueue(q, b);
  });
  ASSERT_TRUE(queue);
  for (int i = 0; i < 3; ++i) fillAndEnqueue(*queue, *queue->allocateBuffer(2000));
  queue->setLevelMetering(true);
  queue->start();
  std::vector<float> played;
  for (int turn = 0; turn < 10 && queue->isRunning(); ++turn) {
    auto out = render(700);
    played.insert(played.end(), out.begin(), out.end());
    fd::RunLoop::main().runUntilIdle();
  }
  EXPECT_FALSE(queue->isRunning());
  EXPECT_EQ(givenBack, 5);
  ASSERT_GE(played.size(), samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(played[i], samples[i] / 32768.0f) << i;
  EXPECT_EQ(queue->currentSampleTime(), 5000.0);
  ASSERT_EQ(queue->currentLevels().size(), 1u);
  EXPECT_LT(queue->currentLevels()[0].peakPower, 0.0f);
}

TEST_F(LiveAudioTest, QueueAtHalfRateStopImmediatelyAndVolume) {
  auto file = media::PcmFile::open(wav("h.wav", {16384, -16384, 8192}, 22050));
  ASSERT_TRUE(file.ok());
  auto queue = media::AudioQueue::create((*file)->format(), nullptr);
  auto* b = queue->allocateBuffer(6);
  b->audioDataByteSize = (*file)->readPackets(0, 3, b->audioData.data()) * 2;
  ASSERT_TRUE(queue->enqueue(b));
  queue->setVolume(0.5f);
  queue->start();
  auto out = render(4);
  EXPECT_EQ(out, (std::vector<float>{0.25f, 0.25f, -0.25f, -0.25f}));  // each frame held for two
  queue->stop(true);
  EXPECT_FALSE(queue->isRunning());
  EXPECT_EQ(render(2)[0], 0.0f);
  media::StreamDescription eightBit = (*file)->format();
  eightBit.bitsPerChannel = 8;
  EXPECT_EQ(media::AudioQueue::create(eightBit, nullptr), nullptr);
}

// The recorder takes what the microphone gives as the clock moves and writes
// it sample for sample.
TEST_F(LiveAudioTest, RecordingHoldsTheFedSamples) {
  const auto fed = ramp(88200);
  media::setCaptureInputFile(wav("mic.wav", fed));
  fs::path out = root() / "Rec1.caf";
  auto recorder = media::Recorder::prepare(out);
  ASSERT_TRUE(recorder.ok()) << recorder.error();
  bool finishedOk = false;
  (*recorder)->setFinishHandler([&](const media::RecordingOutcome& o) { finishedOk = o.whole(); });
  ASSERT_TRUE((*recorder)->record());
  fd::RunLoop::main().advance(0.5);
  EXPECT_TRUE((*recorder)->isRecording());
  EXPECT_NEAR((*recorder)->currentTime(), 0.5, 0.021);
  (*recorder)->pause();
  fd::RunLoop::main().advance(0.3);  // paused: this stretch is not recorded
  ASSERT_TRUE((*recorder)->record());
  fd::RunLoop::main().advance(0.5);
  (*recorder)->stop();
  fd::RunLoop::main().runUntilIdle();  // the file complete is told on the loop
  EXPECT_TRUE(finishedOk);
  int rate = 0;
  auto got = readShorts(out, &rate);
  EXPECT_EQ(rate, 44100);
  ASSERT_EQ(got.size(), 44100u);
  for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], fed[i]) << i;
}

TEST_F(LiveAudioTest, RecordingForADurationStopsByItself) {
  media::setCaptureInputFile(wav("mic.wav", ramp(44100)));
  fs::path out = root() / "d.wav";
  auto recorder = media::Recorder::prepare(out);
  ASSERT_TRUE(recorder.ok());
  int told = 0;
  (*recorder)->setFinishHandler([&](const media::RecordingOutcome& o) { told += o.whole(); });
  (*recorder)->setMeteringEnabled(true);
  // Not a whole number of the loop's 10 ms hand-overs: the last one is cut.
  ASSERT_TRUE((*recorder)->recordForDuration(0.2505));
  fd::RunLoop::main().advance(1.0);
  EXPECT_FALSE((*recorder)->isRecording());
  EXPECT_EQ(told, 1);
  EXPECT_EQ(readShorts(out).size(), 11047u);
  (*recorder)->updateMeters();
  EXPECT_GT((*recorder)->peakPower(), -10.0f);
  EXPECT_FALSE((*recorder)->record());  // a stopped recorder does not start again
}

// A recording whose process is killed part-way reads back as what was
// recorded up to a moment before the kill, sample for sample, in every
// container the recorder writes; so does one killed while paused, whole.
TEST_F(LiveAudioTest, ARecordingKilledPartWayKeepsAllButItsLastMoments) {
  const auto fed = ramp(5 * 44100);
  const fs::path mic = wav("mic.wav", fed);
  for (const char* name : {"Killed.caf", "Killed.wav", "Killed.aiff", "Paused.caf"}) {
    SCOPED_TRACE(name);
    const fs::path out = root() / name;
    const bool paused = std::string(name).rfind("Paused", 0) == 0;
    testing_support::ChildResult child = testing_support::runInChild([&] {
      media::setCaptureInputFile(mic);
      auto recorder = media::Recorder::prepare(out);
      ASSERT_TRUE(recorder.ok()) << recorder.error();
      ASSERT_TRUE((*recorder)->record());
      fd::RunLoop::main().advance(3.0);
      if (paused) (*recorder)->pause();
      ::kill(::getpid(), HasFailure() ? SIGABRT : SIGKILL);
    });
    ASSERT_EQ(child.signal, SIGKILL);
    auto length = media::soundDuration(out);
    ASSERT_TRUE(length.ok()) << length.error();
    EXPECT_LE(*length, 3.0);
    if (paused) EXPECT_DOUBLE_EQ(*length, 3.0);
    else EXPECT_GE(*length, 2.5);
    auto samples = media::decodeSound(out);
    ASSERT_TRUE(samples.ok()) << samples.error();
    EXPECT_EQ(static_cast<double>(samples->size()), std::round(*length * 44100));
    for (std::size_t i = 0; i < samples->size(); ++i) ASSERT_EQ((*samples)[i], fed[i] / 32768.0f) << i;
  }
}

TEST_F(LiveAudioTest, RecorderThatCannotStartSaysWhyAndLeavesNoFile) {
  media::setCaptureInputFile(wav("mic.wav", ramp(100)));
  fs::path nowhere = root() / "missing-folder" / "r.caf";
  auto r1 = media::Recorder::prepare(nowhere);
  ASSERT_FALSE(r1.ok());
  EXPECT_NE(r1.error().find("r.caf"), std::string::npos);
  auto r2 = media::Recorder::prepare(root() / "r.mp9");
  EXPECT_FALSE(r2.ok());
  media::setCaptureInputFile(root() / "no-such-input.wav");
  auto r3 = media::Recorder::prepare(root() / "r.caf");
  ASSERT_FALSE(r3.ok());
  EXPECT_NE(r3.error().find("microphone"), std::string::npos);
  EXPECT_FALSE(fs::exists(root() / "r.caf"));
}

// SDL's dummy sound driver stands for a machine without sound hardware: its
// pretend capture device is no microphone, and asking to record must say so
// rather than record silence.
TEST_F(LiveAudioTest, NoCaptureDeviceIsAClearFailure) {
  media::setCaptureInputFile(std::nullopt);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  auto r = media::Recorder::prepare(root() / "real.caf");
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.error().find("microphone"), std::string::npos) << r.error();
  EXPECT_FALSE(fs::exists(root() / "real.caf"));
}

}  // namespace
