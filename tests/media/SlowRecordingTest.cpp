// A recording into a file whose writes are slow keeps time: the main loop
// keeps turning, Stop is taken when asked and the file gets all the sound
// captured up to it (a write stalled for a second included), a duration ends
// by the sound taken, the header stays close behind the sound on disk, and a
// kill loses no more than that. Storage slower than the microphone, or one
// that refuses a write, ends the recording at what the file holds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstring>
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
using testing_support::turnUntil;
using testing_support::WriteCost;
using End = media::RecordingOutcome::End;

constexpr double kRate = 44100;
// A mount that takes 30 ms for each 4 KiB page: 1.5 times the sound's rate.
constexpr WriteCost kThirtyMsAPage{0, 0.03};

class RecordingStorageTest : public testing_support::SandboxTest {
 protected:
  RecordingStorageTest() {
    fed = ramp(static_cast<std::size_t>(8 * kRate));
    const fs::path mic = root() / "mic.wav";
    EXPECT_TRUE(testing_support::writeShorts(mic, SF_FORMAT_WAV, static_cast<int>(kRate), fed));
    media::setCaptureInputFile(mic);
  }
  ~RecordingStorageTest() override { media::setCaptureInputFile(std::nullopt); }

  std::unique_ptr<media::Recorder> prepared(const fs::path& out) {
    auto recorder = media::Recorder::prepare(out);
    EXPECT_TRUE(recorder.ok()) << recorder.error();
    if (!recorder.ok()) return nullptr;
    (*recorder)->setEndHandler([this] { endedAt = fd::RunLoop::main().now(); });
    (*recorder)->setFinishHandler([this](const media::RecordingOutcome& o) {
      outcome = o;
      finishedAt = fd::RunLoop::main().now();
      ++finishes;
    });
    return std::move(*recorder);
  }
  bool fileComplete() {
    return turnUntil([&] { return finishes > 0; });
  }

  // Records, asks Stop `at` seconds on, and moves the clock on to `until`.
  struct Stopped {
    double start = 0, takenAt = -1, doneAt = -1;
    std::size_t captured = 0;  // samples up to the moment Stop was taken
  };
  Stopped recordAndStop(media::Recorder& recorder, double at, double until) {
    Stopped s;
    s.start = fd::RunLoop::main().now();
    EXPECT_TRUE(recorder.record());
    fd::RunLoop::main().performAfterDelay(at, [&] {
      s.takenAt = fd::RunLoop::main().now();
      s.captured = static_cast<std::size_t>(std::floor((s.takenAt - s.start) * kRate + 1e-6));
      recorder.stop();
      s.doneAt = fd::RunLoop::main().now();
    });
    fd::RunLoop::main().advance(until);
    EXPECT_TRUE(fileComplete());
    return s;
  }

  // The file holds the microphone's sound from its start, `samples` long,
  // and its header counts just that.
  void expectRecorded(const fs::path& file, std::size_t samples) {
    auto got = readShorts(file);
    ASSERT_EQ(got.size(), samples);
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], fed[i]) << i;
  }

  std::vector<std::int16_t> fed;
  media::RecordingOutcome outcome;
  double endedAt = -1, finishedAt = -1;
  int finishes = 0;
};

// The largest file the process may write (RLIMIT_FSIZE), the signal that
// would end it ignored, so that a write crossing it comes back short.
class FileSizeCap {
 public:
  explicit FileSizeCap(std::uint64_t bytes) : ignored_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &before_);
    rlimit capped = before_;
    capped.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &capped);
  }
  ~FileSizeCap() {
    lift();
    std::signal(SIGXFSZ, ignored_);
  }
  FileSizeCap(const FileSizeCap&) = delete;
  FileSizeCap& operator=(const FileSizeCap&) = delete;
  void lift() { ::setrlimit(RLIMIT_FSIZE, &before_); }

 private:
  rlimit before_{};
  void (*ignored_)(int);
};

// Each test runs with what a write costs: from a local disk to a mount that
// charges for each write or for each page.
class SlowRecordingTest : public RecordingStorageTest, public testing::WithParamInterface<WriteCost> {};

TEST_P(SlowRecordingTest, StopIsTakenWhenAskedAndTheFileHoldsAllCapturedUpToIt) {
  const fs::path out = root() / "Slow.caf";
  SlowRecordingWrites slow(GetParam());
  std::unique_ptr<media::Recorder> recorder = prepared(out);
  ASSERT_NE(recorder, nullptr);
  LoopTurnWatch watch;
  // Between two of the loop's hand-overs: what came since the last one goes
  // to the file too.
  const Stopped s = recordAndStop(*recorder, 4.005, 5.0);
  ASSERT_GE(s.takenAt, s.start + 4.005);
  EXPECT_LE(s.takenAt - (s.start + 4.005), 0.1);
  EXPECT_LE(s.doneAt - s.takenAt, 0.1);  // what waited when Stop came is little
  EXPECT_LE(watch.longestWait(), 0.1);
  EXPECT_EQ(finishes, 1);
  EXPECT_TRUE(outcome.whole());
  EXPECT_FALSE(recorder->isRecording());
  EXPECT_LE(slow.largestHeaderLag(), 0.25);
  // Nothing captured is left out: every sample up to the moment Stop was
  // taken, in blocks rather than a write a sample.
  expectRecorded(out, s.captured);
  EXPECT_LT(slow.writes(), 4.0 / 0.02 * 2);
}

// Recording for a duration ends when that much sound is in the file, with
// the loop turning all along however slow the writes.
TEST_P(SlowRecordingTest, ADurationEndsByTheSoundWrittenWhileTheLoopTurns) {
  const fs::path out = root() / "Timed.caf";
  SlowRecordingWrites slow(GetParam());
  std::unique_ptr<media::Recorder> recorder = prepared(out);
  ASSERT_NE(recorder, nullptr);
  LoopTurnWatch watch;
  const double start = fd::RunLoop::main().now();
  ASSERT_TRUE(recorder->recordForDuration(2.0));
  fd::RunLoop::main().advance(4.0);
  ASSERT_TRUE(fileComplete());
  EXPECT_EQ(finishes, 1);
  EXPECT_TRUE(outcome.whole());
  EXPECT_GE(endedAt - start, 2.0);
  EXPECT_LE(endedAt - start, 2.03);
  EXPECT_LE(finishedAt - start, 2.5);
  EXPECT_LE(watch.longestWait(), 0.1);
  EXPECT_LE(slow.largestHeaderLag(), 0.25);
  EXPECT_DOUBLE_EQ(recorder->currentTime(), 2.0);
  expectRecorded(out, static_cast<std::size_t>(2 * kRate));
}

// A recording killed while its writes are slow reads back as all it had
// captured but at most its last quarter of a second, sample for sample.
TEST_P(SlowRecordingTest, AKillWhileWritesAreSlowLosesAQuarterOfASecondAtMost) {
  const double killAt = 3.0;
  const WriteCost cost = GetParam();
  const fs::path out = root() / "Killed.caf";
  const fs::path killedAt = root() / "killed-at";
  testing_support::ChildResult child = testing_support::runInChild([&] {
    SlowRecordingWrites slow(cost);
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

// Stop asked while one write stalls for a second: Stop is taken at once, the
// loop keeps turning through the stall, and once the stall is over the file
// gets all that was captured up to Stop, not one write's worth of it.
TEST_F(RecordingStorageTest, StopAskedWhileAWriteStallsASecondKeepsTheWholeRecording) {
  const fs::path out = root() / "Stalled.caf";
  SlowRecordingWrites slow(kThirtyMsAPage);
  slow.stallOnce(2.0, 1.0);
  std::unique_ptr<media::Recorder> recorder = prepared(out);
  ASSERT_NE(recorder, nullptr);
  LoopTurnWatch watch;
  const Stopped s = recordAndStop(*recorder, 2.5, 5.0);
  const std::optional<double> stalled = slow.stalledAt();
  ASSERT_TRUE(stalled.has_value());
  ASSERT_LT(*stalled, s.takenAt);  // Stop came during the stall
  ASSERT_GT(*stalled + 1.0, s.takenAt);
  EXPECT_LE(s.takenAt - (s.start + 2.5), 0.02);
  EXPECT_LE(s.doneAt - s.takenAt, 0.01);
  EXPECT_FALSE(recorder->isRecording());
  EXPECT_LE(watch.longestWait(), 0.1);
  EXPECT_GE(finishedAt, *stalled + 1.0);
  EXPECT_EQ(finishes, 1);
  EXPECT_TRUE(outcome.whole());
  expectRecorded(out, s.captured);
}

// The end of the program waits a second for the file while the header's
// rewrite after the last samples stalls (30 s on a clock that stands still
// meanwhile): the recording is told unfinished, with what the header on disk
// counts, not the samples written past it.
TEST_F(RecordingStorageTest, AnEndThatCannotWaitForTheFileTellsWhatItsHeaderCounts) {
  const fs::path out = root() / "Quit.caf";
  std::unique_ptr<media::Recorder> recorder = prepared(out);
  ASSERT_NE(recorder, nullptr);
  ASSERT_TRUE(recorder->record());
  fd::RunLoop::main().advance(2.005);
  // Shared with the writer's thread, which may still ask after the test.
  auto writes = std::make_shared<std::atomic<int>>(0);
  auto counted = std::make_shared<std::atomic<std::int64_t>>(-1);
  media::setRecordingWriteHookForTesting([=](const fs::path& file, std::size_t) -> media::RecordingWrite {
    if (++*writes == 1) return {};
    counted->store(static_cast<std::int64_t>(readShorts(file).size()));
    return {30, 0};
  });
  EXPECT_FALSE(recorder->waitUntilWritten(1.0));
  media::setRecordingWriteHookForTesting(nullptr);
  EXPECT_EQ(finishes, 1);
  EXPECT_EQ(outcome.end, End::Unfinished);
  ASSERT_GT(counted->load(), 0);
  EXPECT_EQ(std::llround(outcome.seconds * kRate), counted->load());
  EXPECT_DOUBLE_EQ(recorder->currentTime(), outcome.seconds);
}

// The main loop held for three seconds leaves that much sound to write at
// once: storage that takes it at its pace is not taken for storage too slow.
TEST_F(RecordingStorageTest, ABacklogLeftByAHeldLoopIsWrittenWhole) {
  const fs::path out = root() / "Held.caf";
  SlowRecordingWrites slow(WriteCost{0.002, 0});
  std::unique_ptr<media::Recorder> recorder = prepared(out);
  ASSERT_NE(recorder, nullptr);
  fd::RunLoop::main().performAfterDelay(1.0, [] { fd::RunLoop::main().stall(3.0); });
  const Stopped s = recordAndStop(*recorder, 5.0, 6.0);
  EXPECT_LT(endedAt, 0);
  EXPECT_TRUE(outcome.whole());
  expectRecorded(out, s.captured);
}

// Storage slower than the microphone (80 ms a page, half its rate) and
// storage that refuses a write (a full disk) end the recording by
// themselves: the owner is told at once, the loop never waits, and the file,
// complete, holds what was written and says why it holds no more.
TEST_F(RecordingStorageTest, StorageThatCannotTakeTheSoundEndsTheRecordingAtWhatTheFileHolds) {
  struct Case {
    const char* name;
    WriteCost cost;
    std::optional<double> refuseFrom;
    std::uint64_t sizeCap;  // bytes: the system cuts the write that crosses it short
    End end;
  };
  for (const Case& c : {Case{"slow", WriteCost{0, 0.08}, std::nullopt, 0, End::TooSlow},
                        Case{"full", WriteCost{}, 1.0, 0, End::DiskFull},
                        Case{"cut", WriteCost{}, std::nullopt, 2 * 44100 + 1000, End::WriteFailed}}) {
    SCOPED_TRACE(c.name);
    const fs::path out = root() / (std::string(c.name) + ".caf");
    finishes = 0;
    SlowRecordingWrites slow(c.cost);
    if (c.refuseFrom) slow.refuseFrom(fd::RunLoop::main().now() + *c.refuseFrom);
    // The cap is lifted before the next write, which a recorder that took the
    // short write for a whole one would make, leaving a gap in the sound.
    std::optional<FileSizeCap> cap;
    if (c.sizeCap) {
      cap.emplace(c.sizeCap);
      slow.beforeEach = [&] {
        std::error_code ec;
        if (fs::file_size(out, ec) >= c.sizeCap) cap->lift();
      };
    }
    std::unique_ptr<media::Recorder> recorder = prepared(out);
    ASSERT_NE(recorder, nullptr);
    LoopTurnWatch watch;
    const double start = fd::RunLoop::main().now();
    ASSERT_TRUE(recorder->record());
    fd::RunLoop::main().advance(7.5);
    ASSERT_TRUE(fileComplete());
    ASSERT_GT(endedAt, start);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_LE(watch.longestWait(), 0.1);
    EXPECT_EQ(outcome.end, c.end);
    EXPECT_EQ(finishes, 1);
    if (c.refuseFrom) {
      EXPECT_EQ(outcome.error, std::strerror(ENOSPC));
      // Refused at the first write past it (writes end on page boundaries,
      // every 46 ms of sound), and found at the next drain.
      EXPECT_NEAR(endedAt - start, *c.refuseFrom, 0.06);
      EXPECT_GE(outcome.seconds, *c.refuseFrom - 0.1);
      // Nothing of the refused write went to the file.
      ASSERT_TRUE(slow.heldWhenRefused().has_value());
      EXPECT_EQ(std::llround(outcome.seconds * kRate), *slow.heldWhenRefused());
    } else if (c.sizeCap) {
      EXPECT_EQ(outcome.error, std::strerror(EFBIG));
      EXPECT_LT(outcome.seconds, static_cast<double>(c.sizeCap) / 2 / kRate);
      EXPECT_GT(outcome.seconds, static_cast<double>(c.sizeCap) / 2 / kRate - 0.1);
    } else {
      // Ended once the file was two seconds behind, without them.
      EXPECT_LT(endedAt - start, 7.0);
      EXPECT_LE(outcome.seconds, endedAt - start - 2.0);
      EXPECT_GE(outcome.seconds, 1.0);
    }
    EXPECT_DOUBLE_EQ(recorder->currentTime(), outcome.seconds);
    expectRecorded(out, static_cast<std::size_t>(std::llround(outcome.seconds * kRate)));
  }
}

INSTANTIATE_TEST_SUITE_P(WriteCosts, SlowRecordingTest,
                         testing::Values(WriteCost{0.002, 0}, WriteCost{0.01, 0}, WriteCost{0.03, 0}, kThirtyMsAPage));

}  // namespace
