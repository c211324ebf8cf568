// The frame manager's player: stepping forward and backward on its timer at
// the project's speed, wrapping at the ends, recording mode stopping at the
// last frame, the controls' selected states, and snapshots read off the main
// thread with only the newest page shown.
#include <gtest/gtest.h>

#include "DeskTestSupport.h"
#include "desk/frames/PictureLoad.h"
#include "desk/frames/ZTPicManagerView.h"
#include "desk/frames/ZTPlayView.h"
#include "platform/graphics/Context.h"
#include "platform/media/AudioOutput.h"

namespace {

struct Recorder : ZTPlayViewDelegate {
  void playDidStop(ZTPlayView*) override { ++stops; }
  void moveSliderBar(int page) override { shown.push_back(page); }
  int getPage() override { return startPage; }
  int stops = 0;
  int startPage = 0;
  std::vector<int> shown;
};

class FramePlayerTest : public desk_test::DeskTest {
 protected:
  // No load of this test may outlive its sandbox and model.
  void TearDown() override {
    picture_load::waitAll();
    stop();
  }
  void prepareModel() override {
    model().setShowPicSimple(false);
    while (static_cast<int>(project().imagesArray().size()) < frames) ASSERT_TRUE(project().createImageAtPage(1));
    ASSERT_TRUE(project().saveData());
  }
  std::shared_ptr<ZTPlayView> player() {
    auto v = ZTPlayView::initWithFrame({0, 0, 228, 163});
    v->setDelegate(&recorder);
    desk->view()->addSubview(v);
    return v;
  }
  int frames = 4;
  Recorder recorder;
};

TEST_F(FramePlayerTest, ForwardLoopsAndReverseWraps) {
  start();
  auto v = player();
  v->setPage(3);
  v->play();
  EXPECT_TRUE(v->isPlay());
  EXPECT_EQ(v->state(), ZTPlayView::kForward);
  const double step = ZTPlayView::stepInterval();
  EXPECT_NEAR(step, 0.08 / project().animationSpeed(), 1e-6);
  host->advance(step * 3 + step / 2);
  EXPECT_EQ(recorder.shown, (std::vector<int>{3, 4, 1, 2}));
  v->reverse();
  EXPECT_EQ(recorder.stops, 1);
  host->advance(step * 2 + step / 2);
  EXPECT_EQ(v->page(), 4);  // 2 -> 1 -> the last frame
  v->stop();
  EXPECT_FALSE(v->isPlay());
  const int at = v->page();
  host->advance(step * 4);
  EXPECT_EQ(v->page(), at);
}

TEST_F(FramePlayerTest, OneFrameLoopsOnItself) {
  frames = 1;
  start();
  auto v = player();
  v->setPage(1);
  v->play();
  host->advance(ZTPlayView::stepInterval() * 3.5);
  EXPECT_EQ(recorder.shown, (std::vector<int>{1, 1, 1, 1}));  // page 1 always reloads
}

// Steps come late on a busy main thread: the player still moves one page
// for every step interval the clock has passed.
TEST_F(FramePlayerTest, StepsKeepTheirSpeedWhenTheTimerComesLate) {
  frames = 50;
  start();
  auto v = player();
  v->setPage(1);
  recorder.shown.clear();
  v->play();
  const double step = ZTPlayView::stepInterval();
  fd::RunLoop& loop = fd::RunLoop::main();
  const double started = loop.now();
  while (loop.now() - started < 3.0) {
    host->advance(step * 0.1);
    loop.stall(step * 1.7);  // away for nearly two steps each turn
    host->advance(0.0);
  }
  const double elapsed = loop.now() - started;
  EXPECT_EQ(static_cast<double>(recorder.shown.size()), std::floor(elapsed / step + 1e-6));
  for (std::size_t k = 0; k < recorder.shown.size(); ++k) EXPECT_EQ(recorder.shown[k], static_cast<int>(k) + 2);
  v->stop();
}

TEST_F(FramePlayerTest, RecordingStopsAtTheLastFrame) {
  start();
  auto v = player();
  v->setIsRecorder(true);
  recorder.startPage = 2;
  v->play();
  EXPECT_EQ(v->page(), 2);
  host->advance(ZTPlayView::stepInterval() * 5.5);
  EXPECT_EQ(recorder.shown, (std::vector<int>{3, 4}));
  EXPECT_FALSE(v->isPlay());
  EXPECT_EQ(recorder.stops, 2);  // from stop, then from the step itself
}

TEST_F(FramePlayerTest, SnapshotsShowTheNewestPage) {
  start();
  gfx::Context c(384, 288, 1);
  c.setFillColor({0, 0.6f, 0.2f, 1});
  c.fillRect({0, 0, 384, 288});
  ASSERT_TRUE(gfx::writePNG(*project().snapshotFullPathAtPage(2, false), c.makeImage()));
  auto v = player();
  for (int i = 0; i < 10; ++i) {
    v->setPage(2);
    v->setPage(3);
    picture_load::waitAll();
    EXPECT_TRUE(v->imageView()->image().empty());
  }
  v->setPage(2);
  picture_load::waitAll();
  EXPECT_FALSE(v->imageView()->image().empty());
  v->setPage(9);  // beyond the frames: an empty frame
  picture_load::waitAll();
  EXPECT_TRUE(v->imageView()->image().empty());
}

TEST_F(FramePlayerTest, ManagerControlsAndTouchesWhilePlaying) {
  start();
  tapView(desk->frameManagerBtn());
  auto* m = dynamic_cast<ZTPicManagerView*>(desk->picManagerView());
  ASSERT_NE(m, nullptr);
  picture_load::waitAll();
  EXPECT_EQ(m->playView()->page(), 1);
  tapView(m->playButton());
  EXPECT_TRUE(m->playButton()->isSelected());
  EXPECT_TRUE(m->playView()->isPlay());
  // While playing, a tap on a paper selects nothing.
  tapView(m->imagesViewArray()[2].get());
  EXPECT_EQ(m->selectedPage(), 0);
  tapView(m->reverseButton());
  EXPECT_FALSE(m->playButton()->isSelected());
  EXPECT_TRUE(m->reverseButton()->isSelected());
  EXPECT_EQ(m->playView()->state(), ZTPlayView::kReverse);
  m->lastPage();
  EXPECT_FALSE(m->playView()->isPlay());
  EXPECT_FALSE(m->reverseButton()->isSelected());
  EXPECT_EQ(m->playView()->page(), 4);
  // A tapped frame shows in the player; deleting the selected first frame leaves it on 1.
  tapView(m->imagesViewArray()[0].get());
  EXPECT_EQ(m->selectedPage(), 1);
  EXPECT_EQ(m->playView()->page(), 1);
  m->deleteSelectPaper();
  EXPECT_EQ(m->playView()->page(), 1);
  EXPECT_EQ(project().imagesArray().size(), 3u);
}

// The owner's side of the sound: where play starts and each sound step.
struct SoundOwner : Recorder {
  std::optional<PlaySoundStart> getPalySoundBeginAndEndFrameAndSoundName() override { return start; }
  void playMultiAudio(int page) override { steps.push_back(page); }
  std::optional<PlaySoundStart> start;
  std::vector<int> steps;
};

TEST_F(FramePlayerTest, ForwardPlayStartsWhereTheOwnerSaysAndRunsTheSoundStep) {
  start();
  project().setSoundTags({SoundTag{"a.caf", {{60, 120}}, {{1, 2}}}});
  SoundOwner owner;
  owner.start = PlaySoundStart{2, 1};
  auto v = player();
  v->setDelegate(&owner);
  v->setPage(4);
  v->play();
  EXPECT_EQ(v->page(), 2);  // not shown yet: the first step shows 3
  EXPECT_EQ(v->firstFew(), 1);
  const double step = ZTPlayView::stepInterval();
  host->advance(step * 3 + step / 2);
  EXPECT_EQ(owner.shown, (std::vector<int>{4, 3, 4, 1}));
  EXPECT_EQ(owner.steps, (std::vector<int>{4, 5, 2}));  // the page shown, plus one
  // Backward, recording, or a run that has just stopped: no sound step.
  v->reverse();
  host->advance(step * 2 + step / 2);
  v->stop();
  v->setIsRecorder(true);
  owner.startPage = 3;
  v->play();
  host->advance(step * 4);
  EXPECT_FALSE(v->isPlay());
  EXPECT_EQ(owner.steps.size(), 3u);
}

TEST_F(FramePlayerTest, NoSoundStepWithOneFrameOrWithoutTags) {
  frames = 1;
  start();
  project().setSoundTags({SoundTag{"a.caf", {{60, 120}}, {{1, 1}}}});
  SoundOwner one;
  auto v = player();
  v->setDelegate(&one);
  v->play();
  host->advance(ZTPlayView::stepInterval() * 3.5);
  EXPECT_TRUE(one.steps.empty());
  ASSERT_TRUE(project().createImageAtPage(1));
  project().setSoundTags({});
  host->advance(ZTPlayView::stepInterval() * 3);
  EXPECT_TRUE(one.steps.empty());
}

TEST_F(FramePlayerTest, AClipNeverOutlivesThePlaying) {
  media::AudioOutput::shared().setManualRendering(true);
  start();
  auto v = player();
  auto clip = media::ClipPlayer::fromSamples(std::vector<float>(44100, 0.25f));
  v->play();
  v->setAudioPlayer(clip);
  v->setIsAudioPlayer(true);
  ASSERT_TRUE(clip->play());
  v->stop();
  EXPECT_FALSE(clip->isPlaying());
  EXPECT_FALSE(v->isAudioPlayer());
  EXPECT_EQ(v->audioPlayer(), nullptr);
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
}

}  // namespace
