#include "roto/VTRotoscopingViewController.h"

#include "platform/foundation/Localized.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "desk/VTImageCache.h"
#include "model/ProjectNotice.h"
#include "gpu/filters/sketch/GPUSketchFilters.h"
#include "roto/ImageExtensions.h"
#include "roto/RotoArt.h"
#include "services/DevicePlatform.h"

namespace roto {

namespace {

constexpr const char* kTimeFormat = "%d%d:%d%d:%d%d";
constexpr int kThumbnailCount = 15;
constexpr float kTimelineHeight = 76;
constexpr float kThumbnailHeight = 60;
// A trim keeps at least this much of the movie.
constexpr float kMinimumTrim = 1.0f;
constexpr const char* kHandleArt = "rotoscroping_trim_limited@2x.png";

// The screen's layout for the two phone widths: the camera rectangle and the
// button column beside it.
struct Layout {
  ui::Rect camera;
  float buttonsX;
  float closeX;
};
constexpr Layout kRegular{{83, 13, 314, 236}, 410, 16};
constexpr Layout kTall{{127, 13, 314, 236}, 470, 40};

const Layout& layout() { return UIDevicePlatform::isiPhone5Platform() ? kTall : kRegular; }

// A reason from below (it may begin with a file's name, whose case is its
// own) as a sentence of an alert.
std::string asSentence(std::string text) {
  if (!text.empty() && text.back() != '.') text += '.';
  return text;
}

// The screen is landscape only.
ui::Size screenSize() {
  return UIScreenSize::currentScreenSizeWithInterfaceOrientation(GPUInterfaceOrientationLandscapeRight);
}

}  // namespace

VTRotoscopingViewController::VTRotoscopingViewController()
    : videoCameraRect_(layout().camera), whiteFilter_(std::make_shared<GPUWhiteFilter>()) {}

VTRotoscopingViewController::~VTRotoscopingViewController() {
  // Nothing of an export or a trim in flight may reach a screen that is gone.
  export_.cancel();
  timer_.endTimer();
  if (codec_) codec_->wait();
  if (videoView_) videoView_->setDelegate(nullptr);
}

void VTRotoscopingViewController::onMain(std::function<void(VTRotoscopingViewController&)> fn) {
  std::weak_ptr<ViewController> weak = weak_from_this();
  fd::performOnMain([weak, fn] {
    if (auto self = std::static_pointer_cast<VTRotoscopingViewController>(weak.lock())) fn(*self);
  }, false);
}

std::shared_ptr<ui::Button> VTRotoscopingViewController::makeButton(const ui::Rect& frame, const std::string& art,
                                                                    const std::string& selectedArt,
                                                                    void (VTRotoscopingViewController::*action)()) {
  auto b = ui::Button::make(ui::ButtonType::Custom, frame);
  b->setImage(roto_art::named(art));
  if (!selectedArt.empty()) b->setImage(roto_art::named(selectedArt), ui::StateSelected);
  b->addTarget(this, [this, action](ui::Control*, const ui::Event*) { (this->*action)(); }, ui::TouchUpInside);
  return b;
}

void VTRotoscopingViewController::loadView() {
  const ui::Size s = screenSize();
  auto root = std::make_shared<ui::View>(ui::Rect{0, 0, s.width, s.height});
  root->setBackgroundColor({0.08f, 0.08f, 0.1f, 1});
  const Layout& l = layout();
  closeButton_ = makeButton({l.closeX, 13, 44, 44}, "roto_close", "", &VTRotoscopingViewController::closeAction);
  recordButton_ = makeButton({l.buttonsX, 20, 56, 56}, "roto_record", "roto_record_selected",
                             &VTRotoscopingViewController::recordAction);
  playButton_ = makeButton({l.buttonsX, 20, 56, 56}, "roto_play", "roto_pause", &VTRotoscopingViewController::playAction);
  trimButton_ = makeButton({l.buttonsX, 90, 56, 56}, "roto_trim", "", &VTRotoscopingViewController::trimAction);
  saveButton_ = makeButton({l.buttonsX, 160, 56, 56}, "roto_save", "", &VTRotoscopingViewController::saveAction);
  // Before the first recording only record and close act.
  playButton_->setHidden(true);
  playButton_->setEnabled(false);
  saveButton_->setEnabled(false);
  trimButton_->setHidden(true);
  for (const auto& b : {closeButton_, recordButton_, playButton_, trimButton_, saveButton_}) root->addSubview(b);
  setView(root);
}

void VTRotoscopingViewController::viewDidLoad() {
  ui::View* root = view();
  const ui::Rect& r = videoCameraRect_;
  videoView_ = std::make_shared<DDGPUVideoView>(r);
  videoView_->setDelegate(this);
  auto blur = std::make_shared<GPUGrayscaleGaussianBlurColorInvertFilter>();
  blur->setBlurSize(1.0f);
  videoView_->setVideoRecordFilter(std::make_shared<GPUGrayscaleFilter>(), blur, std::make_shared<GPUAddBlendFilter>());
  root->addSubview(videoView_);

  timeLabel_ = std::make_shared<ui::Label>(ui::Rect{r.x + 5, r.y, r.width - 10, 30});
  timeLabel_->setBackgroundColor(ui::Color::clear());
  timeLabel_->setTextColor({0, 0, 0, 1});
  timeLabel_->setTextAlignment(ui::TextAlignment::Right);
  timeLabel_->setText("00:00:00");
  timeLabel_->setHidden(true);
  root->addSubview(timeLabel_);

  const ui::Size s = screenSize();
  timestampView_ = std::make_shared<DDTimestampView>(ui::Rect{0, s.height - kTimelineHeight, s.width, kTimelineHeight});
  timestampView_->setDelegate(this);
  // The same picture marks the play position and both handles.
  timestampView_->setTimestampIndicatorImage(VTImageCache::imageNamed(kHandleArt), kDDTimestampItemNormal);
  timestampView_->setFirstCropImage(VTImageCache::imageNamed(kHandleArt), kDDTimestampItemNormal);
  timestampView_->setLastCropImage(VTImageCache::imageNamed(kHandleArt), kDDTimestampItemNormal);
  timestampView_->setCropTrimFirstMaskWidth(5);
  timestampView_->setCropTrimLastMaskWidth(4);
  timestampView_->setCropMaskHight(16);
  timestampView_->setHidden(true);
  root->addSubview(timestampView_);

  waitingView_ = std::make_shared<DDWaitingView>();
  root->addSubview(waitingView_);
  // The camera opens off the main thread; the screen waits for it.
  if (!videoView_->isCameraOpen()) waitingView_->show();
  timer_.setDelegate(this);
  // The camera turns its pictures for the screen's landscape orientation at once.
  videoView_->setVideoRecordOrientation(invertInterfaceOrientation(GPUInterfaceOrientationLandscapeRight));
}

int VTRotoscopingViewController::invertInterfaceOrientation(int orientation) {
  switch (orientation) {
    case GPUInterfaceOrientationPortrait: return GPUInterfaceOrientationLandscapeLeft;
    case GPUInterfaceOrientationPortraitUpsideDown: return GPUInterfaceOrientationPortraitUpsideDown;
    case GPUInterfaceOrientationLandscapeRight: return GPUInterfaceOrientationLandscapeLeft;
    case GPUInterfaceOrientationLandscapeLeft: return GPUInterfaceOrientationLandscapeRight;
    default: return orientation;
  }
}

// --- recording

void VTRotoscopingViewController::recordAction() {
  if (timeLabel_->isHidden()) timeLabel_->setHidden(false);
  if (!videoView_) return;  // the screen records once
  if (!isCurrentRecord_) {
    videoView_->prepareForVideoRecordingWithPath(VTRotoscopingFileManager::recordSaveFilePath());
    videoView_->startRecord();
    recordButton_->setSelected(true);
    timer_.startTimerWithTimeInterval(1.0);
  } else {
    videoView_->endRecord();
    recordButton_->setSelected(false);
    timer_.endTimer();
  }
  isCurrentRecord_ = !isCurrentRecord_;
}

void VTRotoscopingViewController::ddGpuVideoViewDidOpenCamera(DDGPUVideoView* view, const std::string& failure) {
  if (view != videoView_.get()) return;
  waitingView_->hidden();
  if (failure.empty()) return;
  ui::AlertView::make(fd::Localized("The camera could not be opened"),
                      asSentence(failure) + "\n" + fd::Localized("The test pattern is filmed instead."), nullptr,
                      fd::Localized("OK"))
      ->show();
}

void VTRotoscopingViewController::ddGpuVideoViewDidEndRecordAtPath(DDGPUVideoView*, const std::string& path) {
  savedPath_ = path;
  onMain([](VTRotoscopingViewController& s) { s.afterRecordAction(); });
}

void VTRotoscopingViewController::afterRecordAction() {
  // Freeing the camera view stops the camera once the movie is written.
  if (videoView_) {
    videoView_->waitForRecording();
    recordingFailure_ = videoView_->recordingFailure();
    // A camera that never answered is not waited for any longer.
    if (!videoView_->isCameraOpen()) waitingView_->hidden();
    videoView_->removeFromSuperview();
  }
  videoView_.reset();
  onMain([](VTRotoscopingViewController& s) { s.setPlayView(); });
}

void VTRotoscopingViewController::setPlayView() {
  moviePlayer_ = std::make_unique<VTMoviePlayer>(savedPath_);
  moviePlayer_->onPlaybackDidFinish = [this](int reason) { videoHasFinishedPlaying(reason); };
  moviePlayer_->onDurationAvailable = [this] { videoHasLoaded(); };
  moviePlayer_->view()->setFrame(videoCameraRect_);
  moviePlayer_->view()->setBackgroundColor(ui::Color::clear());
  moviePlayer_->prepareToPlay();
  view()->insertSubviewBelow(moviePlayer_->view(), timeLabel_.get());
  recordButton_->setHidden(true);
  if (!moviePlayer_->isLoaded()) {
    // Nothing to replay, trim or export: say so and offer only the way out,
    // in words: the recording's file is the screen's own, and the reasons
    // below name it and speak the libraries' language.
    const bool made = recordingFailure_.message.empty();
    fd::Log("The recording cannot be replayed: %s\n",
            (made ? moviePlayer_->loadError() : recordingFailure_.message).c_str());
    ui::AlertView::make(fd::Localized(made ? "The recording could not be played" : "The recording could not be made"),
                        made ? fd::Localized("Its movie cannot be read.")
                             : fd::filled("Its movie could not be written: %@.",
                                          {notWrittenInWords(recordingFailure_, "the Documents folder")}),
                        nullptr, fd::Localized("OK"))
        ->show();
    return;
  }
  timeLabel_->setText("00:00:00");
  view()->bringSubviewToFront(timeLabel_.get());
  timestampView_->setHidden(false);
  playButton_->setEnabled(true);
  playButton_->setHidden(false);
  saveButton_->setEnabled(true);
  trimButton_->setHidden(false);
  view()->bringSubviewToFront(waitingView_.get());
}

// --- timeline

void VTRotoscopingViewController::videoHasLoaded() {
  moviePlayer_->onDurationAvailable = nullptr;
  pause();
  const double d = moviePlayer_->duration();
  timestampView_->setMaxTime(static_cast<float>(d));
  timestampView_->setIndicatorTime(0);
  std::vector<double> times;
  for (int i = 0; i < kThumbnailCount; ++i) times.push_back(i * (d / kThumbnailCount));
  timestampView_->clearBackgroundSubView();
  curThumbnailNumber_ = 0;
  moviePlayer_->onThumbnail = [this](std::optional<gfx::Image> t) { thumbnailLoaded(std::move(t)); };
  moviePlayer_->requestThumbnailImagesAtTimes(times, VTMoviePlayer::kOptionNearestKeyFrame);
}

void VTRotoscopingViewController::thumbnailLoaded(std::optional<gfx::Image> thumbnail) {
  if (!thumbnail) return;  // a failed thumbnail takes no slot
  const float slot = timestampView_->bounds().width / kThumbnailCount;
  auto image = std::make_shared<ui::ImageView>(
      ui::Rect{curThumbnailNumber_ * slot, timestampView_->cropMaskHight(), slot, kThumbnailHeight});
  image->setImage(ui::Picture(imageByScalingToSize(*thumbnail, {2 * slot, 120})));
  timestampView_->addBackgroundSubView(image);
  if (++curThumbnailNumber_ < kThumbnailCount) return;
  moviePlayer_->cancelAllThumbnailImageRequests();
  moviePlayer_->onThumbnail = nullptr;
}

void VTRotoscopingViewController::showLabelTime(double t) {
  timeLabel_->setText(DDTimer::timeIntervalToString(t, kTimeFormat));
}

void VTRotoscopingViewController::ddTimerDidFiredWithTotalTime(double total) {
  if (isCurrentPlay_ && moviePlayer_) {
    timestampView_->setIndicatorTime(static_cast<float>(moviePlayer_->currentPlaybackTime()));
    showLabelTime(moviePlayer_->currentPlaybackTime());
  } else {
    showLabelTime(total);
  }
}

// --- replay

void VTRotoscopingViewController::playAction() {
  if (!moviePlayer_) return;
  if (isCurrentPlay_) {
    timer_.endTimer();
    moviePlayer_->pause();
    playButton_->setSelected(false);
  } else {
    isCurrentTrim_ = false;
    timestampView_->setMode(0);
    timer_.startTimerWithTimeInterval(static_cast<double>(0.1f));
    moviePlayer_->play();
    playButton_->setSelected(true);
  }
  isCurrentPlay_ = !isCurrentPlay_;
}

void VTRotoscopingViewController::pause() {
  isCurrentPlay_ = true;
  playAction();
}

void VTRotoscopingViewController::videoHasFinishedPlaying(int reason) {
  if (reason != VTMoviePlayer::kFinishReasonPlaybackEnded) return;
  pause();
  timestampView_->setIndicatorTime(static_cast<float>(moviePlayer_->duration()));
}

void VTRotoscopingViewController::ddTimestampViewDidIndicatorSelect(DDTimestampView*, int style) {
  if (style == kDDTimestampStyleNone) return;
  pause();
}

void VTRotoscopingViewController::ddTimestampView(DDTimestampView*, float t, int style) {
  if (style == kDDTimestampStyleNone || !moviePlayer_) return;
  const double now = moviePlayer_->currentPlaybackTime();
  if (t > now)
    moviePlayer_->beginSeekingForward();
  else if (t < now)
    moviePlayer_->beginSeekingBackward();
  else
    return;
  moviePlayer_->setCurrentPlaybackTime(t);
  showLabelTime(t);
}

void VTRotoscopingViewController::ddTimestampViewDidIndicatorEndSelect(DDTimestampView*, float t, int style) {
  if (style == kDDTimestampStyleNone || !moviePlayer_) return;
  moviePlayer_->setCurrentPlaybackTime(t);
  moviePlayer_->endSeeking();
  moviePlayer_->pause();
}

// --- trimming

bool VTRotoscopingViewController::hasMovie() const { return moviePlayer_ && moviePlayer_->isLoaded(); }

void VTRotoscopingViewController::trimAction() {
  if (!hasMovie()) return;
  if (!isCurrentTrim_) {
    pause();
    timestampView_->setMode(1);
  } else {
    ui::AlertView::make(fd::Localized("Warning"), fd::Localized("Are you sure you want to trim this video?"), this,
                        fd::Localized("NO"), {fd::Localized("OK")})
        ->show();
  }
  isCurrentTrim_ = !isCurrentTrim_;
}

void VTRotoscopingViewController::clickedButtonAtIndex(ui::ButtonSheet& sheet, int index) {
  if (sheet.tagValue() == kExportAlertTag) {
    const std::string title = sheet.buttonTitleAtIndex(index);
    if (title == fd::Localized("Middle Ground"))
      position_ = 1;
    else if (title == fd::Localized("Forground"))
      position_ = 2;
    else
      return;
    save();
    return;
  }
  // The length test comes first, whichever button was pressed.
  if (timestampView_->cropLastTime() - timestampView_->cropFirstTime() < kMinimumTrim) {
    ui::AlertView::make(fd::Localized("Warning"), fd::Localized("Invalid timeinterval"), nullptr,
                        fd::Localized("Cancel"))
        ->show();
    return;
  }
  timestampView_->setMode(0);
  if (index == sheet.cancelButtonIndex()) return;
  waitingView_->show();
  codec_ = std::make_unique<QTSystemAVCodec>(savedPath_);
  codec_->setDelegate(this);
  const FilmTrimerFileManager files;
  const CMTime start = CMTimeMake(static_cast<std::int64_t>(timestampView_->cropFirstTime() * 10000.0f), 10000);
  const CMTime end = CMTimeMake(static_cast<std::int64_t>(timestampView_->cropLastTime() * 10000.0f), 10000);
  codec_->cropAVFile(start, end, files.savePath());
}

void VTRotoscopingViewController::qtSystemAVCodecDidCropAVFileAndSaved(QTSystemAVCodec*, const std::string& path) {
  onMain([path](VTRotoscopingViewController& s) {
    s.waitingView_->hidden();
    s.savedPath_ = path;
    s.resetMoviePlayer();
  });
}

void VTRotoscopingViewController::qtSystemAVCodecFailedCropAVFile(QTSystemAVCodec*, const std::string&) {
  onMain([](VTRotoscopingViewController& s) {
    s.waitingView_->hidden();
    ui::AlertView::make(fd::Localized("Warning"), fd::Localized("Video trim failed!"), nullptr,
                        fd::Localized("Cancel"))
        ->show();
  });
}

void VTRotoscopingViewController::resetMoviePlayer() {
  timeLabel_->setText("00:00:00");
  moviePlayer_->onDurationAvailable = [this] { videoHasLoaded(); };
  moviePlayer_->setContentURL(savedPath_);
  moviePlayer_->play();
  std::weak_ptr<ViewController> weak = weak_from_this();
  fd::RunLoop::main().performAfterDelay(static_cast<double>(0.01f), [weak] {
    if (auto self = std::static_pointer_cast<VTRotoscopingViewController>(weak.lock()))
      if (self->moviePlayer_) self->moviePlayer_->pause();
  });
}

// --- export

void VTRotoscopingViewController::saveAction() {
  if (!hasMovie()) return;
  auto alert = ui::AlertView::make(fd::Localized("Export to..."), "", this, fd::Localized("Cancel"),
                                   {fd::Localized("Forground"), fd::Localized("Middle Ground")});
  alert->setTag(kExportAlertTag);
  alert->show();
}

void VTRotoscopingViewController::save() {
  if (!hasMovie()) return;
  totalExportNumber_ = RotoFrameExport::frameCount(moviePlayer_->duration());
  trimVideo();
}

void VTRotoscopingViewController::updateWaitingView() {
  waitingView_->titleLabel()->setText(std::to_string(currentExportNumber_) + "/" + std::to_string(totalExportNumber_));
}

void VTRotoscopingViewController::trimVideo() {
  currentExportNumber_ = 0;
  updateWaitingView();
  waitingView_->show();
  pause();
  RotoFrameExport::Callbacks cb;
  cb.progress = [this](int i, int total) {
    currentExportNumber_ = i;
    totalExportNumber_ = total;
    updateWaitingView();
  };
  // The delegate hears each picture on the export thread; a closed screen
  // cancels the walk first, so none arrives after it has gone.
  VTRotoscopingViewControllerDelegate* delegate = delegate_;
  const unsigned position = position_;
  cb.frame = [delegate, position](const std::shared_ptr<const gfx::Image>& frame, int i) {
    if (delegate) delegate->vtRotoscopingViewControllerExportImage(frame, i, position);
  };
  cb.finished = [this] {
    waitingView_->hidden();
    if (delegate_ && delegate_->answersDidFinishExport()) finishedExport();
  };
  export_.start(savedPath_, whiteFilter_, std::move(cb));
}

void VTRotoscopingViewController::finishedExport() {
  // Keep this screen alive past its own dismissal while it reports.
  auto self = shared_from_this();
  closeWithAnimated(false);
  if (delegate_) delegate_->vtRotoscopingViewControllerDidFinishExport(this);
}

// --- closing

void VTRotoscopingViewController::closeAction() { closeWithAnimated(true); }

void VTRotoscopingViewController::closeWithAnimated(bool animated) {
  export_.cancel();
  timer_.endTimer();
  if (moviePlayer_) moviePlayer_->pause();
  dismissViewController(animated);
}

}  // namespace roto
