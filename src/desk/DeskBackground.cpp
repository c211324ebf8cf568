// The desk and backgrounds: the gallery panel opened from the layer panel,
// attaching the chosen background to the open project, and background mode,
// in which the canvas holds a user's background picture and saving writes
// that picture instead of a page.
#include "desk/DeskArt.h"
#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "model/Backgrounds.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/graphics/Image.h"

namespace {

ZTDataModel& model() { return ZTDataModel::sharedInstance(); }
ExtendDataModel& settings() { return model().extendDataModel(); }
ProjectDataModel* project() { return model().prjDataModel().get(); }

}  // namespace

void DesktopManagerController::setBackgound() {
  if (layerManager_) layerManager_->setHidden(true);
  if (!backgroundsView_) backgroundsView_ = std::make_shared<BackgroundsView>(this);
  const bool tall = view()->bounds().width > 480;
  bgview_ = std::make_shared<ui::View>(view()->bounds());
  bgview_->setBackgroundColor({19 / 255.0f, 15 / 255.0f, 12 / 255.0f, 0.7f});
  bgImageview_ = std::make_shared<ui::ImageView>(tall ? ui::Rect{30, 5, 489.5f, 318} : ui::Rect{0, 5, 475.5f, 318});
  bgImageview_->setImage(desk_art::named("background_library@2x.png"));
  bgImageview_->setUserInteractionEnabled(true);
  auto title = std::make_shared<ui::Label>(ui::Rect{30, 0, 100, 18});
  title->setText(fd::Localized("Backgorund"));
  title->setTextColor(ui::Color{1, 1, 1, 1});
  title->setFont({"DejaVu Sans", 12, true});
  title->setBackgroundColor(ui::Color::clear());
  bgImageview_->addSubview(title);
  // The gallery carries its edit bar and buttons with it.
  bgImageview_->addSubview(backgroundsView_);
  closeBtn_ = ui::Button::make(ui::ButtonType::Custom, tall ? ui::Rect{464.5f, 0, 30, 30} : ui::Rect{451.5f, 0, 30, 30});
  closeBtn_->setImage(desk_art::named("close@2x.png"));
  closeBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { closeBackgroundView(true); }, ui::TouchUpInside);
  view()->addSubview(bgview_);
  view()->addSubview(bgImageview_);
  bgImageview_->addSubview(closeBtn_);
  backgroundsView_->setSelectedBackground(project() ? project()->curBackgroundName() : std::nullopt);
  state_ = 1;
}

void DesktopManagerController::closeBackgroundView(bool) {
  for (auto* v : {static_cast<ui::View*>(closeBtn_.get()), static_cast<ui::View*>(bgImageview_.get()),
                  static_cast<ui::View*>(bgview_.get())})
    if (v) v->removeFromSuperview();
  // Closing without a choice keeps the project's background: attaching
  // "nothing" would delete the project's own copy of its picture.
  if (backgroundsView_ && state_ == 1 && project()) {
    if (auto name = backgroundsView_->selectedBackgroundName()) {
      attachBackground(*project(), *name, true);
      modifyProjectSetting();
    }
  }
  // The gallery stays (it may be the caller, closing itself after Edit).
  state_ = 0;
}

void DesktopManagerController::updateCurProjectBackground(const std::optional<std::string>& name) {
  if (ProjectDataModel* p = project()) attachBackground(*p, name, false);
}

// The painting is for the project on the desk: one opened meanwhile (from
// the file panel) takes it at once, as leaving the mode would give it, so
// that its list names the background from the first write of the painting
// on and a kill before the mode ends leaves it showing the painting.
void DesktopManagerController::giveThePaintingToTheOpenProject() {
  ProjectDataModel* p = project();
  const std::optional<std::string>& name = settings().backgroundName();
  if (p && name && p->curBackgroundName() != name) updateCurProjectBackground(name);
}

void DesktopManagerController::editBackground() {
  frame1_->setImage({});
  frame2_->setImage({});
  layer_->setImage({});
  background_->setImage({});
  background_->setHidden(true);
  laySelected_->setHidden(true);
  // A new background has no picture yet: the canvas starts empty.
  std::optional<gfx::Image> picture;
  const std::optional<std::string>& name = settings().backgroundName();
  const OptionalPath path = model().backgroundFullPathWithBackgroundName(name);
  // A picture that is written back is read by the reader that sets an
  // unreadable one aside; the program's own pictures are only shown.
  if (name && isPaintableBackgroundType(backgroundTypeOfName(*name))) {
    picture = readPictureToDraw(path, fd::Localized("The background picture being painted"));
  } else if (path) {
    picture = gfx::readImage(*path).toOptional();
  }
  drawImage(picture ? &*picture : nullptr);
  showLayerVisibility();
  if (drawsView_) drawsView_->reflushSettings();
  playView_->setAlpha(0);
  playerView_->setAlpha(0);
  frameManagerBtn_->setEnabled(false);
  pageIndicator_->setText("001/001");
  pageNumberShowDesk_->setText("001/001");
  updateBackgroundMarks();
  updateEditState();
}

void DesktopManagerController::saveBackground() {
  if (drawsView_) drawsView_->writeToFileForBackground();
  playView_->setAlpha(1);
  playerView_->setAlpha(1);
  frameManagerBtn_->setEnabled(false);
}

// Leaving the mode refreshes the desk as the file manager's closing does: the
// page controls and the onion skin come back and the project is opened again.
void DesktopManagerController::leaveBackgroundMode() {
  if (!settings().isBackground()) return;
  endBackgroundMode();
  panelClosed(ClosedPanel::FileManager);
}

void DesktopManagerController::endBackgroundMode() {
  if (!settings().isBackground()) return;
  settings().setIsBackground(false);
  updateCurProjectBackground(settings().backgroundName());
}

// One rule for both marks, run after everything that changes the picture
// under the layers or the mode: in background mode the canvas holds the
// background and no picture is shown under it.
void DesktopManagerController::updateBackgroundMarks() {
  const bool painting = settings().isBackground();
  if (backgroundEditState_) backgroundEditState_->setHighlighted(painting);
  if (backgroundAddState_) backgroundAddState_->setHighlighted(!painting && !background_->image().empty());
}
