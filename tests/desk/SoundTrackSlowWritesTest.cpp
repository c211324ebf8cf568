// Recording on the frame manager's sound track while the recording's file is
// slow to write (a data folder on a network or user-space mount): the player
// and its cursor keep time, Stop is taken when the user presses it, and the
// tag and the file cover the whole recording. Storage that cannot take the
// sound (too slow, or full) stops the recording by itself, the user is told
// why, and the tag and the limit cover only what the file holds.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <optional>

#include "SoundTrackTestSupport.h"
#include "model/ProjectNotice.h"
#include "platform/foundation/FileUtil.h"
#include "support/SlowRecordingWrites.h"

namespace {

namespace fs = std::filesystem;
using sound_test::SoundTrackTest;
using sound_test::tone;
using testing_support::LoopTurnWatch;
using testing_support::SlowRecordingWrites;
using testing_support::WriteCost;

TEST_F(SoundTrackTest, ARecordingStoppedWhileWritesAreSlowIsTaggedAndKeptWhole) {
  frames = 30;
  const auto fed = tone(8);
  ASSERT_TRUE(media::writeMonoCaf(root() / "mic.caf", fed));
  media::setCaptureInputFile(root() / "mic.caf");
  ZTPicManagerView& m = open();
  m.playView()->setPage(1);
  SlowRecordingWrites slow(0.01);
  LoopTurnWatch watch;

  const double pressed = fd::RunLoop::main().now();
  tapView(track().recorderBtn());
  ASSERT_TRUE(track().isRecorder());
  // Stop pressed 3.9 s on, while the loop may be writing.
  const double askedAt = pressed + 3.9;
  double takenAt = -1;
  fd::RunLoop::main().performAfterDelay(3.9, [&] {
    takenAt = fd::RunLoop::main().now();
    tapView(track().recorderBtn());
  });
  host->advance(5.0);

  ASSERT_GE(takenAt, askedAt);
  EXPECT_LE(takenAt - askedAt, 0.1);
  EXPECT_LE(watch.longestWait(), 0.1);  // the cursor never stood still
  EXPECT_LE(slow.largestHeaderLag(), 0.25);
  EXPECT_FALSE(AudioRecorderManager::sharedManager().isRecording());
  EXPECT_FALSE(track().isRecorder());

  // The player started 0.01 s after the press and stepped every 0.16 s (the
  // sound track plays at half speed): 24 steps by the time Stop was pressed,
  // the next one due 0.11 s later, from the cursor at 46 to frame 25.
  EXPECT_FALSE(m.playView()->isPlay());
  EXPECT_EQ(m.playView()->page(), 25);
  const std::vector<std::string> names = project().soundNameArray();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(settings().limitFramesDict()[names[0]], 24);  // trunc(24 * 329 / 29 / 11)
  const std::vector<float> points = project().soundTagPointsArray();
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0], 51);
  EXPECT_NEAR(points[1], 46 + 24 * 329.0f / 29, 1e-3);

  // The file holds the sound from the start to the moment Stop was taken.
  const fs::path file = fd::paths::documents() / names[0];
  auto length = media::soundDuration(file);
  ASSERT_TRUE(length.ok()) << length.error();
  EXPECT_GE(*length, 3.9 - 0.01);
  EXPECT_LE(*length, 3.9 - 0.01 + 0.1);
  auto samples = media::decodeSound(file);
  ASSERT_TRUE(samples.ok()) << samples.error();
  for (std::size_t i = 0; i < samples->size(); ++i) ASSERT_EQ((*samples)[i], fed[i]) << i;
}

// The end of the program waits a second for a recording whose writes stall
// (30 s each on the clock, which stands still while it waits): the user is
// told the recording is unfinished, where a longer wait saw it complete.
TEST_F(SoundTrackTest, TheEndOfTheProgramWaitsASecondForARecordingWhoseWritesStall) {
  frames = 30;
  feedMicrophone(4);
  ZTPicManagerView& m = open();
  m.playView()->setPage(1);
  tapView(track().recorderBtn());
  host->advance(2.0);
  media::setRecordingWriteHookForTesting([](const fs::path&, std::size_t) { return media::RecordingWrite{30, 0}; });
  track().stopRecording();
  media::setRecordingWriteHookForTesting(nullptr);
  EXPECT_FALSE(track().isRecorder());
  EXPECT_EQ(project().soundNameArray().size(), 1u);
  const std::string told = visibleAlertMessage();
  EXPECT_TRUE(told.starts_with("The recording stopped after ")) << told;
  EXPECT_NE(told.find(": the program ended before all of it was written."), std::string::npos) << told;
}

// Storage slower than the microphone (80 ms a page), or full two seconds in,
// the project's list then refused too or not.
struct StorageCase {
  const char* name;
  WriteCost cost;
  std::optional<double> refuseAfter;
  const char* why;
  bool listRefused = false;
};

class StorageFailureTrackTest : public SoundTrackTest, public testing::WithParamInterface<StorageCase> {};

TEST_P(StorageFailureTrackTest, TheRecordingStopsByItselfAndItsTagCoversWhatTheFileHolds) {
  const StorageCase& c = GetParam();
  frames = 60;
  const auto fed = feedMicrophone(10);
  ZTPicManagerView& m = open();
  m.playView()->setPage(1);
  SlowRecordingWrites slow(c.cost);
  if (c.refuseAfter) slow.refuseFrom(fd::RunLoop::main().now() + *c.refuseAfter);
  LoopTurnWatch watch;
  takeProjectNotices();
  if (c.listRefused) {
    fd::files::setWriteFaultForTesting(
        [list = project().plistFilePath()](const fs::path& file) { return file == list ? ENOSPC : 0; });
  }
  tapView(track().recorderBtn());
  host->advance(8.0);

  // Stopped as its stop button stops it, and the user told why.
  EXPECT_LE(watch.longestWait(), 0.1);
  EXPECT_FALSE(AudioRecorderManager::sharedManager().hasRecorder());
  EXPECT_FALSE(track().isRecorder());
  EXPECT_EQ(track().recorderBtn()->currentTitle(), fd::Localized("Recorder"));
  EXPECT_TRUE(track().recorderBtn()->isEnabled());
  EXPECT_FALSE(m.playView()->isPlay());
  const std::vector<std::string> names = project().soundNameArray();
  ASSERT_EQ(names.size(), 1u);
  const fs::path file = fd::paths::documents() / names[0];
  auto length = media::soundDuration(file);
  ASSERT_TRUE(length.ok()) << length.error();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", *length);
  // The tag is not said to be kept while the list holding it is not.
  EXPECT_EQ(visibleAlertMessage(),
            std::string("The recording stopped after ") + seconds + " seconds: " + c.why +
                (c.listRefused ? ". Its tag covers the sound kept but could not be saved with the project yet."
                               : ". Its tag covers the sound kept."));
  if (c.refuseAfter) EXPECT_NEAR(*length, *c.refuseAfter, 0.1);
  else EXPECT_LT(*length, 6.0);

  // The tag and the limit reach as far as the sound in the file: a frame
  // every 0.16 s from frame 1, the tag from the pointer 5 points on.
  const int steps = static_cast<int>(std::floor(*length / 0.16));
  EXPECT_EQ(settings().limitFramesDict()[names[0]], steps);
  const std::vector<float> points = project().soundTagPointsArray();
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0], 51);
  EXPECT_NEAR(points[1], 46 + steps * 329.0f / 59, 1e-3);
  auto samples = media::decodeSound(file);
  ASSERT_TRUE(samples.ok()) << samples.error();
  for (std::size_t i = 0; i < samples->size(); ++i) ASSERT_EQ((*samples)[i], fed[i]) << i;

  // A refused list is told in words, and the tag it did not take stays for
  // the next save that succeeds.
  const std::vector<ProjectNotice> told = takeProjectNotices();
  if (!c.listRefused) {
    EXPECT_TRUE(told.empty());
    return;
  }
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].kind, ProjectNotice::Kind::ListNotWritten);
  EXPECT_EQ(told[0].reason, "the disk is full");
  EXPECT_TRUE(stored()->soundNameArray().empty());
  fd::files::setWriteFaultForTesting({});
  ASSERT_TRUE(project().saveData());
  EXPECT_EQ(stored()->soundNameArray(), names);
}

INSTANTIATE_TEST_SUITE_P(Storage, StorageFailureTrackTest,
                         testing::Values(StorageCase{"Slow", WriteCost{0, 0.08}, std::nullopt,
                                                     "the disk could not store the sound as fast as it came"},
                                         StorageCase{"Full", WriteCost{}, 2.0, "the disk is full"},
                                         StorageCase{"FullWithTheList", WriteCost{}, 2.0, "the disk is full", true}),
                         [](const testing::TestParamInfo<StorageCase>& info) { return std::string(info.param.name); });

}  // namespace
