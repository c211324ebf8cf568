// Playback on the desk: the repeat-run page text, frames stepping at the
// project's speed, the sound counter starting a tagged clip part-way and
// stopping it at the tag's end, mute and speed keeping clips silent, and the
// tags' frames recomputed after a frame is added.
#include <cmath>

#include "desk/DeskTestSupport.h"
#include "platform/foundation/Paths.h"
#include "platform/media/AudioFile.h"
#include "platform/media/AudioOutput.h"

namespace {

class DeskPlaybackTest : public desk_test::DeskTest {
 protected:
  DeskPlaybackTest() { media::AudioOutput::shared().setManualRendering(true); }
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < frames) ASSERT_TRUE(project().createImageAtPage(1));
    if (withTag) {
      // Three seconds of a tone in Documents, tagged to frames 3..12.
      std::vector<float> tone(44100 * 3);
      for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = 0.3f * std::sin(float(i) * 0.05f);
      ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "RecTone.caf", tone));
      project().setSoundTags({SoundTag{"RecTone.caf", {{80, 200}}, {{3, 12}}}});
    }
  }
  void press(int tag) { desk->pressPlayBtnEvent(desk->playerButton(tag)); }
  int frames = 12;
  bool withTag = false;
};

TEST_F(DeskPlaybackTest, RepeatRunTextOfThePageIndicator) {
  frames = 10;
  start();
  settings().setCurPage(7);
  EXPECT_EQ(desk->currentRepeatPage(), "007");
  ASSERT_TRUE(project().setRepeatRunAtPage(7, 3));
  EXPECT_EQ(desk->currentRepeatPage(), "007-009");
}

TEST_F(DeskPlaybackTest, FramesStepAtTheChosenSpeed) {
  frames = 4;
  start();
  press(DesktopManagerController::kTagLoop);  // loop
  desk->gotoFrame(0);
  ASSERT_EQ(curPage(), 1);
  press(DesktopManagerController::kTagSpeed);  // 12 -> 6 frames per second
  EXPECT_EQ(desk->speedState(), 1);
  EXPECT_FLOAT_EQ(project().animationSpeed(), 0.5f);
  press(DesktopManagerController::kTagPlay);
  EXPECT_FALSE(desk->playView()->isHidden());
  EXPECT_FALSE(desk->pageNumberShowDesk()->isHidden());
  // The countdown left by the speed change runs out first (17 ticks), then a
  // step every 16 ticks.
  host->advance(0.175);
  EXPECT_EQ(curPage(), 2);
  host->advance(0.16 * 3);
  EXPECT_EQ(curPage(), 1);  // wrapped, looping
  EXPECT_EQ(desk->pageNumberShowDesk()->text(), "001/004");
  // Reverse while playing forward: from the last run, timer kept.
  press(DesktopManagerController::kTagReverse);
  EXPECT_EQ(desk->playState(), 2);
  EXPECT_EQ(curPage(), 4);
  host->advance(0.16);
  EXPECT_EQ(curPage(), 3);
  press(DesktopManagerController::kTagReverse);  // stop
  EXPECT_EQ(desk->playState(), 0);
  EXPECT_TRUE(desk->playView()->isHidden());
}

// The main thread away for most of each frame (a busy machine): the timer's
// calls come late and few, but each 0.08 s the clock passes is still a frame,
// and each frame comes no later than the stall after its date.
TEST_F(DeskPlaybackTest, FramesKeepTheirSpeedWhenTicksComeLate) {
  frames = 40;
  start();
  press(DesktopManagerController::kTagLoop);  // loop
  desk->gotoFrame(0);
  do {
    press(DesktopManagerController::kTagSpeed);  // on to 12 frames per second
  } while (desk->speedState() != 0);
  host->advance(1.0);  // the speed button's flash
  fd::RunLoop& loop = fd::RunLoop::main();
  press(DesktopManagerController::kTagPlay);
  const double started = loop.now();
  constexpr double kFrame = 0.08, kStall = 0.045;
  std::vector<double> stepTimes;
  int shown = curPage();
  while (loop.now() - started < 2.0) {
    host->advance(0.004);
    loop.stall(kStall);
    host->advance(0.0);
    if (curPage() != shown) {
      // Several steps may be made up at once; count each.
      const int steps = (curPage() - shown + frames) % frames;
      for (int k = 0; k < steps; ++k) stepTimes.push_back(loop.now());
      shown = curPage();
    }
  }
  const double elapsed = loop.now() - started;
  // The first step waits for the countdown the speed change left (8 ticks).
  const int expected = static_cast<int>((elapsed - 0.01) / kFrame + 1e-6);
  EXPECT_NEAR(static_cast<double>(stepTimes.size()), expected, 1.0);
  for (std::size_t k = 0; k < stepTimes.size(); ++k) {
    const double due = started + 0.09 + kFrame * static_cast<double>(k);
    EXPECT_GE(stepTimes[k] + 1e-9, due) << "frame " << k;
    EXPECT_LE(stepTimes[k], due + kStall + 0.005 + 1e-9) << "frame " << k;
  }
  press(DesktopManagerController::kTagPlay);  // stop
  EXPECT_EQ(desk->playState(), 0);
}

TEST_F(DeskPlaybackTest, ATaggedClipStartsPartWayAndStopsAtItsEnd) {
  withTag = true;
  start();
  press(DesktopManagerController::kTagSpeed);  // 6 frames per second: sounds play
  ASSERT_TRUE(project().isCouldPlaySound());
  ASSERT_FALSE(desk->playerButton(DesktopManagerController::kTagMute)->isSelected());
  press(DesktopManagerController::kTagLoop);
  desk->gotoFrame(0);
  settings().setCurPage(5);
  press(DesktopManagerController::kTagPlay);
  EXPECT_EQ(desk->firstPage(), 5);
  EXPECT_EQ(desk->firstFew(), 0);
  host->advance(0.175);  // the first step
  ASSERT_TRUE(desk->isPlaying());
  ASSERT_NE(desk->audioPlayer(), nullptr);
  EXPECT_NEAR(desk->audioPlayer()->currentTime(), (5 - 3) * 0.16, 0.01);
  // The counter reaches 11 (the tag's end - 1) six steps later: stopped.
  for (int step = 0; step < 5; ++step) host->advance(0.16);
  EXPECT_TRUE(desk->isPlaying());
  host->advance(0.16);
  EXPECT_FALSE(desk->isPlaying());
  press(DesktopManagerController::kTagPlay);  // stop
}

TEST_F(DeskPlaybackTest, TheSoundCounterWaitsForTheTagHoldingOrFollowingThePage) {
  start();
  project().setSoundTags(soundTagsFromLists({{}, {"RecA.caf", "RecB.caf"}, {3, 6, 10, 12}}));
  struct Case {
    int page, tag;
  };
  for (Case c : {Case{2, 0}, Case{3, 0}, Case{5, 0}, Case{8, 1}, Case{11, 1}, Case{12, 0}}) {
    desk->gotoFrame(0);
    settings().setCurPage(c.page);
    press(DesktopManagerController::kTagPlay);
    EXPECT_EQ(desk->firstPage(), c.page);
    EXPECT_EQ(desk->firstFew(), c.tag) << "page " << c.page;
    press(DesktopManagerController::kTagPlay);  // stop
  }
}

TEST_F(DeskPlaybackTest, MutedOrAtAnotherSpeedNoClipStarts) {
  withTag = true;
  start();
  press(DesktopManagerController::kTagLoop);
  desk->gotoFrame(0);
  settings().setCurPage(3);
  // 12 frames per second: the project's sound flag is off.
  EXPECT_TRUE(desk->playerButton(DesktopManagerController::kTagMute)->isSelected());
  press(DesktopManagerController::kTagPlay);
  host->advance(0.5);
  EXPECT_FALSE(desk->isPlaying());
  press(DesktopManagerController::kTagPlay);
  press(DesktopManagerController::kTagSpeed);
  press(DesktopManagerController::kTagMute);  // now it can be muted
  EXPECT_TRUE(desk->playerButton(DesktopManagerController::kTagMute)->isSelected());
  settings().setCurPage(3);
  press(DesktopManagerController::kTagPlay);
  host->advance(0.5);
  EXPECT_FALSE(desk->isPlaying());
  EXPECT_GT(curPage(), 3);  // the frames play as usual
}

TEST_F(DeskPlaybackTest, TagsAreCutBackToTheirLimitAfterAFrameIsAdded) {
  frames = 12;
  start();
  project().setSoundTags({SoundTag{"RecA.caf", {{45, 45 + 330.0f * 11 / 11}}, {{1, 8}}}});
  settings().limitFramesDict()["RecA.caf"] = 8;
  desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagAddFrame));
  ASSERT_EQ(project().imagesArray().size(), 13u);
  EXPECT_EQ(project().soundFrameArray()[0], 1);
  EXPECT_EQ(project().soundFrameArray()[1], 8);
  const float right = project().soundTagPointsArray()[1];
  EXPECT_FLOAT_EQ(right, static_cast<float>(8 * (330.0 / 13) + 40));
  EXPECT_LE(right, 380);
}

// Playing once stops at the first step past either end, a single frame
// included; looping on a single frame keeps showing it.
TEST_F(DeskPlaybackTest, PlayOnceStopsAtEitherEndEvenWithOneFrame) {
  frames = 1;
  start();
  using D = DesktopManagerController;
  for (int tag : {D::kTagPlay, D::kTagReverse}) {
    press(tag);
    ASSERT_NE(desk->playState(), 0) << tag;
    host->advance(1.0);
    EXPECT_EQ(desk->playState(), 0) << tag;
    EXPECT_EQ(curPage(), 1) << tag;
    EXPECT_TRUE(desk->playView()->isHidden()) << tag;
  }
  press(D::kTagLoop);
  press(D::kTagPlay);
  host->advance(2.0);
  EXPECT_EQ(desk->playState(), 1);
  EXPECT_EQ(curPage(), 1);
  EXPECT_FALSE(desk->playView()->image().empty());
  press(D::kTagPlay);
  EXPECT_EQ(desk->playState(), 0);
  stop();

  // Four plain frames: forward from the last stops at the first step on frame 1.
  frames = 4;
  start();
  desk->gotoFrame(1);
  ASSERT_EQ(curPage(), 4);
  press(D::kTagPlay);
  host->advance(0.5);
  EXPECT_EQ(desk->playState(), 0);
  EXPECT_EQ(curPage(), 1);
  // The last frame a run of three: reverse from frame 1 stops at once on the run's first frame.
  ASSERT_TRUE(project().setRepeatRunAtPage(4, 3));
  desk->gotoFrame(0);
  press(D::kTagReverse);
  host->advance(0.5);
  EXPECT_EQ(desk->playState(), 0);
  EXPECT_EQ(curPage(), 4);
}

// Stopping playback shows the page as its layers' eyes say: a hidden edited
// layer stays hidden (and holds its picture), the other layer shows.
TEST_F(DeskPlaybackTest, StoppingKeepsAHiddenEditedLayerHidden) {
  frames = 2;
  start();
  stroke(onPage(60, 100), onPage(300, 100));
  inLayerPanel({desk->fVisibleBtn()});
  ASSERT_TRUE(desk->canvasView()->isHidden());
  using D = DesktopManagerController;
  press(D::kTagPlay);
  host->advance(1.0);
  ASSERT_EQ(desk->playState(), 0);
  desk->gotoFrame(1);
  ASSERT_EQ(curPage(), 2);
  EXPECT_TRUE(desk->canvasView()->isHidden());
  EXPECT_FALSE(desk->layer()->isHidden());
  EXPECT_GT(canvasAlphaAt(180, 100), 0);
}

}  // namespace

// Playing once, the step that runs past the last frame stops playback: no
// clip may start on that step, even with the sound counter inside a tag.
TEST_F(DeskPlaybackTest, AfterAPlayOnceStopNoClipStarts) {
  withTag = true;
  start();
  project().setSoundTags({SoundTag{"RecTone.caf", {{300, 380}}, {{10, 20}}}});
  press(DesktopManagerController::kTagSpeed);  // 6 frames per second: sounds play
  ASSERT_TRUE(project().isCouldPlaySound());
  desk->gotoFrame(0);
  settings().setCurPage(11);
  press(DesktopManagerController::kTagPlay);  // play once, from frame 11
  host->advance(0.175);                       // frame 12: the clip of the tag plays
  ASSERT_TRUE(desk->isPlaying());
  host->advance(0.16);                        // past the last frame: stopped
  EXPECT_EQ(desk->playState(), 0);
  EXPECT_FALSE(desk->isPlaying());
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
  host->advance(0.5);
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
}
