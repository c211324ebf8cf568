// Playback in place of the canvas: the player bar, the 0.01 s clock (counted
// by the ticks it has passed) with its countdown per speed, frame stepping with wrap and play-once stops, and the
// return to editing. While it runs the canvas is hidden and takes no touches.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "desk/DeskArt.h"
#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "model/Timeline.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/media/AudioSession.h"

namespace {

ExtendDataModel& settings() { return ZTDataModel::sharedInstance().extendDataModel(); }
ProjectDataModel* project() { return ZTDataModel::sharedInstance().prjDataModel().get(); }

// Speed table: ticks of the 0.01 s clock per frame, the stored speed, the button.
struct SpeedRow {
  int ticks;
  float animationSpeed;
  const char* image;
};
constexpr SpeedRow kSpeeds[] = {{8, 1.0f, "player_12fps.png"}, {16, 0.5f, "player_6fps.png"}, {32, 0.25f, "player_3fps.png"}};
constexpr double kTick = 0.01;
constexpr double kFrameSeconds = timeline::kFrameSeconds;
// The frame manager's sound track: frames 1..N spread over x 45 to 375.
constexpr double kTrackStart = timeline::kTrackStartX, kTrackWidth = timeline::kSpanX,
                 kTrackEndOffset = timeline::kEndOffsetX, kTrackRightLimit = timeline::kEndX;
constexpr int kMinimumTagFrames = 8;
constexpr float kPlayerShownY = 262, kPlayerHiddenY = 284;

}  // namespace

std::string DesktopManagerController::currentRepeatPage() const {
  ProjectDataModel* p = project();
  const int page = settings().curPage();
  const int run = p ? p->reapeatFrameNumber(page) : 1;
  char text[32];
  if (run < 2) std::snprintf(text, sizeof text, "%03d", page);
  else std::snprintf(text, sizeof text, "%03d-%03d", page, page + run - 1);
  return text;
}

void DesktopManagerController::pressPlayBtnEvent(ui::Button* sender) {
  const int tag = sender->tag();
  flashButton(sender);
  // Playing leaves the page: it is saved first, or playback does not start.
  if ((tag == kTagPlay || tag == kTagReverse) && playState_ == 0 && !leavePage()) return;
  switch (tag) {
    case kTagMute:
      if (ProjectDataModel* p = project(); p && p->isCouldPlaySound()) {
        metuBtn_->setSelected(!metuBtn_->isSelected());
      } else {
        ui::AlertView::make(fd::Localized("Warning"), fd::Localized("press metu Button info"), nullptr,
                            fd::Localized("Cancel"))->show();
      }
      break;
    case kTagFirst: gotoFrame(0); break;
    case kTagPrevious: toPrePage(); break;
    case kTagNext: toNextPage(); break;
    case kTagLast: gotoFrame(1); break;
    case kTagSpeed: modifySpeed(); break;
    case kTagLoop: modifyPlayPattern(); break;
    case kTagPlay:
      pageNumberShowDesk_->setHidden(false);
      if (playState_ == 0) {
        playState_ = 1;
        playBtn_->setSelected(true);
        direction_ = 1;
        isPlayAudio_ = true;
        prepareForPlay();
      } else if (playState_ == 1) {
        restoreState();
      } else {
        reverseBtn_->setSelected(false);
        playBtn_->setSelected(true);
        playState_ = 1;
        direction_ = 1;
        settings().setCurPage(1);
      }
      break;
    case kTagReverse:
      pageNumberShowDesk_->setHidden(false);
      if (playState_ == 0) {
        playState_ = 2;
        reverseBtn_->setSelected(true);
        direction_ = -1;
        isPlayAudio_ = false;
        prepareForPlay();
      } else if (playState_ == 2) {
        restoreState();
      } else if (ProjectDataModel* p = project()) {
        playBtn_->setSelected(false);
        reverseBtn_->setSelected(true);
        playState_ = 2;
        direction_ = -1;
        settings().setCurPage(std::max(1, p->reapeatFrame(frameCount())));
      }
      break;
    default:
      break;
  }
}

void DesktopManagerController::setSpeedDisplay() {
  if (speedState_ >= 0 && speedState_ <= 2) {
    const SpeedRow& row = kSpeeds[speedState_];
    speed_ = row.ticks;
    if (ProjectDataModel* p = project()) p->setAnimationSpeed(row.animationSpeed);
    if (speedBtn_) speedBtn_->setImage(desk_art::named(row.image));
  }
  isPlaySound();
}

void DesktopManagerController::modifySpeed() {
  if (speedState_ >= 0 && speedState_ <= 2) speedState_ = (speedState_ + 1) % 3;
  setSpeedDisplay();
}

void DesktopManagerController::modifyPlayPattern() {
  playLoopBtn_->setSelected(playPattern_ != 0);
  playPattern_ = playPattern_ == 0 ? 1 : 0;
}

void DesktopManagerController::isPlaySound() {
  ProjectDataModel* p = project();
  if (metuBtn_) metuBtn_->setSelected(!(p && p->isCouldPlaySound()));
}

void DesktopManagerController::prepareForPlay() {
  saveCurPage();
  // The canvas keeps this page while the frames play; a fill still on its way
  // must not change it, or stopping would save it onto the page then shown.
  if (drawsView_ && drawsView_->fillTool()) drawsView_->fillTool()->cancelPendingFill();
  frame1_->setImage({});
  frame2_->setImage({});
  layer_->setImage({});
  playView_->setHidden(false);
  if (drawsView_) drawsView_->setHidden(true);
  if (tools_ && tools_->frame().x == 0) toolsHidden(false);
  toolBtn_->setEnabled(false);
  colorBtn_->setEnabled(false);
  unplayable_.reset();
  if (isPlayAudio_) {
    // The sound counter starts at the page shown and waits for the tag that
    // holds it, or the next one; outside all tags it waits for the first.
    firstPage_ = settings().curPage();
    firstFew_ = 0;
    ProjectDataModel* p = project();
    const std::vector<int>& frames = p ? p->soundFrameArray() : std::vector<int>{};
    if (frames.size() >= 2) {
      const float page = static_cast<float>(firstPage_);
      if (!(page <= static_cast<float>(frames.front()) || page >= static_cast<float>(frames.back()))) {
        for (std::size_t i = 1; i < frames.size(); i += 2) {
          if (static_cast<float>(frames[i]) >= page) {
            firstFew_ = static_cast<int>(i / 2);
            break;
          }
        }
      }
    }
  }
  setPlayViewImage();
  // The countdown counts the ticks the clock has passed, not the timer's
  // calls: on a busy machine calls come late and missed ones are dropped.
  playTimer_ = fd::RunLoop::main().scheduleTicks(kTick, [this] { playAnimation(); });
}

void DesktopManagerController::playAnimation() {
  if (speed_ < 0) speed_ = 0;
  if (speed_ == 0) {
    speed_ = speedState_ >= 0 && speedState_ <= 2 ? kSpeeds[speedState_].ticks : 0;
    const int count = frameCount();
    int page = settings().curPage() + direction_;
    bool stopped = false;
    if (page < 1) {
      page = std::max(count, 1);
      settings().setCurPage(page);
      if (playPattern_ == 1 && playState_ == 2) {
        gotoFrame(1);
        stopped = true;
      }
    } else if (page > count) {
      settings().setCurPage(1);
      if (playPattern_ == 1 && playState_ == 1) {
        gotoFrame(0);
        stopped = true;
      }
    } else {
      settings().setCurPage(page);
    }
    if (!stopped) setPlayViewImage();
    else stopAudio();
    setPageIndicator();
    ProjectDataModel* p = project();
    if (!stopped && isPlayAudio_ && p && !p->soundNameArray().empty() && p->isCouldPlaySound() &&
        !metuBtn_->isSelected())
      playMultiAudio();
  }
  if (playTimer_) --speed_;
}

void DesktopManagerController::setPlayViewImage() {
  ProjectDataModel* p = project();
  const int page = settings().curPage();
  ui::Picture picture;
  if (p && page >= 1 && page <= frameCount()) {
    if (auto path = p->snapshotFullPathAtPage(page, false)) picture = ui::Picture::fromFile(*path);
  }
  playView_->setImage(picture.empty() ? desk_art::named("emptyImage.png") : picture);
  if (p && p->backgroundType() >= 3 && p->backgroundType() <= 6 && p->curBackgroundName()) {
    auto path = ZTDataModel::sharedInstance().dynamicBackgroundFullPathWithBackgroundName(*p->curBackgroundName(), page);
    background_->setImage(path ? ui::Picture::fromFile(*path) : ui::Picture());
    updateBackgroundMarks();
  }
}

void DesktopManagerController::restoreState() {
  if (playTimer_) {
    playTimer_->invalidate();
    playTimer_.reset();
    stopAudio();
  }
  playState_ = 0;
  direction_ = 0;
  toolBtn_->setEnabled(true);
  colorBtn_->setEnabled(true);
  ProjectDataModel* p = project();
  const int count = frameCount();
  if (p && count > 0) settings().setCurPage(std::clamp(p->reapeatFrame(settings().curPage()), 1, count));
  setPageData();
  renewDesktopDisplay();
  playView_->setHidden(true);
  showLayerVisibility();
  playBtn_->setSelected(false);
  reverseBtn_->setSelected(false);
}

void DesktopManagerController::playerDisplayorHidden() {
  ui::Rect f = playerView_->frame();
  const bool hide = f.y == kPlayerShownY;
  f.y = hide ? kPlayerHiddenY : kPlayerShownY;
  ui::Animations::begin("PlayerViewDisplayorHidder");
  playerView_->setFrame(f);
  ui::Animations::commit();
  if (hide) view()->bringSubviewToFront(fileManagerBtn_.get());
  else view()->bringSubviewToFront(playerView_.get());
}

// --- sound tags

void DesktopManagerController::playMultiAudio() {
  ProjectDataModel* p = project();
  if (!p) return;
  const std::vector<int>& frames = p->soundFrameArray();
  const std::vector<std::string>& names = p->soundNameArray();
  const std::size_t tag = static_cast<std::size_t>(firstFew_);
  if (frames.empty() || 2 * tag + 1 >= frames.size() || tag >= names.size()) return;
  const int start = frames[2 * tag], end = frames[2 * tag + 1], last = frames.back();
  if (start <= firstPage_ && firstPage_ < last && firstPage_ < end) {
    media::AudioSession::shared().setCategory(media::SessionCategory::Playback);
    if (!isPlaying_) {
      if (auto path = p->soundFilePathWithName(names[tag])) {
        // Read off the main thread while the frames go on; a clip that cannot
        // be played stays silent and the user is told why, once a playback.
        std::weak_ptr<ui::ViewController> weak = weak_from_this();
        audioPlayer_ = media::ClipPlayer::load(*path, [weak, file = path->string()](const fd::Status& loaded) {
          if (auto self = weak.lock(); self && !loaded)
            static_cast<DesktopManagerController*>(self.get())->unplayable_.report(file, loaded.error());
        });
        audioPlayer_->setCurrentTime((firstPage_ - start) * kFrameSeconds / p->animationSpeed());
        audioPlayer_->play();
        isPlaying_ = true;
      }
    }
  }
  if (firstPage_ == end - 1) {
    stopAudio();
    if (static_cast<std::size_t>(firstFew_) + 1 < names.size()) ++firstFew_;
  }
  if (firstPage_ == frameCount()) {
    firstPage_ = 0;
    firstFew_ = 0;
  }
  ++firstPage_;
}

void DesktopManagerController::stopAudio() {
  if (!isPlaying_) return;
  if (audioPlayer_) audioPlayer_->stop();
  audioPlayer_.reset();
  isPlaying_ = false;
}

void DesktopManagerController::reCalculateMultiAudioFrame() {
  ProjectDataModel* p = project();
  if (!p || p->soundTagPointsArray().empty()) return;
  SoundTagLists tags = soundTagListsOf(p->soundTags());
  std::vector<float>& points = tags.points;
  std::vector<int>& frames = tags.frames;
  const std::vector<std::string>& names = tags.names;
  const auto& limits = settings().limitFramesDict();
  const int n = frameCount();
  const double k = (n - 1) / kTrackWidth;
  for (std::size_t i = 0; 2 * i + 1 < points.size(); ++i) {
    const int f0 = std::max(1, static_cast<int>(std::trunc(k * (points[2 * i] - kTrackStart) + 1)));
    int f1 = static_cast<int>(std::trunc(k * (points[2 * i + 1] - kTrackEndOffset) + 1));
    int limit = 0;
    if (i < names.size()) {
      auto it = limits.find(names[i]);
      if (it != limits.end()) limit = it->second;
    }
    limit = std::max(kMinimumTagFrames, limit);
    if (f1 - f0 > limit - 1) {
      f1 = f0 + limit - 1;
      double right = n > 0 ? f1 * (kTrackWidth / n) + kTrackEndOffset : kTrackRightLimit;
      if (right > kTrackRightLimit) {
        right = kTrackRightLimit;
        f1 = static_cast<int>(std::trunc(k * (kTrackRightLimit - kTrackStart) + 1));
      }
      points[2 * i + 1] = static_cast<float>(right);
    }
    if (frames.size() < 2 * i + 2) frames.resize(2 * i + 2);
    frames[2 * i] = f0;
    frames[2 * i + 1] = f1;
  }
  p->setSoundTags(soundTagsFromLists(tags));
}
