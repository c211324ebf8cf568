#pragma once
// The frame manager's sound track: a panel sliding in from the right over the
// depository, with a timeline of the project's frames, a cursor that follows
// the player, the sound tags, and the buttons that add a sound from the picker
// or record one while the player runs from the cursor to the last frame. It
// answers the player's delegate messages and runs its sound step, which starts
// and stops the clips as the cursor passes the tags.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desk/frames/SoundTagView.h"
#include "desk/frames/ZTPlayView.h"
#include "desk/sound/ZTSelectedAudioViewcontroller.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/Recorder.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

class ZTPicManagerView;

class SoundTrack : public ZTPlayViewDelegate,
                   public SelectedAudioDelegate,
                   public SoundTagViewDelegate,
                   public ui::ButtonSheetDelegate {
 public:
  // Alert tags the dismissal handler tells apart.
  static constexpr int kAlertMoveSlider = 2, kAlertDeleteSound = 3;
  static constexpr float kPanelWidth = 480, kPanelHeight = 80, kTabWidth = 40, kPanelY = 240;

  explicit SoundTrack(ZTPicManagerView& manager);
  ~SoundTrack() override;
  // Builds the panel and its tag views and adds it to the frame manager.
  void build();

  // --- controls
  void showAudioView();
  void addSound();
  void recorder(ui::Button* sender);
  // The end of the program: a recording under way ends as the stop button
  // ends it, and its file is waited for (a second at most) so that its tag is
  // placed and saved. Nothing happens when none is.
  void stopRecording();
  void deleteSound();
  // Shows the single-sound delete button: titled with the project's sound in
  // its sound look, or untitled in its recording look.
  void setDeleteSoundBtnState(bool isSound);

  // --- inner steps
  // Starts the recorder; false (and the track back as it was) when it cannot.
  bool recorder();
  // The recording's file is complete: what it holds is kept, with a tag
  // where there is room, and the user told when it holds less than was
  // recorded or gets no tag.
  void recordingWritten(const media::RecordingOutcome& outcome);
  void saveAudioFiles();
  // Places the recording's tag; false when there is no room for one.
  bool recorderFinished();
  void addSoundTagView();
  void countFrameForEveryAudio();
  void reSetAllSoundTagViewTag();
  void showSelectedAudioPopover();
  void stopAudio();
  // A finger moving over the frame manager, in its coordinates.
  void dragCursor(ui::Point inManager);
  // The frame manager closes: tags left outside the timeline go, every tag
  // view is taken down.
  void removeTagsOnClose();

  // --- ZTPlayViewDelegate
  void playDidBegin(bool forward) override;
  void playDidStop(ZTPlayView* player) override;
  void moveSliderBar(int page) override;
  int getPage() override;
  std::optional<PlaySoundStart> getPalySoundBeginAndEndFrameAndSoundName() override;
  void playMultiAudio(int page) override;

  // --- the picker, the tags and the alerts
  void selectedAudioViewController(ZTSelectedAudioViewcontroller& picker, const std::string& name,
                                   const std::filesystem::path& path) override;
  void selectedAudioViewControllerDidCancel(ZTSelectedAudioViewcontroller&) override {}
  void deleteSoundTagViewWithTag(int viewTag) override;
  void didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) override;

  // --- state
  ui::View* audioSelectedView() const { return audioSelectedView_.get(); }
  ui::ImageView* sliderBar() const { return sliderBar_.get(); }
  float cursorX() const;
  ui::Button* recorderBtn() const { return recorderBtn_.get(); }
  ui::Button* addSoundBtn() const { return addSoundBtn_.get(); }
  ui::Button* delSoundBtn() const { return delSoundBtn_.get(); }
  ui::Button* tabBtn() const { return tabBtn_.get(); }
  const std::vector<std::shared_ptr<SoundTagView>>& soundTagArray() const { return soundTagArray_; }
  int framesCount() const { return framesCount_; }
  bool isRecorder() const { return isRecorder_; }
  bool isShow() const { return isShow_; }
  float startRecorderPoint() const { return startRecorderPoint_; }
  // The file the running recording goes into, until its tag is placed;
  // empty between recordings.
  const std::filesystem::path& recordingFile() const { return recordingFile_; }

 private:
  std::shared_ptr<ui::Button> makeTrackButton(const ui::Rect& frame, const char* title, const char* normal,
                                              const char* pressed);
  std::shared_ptr<SoundTagView> makeTagView(const ui::Rect& frame, bool isCreate, const std::string& label);
  // Inserts a new tag [x, x + width] with the project's sound: lists, view,
  // renumbering and saving.
  void placeTag(float x, float width);
  void setRecordButtonIdle();
  // The player stopped in recording mode (or the recording by itself): the
  // recorder stops, and the tag waits for the file.
  void recordingStopped();
  void recordingEndedByItself();
  void placeRecordingWhenWritten();
  // Why the recording `name` got no tag, in words.
  std::string whyNoTag(const std::string& name, double seconds) const;
  // Why a recording holds less than was recorded, or has no tag, in words;
  // a tag is kept only once the project's list holding it is written.
  void tellAboutRecording(const std::string& name, const media::RecordingOutcome& outcome, bool tagged,
                          bool tagStored);
  void showAlert(const std::string& message, const std::string& button, int tag = 0, bool answered = false);
  void setTagsTakeTouches(bool on);

  ZTPicManagerView& manager_;
  std::shared_ptr<ui::ImageView> sliderBar_;
  std::shared_ptr<ui::Button> recorderBtn_, addSoundBtn_, delSoundBtn_, tabBtn_;
  bool isShow_ = false;
  std::shared_ptr<ui::View> audioSelectedView_;
  std::vector<std::shared_ptr<SoundTagView>> soundTagArray_;
  int framesCount_ = 0;
  bool isRecorder_ = false;
  float startRecorderPoint_ = 0;
  std::filesystem::path recordingFile_;
  // A recording stopped, where the cursor stood then, and its file once
  // complete: the tag is placed when both are known.
  bool recordingStopped_ = false;
  float recordingEndX_ = 0;
  std::optional<media::RecordingOutcome> recordingOutcome_;
  fd::TimerRef recordStart_;
  bool followingFinger_ = false;
  std::weak_ptr<ZTSelectedAudioViewcontroller> picker_;
};
