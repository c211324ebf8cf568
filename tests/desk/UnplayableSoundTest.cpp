// Sounds that cannot be played, met wherever the desk plays sounds: the
// sound picker's preview, the desk's playback, and the frame manager's player
// on its own sound step and on the sound track's. Each tells the user in an
// alert naming the file, once while a playback lasts, and the frames go on.
// The files with rates no sound has are met in a child whose address space
// may grow by 512 MB only (beyond the desk, built first): decoded as they
// claim, they would take gigabytes.
#include <gtest/gtest.h>

#include <algorithm>

#include "SoundTrackTestSupport.h"
#include "desk/sound/ZTSelectedAudioViewcontroller.h"
#include "graphics/MemoryCeiling.h"
#include "platform/media/ClipPlayer.h"
#include "support/SoundFiles.h"

namespace {

namespace fs = std::filesystem;
using testing_support::soundData;
using testing_support::writeSineWav8;

constexpr std::size_t kCeiling = std::size_t{512} << 20;

// The desk built in a child first (its GL driver reserves address space of
// its own), then held to the ceiling for what the test does on it.
template <typename Build, typename Body>
testing_support::ChildResult onDeskUnderCeiling(Build build, Body body) {
  return testing_support::runInChild([&] {
    build();
    testing_support::limitAddressSpaceGrowth(kCeiling);
    body();
  });
}

std::vector<std::string> alertMessages() {
  std::vector<std::string> out;
  for (ui::ButtonSheet* s : ui::visibleButtonSheets())
    if (s->title() == fd::Localized("This sound cannot be played")) out.push_back(s->message());
  return out;
}

void dismissAlerts() {
  for (ui::ButtonSheet* s : ui::visibleButtonSheets()) s->dismissWithClickedButtonIndex(0, false);
}

bool tells(const std::string& message, const std::string& file, const std::string& why) {
  return message.find("\"" + file + "\"") != std::string::npos && message.find(why) != std::string::npos;
}

// --- the sound picker

class PickerSoundTest : public testing_support::SandboxTest {
 protected:
  PickerSoundTest() {
    media::AudioOutput::shared().setManualRendering(true);
    ZTDataModel::resetSharedInstanceForTesting();
    docs = fd::paths::documents();
  }
  ~PickerSoundTest() override {
    media::ClipPlayer::waitForLoads();
    dismissAlerts();
    ZTDataModel::resetSharedInstanceForTesting();
  }
  int rowOf(ZTSelectedAudioViewcontroller& picker, const std::string& name) {
    const auto& paths = picker.audioPathArray();
    return static_cast<int>(std::find(paths.begin(), paths.end(), docs / name) - paths.begin());
  }
  fs::path docs;
};

TEST_F(PickerSoundTest, RowsAreInTheOrderOfTheirNames) {
  for (const char* name : {"drum.wav", "Zither.caf", "b/alto.aif", "Bell.wav", "c.WAV", "a/echo.caf"})
    writeSineWav8(docs / name, 8000, 800);
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  ASSERT_NE(picker->view(), nullptr);
  std::vector<std::string> rows;
  for (int i = 0; i < picker->numberOfRows(*picker->tableView(), 0); ++i)
    rows.push_back(picker->cellForRow(*picker->tableView(), {0, i})->textLabel()->text());
  EXPECT_EQ(rows, (std::vector<std::string>{"alto", "Bell", "c", "drum", "echo", "Zither"}));
}

TEST_F(PickerSoundTest, TappingASoundOfNoSensibleRateTellsWhyWithinTheCeiling) {
  // 1 MB at 2 Hz, and 20 KB at 1 Hz (3.6 GB decoded at 44100 Hz).
  writeSineWav8(docs / "slow.wav", 2, std::size_t{1} << 20);
  writeSineWav8(docs / "slower.wav", 1, 20000);
  writeSineWav8(docs / "fine.wav", 8000, 8000);
  const auto child = testing_support::runUnderMemoryCeiling(kCeiling, [&] {
    auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
    ASSERT_NE(picker->view(), nullptr);
    ASSERT_EQ(picker->audioPathArray().size(), 3u);
    ui::TableView& table = *picker->tableView();
    auto& limits = ZTDataModel::sharedInstance().extendDataModel().limitFramesDict();
    for (const auto& [name, rate] : {std::pair{"slow.wav", 2}, std::pair{"slower.wav", 1}}) {
      SCOPED_TRACE(name);
      EXPECT_EQ(limits[name], 0);  // it lasts nothing the program can play
      picker->didSelectRow(table, {0, rowOf(*picker, name)});
      media::ClipPlayer::waitForLoads();
      const auto told = alertMessages();
      ASSERT_EQ(told.size(), 1u);
      EXPECT_TRUE(tells(told[0], name, "a sample rate of " + std::to_string(rate) + " Hz")) << told[0];
      EXPECT_EQ(picker->player(), nullptr);
      EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
      dismissAlerts();
    }
    // A good sound after them previews as ever.
    picker->didSelectRow(table, {0, rowOf(*picker, "fine.wav")});
    media::ClipPlayer::waitForLoads();
    EXPECT_TRUE(alertMessages().empty());
    ASSERT_NE(picker->player(), nullptr);
    EXPECT_TRUE(picker->player()->isPlaying());
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(PickerSoundTest, ASoundOfNoChannelsOrMoreThanEightLastsNothingAndIsToldByName) {
  ASSERT_TRUE(testing_support::writeChannelsWav(docs / "nine.wav", 9, 4410));
  testing_support::writePcmCafClaiming(docs / "none.caf", 0);
  testing_support::writePcmCafClaiming(docs / "also-nine.caf", 9);
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  ASSERT_NE(picker->view(), nullptr);
  ASSERT_EQ(picker->audioPathArray().size(), 3u);
  auto& limits = ZTDataModel::sharedInstance().extendDataModel().limitFramesDict();
  for (const auto& [name, channels] : {std::pair{"nine.wav", 9}, std::pair{"none.caf", 0}, std::pair{"also-nine.caf", 9}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(limits[name], 0);
    picker->didSelectRow(*picker->tableView(), {0, rowOf(*picker, name)});
    media::ClipPlayer::waitForLoads();
    const auto told = alertMessages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(tells(told[0], name, "has " + std::to_string(channels) + " channels")) << told[0];
    EXPECT_EQ(picker->player(), nullptr);
    dismissAlerts();
  }
}

TEST_F(PickerSoundTest, ThePhonesCompressedRecordingsAreTimedAndPreviewed) {
  for (const std::string& name : testing_support::compressedCafTones()) fs::copy_file(soundData(name), docs / name);
  ZTDataModel::sharedInstance().prjDataModel()->setAnimationSpeed(0.5f);
  // A limit of 0 recorded when these could not be read is measured again.
  ZTDataModel::sharedInstance().extendDataModel().limitFramesDict()["tone-aac.caf"] = 0;
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  ASSERT_NE(picker->view(), nullptr);
  ASSERT_EQ(picker->audioPathArray().size(), 4u);
  auto& limits = ZTDataModel::sharedInstance().extendDataModel().limitFramesDict();
  // 0.37 s of AAC, ALAC and MP3, 0.30 s of IMA4, at 0.16 s a frame.
  EXPECT_EQ(limits["tone-aac.caf"], 2);
  EXPECT_EQ(limits["tone-alac.caf"], 2);
  EXPECT_EQ(limits["tone-mp3.caf"], 2);
  EXPECT_EQ(limits["tone-ima4.caf"], 1);
  for (const std::string& name : testing_support::compressedCafTones()) {
    SCOPED_TRACE(name);
    picker->didSelectRow(*picker->tableView(), {0, rowOf(*picker, name)});
    media::ClipPlayer::waitForLoads();
    EXPECT_TRUE(alertMessages().empty());
    ASSERT_NE(picker->player(), nullptr);
    EXPECT_GT(picker->player()->duration(), 0.29);
    std::vector<float> heard(8000);
    media::AudioOutput::shared().render(heard.data(), heard.size());
    EXPECT_GT(*std::max_element(heard.begin(), heard.end()), 0.05f);
  }
}

TEST_F(PickerSoundTest, APreviewIsReadOffTheMainThread) {
  // Nine minutes at 4000 Hz: some 24 million samples to make.
  writeSineWav8(docs / "long.wav", 4000, 9 * 60 * 4000);
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  ASSERT_NE(picker->view(), nullptr);
  picker->didSelectRow(*picker->tableView(), {0, rowOf(*picker, "long.wav")});
  ASSERT_NE(picker->player(), nullptr);
  EXPECT_TRUE(picker->player()->isLoading());  // the tap has returned; the sound is still being read
  EXPECT_TRUE(picker->player()->isPlaying());
  media::ClipPlayer::waitForLoads();
  EXPECT_FALSE(picker->player()->isLoading());
  EXPECT_NEAR(picker->player()->duration(), 540.0, 1e-3);
}

// --- the desk's playback

class DeskUnplayableSoundTest : public desk_test::DeskTest {
 protected:
  DeskUnplayableSoundTest() { media::AudioOutput::shared().setManualRendering(true); }
  void TearDown() override {
    media::ClipPlayer::waitForLoads();
    dismissAlerts();
    stop();
  }
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < 6) ASSERT_TRUE(project().createImageAtPage(1));
    writeSineWav8(fd::paths::documents() / "slow.wav", 2, std::size_t{1} << 20);
    project().setSoundTags({SoundTag{"slow.wav", {{80, 200}}, {{2, 5}}}});
  }
  void press(int tag) { desk->pressPlayBtnEvent(desk->playerButton(tag)); }
};

TEST_F(DeskUnplayableSoundTest, ATaggedSoundOfNoSensibleRateIsToldOnceAndTheFramesGoOn) {
  const auto child = onDeskUnderCeiling([&] { start(); }, [&] {
    press(DesktopManagerController::kTagSpeed);  // 6 frames per second: sounds play
    press(DesktopManagerController::kTagLoop);
    desk->gotoFrame(0);
    press(DesktopManagerController::kTagPlay);
    host->advance(0.175);
    for (int step = 0; step < 14; ++step) {  // past the tag twice round
      host->advance(0.16);
      media::ClipPlayer::waitForLoads();
    }
    const auto told = alertMessages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(tells(told[0], "slow.wav", "a sample rate of 2 Hz")) << told[0];
    EXPECT_EQ(desk->playState(), 1);
    EXPECT_EQ(curPage(), 4);  // 15 steps from frame 1 over 6 frames
    for (int i = 0; i < 4; ++i) {
      std::vector<float> heard(1000);
      media::AudioOutput::shared().render(heard.data(), heard.size());
      for (float s : heard) ASSERT_EQ(s, 0.0f);
    }
    // A new playback tells again.
    dismissAlerts();
    press(DesktopManagerController::kTagPlay);  // stop
    desk->gotoFrame(0);
    press(DesktopManagerController::kTagPlay);
    for (int step = 0; step < 4; ++step) {
      host->advance(0.16);
      media::ClipPlayer::waitForLoads();
    }
    EXPECT_EQ(alertMessages().size(), 1u);
    press(DesktopManagerController::kTagPlay);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

// --- the frame manager's player

class ManagerUnplayableSoundTest : public sound_test::SoundTrackTest {
 protected:
  void TearDown() override {
    media::ClipPlayer::waitForLoads();
    dismissAlerts();
    SoundTrackTest::TearDown();
  }
  void prepareModel() override {
    // A ".caf" that is the 2 Hz WAV, and the 1 Hz one as a ".wav", which the
    // player's own step plays through the buffer queue.
    writeSineWav8(fd::paths::documents() / "slow.caf", 2, std::size_t{1} << 20);
    writeSineWav8(fd::paths::documents() / "slower.wav", 1, 20000);
    SoundTrackTest::prepareModel();
  }
  // Forward steps of the player, each clip started on the way read.
  void steps(int n) {
    for (int i = 0; i < n; ++i) {
      host->advance(0.16);
      media::ClipPlayer::waitForLoads();
    }
  }
};

TEST_F(ManagerUnplayableSoundTest, ThePlayersOwnStepTellsOfEachSoundOnce) {
  tags = {SoundTag{"slow.caf", {{60, 100}}, {{2, 4}}}, SoundTag{"slower.wav", {{200, 260}}, {{6, 8}}}};
  ZTPicManagerView* opened = nullptr;
  const auto child = onDeskUnderCeiling([&] { opened = &open(); }, [&] {
    ZTPicManagerView& m = *opened;
    ZTPlayView& v = *m.playView();
    v.setIsModelPlay(true);
    settings().setCurPage(1);
    m.play();
    host->advance(0.08);
    steps(24);  // twice round the ten frames
    const auto told = alertMessages();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_TRUE(tells(told[0], "slow.caf", "a sample rate of 2 Hz")) << told[0];
    EXPECT_TRUE(tells(told[1], "slower.wav", "a sample rate of 1 Hz")) << told[1];
    EXPECT_TRUE(v.isPlay());
    std::vector<float> heard(2000);
    media::AudioOutput::shared().render(heard.data(), heard.size());
    for (float s : heard) ASSERT_EQ(s, 0.0f);
    m.play();  // stop
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(ManagerUnplayableSoundTest, TheSoundTracksStepTellsOfItOnce) {
  tags = {SoundTag{"slower.wav", {{100, 232}}, {{2, 5}}}};
  ZTPicManagerView* opened = nullptr;
  const auto child = onDeskUnderCeiling([&] { opened = &open(); }, [&] {
    ZTPicManagerView& m = *opened;
    ZTPlayView& player = *m.playView();
    player.setPage(3);
    m.play();
    host->advance(0.01);
    steps(12);
    const auto told = alertMessages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(tells(told[0], "slower.wav", "a sample rate of 1 Hz")) << told[0];
    EXPECT_TRUE(player.isPlay());
    m.play();  // stop
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

}  // namespace
