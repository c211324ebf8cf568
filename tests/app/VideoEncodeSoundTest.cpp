// The movie encoder's sound merge, alone and driving a project combination.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/videoEncode.h"
#include "graphics/MemoryCeiling.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StopRequest.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/media/AudioFile.h"
#include "platform/ui/Alert.h"
#include "support/Sandbox.h"
#include "support/SoundFiles.h"

namespace {

namespace fs = std::filesystem;

class Answer : public SoundMergerDelegate {
 public:
  void combineAudioFinishedwithSoundNameArray(const std::vector<std::string>& names) override {
    soundNames = names;
    onMain = fd::isMainThread();
    done = true;
  }
  std::vector<std::string> soundNames;
  bool onMain = true;
  std::atomic<bool> done{false};
};

class VideoEncodeSoundTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    ZTDataModel::resetSharedInstanceForTesting();
    SoundMerger::setFactory({});
  }
  void TearDown() override {
    ZTDataModel::resetSharedInstanceForTesting();
    SoundMerger::setFactory({});
  }

  // A project of `frames` frames at `speed` with one tag per (start, sound).
  void makeProject(const std::string& name, int frames, float speed,
                   const std::vector<std::pair<int, std::string>>& tags) {
    std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
    for (int i = 1; i < frames; ++i) p->createImageAtPage(i);
    p->setAnimationSpeed(speed);
    std::vector<SoundTag> soundTags;
    for (const auto& [start, sound] : tags) soundTags.push_back(SoundTag{sound, {{49.0f, 80.0f}}, {{start, start + 1}}});
    p->setSoundTags(std::move(soundTags));
    p->saveData();
  }

  static std::vector<float> constantClip(std::size_t n, float value) { return std::vector<float>(n, value); }

  static std::vector<std::int16_t> readShorts(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) return {};
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_CAF | SF_FORMAT_PCM_16);
    std::vector<std::int16_t> s(static_cast<std::size_t>(info.frames));
    sf_read_short(f, s.data(), info.frames);
    sf_close(f);
    return s;
  }

  // `seconds` only guards against a hang: sanitizer builds are slow.
  static void waitFor(const std::atomic<bool>& flag, int seconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!flag && std::chrono::steady_clock::now() < deadline) {
      fd::RunLoop::main().runUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(flag);
  }
};

TEST_F(VideoEncodeSoundTest, EachProjectWithSoundGetsOneMixedRecording) {
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", constantClip(1000, 1000.0f / 32768)));
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "two.caf", constantClip(1000, 2000.0f / 32768)));
  // Tags at frames 1 and 3 at speed 0.5: the second starts 2 * 0.16 s in.
  makeProject("A", 4, 0.5f, {{1, "one.caf"}, {3, "two"}});
  makeProject("Silent", 2, 0.25f, {});
  makeProject("B", 2, 1.0f, {{2, "one.caf"}});

  videoEncode encoder;
  Answer answer;
  encoder.setDelegate(&answer);
  encoder.mergerAudioOfProjectWithProjectName({"A", "Silent", "B"});
  waitFor(answer.done);
  EXPECT_FALSE(answer.onMain) << "the answer comes from the export's thread";
  ASSERT_EQ(answer.soundNames.size(), 2u);
  for (const std::string& name : answer.soundNames) {
    EXPECT_EQ(name.substr(0, 3), "Rec");
    EXPECT_EQ(name.size(), 3u + 17u + 4u);
  }
  EXPECT_NE(answer.soundNames[0], answer.soundNames[1]);

  const std::vector<std::int16_t> a = readShorts(fd::paths::documents() / answer.soundNames[0]);
  const std::size_t second = 14112;
  ASSERT_EQ(a.size(), second + 1000);
  EXPECT_EQ(a[0], 1000);
  EXPECT_EQ(a[999], 1000);
  EXPECT_EQ(a[1000], 0);
  EXPECT_EQ(a[second - 1], 0);
  EXPECT_EQ(a[second], 2000);
  const std::vector<std::int16_t> b = readShorts(fd::paths::documents() / answer.soundNames[1]);
  ASSERT_EQ(b.size(), 3528u + 1000u);  // frame 2 at 0.08 s
  EXPECT_EQ(b[3527], 0);
  EXPECT_EQ(b[3528], 1000);
}

// The program asked to end while the merge reads the projects (a long
// project's list takes a while): no further project is read and nothing is
// mixed, and the combination is told no sounds at once, to give up at its
// first step.
TEST_F(VideoEncodeSoundTest, AnEndAskedWhileTheProjectsAreReadMixesNothing) {
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", constantClip(1000, 0.25f)));
  makeProject("A", 2, 0.5f, {{1, "one.caf"}});
  makeProject("B", 2, 0.5f, {{1, "one.caf"}});
  int looks = 0;
  fd::setEndWatch([&] { return ++looks >= 2; });  // asked once A was read
  videoEncode encoder;
  Answer answer;
  encoder.setDelegate(&answer);
  encoder.mergerAudioOfProjectWithProjectName({"A", "B"});
  fd::setEndWatch({});
  ASSERT_TRUE(answer.done) << "the answer waited for a mix";
  EXPECT_TRUE(answer.soundNames.empty());
  EXPECT_EQ(fd::files::contentsOfDirectory(fd::paths::documents()), std::vector<std::string>{"one.caf"});
}

TEST_F(VideoEncodeSoundTest, AProjectWhoseMixFailsKeepsItsPlaceInTheAnswer) {
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", constantClip(100, 0.25f)));
  makeProject("Lost", 2, 0.5f, {{1, "missing.caf"}});
  makeProject("B", 2, 0.5f, {{1, "one.caf"}});

  videoEncode encoder;
  Answer answer;
  encoder.setDelegate(&answer);
  encoder.mergerAudioOfProjectWithProjectName({"Lost", "B"});
  waitFor(answer.done);
  ASSERT_EQ(answer.soundNames.size(), 2u) << "one name per project with sound, failed or not";
  EXPECT_FALSE(fs::exists(fd::paths::documents() / answer.soundNames[0]));
  EXPECT_EQ(readShorts(fd::paths::documents() / answer.soundNames[1]).size(), 100u)
      << "the second name is the second project's mix";
}

TEST_F(VideoEncodeSoundTest, ASoundThatCannotBePlayedIsLeftOutOfTheMixAndTheUserIsTold) {
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", constantClip(100, 0.25f)));
  // 1 MB at 2 Hz: six days of sound, were it read as it claims.
  testing_support::writeSineWav8(fd::paths::documents() / "slow.wav", 2, std::size_t{1} << 20);
  makeProject("A", 3, 0.5f, {{1, "one.caf"}, {2, "slow.wav"}});
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{512} << 20, [&] {
    videoEncode encoder;
    Answer answer;
    encoder.setDelegate(&answer);
    encoder.mergerAudioOfProjectWithProjectName({"A"});
    waitFor(answer.done);
    fd::RunLoop::main().runUntilIdle();
    ASSERT_EQ(answer.soundNames.size(), 1u);
    EXPECT_EQ(readShorts(fd::paths::documents() / answer.soundNames[0]), std::vector<std::int16_t>(100, 8192));
    const auto alerts = ui::visibleButtonSheets();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title(), fd::Localized("This sound cannot be played"));
    EXPECT_NE(alerts[0]->message().find("\"slow.wav\" has a sample rate of 2 Hz"), std::string::npos)
        << alerts[0]->message();
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

// A project whose list is gigabytes has no sound to mix: it is passed over at
// once, unread and left where it is, and the others are mixed.
TEST_F(VideoEncodeSoundTest, AProjectWithAHugeListIsPassedOverUnread) {
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", constantClip(100, 0.25f)));
  makeProject("Huge", 2, 0.5f, {{1, "one.caf"}});
  makeProject("B", 2, 0.5f, {{1, "one.caf"}});
  const fs::path plist = ProjectDataModel::initWithProjectName("Huge")->plistFilePath();
  fs::resize_file(plist, std::uintmax_t{3} << 30);  // sparse: no disk is taken
  fd::takeDamagedFileReports();
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{512} << 20, [&] {
    videoEncode encoder;
    Answer answer;
    encoder.setDelegate(&answer);
    encoder.mergerAudioOfProjectWithProjectName({"Huge", "B"});
    waitFor(answer.done);
    ASSERT_EQ(answer.soundNames.size(), 1u) << "B's mix only";
    EXPECT_EQ(readShorts(fd::paths::documents() / answer.soundNames[0]).size(), 100u);
    EXPECT_EQ(fs::file_size(plist), std::uintmax_t{3} << 30);
    EXPECT_TRUE(fd::takeDamagedFileReports().empty());
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(VideoEncodeSoundTest, AClipTaggedAHundredTimesIsMixedWithinOneBoundForTheWholeCombination) {
  // Ten minutes at 4000 Hz (4.8 MB), every sample 100: twenty clips of it
  // fill the most samples a combination adds; the rest are left out, and so
  // is the next project's sound.
  {
    SF_INFO info{};
    info.samplerate = 4000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open((fd::paths::documents() / "long.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    const std::vector<short> samples(600 * 4000, 100);
    ASSERT_EQ(sf_write_short(f, samples.data(), static_cast<sf_count_t>(samples.size())), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
  }
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", constantClip(100, 0.25f)));
  makeProject("A", 2, 0.5f, std::vector<std::pair<int, std::string>>(100, {1, "long.wav"}));
  makeProject("B", 2, 0.5f, {{1, "one.caf"}});

  videoEncode encoder;
  Answer answer;
  encoder.setDelegate(&answer);
  encoder.mergerAudioOfProjectWithProjectName({"A", "B"});
  waitFor(answer.done, 300);
  fd::RunLoop::main().runUntilIdle();
  ASSERT_EQ(answer.soundNames.size(), 2u);
  const std::vector<std::int16_t> a = readShorts(fd::paths::documents() / answer.soundNames[0]);
  ASSERT_EQ(a.size(), 600u * 44100);
  EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](std::int16_t s) { return s == 2000; }));
  EXPECT_FALSE(fs::exists(fd::paths::documents() / answer.soundNames[1]));
  const auto alerts = ui::visibleButtonSheets();
  ASSERT_EQ(alerts.size(), 1u);
  const std::string told = alerts[0]->message();
  EXPECT_EQ(told,
            "While the projects' sounds were mixed:\n"
            "\"long.wav\" is left out: the sounds mixed before it are as much as is mixed at one time.\n"
            "\"one.caf\" is left out: the sounds mixed before it are as much as is mixed at one time.\n");
}

TEST_F(VideoEncodeSoundTest, WithoutSoundTheAnswerComesAtOnce) {
  makeProject("Silent", 2, 0.5f, {});
  videoEncode encoder;
  Answer answer;
  encoder.setDelegate(&answer);
  encoder.mergerAudioOfProjectWithProjectName({"Silent", "../bad"});
  EXPECT_TRUE(answer.done);
  EXPECT_TRUE(answer.soundNames.empty());
}

TEST_F(VideoEncodeSoundTest, ACombinationThroughTheRegisteredMerger) {
  videoEncode::registerAsSoundMerger();
  ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "one.caf", constantClip(500, 0.25f)));
  makeProject("A", 3, 0.5f, {{1, "one.caf"}});
  makeProject("B", 2, 0.5f, {{1, "one.caf"}});
  struct Finish : ZTDataModelDelegate {
    void combineFinish() override { done = true; }
    std::atomic<bool> done{false};
  } finish;
  ZTDataModel& m = ZTDataModel::sharedInstance();
  m.setProjectsNameArray({"test", "A", "B"});
  m.setDelegate(&finish);
  m.combineSoundFileWithProject({"A", "B"});
  waitFor(finish.done);
  m.setDelegate(nullptr);
  std::shared_ptr<ProjectDataModel> t = ProjectDataModel::initWithProjectName("A");
  ASSERT_EQ(t->soundNameArray().size(), 2u);
  EXPECT_EQ(t->soundFrameArray(), (std::vector<int>{1, 2, 4, 5}));
  for (const std::string& name : t->soundNameArray()) EXPECT_TRUE(fs::exists(fd::paths::documents() / name));
  EXPECT_EQ(m.projectsNameArray(), (std::vector<std::string>{"test", "A"}));
}

}  // namespace
