// A recording into a file whose writes are slow keeps time: the main loop
// keeps turning, Stop is taken when asked and the file gets all the sound
// captured up to it, a duration ends by the sound written, the header stays
// close behind the sound on disk, and a kill loses no more than that.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioCapture.h"
#include "platform/media/AudioFile.h"
#include "platform/media/Recorder.h"
#include "support/ChildProcess.h"
#include "support/Sandbox.h"
#include "support/SlowRecordingWrites.h"
#include "support/SoundFiles.h"

namespace {

namespace fs = std::filesystem;
using testing_support::LoopTurnWatch;
using testing_support::ramp;
using testing_support::readShorts;
using testing_support::SlowRecordingWrites;

constexpr double kRate = 44100;
// Each test runs with what one write costs: from a local disk to a mount
// that takes over half of the slice a drain may keep the loop.
class SlowRecordingTest : public testing_support::SandboxTest, public testing::WithParamInterface<double> {
 protected:
  SlowRecordingTest() {
    fed = ramp(static_cast<std::size_t>(8 * kRate));
    const fs::path mic = root() / "mic.wav";
    EXPECT_TRUE(testing_support::writeShorts(mic, SF_FORMAT_WAV, static_cast<int>(kRate), fed));
    media::setCaptureInputFile(mic);
  }
  ~SlowRecordingTest() override { media::setCaptureInputFile(std::nullopt); }

  std::unique_ptr<media::Recorder> prepared(const fs::path& out) {
    auto recorder = media::Recorder::prepare(out);
    EXPECT_TRUE(recorder.ok()) << recorder.error();
    return recorder.ok() ? std::move(*recorder) : nullptr;
  }

  // The file holds the microphone's sound from its start, `samples` long,
  // and its header counts just that.
  void expectRecorded(const fs::path& file, std::size_t samples) {
    auto got = readShorts(file);
    ASSERT_EQ(got.size(), samples);
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], fed[i]) << i;
  }

  std::vector<std::int16_t> fed;
};

TEST_P(SlowRecordingTest, StopIsTakenWhenAskedAndTheFileHoldsAllCapturedUpToIt) {
  const fs::path out = root() / "Slow.caf";
  SlowRecordingWrites slow(GetParam());
  std::unique_ptr<media::Recorder> recorder = prepared(out);
  ASSERT_NE(recorder, nullptr);
  bool finishedOk = false;
  recorder->setFinishHandler([&](bool ok) { finishedOk = ok; });
  LoopTurnWatch watch;
  const double start = fd::RunLoop::main().now();
  ASSERT_TRUE(recorder->record());
  const double askedAt = start + 4.0;
  double takenAt = -1, doneAt = -1;
  std::size_t capturedAtStop = 0;
  fd::RunLoop::main().performAfterDelay(4.0, [&] {
    takenAt = fd::RunLoop::main().now();
    capturedAtStop = static_cast<std::size_t>(std::floor((takenAt - start) * kRate + 1e-6));
    recorder->stop();
    doneAt = fd::RunLoop::main().now();
  });
  fd::RunLoop::main().advance(5.0);
  ASSERT_GE(takenAt, askedAt);
  EXPECT_LE(takenAt - askedAt, 0.1);
  EXPECT_LE(doneAt - takenAt, 0.1);  // what waited when Stop came is little
  EXPECT_LE(watch.longestWait(), 0.1);
  EXPECT_TRUE(finishedOk);
  EXPECT_FALSE(recorder->isRecording());
  EXPECT_LE(slow.largestHeaderLag(), 0.25);
  // Nothing captured is left out: every sample up to the moment Stop was
  // taken, in blocks rather than a write a sample.
  expectRecorded(out, capturedAtStop);
  EXPECT_LT(slow.writes(), 4.0 / 0.02 * 2);
}

// Recording for a duration ends when that much sound is in the file, with
// the loop turning all along however slow the writes.
TEST_P(SlowRecordingTest, ADurationEndsByTheSoundWrittenWhileTheLoopTurns) {
  const fs::path out = root() / "Timed.caf";
  SlowRecordingWrites slow(GetParam());
  std::unique_ptr<media::Recorder> recorder = prepared(out);
  ASSERT_NE(recorder, nullptr);
  double finishedAt = -1;
  int told = 0;
  recorder->setFinishHandler([&](bool ok) {
    told += ok;
    finishedAt = fd::RunLoop::main().now();
  });
  LoopTurnWatch watch;
  const double start = fd::RunLoop::main().now();
  ASSERT_TRUE(recorder->recordForDuration(2.0));
  fd::RunLoop::main().advance(4.0);
  EXPECT_EQ(told, 1);
  EXPECT_GE(finishedAt - start, 2.0);
  EXPECT_LE(finishedAt - start, 2.1);
  EXPECT_LE(watch.longestWait(), 0.1);
  EXPECT_LE(slow.largestHeaderLag(), 0.25);
  EXPECT_DOUBLE_EQ(recorder->currentTime(), 2.0);
  expectRecorded(out, static_cast<std::size_t>(2 * kRate));
}

// A recording killed while its writes are slow reads back as all it had
// captured but at most its last quarter of a second, sample for sample.
TEST_P(SlowRecordingTest, AKillWhileWritesAreSlowLosesAQuarterOfASecondAtMost) {
  const double killAt = 3.0;
  const double perWrite = GetParam();
  const fs::path out = root() / "Killed.caf";
  const fs::path killedAt = root() / "killed-at";
  testing_support::ChildResult child = testing_support::runInChild([&] {
    SlowRecordingWrites slow(perWrite);
    std::unique_ptr<media::Recorder> recorder = prepared(out);
    ASSERT_NE(recorder, nullptr);
    const double start = fd::RunLoop::main().now();
    // Killed as it is about to write, the first time it writes past the
    // moment; the sound captured by then is told to the parent first.
    slow.beforeEach = [&] {
      const double recorded = fd::RunLoop::main().now() - start;
      if (recorded < killAt) return;
      std::ofstream(killedAt) << recorded;
      ::kill(::getpid(), SIGKILL);
    };
    ASSERT_TRUE(recorder->record());
    fd::RunLoop::main().advance(5.0);
    ADD_FAILURE() << "no write came after the moment of the kill";
    ::kill(::getpid(), SIGABRT);
  });
  ASSERT_EQ(child.signal, SIGKILL);
  double captured = 0;
  std::ifstream(killedAt) >> captured;
  ASSERT_GE(captured, killAt);
  auto length = media::soundDuration(out);
  ASSERT_TRUE(length.ok()) << length.error();
  EXPECT_LE(*length, captured);
  EXPECT_LE(captured - *length, 0.25);
  auto samples = media::decodeSound(out);
  ASSERT_TRUE(samples.ok()) << samples.error();
  EXPECT_EQ(static_cast<double>(samples->size()), std::round(*length * kRate));
  for (std::size_t i = 0; i < samples->size(); ++i) ASSERT_EQ((*samples)[i], fed[i] / 32768.0f) << i;
}

INSTANTIATE_TEST_SUITE_P(WriteCosts, SlowRecordingTest, testing::Values(0.002, 0.01, 0.03));

}  // namespace
