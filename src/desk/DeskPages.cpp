// The desk's pages: opening a project, loading and saving the edited layer,
// turning and jumping, the page indicator, the layer panel and the onion skin.
// Every page number the model hands over is checked against the frame list:
// a project may be empty, or its last frame may just have been deleted.
#include <algorithm>
#include <cstdio>

#include "canvas/PageFiles.h"
#include "desk/BackgroundsView.h"
#include "desk/DeskArt.h"
#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "model/ProjectNotice.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Unicode.h"
#include "platform/graphics/StoredPicture.h"
#include "platform/ui/Picture.h"

namespace {

ZTDataModel& model() { return ZTDataModel::sharedInstance(); }
ExtendDataModel& settings() { return model().extendDataModel(); }
ProjectDataModel* project() { return model().prjDataModel().get(); }

ui::Picture pictureAt(const OptionalPath& path) { return path ? ui::Picture::fromFile(*path) : ui::Picture(); }

// Onion-mode markers: offsets from the paper's x and alphas, by mode.
struct MarkerPlace {
  float firstX, firstAlpha, secondX, secondAlpha;
};
constexpr MarkerPlace kMarkers[] = {{4.5f, 0.5f, 12, 0.8f}, {12, 0.8f, 27, 0.8f}, {27, 0.8f, 34, 0.6f}};

constexpr float kSelectedRowY = 55, kMiddleRowY = 115;

}  // namespace

bool DesktopManagerController::isCanDraw() {
  ProjectDataModel* p = project();
  // The background being painted has no visibility of its own on the desk.
  if (settings().isBackground()) return p != nullptr;
  const int page = settings().curPage();
  // No frame, no drawing: a stroke would have no page to be saved to.
  if (!p || page < 1 || page > frameCount()) return false;
  return p->layIsOpenAtPage(page, editedPosition(), false);
}

void DesktopManagerController::showLayerVisibility() {
  ProjectDataModel* p = project();
  const int page = settings().curPage();
  const bool onPage = p && page >= 1 && page <= frameCount();
  const bool background = settings().isBackground();
  auto shown = [&](int position) { return background || !onPage || p->layIsOpenAtPage(page, position, false); };
  if (drawsView_) drawsView_->setHidden(!shown(editedPosition()));
  layer_->setHidden(!shown(editedPosition() == 2 ? 1 : 2));
}

void DesktopManagerController::modifyProjectSetting() {
  ProjectDataModel* p = project();
  const float speed = p ? p->animationSpeed() : 0.25f;
  speedState_ = speed >= 1.0f ? 0 : speed >= 0.5f ? 1 : 2;
  setSpeedDisplay();

  const int count = frameCount();
  settings().setCurPage(count > 0 && p ? std::clamp(p->reapeatFrame(count), 1, count) : 1);
  contentPattern_ = 1;
  groundBtn_->setSelected(false);

  displayPattern_ = 0;
  frameManagerBtn_->setEnabled(true);
  setOnionMarkers(0);
  selectOneView_->setFrame({selectOneView_->frame().x, 40, selectOneView_->frame().width, selectOneView_->frame().height});
  selectOneView_->setHidden(false);
  selectOnionButton(kTagOnionMode0);

  if (p && (p->backgroundType() < 3 || p->backgroundType() > 6)) background_->setImage(pictureAt(p->backgroundFullPath()));
  setPageData();
  renewDesktopDisplay();
  updateEditState();
  updateBackgroundMarks();
}

void DesktopManagerController::adjustPaperSetting() {
  ProjectDataModel* p = project();
  const int count = frameCount();
  int page = std::clamp(settings().curPage(), 1, std::max(count, 1));
  if (p && count > 0) page = std::clamp(p->reapeatFrame(page), 1, count);
  settings().setCurPage(page);
  setPageData();
  renewDesktopDisplay();
  updateEditState();
}

void DesktopManagerController::setPageData() {
  if (settings().isBackground()) return;
  ProjectDataModel* p = project();
  const int page = settings().curPage();
  const bool onPage = p && page >= 1 && page <= frameCount();
  layer_->setImage({});
  std::optional<gfx::Image> edited;
  if (onPage) {
    // Both layers are loaded whether they are shown or not: visibility only
    // decides which views are on show, and the canvas must always hold the
    // edited layer's stored picture, or showing it again (or the next stroke
    // and save) would replace the stored layer by an empty one.
    // Either layer may be drawn on and written back from here: both are read
    // through the one reader that sets an unreadable file aside.
    const int other = editedPosition() == 2 ? 1 : 2;
    auto layerPicture = [&](int position) {
      const std::string what = fd::Localized(position == 2 ? "The foreground" : "The middle ground") + " " +
                               fd::Localized("of page") + " " + std::to_string(page) + " " + fd::Localized("of") +
                               " " + fd::quoted(p->curProjectName());
      return readPictureToDraw(p->layFullPathAtPage(page, false, position), what);
    };
    if (std::optional<gfx::Image> shown = layerPicture(other)) layer_->setImage(ui::Picture(std::move(*shown)));
    edited = layerPicture(editedPosition());
    if (p->backgroundType() >= 3 && p->backgroundType() <= 6 && p->curBackgroundName()) {
      background_->setImage(pictureAt(model().dynamicBackgroundFullPathWithBackgroundName(*p->curBackgroundName(), page)));
    }
  }
  updateBackgroundMarks();
  // The canvas is always replaced, also by nothing: a page without a layer
  // file (or no page at all) must not keep the previous page's strokes.
  drawImage(edited ? &*edited : nullptr);
  showLayerVisibility();
  const int count = frameCount();
  nextFrameBtn_->setSelected(!p || count == 0 || page == p->reapeatFrame(count));
  setPageIndicator();
}

std::optional<gfx::Image> DesktopManagerController::readPictureToDraw(const OptionalPath& path,
                                                                    const std::string& what) {
  if (!path) return std::nullopt;
  fd::Expected<gfx::Image> read = gfx::readStoredPicture(*path, what);
  if (!read || read->empty()) return std::nullopt;
  return std::move(*read);
}

void DesktopManagerController::drawImage(const gfx::Image* image) {
  if (!drawsView_) return;
  drawsView_->setImage(image, drawsView_->bounds());
  drawsView_->setOperated(false);
  // A new page has no history; the buttons say so.
  eaglViewNeedUpdateUndoState(drawsView_.get(), drawsView_->canUndo());
  eaglViewNeedUpdateRedoState(drawsView_.get(), drawsView_->canRedo());
}

bool DesktopManagerController::saveCurPage() {
  if (!drawsView_) return true;
  if (settings().isBackground()) return drawsView_->writeToFileForBackground();
  // Nothing to write to outside the frame list.
  const int page = settings().curPage();
  if (page < 1 || page > frameCount()) return true;
  return drawsView_->writeToFileForLay(editedPosition());
}

void DesktopManagerController::saveCurPageInBackground() {
  // While playing, the canvas holds the page playback started from, saved then.
  if (!drawsView_ || playTimer_) return;
  if (settings().isBackground()) {
    drawsView_->writeToFileForBackgroundInBackground();
    return;
  }
  const int page = settings().curPage();
  ProjectDataModel* p = project();
  if (!p || page < 1 || page > frameCount()) return;
  drawsView_->writeToFileForLayInBackground(editedPosition());
  // A project never saved so far has no list on disk that names the page.
  p->saveDataInBackground();
}

bool DesktopManagerController::leavePage() {
  refusingToLeave_ = true;
  const bool saved = saveCurPage();
  refusingToLeave_ = false;
  if (!saved) tellPageNotSaved(true);
  return saved;
}

void DesktopManagerController::pageWriteFinished(const fd::Status& status) {
  if (status.ok()) {
    pageWriteFailure_.reset();
    toldPageWriteFailure_ = false;
    return;
  }
  pageWriteFailure_ = status.failure();
  // A refused action tells the user itself, with what it refused.
  if (!refusingToLeave_ && !toldPageWriteFailure_) tellPageNotSaved(false);
}

std::string DesktopManagerController::openPageName() const {
  if (settings().isBackground())
    return fd::Localized("the background being painted") + " (" +
           backgroundAsShown(settings().backgroundName().value_or("")) + ")";
  return fd::Localized("page") + " " + std::to_string(settings().curPage()) + " " + fd::Localized("of") + " " +
         fd::quoted(model().curProjectName());
}

std::string DesktopManagerController::pageNotSavedReason() const {
  if (!pageWriteFailure_) return fd::Localized("the canvas cannot be read");
  return notWrittenInWords(*pageWriteFailure_,
                           settings().isBackground() ? "the backgrounds folder" : "the projects folder");
}

void DesktopManagerController::tellPageNotSaved(bool refusing) {
  toldPageWriteFailure_ = true;
  if (std::shared_ptr<ui::AlertView> up = pageNotSavedAlert_.lock(); up && up->isVisible()) return;
  // The page as the user knows it, and why in the words the other alerts use.
  std::string message =
      settings().isBackground()
          ? fd::filled("The background being painted (%@) could not be saved: %@.",
                       {backgroundAsShown(settings().backgroundName().value_or("")), pageNotSavedReason()})
          : fd::filled("Page %@ of \u201c%@\u201d could not be saved: %@.",
                       {std::to_string(settings().curPage()), model().curProjectName(), pageNotSavedReason()});
  message += "\n";
  const bool room = pageWriteFailure_ && roomMendsIt(pageWriteFailure_->error);
  message += !refusing ? fd::Localized("The drawing stays here and is saved again at the next save.")
             : room    ? fd::Localized("It stays open until it can be saved: free some space, then try again.")
                       : fd::Localized("It stays open until it can be saved: try again once that is mended.");
  std::shared_ptr<ui::AlertView> alert =
      ui::AlertView::make(fd::Localized("Page not saved"), message, nullptr, fd::Localized("OK"));
  alert->show();
  pageNotSavedAlert_ = alert;
}

void DesktopManagerController::setPageIndicator() {
  char text[64];
  std::snprintf(text, sizeof text, "%s/%03d", currentRepeatPage().c_str(), frameCount());
  pageIndicator_->setText(text);
  pageNumberShowDesk_->setText(text);
}

// --- turning

void DesktopManagerController::pageOperation(int tag) {
  if (tag == kTagNextPage) toNextPage();
  else if (tag == kTagPreviousPage) toPrePage();
}

void DesktopManagerController::pressNextBtn() {
  if (!nextFrameBtn_->isSelected()) toNextPage();
  else paperOperation(nextFrameBtn_.get());
}

void DesktopManagerController::respondToRollerMoveDown() { toNextPage(); }
void DesktopManagerController::respondToRollerMoveUp() { toPrePage(); }

void DesktopManagerController::toPrePage() {
  ProjectDataModel* p = project();
  flashButton(previousFrameBtn_.get());
  if (!leavePage()) return;
  pageAnimation(3);
  if (!p || frameCount() == 0) return;
  const int page = p->pageUpWithCurrentPage(p->reapeatFrame(settings().curPage()) - 1);
  if (page >= 1) {
    settings().setCurPage(page);
    setPageData();
    if (displayPattern_ != -1) renewDesktopDisplay();
  } else {
    settings().setCurPage(1);
  }
}

void DesktopManagerController::toNextPage() {
  ProjectDataModel* p = project();
  if (!leavePage()) return;
  pageAnimation(4);
  const int count = frameCount();
  if (!p || count == 0) return;
  const int page = p->nextPageWithCurrentPage(p->reapeatFrame(settings().curPage()) + 1);
  if (page <= count && page >= 1) {
    settings().setCurPage(page);
    setPageData();
    if (displayPattern_ != -1) renewDesktopDisplay();
  } else {
    settings().setCurPage(std::clamp(p->reapeatFrame(count), 1, count));
  }
}

void DesktopManagerController::pageAnimation(int kind) {
  ui::Animations::begin("pageAnimation");
  ui::Animations::setDuration(0.6);
  ui::Animations::setTransition(kind == 3 ? ui::AnimationTransition::CurlUp : ui::AnimationTransition::CurlDown,
                                canvas_.get(), true);
  ui::Animations::commit();
}

void DesktopManagerController::gotoFrame(int which) {
  // While playing, the canvas holds the page playback started from (saved
  // then), not the page shown: nothing to save, and saving would write it
  // onto the wrong page.
  const bool playing = playTimer_ != nullptr;
  if (!playing && !leavePage()) return;
  if (playTimer_) {
    playTimer_->invalidate();
    playTimer_.reset();
    stopAudio();
  }
  ProjectDataModel* p = project();
  const int count = frameCount();
  if (which == 1 && p && count > 0) settings().setCurPage(std::clamp(p->reapeatFrame(count), 1, count));
  else if (which == 0) settings().setCurPage(1);
  playState_ = 0;
  direction_ = 0;
  toolBtn_->setEnabled(true);
  colorBtn_->setEnabled(true);
  setPageData();
  renewDesktopDisplay();
  playView_->setHidden(true);
  showLayerVisibility();
  reverseBtn_->setSelected(false);
  playBtn_->setSelected(false);
  pageNumberShowDesk_->setHidden(true);
}

// --- layers

void DesktopManagerController::setEditingLayer() {
  // The tool works on the edited layer: it closes before another is chosen.
  if (stampBtn_ && stampBtn_->isSelected()) respondGraphToolHiddenEvent();
  saveCurPage();
  const ui::Rect b = view()->bounds();
  if (!layerManager_) {
    layerManager_ = std::make_shared<LayerManger>(ui::Rect{0, 0, b.width, 320});
    layerManagerView_->setFrame({(b.width - 224) / 2, 48, 224, 230});
    layerManager_->addSubview(layerManagerView_);
    view()->addSubview(layerManager_);
  }
  view()->bringSubviewToFront(layerManager_.get());
  layerManager_->setHidden(false);
  layerPageLabel_->setText(currentRepeatPage());
  ProjectDataModel* p = project();
  const int page = settings().curPage();
  fVisibleBtn_->setSelected(p && !p->layIsOpenAtPage(page, 2, false));
  mVisibleBtn_->setSelected(p && !p->layIsOpenAtPage(page, 1, false));
  ui::Rect m = laySelected_->frame();
  m.y = contentPattern_ == 1 ? kSelectedRowY : kMiddleRowY;
  laySelected_->setFrame(m);
}

void DesktopManagerController::selectGround(int tag) {
  const bool wasBackground = settings().isBackground();
  const int wasEdited = editedPosition();
  // Another layer (or leaving the background) replaces what the canvas
  // holds: it is saved first, or nothing changes.
  const int chosen = tag == kTagForegroundRow ? 2 : 1;
  if ((wasBackground || chosen != wasEdited) && !leavePage()) return;
  leaveBackgroundMode();
  ui::Rect m = laySelected_->frame();
  if (tag == kTagForegroundRow) {
    contentPattern_ = 1;
    groundBtn_->setSelected(false);
    m.y = kSelectedRowY;
  } else {
    contentPattern_ = 0;
    groundBtn_->setSelected(true);
    m.y = kMiddleRowY;
  }
  laySelected_->setFrame(m);
  laySelected_->setHidden(false);
  // Choosing the layer already on the canvas keeps it there, with its undo
  // history: reloading it would only throw the history away.
  if (!wasBackground && editedPosition() == wasEdited) showLayerVisibility();
  else setPageData();
}

void DesktopManagerController::setLayerOpenState(int tag) {
  ProjectDataModel* p = project();
  const int page = settings().curPage();
  const bool onPage = p && page >= 1 && page <= frameCount();
  if (tag == kTagForegroundVisible) {
    fVisibleBtn_->setSelected(!fVisibleBtn_->isSelected());
    if (onPage) p->setLayStateIsOpen(!fVisibleBtn_->isSelected(), page, 2, false);
  } else if (tag == kTagMiddleVisible) {
    mVisibleBtn_->setSelected(!mVisibleBtn_->isSelected());
    if (onPage) p->setLayStateIsOpen(!mVisibleBtn_->isSelected(), page, 1, false);
  } else {
    bgVisibleBtn_->setSelected(!bgVisibleBtn_->isSelected());
    if (p) p->setIsOpenBackground(!bgVisibleBtn_->isSelected());
  }
  showLayerVisibility();
  background_->setHidden(bgVisibleBtn_->isSelected());
  renewDesktopDisplay();
  if ((tag == kTagForegroundVisible || tag == kTagMiddleVisible) && onPage && drawsView_) {
    if (settings().isBackground()) {
      // The canvas holds the background being painted, no layer of this
      // page: the page's snapshot comes from its own files.
      gfx::Image stored;
      if (auto path = p->layFullPathAtPage(page, false, editedPosition()))
        if (auto read = gfx::readImage(*path)) stored = std::move(*read);
      PageFiles::writeCurrentSnapshotAndIcon(stored, editedPosition(), drawsView_->cScaleFactor());
    } else {
      drawsView_->writeSnapAndIconImage(editedPosition());
    }
  }
}

// --- onion skin

void DesktopManagerController::onionSkinDisplayorHidden() {
  const ui::Rect b = view()->bounds();
  if (!skin_) {
    skin_ = std::make_shared<SkinView>(b);
    onionSkinView_->setFrame({(b.width - 215) / 2, 60, 215, 201});
    skin_->addSubview(onionSkinView_);
    view()->addSubview(skin_);
  }
  view()->bringSubviewToFront(skin_.get());
  skin_->setHidden(false);
}

void DesktopManagerController::setOnionMarkers(int mode) {
  const MarkerPlace& m = kMarkers[std::clamp(mode, 0, 2)];
  const float x = desktopBackground_->frame().x;
  ui::Rect one = onionSkinStatusOne_->frame(), two = onionSkinStatusTwo_->frame();
  one.x = x + m.firstX;
  two.x = x + m.secondX;
  onionSkinStatusOne_->setFrame(one);
  onionSkinStatusTwo_->setFrame(two);
  onionSkinStatusOne_->setAlpha(m.firstAlpha);
  onionSkinStatusTwo_->setAlpha(m.secondAlpha);
  onionSkinStatusOne_->setHidden(false);
  onionSkinStatusTwo_->setHidden(false);
}

void DesktopManagerController::selectOnionButton(int tag) {
  for (int i = 0; i < 3; ++i) {
    const bool chosen = kTagOnionMode0 + i == tag;
    onionBtnAry_[static_cast<std::size_t>(i)]->setSelected(chosen);
    onionBtnAry_[static_cast<std::size_t>(i)]->setAlpha(chosen ? 1.0f : 0.5f);
    onionLabAry_[static_cast<std::size_t>(i)]->setAlpha(chosen ? 1.0f : 0.5f);
  }
}

void DesktopManagerController::desktopDisplay(ui::Button* sender) {
  sender->setSelected(!sender->isSelected());
  const int tag = sender->tag();
  if (sender->isSelected()) {
    selectOneView_->setHidden(false);
    if (tag >= kTagOnionMode0 && tag <= kTagOnionMode2) {
      ui::Rect f = selectOneView_->frame();
      f.y = (tag - kTagOnionMode0) * 60.0f + 40;
      selectOneView_->setFrame(f);
      setOnionMarkers(tag - kTagOnionMode0);
      displayPattern_ = tag - kTagOnionMode0;
      selectOnionButton(tag);
    }
  } else {
    selectOneView_->setHidden(true);
    onionSkinStatusOne_->setHidden(true);
    onionSkinStatusTwo_->setHidden(true);
    displayPattern_ = -1;
    for (int i = 0; i < 3; ++i) {
      onionBtnAry_[static_cast<std::size_t>(i)]->setAlpha(0.5f);
      onionLabAry_[static_cast<std::size_t>(i)]->setAlpha(0.5f);
    }
  }
  renewDesktopDisplay();
}

void DesktopManagerController::renewDesktopDisplay() {
  frame1_->setImage({});
  frame2_->setImage({});
  ProjectDataModel* p = project();
  if (!p || displayPattern_ < 0) return;
  const int page = settings().curPage(), count = frameCount();
  auto show = [&](ui::ImageView* v, int n) {
    if (n < 1 || n > count) return;
    OptionalPath path = p->snapshotFullPathAtPage(n, false);
    if (!path) return;
    ui::Picture pic = ui::Picture::fromFile(*path);
    v->setImage(pic.empty() ? desk_art::named("emptyImage.png") : pic);
  };
  switch (displayPattern_) {
    case 0: {
      const int a = p->pageUpWithCurrentPage(page - 1);
      if (a >= 1) {
        show(frame2_.get(), a);
        const int b = p->pageUpWithCurrentPage(a - 1);
        if (b >= 1) show(frame1_.get(), b);
      }
      break;
    }
    case 1: {
      const int n = p->nextPageWithCurrentPage(page + 1);
      if (page + 1 <= count && n <= count) show(frame2_.get(), n);
      if (page - 1 >= 1) show(frame1_.get(), p->pageUpWithCurrentPage(page - 1));
      break;
    }
    case 2: {
      if (page + 1 > count) break;
      const int n = p->nextPageWithCurrentPage(page + 1);
      if (n <= count && n > page) {
        show(frame2_.get(), n);
        if (n + 1 <= count) {
          const int m = p->nextPageWithCurrentPage(n + 1);
          if (m <= count && m > n) show(frame1_.get(), m);
        }
      }
      break;
    }
    default:
      break;
  }
}

void DesktopManagerController::updateEditState() {
  const bool bg = settings().isBackground();
  frameManagerBtn_->setHidden(bg);
  showGroundButton(bg);
  playView_->setAlpha(bg ? 0 : 1);
  playerView_->setAlpha(bg ? 0 : 1);
}

void DesktopManagerController::showGroundButton(bool background) {
  // Pictures and titles by state: normal (foreground edited), selected
  // (middle ground edited); in background mode both name the background.
  struct Look {
    const char *normalImage, *selectedImage, *normalTitle, *selectedTitle;
  };
  static constexpr Look kLooks[] = {{"Foreground.png", "Middle_ground.png", "Forground", "Middle Ground"},
                                    {"Background.png", "Background.png", "Background", "Background"}};
  const Look& look = kLooks[background ? 1 : 0];
  groundBtn_->setImage(desk_art::named(look.normalImage), ui::StateNormal);
  groundBtn_->setImage(desk_art::named(look.selectedImage), ui::StateSelected);
  groundBtn_->setTitle(fd::Localized(look.normalTitle), ui::StateNormal);
  groundBtn_->setTitle(fd::Localized(look.selectedTitle), ui::StateSelected);
}
