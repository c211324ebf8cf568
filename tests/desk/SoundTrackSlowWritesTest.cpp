// Recording on the frame manager's sound track while the recording's file is
// slow to write (a data folder on a network or user-space mount): the player
// and its cursor keep time, Stop is taken when the user presses it, and the
// tag and the file cover the whole recording.
#include <gtest/gtest.h>

#include <cmath>

#include "SoundTrackTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "support/SlowRecordingWrites.h"

namespace {

namespace fs = std::filesystem;
using sound_test::SoundTrackTest;
using sound_test::tone;
using testing_support::LoopTurnWatch;
using testing_support::SlowRecordingWrites;

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

}  // namespace
