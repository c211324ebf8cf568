// The desk as a hub: the file manager, leaving the desk, the frame buttons
// with their confirmations, the store sheet, refreshing when a panel closes,
// and touches on the desk's own view that go on to the canvas.
#include <algorithm>
#include <utility>

#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "desk/frames/ZTPicManagerView.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"

namespace {

ExtendDataModel& settings() { return ZTDataModel::sharedInstance().extendDataModel(); }
ProjectDataModel* project() { return ZTDataModel::sharedInstance().prjDataModel().get(); }

}  // namespace

void DesktopManagerController::fileManager() {
  defaultState();
  if (!leavePage()) return;
  ZTDataModel::sharedInstance().saveData();
  auto panel = desk_panels::makeFileManager(this);
  if (!panel) return;
  fileManeagerView_ = panel;
  view()->addSubview(panel);
}

void DesktopManagerController::picManager() {
  defaultState();
  if (!leavePage()) return;
  ZTDataModel::sharedInstance().saveData();
  auto panel = ZTPicManagerView::initWithFrame(view()->bounds());
  panel->setDelegate(this);
  picManagerView_ = panel;
  view()->addSubview(panel);
}

void DesktopManagerController::back() {
  if (!leavePage()) return;
  // The next desk opens on its page: the painting ends here as a layer row
  // ends it, the background painted becoming the project's.
  endBackgroundMode();
  dismissViewController(false);
}

void DesktopManagerController::subviewDidRemove(ui::View* panel) {
  ClosedPanel closed = ClosedPanel::Other;
  if (panel != nullptr && panel == fileManeagerView_.get()) closed = ClosedPanel::FileManager;
  else if (panel != nullptr && panel == picManagerView_.lock().get()) closed = ClosedPanel::FrameManager;
  panelClosed(closed);
  if (closed == ClosedPanel::FileManager && !settings().isBackground()) fileManeagerView_.reset();
}

void DesktopManagerController::panelClosed(ClosedPanel closed) {
  const bool bg = settings().isBackground();
  for (ui::View* v : {static_cast<ui::View*>(onionSkinStatusOne_.get()), static_cast<ui::View*>(onionSkinStatusTwo_.get()),
                      static_cast<ui::View*>(frame2_.get()), static_cast<ui::View*>(frame1_.get()),
                      static_cast<ui::View*>(pageIndicator_.get()), static_cast<ui::View*>(nextFrameBtn_.get()),
                      static_cast<ui::View*>(previousFrameBtn_.get())})
    v->setHidden(bg);
  // The large page number is playback's; opening the panel stopped playback,
  // so it stays hidden whatever panel closed.
  pageNumberShowDesk_->setHidden(true);
  for (int tag : {kTagAddFrame, kTagDelete, kTagDuplicate})
    if (ui::Button* b = drawerButton(tag)) b->setEnabled(!bg);
  ProjectDataModel* p = project();
  bgVisibleBtn_->setSelected(p && !p->isOpenBackground());
  if (bg) {
    if (closed == ClosedPanel::FileManager) giveThePaintingToTheOpenProject();
    onionBtn_->setEnabled(false);
    editBackground();
    return;
  }
  background_->setHidden(bgVisibleBtn_->isSelected());
  if (closed == ClosedPanel::FileManager) {
    onionBtn_->setEnabled(true);
    modifyProjectSetting();
    setPlayViewImage();
  } else if (closed == ClosedPanel::FrameManager) {
    adjustPaperSetting();
    speedState_ = 1;
    setSpeedDisplay();
  }
}

// --- frame buttons

void DesktopManagerController::paperOperation(ui::Button* sender) {
  flashButton(sender);
  ProjectDataModel* p = project();
  const int tag = sender->tag();
  if (tag == kTagDuplicate || tag == kTagAddFrame) {
    // While the open page cannot be written no page is added: the new one
    // would replace it on the canvas.
    if (!leavePage()) return;
    const int page = settings().curPage();
    const bool done = p && page >= 1 && page <= frameCount() &&
                      (tag == kTagDuplicate ? p->copyImageAtPage(page) : p->createImageAtPage(page));
    if (done) {
      settings().setCurPage(std::clamp(page + p->reapeatFrameNumber(page), 1, frameCount()));
      setPageData();
      // The new frame's snapshot and icon are there before the project's
      // list names it: a kill right after the add leaves no page without them.
      if (tag == kTagAddFrame && drawsView_) drawsView_->writeSnapAndIconImage(editedPosition());
      renewDesktopDisplay();
      reCalculateMultiAudioFrame();
      pageAnimation(4);
    }
  } else if (tag == kTagDelete) {
    askedAbout_ = openPage();
    ui::AlertView::make(fd::Localized("Warning"), fd::Localized("delete paper"), this, fd::Localized("Cancel"),
                        {fd::Localized("Delete:")})->show();
  } else if (tag == kTagClear) {
    toolsHidden(false);
    askedAbout_ = openPage();
    ui::AlertView::make(fd::Localized("Warning"), fd::Localized("Clear this Frames"), this, fd::Localized("OK"),
                        {fd::Localized("Cancel")})->show();
  }
  ZTDataModel::sharedInstance().saveData();
}

DesktopManagerController::OpenPage DesktopManagerController::openPage() const {
  return {ZTDataModel::sharedInstance().curProjectName(), settings().curPage(), editedPosition(),
          settings().isBackground()};
}

void DesktopManagerController::didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) {
  const std::string title = sheet.buttonTitleAtIndex(index);
  // An answer about a page the desk has left acts on no other.
  const std::optional<OpenPage> asked = std::exchange(askedAbout_, std::nullopt);
  if (!asked || *asked != openPage()) return;
  if (title == fd::Localized("Delete:")) {
    ProjectDataModel* p = project();
    const int page = settings().curPage();
    if (!p || page < 1 || page > frameCount() || !p->deleteImageAtPage(page, false)) return;
    const int count = frameCount();
    int next = p->reapeatFrame(page);
    if (next > count) next = p->reapeatFrame(count);
    settings().setCurPage(std::clamp(next, 1, std::max(count, 1)));
    setPageData();
    renewDesktopDisplay();
    reCalculateMultiAudioFrame();
    ZTDataModel::sharedInstance().saveData();
  } else if (title == fd::Localized("OK")) {
    if (drawsView_) drawsView_->clear();
  }
}

// --- store sheet

void DesktopManagerController::showInstore() {
  storeSheet_ = std::make_shared<ui::StoreProductViewController>();
  storeSheet_->setDelegate(this);
  storeSheet_->loadProduct(kPdfAppStoreIdentifier, {});
  presentViewController(storeSheet_, true);
}

void DesktopManagerController::productViewControllerDidFinish(ui::StoreProductViewController&) {
  dismissViewController(true);
}

// --- touches on the desk's own view

void DesktopManagerController::forwardToCanvas(const ui::TouchSet& touches, const ui::Event& event, int phase) {
  if (!drawsView_) return;
  if (phase == 0) drawsView_->touchesBegan(touches, event);
  else if (phase == 1) drawsView_->touchesMoved(touches, event);
  else drawsView_->touchesEnded(touches, event);
}

void DesktopManagerController::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
  const ExtendDataModel& s = settings();
  // While playing, the canvas is hidden and holds a page other than the one
  // shown: a stroke there would be saved onto the wrong page.
  const bool canvasShown = drawsView_ && !drawsView_->isHidden() && playState_ == 0;
  if (canvasShown && !s.isSize() && !s.isOpicaty() && !s.isBrush() && isCanDraw()) beginDraw_ = true;
  if (beginDraw_) forwardToCanvas(touches, event, 0);
}

void DesktopManagerController::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  if (beginDraw_ && playState_ == 0) forwardToCanvas(touches, event, 1);
}

void DesktopManagerController::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  if (beginDraw_ && playState_ == 0) forwardToCanvas(touches, event, 2);
  beginDraw_ = false;
}
