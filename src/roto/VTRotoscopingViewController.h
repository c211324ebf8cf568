#pragma once
// The rotoscoping screen: replays a recorded movie under a timeline of
// thumbnails, trims it between two handles, and exports ten pictures a second
// plus one, each as black strokes on transparency, to its delegate, which
// makes them a project. Landscape, presented modally by the launch screen.
#include <filesystem>
#include <memory>
#include <string>

#include "gpu/filters/sketch/GPUWhiteFilter.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"
#include "roto/DDGPUVideoView.h"
#include "roto/DDTimer.h"
#include "roto/DDTimestampView.h"
#include "roto/DDWaitingView.h"
#include "roto/QTSystemAVCodec.h"
#include "roto/RotoFrameExport.h"
#include "roto/VTMoviePlayer.h"

namespace roto {

class VTRotoscopingViewController;

class VTRotoscopingViewControllerDelegate {
 public:
  virtual ~VTRotoscopingViewControllerDelegate() = default;
  // One exported picture, on the export thread; index from 0; position 1
  // (middle ground) or 2 (foreground).
  virtual void vtRotoscopingViewControllerExportImage(const std::shared_ptr<const gfx::Image>& /*image*/,
                                                      int /*index*/, unsigned /*layPosition*/) {}
  // Whether the delegate hears the end of an export; without it the screen
  // stays open after exporting.
  virtual bool answersDidFinishExport() const { return false; }
  // On the main thread, after the screen has dismissed itself.
  virtual void vtRotoscopingViewControllerDidFinishExport(VTRotoscopingViewController*) {}
};

class VTRotoscopingViewController : public ui::ViewController,
                                   public DDGPUVideoViewDelegate,
                                   public DDTimestampViewDelegate,
                                   public DDTimerDelegate,
                                   public QTSystemAVCodecDelegate,
                                   public ui::ButtonSheetDelegate {
 public:
  static constexpr int kExportAlertTag = 102;

  VTRotoscopingViewController();
  ~VTRotoscopingViewController() override;

  void setDelegate(VTRotoscopingViewControllerDelegate* d) { delegate_ = d; }
  void loadView() override;
  void viewDidLoad() override;

  // --- the buttons' actions
  void recordAction();
  void playAction();
  void trimAction();
  void saveAction();
  void closeAction();
  void closeWithAnimated(bool animated);

  // --- callbacks it serves
  void ddGpuVideoViewDidEndRecordAtPath(DDGPUVideoView*, const std::string& path) override;
  // Hides the waiting view; a camera that could not be opened is told in an
  // alert, and the test pattern is filmed instead.
  void ddGpuVideoViewDidOpenCamera(DDGPUVideoView*, const std::string& failure) override;
  void ddTimerDidFiredWithTotalTime(double total) override;
  void ddTimestampViewDidIndicatorSelect(DDTimestampView*, int style) override;
  void ddTimestampView(DDTimestampView*, float time, int style) override;
  void ddTimestampViewDidIndicatorEndSelect(DDTimestampView*, float time, int style) override;
  void qtSystemAVCodecDidCropAVFileAndSaved(QTSystemAVCodec*, const std::string& path) override;
  void qtSystemAVCodecFailedCropAVFile(QTSystemAVCodec*, const std::string& error) override;
  void clickedButtonAtIndex(ui::ButtonSheet& sheet, int index) override;

  // The camera's orientation for an interface orientation: 1 and 3 give 4,
  // 2 gives 2, 4 gives 3, anything else itself.
  static int invertInterfaceOrientation(int orientation);

  // --- state, for the owner and tests
  DDGPUVideoView* videoView() const { return videoView_.get(); }
  unsigned position() const { return position_; }
  const ui::Rect& videoCameraRect() const { return videoCameraRect_; }
  bool isCurrentRecord() const { return isCurrentRecord_; }
  bool isCurrentPlay() const { return isCurrentPlay_; }
  bool isCurrentTrim() const { return isCurrentTrim_; }
  int curThumbnailNumber() const { return curThumbnailNumber_; }
  int totalExportNumber() const { return totalExportNumber_; }
  const std::string& savedPath() const { return savedPath_; }
  VTMoviePlayer* moviePlayer() const { return moviePlayer_.get(); }
  DDTimestampView* timestampView() const { return timestampView_.get(); }
  DDWaitingView* waitingView() const { return waitingView_.get(); }
  ui::Label* timeLabel() const { return timeLabel_.get(); }
  ui::Button* closeButton() const { return closeButton_.get(); }
  ui::Button* playButton() const { return playButton_.get(); }
  ui::Button* recordButton() const { return recordButton_.get(); }
  ui::Button* saveButton() const { return saveButton_.get(); }
  ui::Button* trimButton() const { return trimButton_.get(); }
  const DDTimer& timer() const { return timer_; }

 private:
  void afterRecordAction();
  // A recording that can be replayed, trimmed and exported.
  bool hasMovie() const;
  void setPlayView();
  void videoHasLoaded();
  void thumbnailLoaded(std::optional<gfx::Image> thumbnail);
  void videoHasFinishedPlaying(int reason);
  void resetMoviePlayer();
  void pause();
  void save();
  void trimVideo();
  void updateWaitingView();
  void finishedExport();
  void showLabelTime(double t);
  std::shared_ptr<ui::Button> makeButton(const ui::Rect& frame, const std::string& art,
                                         const std::string& selectedArt, void (VTRotoscopingViewController::*action)());
  // Runs fn on the main loop while this screen lives.
  void onMain(std::function<void(VTRotoscopingViewController&)> fn);

  unsigned position_ = 1;
  ui::Rect videoCameraRect_;
  std::shared_ptr<DDGPUVideoView> videoView_;
  std::shared_ptr<DDWaitingView> waitingView_;
  DDTimer timer_;
  bool isCurrentRecord_ = false;
  bool isCurrentPlay_ = false;
  bool isCurrentTrim_ = false;
  int curThumbnailNumber_ = 0;
  std::shared_ptr<GPUWhiteFilter> whiteFilter_;
  int totalExportNumber_ = 0;
  int currentExportNumber_ = 0;
  std::shared_ptr<ui::Label> timeLabel_;
  std::shared_ptr<ui::Button> closeButton_, playButton_, recordButton_, saveButton_, trimButton_;
  std::shared_ptr<DDTimestampView> timestampView_;
  std::string savedPath_;
  // Why the recording could not be written; no message when it was.
  fd::Failure recordingFailure_;
  std::unique_ptr<VTMoviePlayer> moviePlayer_;
  std::unique_ptr<QTSystemAVCodec> codec_;
  RotoFrameExport export_;
  VTRotoscopingViewControllerDelegate* delegate_ = nullptr;
};

}  // namespace roto
