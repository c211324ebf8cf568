// The sound picker: which files it lists, the frame limits it records, the
// looping preview and the answers to its delegate.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "desk/sound/ZTSelectedAudioViewcontroller.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Paths.h"
#include "platform/media/AudioOutput.h"
#include "platform/ui/NavigationController.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;

void writeSound(const fs::path& path, double seconds, int format) {
  fs::create_directories(path.parent_path());
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = format | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<short> s(static_cast<std::size_t>(seconds * 44100), 1000);
  sf_write_short(f, s.data(), static_cast<sf_count_t>(s.size()));
  sf_close(f);
}

struct Answers : SelectedAudioDelegate {
  std::string name;
  fs::path path;
  int cancelled = 0;
  void selectedAudioViewController(ZTSelectedAudioViewcontroller&, const std::string& n, const fs::path& p) override {
    name = n;
    path = p;
  }
  void selectedAudioViewControllerDidCancel(ZTSelectedAudioViewcontroller&) override { ++cancelled; }
};

class SoundPickerTest : public testing_support::SandboxTest {
 protected:
  SoundPickerTest() {
    media::AudioOutput::shared().setManualRendering(true);
    ZTDataModel::resetSharedInstanceForTesting();
    docs = fd::paths::documents();
    writeSound(docs / "drum.caf", 4.0, SF_FORMAT_CAF);
    writeSound(docs / "SHOUT.WAV", 1.0, SF_FORMAT_WAV);
    writeSound(docs / "clips" / "bell.aif", 0.5, SF_FORMAT_AIFF);
    std::ofstream(docs / "song.mp3") << "not listed";
    std::ofstream(docs / "voice.m4a") << "not listed";
    std::ofstream(docs / "broken.caf") << "not a sound";
  }
  ~SoundPickerTest() override { ZTDataModel::resetSharedInstanceForTesting(); }
  static ZTDataModel& model() { return ZTDataModel::sharedInstance(); }
  std::vector<std::string> listedNames(ZTSelectedAudioViewcontroller& picker) {
    std::vector<std::string> names;
    for (const auto& p : picker.audioPathArray()) names.push_back(p.lexically_relative(docs).string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path docs;
};

TEST_F(SoundPickerTest, ListsCafAifAndWavInAnyCaseAndRecordsFrameLimitsOnce) {
  model().prjDataModel()->setAnimationSpeed(0.5f);
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  EXPECT_EQ(listedNames(*picker),
            (std::vector<std::string>{"SHOUT.WAV", "broken.caf", "clips/bell.aif", "drum.caf"}));
  auto& limits = model().extendDataModel().limitFramesDict();
  EXPECT_EQ(limits["drum.caf"], 25);  // 4.0 s at 0.16 s a frame
  EXPECT_EQ(limits["SHOUT.WAV"], 6);
  EXPECT_EQ(limits["clips/bell.aif"], 3);
  EXPECT_EQ(limits["broken.caf"], 0);  // unreadable: lasts nothing
  EXPECT_EQ(limits.count("song.mp3"), 0u);

  // At another speed a known sound keeps its limit; a new one gets its own.
  model().prjDataModel()->setAnimationSpeed(1.0f);
  writeSound(docs / "new.wav", 1.0, SF_FORMAT_WAV);
  auto again = ZTSelectedAudioViewcontroller::initWithStyle();
  ASSERT_EQ(again->audioPathArray().size(), 5u);
  EXPECT_EQ(limits["drum.caf"], 25);
  EXPECT_EQ(limits["new.wav"], 12);  // 1.0 s at 0.08 s a frame
}

TEST_F(SoundPickerTest, RowsShowNamesWithoutExtensionsAndPreviewLoops) {
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  ASSERT_NE(picker->view(), nullptr);
  ui::TableView& table = *picker->tableView();
  table.reloadData();
  const auto& paths = picker->audioPathArray();
  const auto drum = std::find(paths.begin(), paths.end(), docs / "drum.caf") - paths.begin();
  const auto shout = std::find(paths.begin(), paths.end(), docs / "SHOUT.WAV") - paths.begin();
  auto cell = picker->cellForRow(table, {0, static_cast<int>(drum)});
  EXPECT_EQ(cell->textLabel()->text(), "drum");

  EXPECT_EQ(picker->navigationItem().rightBarButtonItem(), nullptr);  // OK only after a choice
  picker->didSelectRow(table, {0, static_cast<int>(shout)});
  ASSERT_NE(picker->navigationItem().rightBarButtonItem(), nullptr);
  ASSERT_TRUE(picker->player() && picker->player()->isPlaying());
  std::vector<float> block(44100 * 3);
  media::ClipPlayer::waitForLoads();
  media::AudioOutput::shared().render(block.data(), block.size());  // three times the 1 s clip
  EXPECT_TRUE(picker->player()->isPlaying());  // it loops
  const auto first = picker->player();
  picker->didSelectRow(table, {0, static_cast<int>(drum)});
  EXPECT_NE(picker->player(), first);
  EXPECT_FALSE(first->isPlaying());
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 1u);  // the first preview stopped
}

TEST_F(SoundPickerTest, OkHandsTheChoiceOverAndCancelSaysSo) {
  auto picker = ZTSelectedAudioViewcontroller::initWithStyle();
  Answers answers;
  picker->setAudioSelectedDelegate(&answers);
  auto nav = std::make_shared<ui::NavigationController>(picker);
  ASSERT_NE(nav->view(), nullptr);
  ui::TableView& table = *picker->tableView();
  table.reloadData();
  const auto& paths = picker->audioPathArray();
  const int bell = static_cast<int>(std::find(paths.begin(), paths.end(), docs / "clips" / "bell.aif") - paths.begin());
  table.selectRow(ui::IndexPath{0, bell}, false, ui::ScrollPosition::None);
  picker->didSelectRow(table, {0, bell});
  picker->navigationItem().rightBarButtonItem()->trigger();
  EXPECT_EQ(answers.name, "bell");
  EXPECT_EQ(answers.path, docs / "clips" / "bell.aif");
  EXPECT_EQ(picker->player(), nullptr);
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);

  picker->didSelectRow(table, {0, bell});
  picker->navigationItem().leftBarButtonItem()->trigger();
  EXPECT_EQ(answers.cancelled, 1);
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
}

}  // namespace
