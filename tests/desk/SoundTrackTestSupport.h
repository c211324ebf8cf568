#pragma once
// The frame manager opened on the desk with the sound track's panel slid in,
// the sound output rendered by hand, and the project's tags prepared before
// the desk opens it.
#include <cmath>
#include <vector>

#include "desk/DeskTestSupport.h"
#include "desk/frames/PictureLoad.h"
#include "desk/frames/SoundTagView.h"
#include "desk/frames/SoundTrack.h"
#include "desk/frames/ZTPicManagerView.h"
#include "desk/sound/AudioRecorderManager.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "platform/media/AudioCapture.h"
#include "platform/media/AudioFile.h"
#include "platform/media/AudioOutput.h"
#include "platform/ui/Alert.h"

namespace sound_test {

// A tone of that many seconds; each sample distinct enough to be compared.
inline std::vector<float> tone(double seconds) {
  std::vector<float> s(static_cast<std::size_t>(seconds * 44100));
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = std::round(0.4f * std::sin(float(i) * 0.031f) * 32768) / 32768;
  return s;
}

class SoundTrackTest : public desk_test::DeskTest {
 protected:
  SoundTrackTest() { media::AudioOutput::shared().setManualRendering(true); }
  void TearDown() override {
    picture_load::waitAll();
    stop();
    AudioRecorderManager::sharedManager().completeRecording();
    media::setCaptureInputFile(std::nullopt);
  }
  void prepareModel() override {
    model().setShowPicSimple(false);
    while (static_cast<int>(project().imagesArray().size()) < frames) ASSERT_TRUE(project().createImageAtPage(1));
    project().setAnimationSpeed(0.25f);
    project().setSoundTags(tags);
    ASSERT_TRUE(project().saveData());
  }

  // The microphone plays a tone of that many seconds; its samples.
  std::vector<float> feedMicrophone(double seconds) {
    std::vector<float> fed = tone(seconds);
    EXPECT_TRUE(media::writeMonoCaf(root() / "mic.caf", fed));
    media::setCaptureInputFile(root() / "mic.caf");
    return fed;
  }

  // The frame manager with the sound panel slid in.
  ZTPicManagerView& open() {
    start(tall);
    tapView(desk->frameManagerBtn());
    manager = dynamic_cast<ZTPicManagerView*>(desk->picManagerView());
    EXPECT_NE(manager, nullptr);
    picture_load::waitAll();
    host->runUntilIdle();
    if (!track().isShow()) tapView(track().tabBtn());
    host->runUntilIdle();
    return *manager;
  }
  SoundTrack& track() { return *manager->soundTrack(); }
  void setCursor(float x) {
    ui::Rect f = track().sliderBar()->frame();
    f.x = x;
    track().sliderBar()->setFrame(f);
  }
  // A point of the sound panel in screen points.
  ui::Point onPanel(float x, float y) {
    return track().audioSelectedView()->convertPointTo({x, y}, nullptr);
  }
  SoundTagView* tagView(std::size_t i) {
    return i < track().soundTagArray().size() ? track().soundTagArray()[i].get() : nullptr;
  }
  static std::string visibleAlertMessage() {
    auto sheets = ui::visibleButtonSheets();
    return sheets.empty() ? std::string() : sheets.back()->message();
  }
  // The project as stored on disk.
  std::shared_ptr<ProjectDataModel> stored() { return ProjectDataModel::initWithProjectName(project().curProjectName()); }

  int frames = 10;
  bool tall = false;
  std::vector<SoundTag> tags;
  ZTPicManagerView* manager = nullptr;
};

}  // namespace sound_test
