// The frame manager's sound track through the real view tree: the cursor and
// the player, the free-room rules, a sound added through the picker, a
// recording placed as a tag (and one that cannot start, and one killed
// part-way and found at the next start), the sound step
// starting and stopping clips, the frames counted again after frame edits,
// tags dropped on closing, and the track's pictures.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <set>

#include "SoundTrackTestSupport.h"
#include "desk/frames/SoundArt.h"
#include "platform/foundation/FileUtil.h"
#include "platform/ui/NavigationController.h"
#include "support/ChildProcess.h"
#include "support/SlowRecordingWrites.h"

namespace {

namespace fs = std::filesystem;
using sound_test::SoundTrackTest;
using sound_test::tone;
using testing_support::SlowRecordingWrites;
using testing_support::WriteCost;

std::string bytesOf(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> recordingsIn(const fs::path& dir) {
  std::vector<std::string> out;
  for (const std::string& name : fd::files::contentsOfDirectory(dir))
    if (name.rfind("Rec", 0) == 0) out.push_back(name);
  return out;
}

TEST_F(SoundTrackTest, CursorAndPlayerFollowEachOther) {
  frames = 11;
  ZTPicManagerView& m = open();
  m.playView()->setPage(6);
  EXPECT_FLOAT_EQ(track().cursorX(), 210.5f);
  setCursor(210.5f);
  EXPECT_EQ(track().getPage(), 6);
  // Dragged by the finger: the player shows the frame under it.
  m.playView()->setPage(1);
  ASSERT_FLOAT_EQ(track().cursorX(), 46);
  host->drag(onPanel(52, 20), onPanel(210.5f, 20), 10);
  host->runUntilIdle();
  EXPECT_FLOAT_EQ(track().cursorX(), 210.5f);
  EXPECT_EQ(m.playView()->page(), 6);
  host->drag(onPanel(216, 20), onPanel(470, 20), 20);
  host->runUntilIdle();
  EXPECT_EQ(track().cursorX(), 375);
  EXPECT_EQ(m.playView()->page(), 11);
  // Away from the cursor, a finger moves nothing.
  host->drag(onPanel(200, 70), onPanel(100, 70), 5);
  host->runUntilIdle();
  EXPECT_EQ(track().cursorX(), 375);
}

TEST_F(SoundTrackTest, OnTheTallScreenThePanelStandsFurtherRightAndTheCursorStillFollows) {
  tall = true;
  frames = 11;
  ZTPicManagerView& m = open();
  EXPECT_EQ(track().audioSelectedView()->frame().x, 88);
  host->drag(onPanel(52, 20), onPanel(210.5f, 20), 10);
  host->runUntilIdle();
  EXPECT_FLOAT_EQ(track().cursorX(), 210.5f);
  EXPECT_EQ(m.playView()->page(), 6);
  tapView(track().tabBtn());
  EXPECT_EQ(track().audioSelectedView()->frame().x, 528);
  EXPECT_FALSE(track().isShow());
}

TEST_F(SoundTrackTest, OneFrameKeepsTheCursorAtTheStartAndPlaysNoSound) {
  frames = 1;
  tags = {SoundTag{"clip.caf", {{49, 200}}, {{1, 1}}}};
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "clip.caf", tone(2)));
  ZTPicManagerView& m = open();
  m.playView()->setPage(1);
  EXPECT_EQ(track().cursorX(), 46);
  setCursor(300);
  EXPECT_EQ(track().getPage(), 1);
  m.play();
  host->advance(0.16 * 4);
  EXPECT_FALSE(m.playView()->isAudioPlayer());
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
}

TEST_F(SoundTrackTest, NoRoomOrTheLastFrameRefusesWithAnAlert) {
  tags = {SoundTag{"a.caf", {{60, 375}}, {{1, 10}}}};
  ZTPicManagerView& m = open();
  const std::vector<SoundTag> before = project().soundTags();
  setCursor(100);  // inside the tag, whose end leaves 5 points
  tapView(track().addSoundBtn());
  EXPECT_EQ(visibleAlertMessage(), fd::Localized("MoveSlider"));
  EXPECT_EQ(desk->presentedViewController(), nullptr);
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Ok")));
  host->runUntilIdle();
  tapView(track().recorderBtn());
  EXPECT_EQ(visibleAlertMessage(), fd::Localized("MoveSlider"));
  EXPECT_FALSE(track().isRecorder());
  EXPECT_FALSE(m.playView()->isRecorder());
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Cancel")));
  host->runUntilIdle();

  setCursor(375);
  for (ui::Button* b : {track().addSoundBtn(), track().recorderBtn()}) {
    tapView(b);
    EXPECT_EQ(visibleAlertMessage(), fd::Localized("located at the final frame"));
    ASSERT_TRUE(host->pressAlertButton(fd::Localized("Cancel")));
    host->runUntilIdle();
  }
  EXPECT_EQ(project().soundTags(), before);
  EXPECT_EQ(track().soundTagArray().size(), 1u);
  EXPECT_FALSE(track().isRecorder());
}

TEST_F(SoundTrackTest, ASoundChosenInThePickerIsPlacedAndSaved) {
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "drum.caf", tone(4)));
  ZTPicManagerView& m = open();
  EXPECT_FLOAT_EQ(project().animationSpeed(), 0.5f);
  tapView(track().addSoundBtn());
  auto* navigation = dynamic_cast<ui::NavigationController*>(desk->presentedViewController());
  ASSERT_NE(navigation, nullptr);
  auto* picker = dynamic_cast<ZTSelectedAudioViewcontroller*>(navigation->viewControllers().front().get());
  ASSERT_NE(picker, nullptr);
  ASSERT_EQ(picker->audioPathArray().size(), 1u);
  EXPECT_EQ(settings().limitFramesDict()["drum.caf"], 25);  // 4 s at 0.16 s a frame
  picker->tableView()->reloadData();
  picker->tableView()->selectRow(ui::IndexPath{0, 0}, false, ui::ScrollPosition::None);
  picker->didSelectRow(*picker->tableView(), {0, 0});
  picker->navigationItem().rightBarButtonItem()->trigger();
  host->runUntilIdle();

  // 25 frames of 33 points do not fit: the tag takes the room to the end.
  EXPECT_EQ(project().soundTagPointsArray(), (std::vector<float>{51, 380}));
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 10}));
  EXPECT_EQ(project().soundNameArray(), (std::vector<std::string>{"drum.caf"}));
  auto disk = stored();
  EXPECT_EQ(disk->soundTagPointsArray(), (std::vector<float>{51, 380}));
  EXPECT_EQ(disk->soundFrameArray(), (std::vector<int>{1, 10}));
  EXPECT_EQ(disk->soundNameArray(), (std::vector<std::string>{"drum.caf"}));
  EXPECT_TRUE(fd::files::exists(project().projectDicPath() / "drum.caf"));  // the project's copy
  ASSERT_NE(tagView(0), nullptr);
  EXPECT_EQ(tagView(0)->fileName()->text(), "FN: drum");
  EXPECT_EQ(tagView(0)->frame(), (ui::Rect{51, 20, 329, 58}));
  // The manager waits half a second before it takes touches again.
  EXPECT_FALSE(m.isUserInteractionEnabled());
  host->advance(0.6);
  EXPECT_TRUE(m.isUserInteractionEnabled());
  EXPECT_EQ(tagView(0)->tag(), 100);
}

TEST_F(SoundTrackTest, ASoundFromASubfolderKeepsItsLimitAndAnEmptySoundFindsNoRoom) {
  const fs::path bell = fd::paths::documents() / "clips" / "bell.caf";
  fs::create_directories(bell.parent_path());
  ASSERT_TRUE(media::writeMonoCaf(bell, tone(0.8)));  // 5 frames at 0.16 s
  std::ofstream(fd::paths::documents() / "empty.caf") << "no sound";
  open();
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  ASSERT_EQ(picker->audioPathArray().size(), 2u);
  ASSERT_EQ(settings().limitFramesDict()["clips/bell.caf"], 5);
  track().selectedAudioViewController(*picker, "bell", bell);
  EXPECT_EQ(settings().limitFramesDict()["bell.caf"], 5);
  // Room is asked for 5 frames of 33 points less 12, and that much is taken.
  EXPECT_EQ(project().soundTagPointsArray(), (std::vector<float>{51, 204}));
  EXPECT_EQ(project().soundNameArray(), (std::vector<std::string>{"bell.caf"}));

  // A sound that lasts no frame gets no room: told, nothing placed.
  host->advance(0.6);
  setCursor(300);
  track().selectedAudioViewController(*picker, "empty", fd::paths::documents() / "empty.caf");
  EXPECT_EQ(visibleAlertMessage(), "You coun't add sound here!");
  EXPECT_EQ(project().soundNameArray(), (std::vector<std::string>{"bell.caf"}));
  EXPECT_EQ(track().soundTagArray().size(), 1u);
}

TEST_F(SoundTrackTest, ARecordingGetsItsOwnFileAndATag) {
  const auto fed = tone(1);
  ASSERT_TRUE(media::writeMonoCaf(root() / "mic.caf", fed));
  media::setCaptureInputFile(root() / "mic.caf");
  ZTPicManagerView& m = open();
  // An older sound of the project must survive the recording.
  const fs::path older = project().projectDicPath() / "audio.caf";
  ASSERT_TRUE(media::writeMonoCaf(older, tone(0.5)));
  const std::string olderBytes = bytesOf(older);

  setCursor(100);
  tapView(track().recorderBtn());
  EXPECT_TRUE(track().isRecorder());
  EXPECT_EQ(track().recorderBtn()->currentTitle(), fd::Localized("Stop"));
  EXPECT_TRUE(m.playView()->isRecorder());
  host->advance(0.05);
  EXPECT_TRUE(AudioRecorderManager::sharedManager().isRecording());
  EXPECT_TRUE(track().recorderBtn()->isSelected());
  EXPECT_TRUE(m.playView()->isPlay());
  EXPECT_EQ(m.playView()->page(), 2);  // the frame under the cursor
  EXPECT_EQ(track().startRecorderPoint(), 100);
  const fs::path file = track().recordingFile();
  EXPECT_EQ(file.parent_path(), fd::paths::documents());

  setCursor(232);
  tapView(track().recorderBtn());
  EXPECT_FALSE(AudioRecorderManager::sharedManager().isRecording());
  const std::string name = file.filename().string();
  EXPECT_EQ(settings().limitFramesDict()[name], 8);  // trunc(132 / 33) = 4, at least 8
  EXPECT_EQ(project().soundNameArray(), (std::vector<std::string>{name}));
  EXPECT_EQ(project().soundTagPointsArray(), (std::vector<float>{105, 232}));
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{2, 5}));
  EXPECT_EQ(stored()->soundNameArray(), (std::vector<std::string>{name}));
  EXPECT_FALSE(track().isRecorder());
  EXPECT_EQ(track().recorderBtn()->currentTitle(), fd::Localized("Recorder"));
  EXPECT_FALSE(track().recorderBtn()->isSelected());
  EXPECT_FALSE(m.playView()->isRecorder());
  EXPECT_FALSE(m.playButton()->isSelected());

  // The file holds what the microphone gave, from its start.
  auto samples = media::decodeSound(fd::paths::documents() / name);
  ASSERT_TRUE(samples.ok()) << samples.error();
  ASSERT_GT(samples->size(), 1000u);
  for (std::size_t i = 0; i < samples->size(); ++i) ASSERT_EQ((*samples)[i], fed[i]) << i;
  EXPECT_EQ(bytesOf(older), olderBytes);

  // A second recording takes another file and leaves the first alone.
  host->advance(0.6);
  setCursor(250);
  tapView(track().recorderBtn());
  host->advance(0.05);
  EXPECT_NE(track().recordingFile(), file);
  setCursor(375);
  tapView(track().recorderBtn());
  EXPECT_EQ(recordingsIn(fd::paths::documents()).size(), 2u);
  EXPECT_EQ(project().soundNameArray().size(), 2u);
  EXPECT_TRUE(media::decodeSound(fd::paths::documents() / name).ok());
}

// A recording whose program is killed part-way is found in Documents at the
// next start with all but its last moments: it reads back as the microphone
// gave it, and the sound picker lists it with the frames its length covers.
TEST_F(SoundTrackTest, ARecordingKilledPartWayIsListedWithItsLengthAtTheNextStart) {
  frames = 20;
  const auto fed = tone(5);
  ASSERT_TRUE(media::writeMonoCaf(root() / "mic.caf", fed));
  testing_support::ChildResult child = testing_support::runInChild([&] {
    media::setCaptureInputFile(root() / "mic.caf");
    ZTPicManagerView& m = open();
    m.playView()->setPage(1);
    tapView(track().recorderBtn());
    host->advance(3.01);
    EXPECT_TRUE(AudioRecorderManager::sharedManager().isRecording());
    EXPECT_NEAR(AudioRecorderManager::sharedManager().currentTime(), 3.0, 0.03);
    ::kill(::getpid(), HasFailure() ? SIGABRT : SIGKILL);
  });
  ASSERT_EQ(child.signal, SIGKILL);
  const std::vector<std::string> names = recordingsIn(fd::paths::documents());
  ASSERT_EQ(names.size(), 1u);
  const fs::path file = fd::paths::documents() / names[0];
  auto length = media::soundDuration(file);
  ASSERT_TRUE(length.ok()) << length.error();
  EXPECT_GE(*length, 2.5);
  EXPECT_LE(*length, 3.0);
  auto samples = media::decodeSound(file);
  ASSERT_TRUE(samples.ok()) << samples.error();
  EXPECT_EQ(static_cast<double>(samples->size()), std::round(*length * 44100));
  for (std::size_t i = 0; i < samples->size(); ++i) ASSERT_EQ((*samples)[i], fed[i]) << i;

  ZTDataModel::resetSharedInstanceForTesting();
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  const auto& listed = picker->audioPathArray();
  EXPECT_NE(std::find(listed.begin(), listed.end(), file), listed.end());
  // At a quarter of the speed a frame lasts 0.32 s: 2.5 s and more cover 7.
  EXPECT_GE(settings().limitFramesDict()[names[0]], 7);
}

TEST_F(SoundTrackTest, ARecordingRunsToTheLastFrameAndStopsByItself) {
  frames = 4;
  ASSERT_TRUE(media::writeMonoCaf(root() / "mic.caf", tone(1)));
  media::setCaptureInputFile(root() / "mic.caf");
  ZTPicManagerView& m = open();
  m.playView()->setPage(2);  // cursor 46 + 329 / 3
  tapView(track().recorderBtn());
  host->advance(0.01 + 0.16 * 3 + 0.05);
  EXPECT_FALSE(m.playView()->isPlay());
  EXPECT_FALSE(AudioRecorderManager::sharedManager().isRecording());
  // trunc((375 - 155.67) / 82.5) = 2 frames, kept as 8; the tag runs from the
  // pointer 5 points on to where the cursor stopped.
  const std::vector<std::string> names = project().soundNameArray();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(settings().limitFramesDict()[names[0]], 8);
  const std::vector<float> points = project().soundTagPointsArray();
  ASSERT_EQ(points.size(), 2u);
  EXPECT_NEAR(points[0], 160.667f, 1e-3);
  EXPECT_EQ(points[1], 375);
  EXPECT_FALSE(track().isRecorder());
  EXPECT_EQ(track().recorderBtn()->currentTitle(), fd::Localized("Recorder"));
  EXPECT_TRUE(track().recorderBtn()->isEnabled());
  EXPECT_EQ(m.playView()->page(), 1);
  EXPECT_EQ(track().cursorX(), 46);
}

// A recording that gets no tag is kept in Documents with its limit and
// listed by the picker, unless nothing of it reached the file, and the user
// is told why in words that hold: too short for the track at this project's
// length (and Sound refuses it too), over too little of the track where it
// was made, or hemmed in by the next tag (Sound places either elsewhere).
struct UntaggedCase {
  const char* name;
  int frames;
  std::vector<SoundTag> tags;
  float cursor;
  double recording;                  // seconds before Stop, or before it ends by itself
  float stopAt;                      // the cursor when Stop is pressed; 0: where the player took it
  std::optional<double> refuseAfter;  // the disk full so many seconds in
  const char* words;                 // <stem>, <s>: the recording's name and seconds
  bool soundAddsIt;
};

class UntaggedRecordingTest : public SoundTrackTest, public testing::WithParamInterface<UntaggedCase> {};

TEST_P(UntaggedRecordingTest, IsKeptAndTheUserToldWhyInWordsThatHold) {
  const UntaggedCase& c = GetParam();
  frames = c.frames;
  tags = c.tags;
  const auto fed = feedMicrophone(4);
  ZTPicManagerView& m = open();
  const std::vector<SoundTag> before = project().soundTags();
  setCursor(c.cursor);
  std::optional<SlowRecordingWrites> full;
  if (c.refuseAfter) full.emplace(WriteCost{}).refuseFrom(fd::RunLoop::main().now() + *c.refuseAfter);
  tapView(track().recorderBtn());
  host->advance(c.recording);
  if (c.stopAt > 0) setCursor(c.stopAt);
  if (track().isRecorder()) tapView(track().recorderBtn());

  EXPECT_EQ(project().soundTags(), before);
  EXPECT_EQ(stored()->soundTags(), before);
  EXPECT_EQ(track().soundTagArray().size(), before.size());
  const std::vector<std::string> names = recordingsIn(fd::paths::documents());
  std::string words = c.words;
  if (words.starts_with("Nothing")) {
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(visibleAlertMessage(), words);
    EXPECT_TRUE(std::none_of(settings().limitFramesDict().begin(), settings().limitFramesDict().end(),
                             [](const auto& l) { return l.first.starts_with("Rec"); }));
    return;
  }
  ASSERT_EQ(names.size(), 1u);
  const fs::path file = fd::paths::documents() / names[0];
  auto samples = media::decodeSound(file);
  ASSERT_TRUE(samples.ok()) << samples.error();
  ASSERT_GT(samples->size(), 0u);
  for (std::size_t i = 0; i < samples->size(); ++i) ASSERT_EQ((*samples)[i], fed[i]) << i;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(samples->size()) / 44100);
  for (auto [mark, value] : {std::pair<std::string, std::string>{"<stem>", file.stem().string()}, {"<s>", seconds}})
    for (std::size_t at; (at = words.find(mark)) != std::string::npos;) words.replace(at, mark.size(), value);
  EXPECT_EQ(visibleAlertMessage(), words);
  EXPECT_GE(settings().limitFramesDict()[names[0]], 8);
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  const auto& listed = picker->audioPathArray();
  EXPECT_NE(std::find(listed.begin(), listed.end(), file), listed.end());
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("OK")));
  host->runUntilIdle();
  EXPECT_TRUE(track().recorderBtn()->isEnabled());
  EXPECT_EQ(track().recorderBtn()->currentTitle(), fd::Localized("Recorder"));
  EXPECT_FALSE(m.playView()->isPlay());

  // Sound, from the start of the track, does what the words say it does.
  m.playView()->setPage(1);
  track().selectedAudioViewController(*picker, names[0], file);
  host->runUntilIdle();
  EXPECT_EQ(project().soundTags().size(), before.size() + (c.soundAddsIt ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Words, UntaggedRecordingTest,
    testing::Values(
        // Three frames of 100 span 10 points, where a tag takes 20.
        UntaggedCase{"TooShortForALongProject", 100, {}, 46, 0.6, 0, std::nullopt,
                     "At 100 frames the track cannot show a recording of <s> seconds. It is kept among the sounds as "
                     "\u201c\u2068<stem>\u2069\u201d, for a project with fewer frames.",
                     false},
        UntaggedCase{"CutShortByAFullDisk", 300, {}, 46, 3.0, 0, 2.3,
                     "The recording stopped after <s> seconds: the disk is full. At 300 frames the track cannot show a "
                     "recording of <s> seconds. It is kept among the sounds as \u201c\u2068<stem>\u2069\u201d, for a project with "
                     "fewer frames.",
                     false},
        UntaggedCase{"StoppedBeforeTheCursorMoved", 10, {}, 46, 0.1, 0, std::nullopt,
                     "The cursor ran over too little of the track for a tag of this recording. It is kept among the "
                     "sounds as \u201c\u2068<stem>\u2069\u201d: add it with Sound where there is room.",
                     true},
        // Room for a recording to start, 23 points, but not for its tag once
        // the gap of 5 before the next tag is kept.
        UntaggedCase{"StartedJustBeforeATag", 10, {SoundTag{"b.caf", {{128, 180}}, {{3, 4}}}}, 100, 1.0, 300,
                     std::nullopt,
                     "There was no room on the track for a tag of this recording. It is kept among the sounds as "
                     "\u201c\u2068<stem>\u2069\u201d: add it with Sound where there is room.",
                     true},
        UntaggedCase{"NothingReachedTheFile", 10, {}, 46, 0.5, 0, 0.0, "Nothing was recorded: the disk is full.", false}),
    [](const testing::TestParamInfo<UntaggedCase>& info) { return std::string(info.param.name); });

// A recording started in the gap between two tags and stopped beyond the
// second one takes the room from where it starts to just before the second
// tag, never part of that tag.
TEST_F(SoundTrackTest, ARecordingBetweenTwoTagsStopsShortOfTheNextOne) {
  ASSERT_TRUE(media::writeMonoCaf(root() / "mic.caf", tone(1)));
  media::setCaptureInputFile(root() / "mic.caf");
  tags = {SoundTag{"a.caf", {{60, 100}}, {{1, 2}}}, SoundTag{"b.caf", {{200, 260}}, {{5, 7}}}};
  open();
  setCursor(120);
  tapView(track().recorderBtn());
  host->advance(0.05);
  ASSERT_TRUE(AudioRecorderManager::sharedManager().isRecording());
  setCursor(300);
  tapView(track().recorderBtn());
  ASSERT_FALSE(AudioRecorderManager::sharedManager().isRecording());
  // The pointer's 5 points on from the cursor, up to 5 points before b.
  EXPECT_EQ(project().soundTagPointsArray(), (std::vector<float>{60, 100, 125, 195, 200, 260}));
  const std::vector<std::string> names = project().soundNameArray();
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "a.caf");
  EXPECT_EQ(names[2], "b.caf");
  ASSERT_EQ(track().soundTagArray().size(), 3u);
  EXPECT_EQ(tagView(1)->frame(), (ui::Rect{125, 20, 70, 58}));
  // No two tags overlap, on the model's list or on the screen.
  const std::vector<float> points = project().soundTagPointsArray();
  for (std::size_t i = 1; i + 1 < points.size(); i += 2) EXPECT_LE(points[i], points[i + 1]) << i;
  for (std::size_t i = 0; i + 1 < track().soundTagArray().size(); ++i) {
    const ui::Rect a = tagView(i)->frame(), b = tagView(i + 1)->frame();
    EXPECT_LE(a.x + a.width, b.x) << i;
  }
}

TEST_F(SoundTrackTest, ARecordingThatCannotStartLeavesNothingBehind) {
  media::setCaptureInputFile(std::nullopt);  // the dummy driver has no microphone
  ZTPicManagerView& m = open();
  const auto limitsBefore = settings().limitFramesDict();
  setCursor(100);
  tapView(track().recorderBtn());
  host->advance(0.05);
  // The user is told why, not only that it failed.
  EXPECT_EQ(visibleAlertMessage(), fd::Localized("RecorderUnavailable") + ": this machine has no microphone (no capture device).");
  EXPECT_FALSE(track().isRecorder());
  EXPECT_EQ(track().recorderBtn()->currentTitle(), fd::Localized("Recorder"));
  EXPECT_FALSE(track().recorderBtn()->isSelected());
  EXPECT_FALSE(m.playView()->isRecorder());
  EXPECT_FALSE(m.playView()->isPlay());
  EXPECT_FALSE(m.playButton()->isSelected());
  EXPECT_TRUE(track().addSoundBtn()->isEnabled());
  EXPECT_TRUE(recordingsIn(fd::paths::documents()).empty());
  EXPECT_EQ(settings().limitFramesDict(), limitsBefore);
  EXPECT_TRUE(project().soundTags().empty());
  EXPECT_TRUE(track().soundTagArray().empty());
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("OK")));
  host->runUntilIdle();
  // Not stuck: the button arms again and fails the same way.
  tapView(track().recorderBtn());
  host->advance(0.05);
  EXPECT_TRUE(visibleAlertMessage().starts_with(fd::Localized("RecorderUnavailable")));
  EXPECT_FALSE(track().isRecorder());
}

TEST_F(SoundTrackTest, TheSoundStepStartsClipsPartWayAndStopsThemAtTheTagsEnd) {
  tags = {SoundTag{"clip.caf", {{100, 232}}, {{2, 5}}}};
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "clip.caf", tone(3)));
  ZTPicManagerView& m = open();
  ZTPlayView& player = *m.playView();
  player.setPage(3);  // cursor 46 + 2 * 329 / 9
  m.play();
  EXPECT_EQ(player.page(), 3);
  EXPECT_EQ(player.firstFew(), 0);
  host->advance(0.17);  // frame 4: cursor 155.67, three points on it is 58.67 into the tag
  ASSERT_EQ(player.page(), 4);
  ASSERT_TRUE(player.isAudioPlayer());
  ASSERT_TRUE(player.audioPlayer() && player.audioPlayer()->isPlaying());
  EXPECT_NEAR(player.audioPlayer()->currentTime(), (155.667 + 3 - 100) / 33 * 0.16, 1e-3);
  auto clip = player.audioPlayer();
  host->advance(0.16);  // frame 5, still inside
  EXPECT_TRUE(clip->isPlaying());
  host->advance(0.16);  // frame 6: six points on the cursor pass the tag's end
  EXPECT_FALSE(player.isAudioPlayer());
  EXPECT_FALSE(clip->isPlaying());
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
  // Round the loop: frame 3 starts it again, 22.1 points in.
  host->advance(0.16 * 7);
  ASSERT_EQ(player.page(), 3);
  ASSERT_TRUE(player.isAudioPlayer());
  EXPECT_NEAR(player.audioPlayer()->currentTime(), (119.111 + 3 - 100) / 33 * 0.16, 1e-3);
  // Stopping the player stops the clip, and no step starts another.
  clip = player.audioPlayer();
  m.play();
  EXPECT_FALSE(player.isPlay());
  EXPECT_FALSE(clip->isPlaying());
  host->advance(0.16 * 3);
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
  EXPECT_TRUE(track().addSoundBtn()->isEnabled());
  EXPECT_TRUE(tagView(0)->isUserInteractionEnabled());
}

TEST_F(SoundTrackTest, SoundsAreLookedForInTheProjectAndMissingOnesPlayNothing) {
  tags = {SoundTag{"gone.caf", {{60, 140}}, {{1, 3}}}, SoundTag{"kept", {{200, 300}}, {{5, 8}}}};
  ZTPicManagerView& m = open();
  ASSERT_TRUE(media::writeMonoCaf(project().projectDicPath() / "kept.caf", tone(3)));
  ZTPlayView& player = *m.playView();
  player.setPage(1);
  m.play();
  host->advance(0.16 * 3 + 0.01);  // through the first tag: its sound is nowhere
  EXPECT_EQ(player.page(), 4);
  EXPECT_FALSE(player.isAudioPlayer());
  EXPECT_EQ(player.firstFew(), 1);
  host->advance(0.16 * 2);  // frame 6, cursor 228.8: the project's copy plays
  EXPECT_TRUE(player.isAudioPlayer());
  ASSERT_TRUE(player.audioPlayer());
  EXPECT_EQ(player.audioPlayer()->file(), project().projectDicPath() / "kept.caf");
  m.play();
  EXPECT_FALSE(player.isAudioPlayer());
}

TEST_F(SoundTrackTest, TheSingleSoundButtonDeletesItsFileFromDocumentsOnlyWhenConfirmed) {
  tags = {SoundTag{"a.caf", {{200, 375}}, {{5, 10}}}};  // clear of the button
  const fs::path old = fd::paths::documents() / "old.caf", kept = fd::paths::documents() / "keep.caf";
  for (const fs::path& f : {old, kept}) ASSERT_TRUE(media::writeMonoCaf(f, tone(0.2)));
  open();
  ui::Button* button = track().delSoundBtn();
  EXPECT_TRUE(button->isHidden());
  project().setAudioName("old.caf");
  track().setDeleteSoundBtnState(true);
  EXPECT_FALSE(button->isHidden());
  EXPECT_EQ(button->titleForState(ui::StateNormal), "old");
  EXPECT_EQ(button->backgroundImageForState(ui::StateNormal), sound_art::pictures().named("tag_sound01.png"));
  EXPECT_EQ(button->backgroundImageForState(ui::StateHighlighted), sound_art::pictures().named("tag_sound02.png"));
  // Cancelled: the file stays, the project forgets its sound, the button stays.
  tapView(button);
  EXPECT_EQ(visibleAlertMessage(), fd::Localized("DeleteAudioFileAlert"));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Cancel")));
  host->runUntilIdle();
  EXPECT_TRUE(fs::exists(old));
  EXPECT_FALSE(project().audioName().has_value());
  EXPECT_FALSE(button->isHidden());
  // Confirmed: only the named file goes, and the button with it.
  tapView(button);
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("OK")));
  host->runUntilIdle();
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_TRUE(button->isHidden());

  // The recording look has no title, so confirming deletes nothing.
  project().setAudioName("keep.caf");
  track().setDeleteSoundBtnState(false);
  EXPECT_FALSE(button->titleForState(ui::StateNormal).has_value());
  EXPECT_EQ(button->backgroundImageForState(ui::StateNormal), sound_art::pictures().named("tag_record01.png"));
  tapView(button);
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("OK")));
  host->runUntilIdle();
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_TRUE(button->isHidden());
  // A sound named outside Documents is not reached through the title.
  const fs::path outside = fd::paths::library() / "outside.caf";
  ASSERT_TRUE(media::writeMonoCaf(outside, tone(0.2)));
  project().setAudioName("../Library/outside.caf");
  track().setDeleteSoundBtnState(true);
  tapView(button);
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("OK")));
  host->runUntilIdle();
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_TRUE(button->isHidden());

  // The no-room alert's button hides it too, and leaves the project's sound.
  project().setAudioName("keep.caf");
  setCursor(250);
  tapView(track().addSoundBtn());
  ASSERT_EQ(visibleAlertMessage(), fd::Localized("MoveSlider"));
  track().setDeleteSoundBtnState(true);
  ASSERT_FALSE(button->isHidden());
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Ok")));
  host->runUntilIdle();
  EXPECT_TRUE(button->isHidden());
  EXPECT_EQ(project().audioName(), "keep.caf");
  EXPECT_TRUE(fs::exists(kept));
}

TEST_F(SoundTrackTest, FramesCountedAgainAfterFrameEdits) {
  tags = {SoundTag{"s.caf", {{49, 313}}, {{1, 8}}}};
  ZTPicManagerView& m = open();
  settings().limitFramesDict()["s.caf"] = 3;  // counts as 8
  m.selectedPage(1, false);
  m.duplicateANewPaper();  // 11 frames: the tag would cover 9
  EXPECT_EQ(project().soundTagPointsArray(), (std::vector<float>{49, 289}));
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 8}));
  EXPECT_EQ(tagView(0)->frame().width, 240);
  EXPECT_EQ(tagView(0)->beginFrameLb()->text(), "Start: 1");
  EXPECT_EQ(tagView(0)->endFrameLb()->text(), "End: 8");
  EXPECT_EQ(track().framesCount(), 11);
  EXPECT_EQ(stored()->soundTagPointsArray(), (std::vector<float>{49, 289}));
  // Fewer frames: the same marker reads fewer frames, uncapped.
  m.selectedPage(2, false);
  m.deleteSelectPaper();
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 7}));  // trunc(9 / 330 * 249 + 1)
  while (project().imagesArray().size() > 1) {
    m.selectedPage(1, false);
    m.deleteSelectPaper();
  }
  EXPECT_TRUE(project().soundTags().empty());
  EXPECT_TRUE(track().soundTagArray().empty());
  EXPECT_TRUE(stored()->soundTags().empty());
}

TEST_F(SoundTrackTest, OpeningSetsTheSoundSpeedAndClosingDropsTagsOffTheTimeline) {
  tags = {SoundTag{"a.caf", {{100, 160}}, {{3, 4}}}, SoundTag{"b.caf", {{340, 395}}, {{9, 10}}}};
  open();
  EXPECT_FLOAT_EQ(project().animationSpeed(), 0.5f);
  EXPECT_EQ(tagView(1)->fileName()->text(), "FN:b");
  host->tap({5, 5});  // the left side band closes the manager
  host->runUntilIdle();
  EXPECT_EQ(project().soundNameArray(), (std::vector<std::string>{"a.caf"}));
  EXPECT_EQ(stored()->soundTagPointsArray(), (std::vector<float>{100, 160}));
}

// Closing the frame manager while recording ends the recording as Stop does,
// and its tag is still placed and saved once its file is complete.
TEST_F(SoundTrackTest, ClosingTheFrameManagerDuringARecordingKeepsItsTag) {
  feedMicrophone(2);
  ZTPicManagerView& m = open();
  m.playView()->setPage(1);
  tapView(track().recorderBtn());
  host->advance(1.0);
  host->tap({5, 5});
  host->runUntilIdle();
  EXPECT_FALSE(AudioRecorderManager::sharedManager().hasRecorder());
  const std::vector<std::string> names = recordingsIn(fd::paths::documents());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(stored()->soundNameArray(), names);
  EXPECT_EQ(settings().limitFramesDict()[names[0]], 8);
}

TEST_F(SoundTrackTest, AnEmptyTagListStillSetsTheSoundSpeed) {
  open();
  EXPECT_FLOAT_EQ(project().animationSpeed(), 0.5f);
  EXPECT_TRUE(track().soundTagArray().empty());
}

TEST(SoundArtTest, EveryPictureIsDrawnAtBothScales) {
  for (const std::string& name : sound_art::pictures().names()) {
    const gfx::Image one = sound_art::pictures().draw(name, 1), two = sound_art::pictures().draw(name, 2);
    ASSERT_FALSE(one.empty()) << name;
    EXPECT_EQ(two.pixelWidth(), 2 * one.pixelWidth()) << name;
    EXPECT_EQ(two.pixelHeight(), 2 * one.pixelHeight()) << name;
    EXPECT_EQ(two.scale(), 2.0f) << name;
    // A drawn control, not a flat square: several colours and some clear pixels or edges.
    std::set<std::uint32_t> colours;
    for (int y = 0; y < two.pixelHeight(); y += 2)
      for (int x = 0; x < two.pixelWidth(); x += 2) {
        const auto* p = two.pixel(x, y);
        colours.insert(std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]);
      }
    EXPECT_GT(colours.size(), 6u) << name;
  }
  // The pressed look differs from the normal one.
  EXPECT_NE(sound_art::pictures().draw("add_record01.png", 1).pixel(22, 20)[0], sound_art::pictures().draw("add_record02.png", 1).pixel(22, 20)[0]);
  EXPECT_EQ(sound_art::pictures().names().size(), 18u);
  EXPECT_TRUE(sound_art::pictures().draw("no_such.png", 1).empty());
}

}  // namespace
