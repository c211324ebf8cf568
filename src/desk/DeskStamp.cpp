// The desk and its stamp and shape tool: showing and hiding it, the canvas
// and the canvas picture it cuts from, and the photo it imports from the
// album or the camera.
#include <algorithm>

#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "platform/foundation/Localized.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Screen.h"
#include "services/VTSystemManager.h"

namespace {

constexpr float kParkedTurn = 0.4363f;  // 25 degrees, tucked away at the left edge
constexpr ui::Rect kParkedFrame{-175, -10, GraphToolView::kWidth, GraphToolView::kHeight};
constexpr double kSlide = 0.3;
constexpr const char* kStampEvent = "StampTools.iPhone.Zoetra";
constexpr const char* kStampTimeEvent = "StampTools_time.iPhone.Zoetra";

ui::Point middle(const ui::Rect& r) { return {r.x + r.width / 2, r.y + r.height / 2}; }

}  // namespace

void DesktopManagerController::displayGraphToolView(ui::Button* sender) {
  sender->setSelected(!sender->isSelected());
  if (!sender->isSelected()) {
    sender->setAlpha(1.0f);
    respondGraphToolHiddenEvent();
    return;
  }
  sender->setAlpha(0.4f);
  if (!graphToolView_) {
    graphToolView_ = std::make_shared<GraphToolView>(ui::Rect{-175, 40, GraphToolView::kWidth, GraphToolView::kHeight});
    graphToolView_->setTransform(gfx::AffineTransform::makeRotation(kParkedTurn));
    graphToolView_->setGraphToolDelegate(this);
  }
  GraphToolView& tool = *graphToolView_;
  view()->addSubview(graphToolView_);
  tool.setHidden(false);
  tool.setBounds({0, 0, GraphToolView::kWidth, GraphToolView::kHeight});
  const ui::Rect desk = view()->frame();
  ui::Animations::animate(kSlide, [&] {
    tool.setCenter({desk.width / 2, desk.height / 2});
    tool.setTransform(gfx::AffineTransform::identity());
  });
  tool.setAngle(0);
  tool.clearEvent();
  tool.adjustmentControlFrame(false);
  tool.setIsPrint(true);
  tool.setIsExportAlum(false);
  tool.setAlumImage({});
  tool.maskView()->setImage({});
  tool.downLoadTable()->removeFromSuperview();
  tool.albumTable()->removeFromSuperview();
  tool.returnInterface();
  VTSystemManager::sharedManager().event(kStampEvent);
  VTSystemManager::sharedManager().beginEvent(kStampTimeEvent);
}

void DesktopManagerController::respondGraphToolHiddenEvent() {
  VTSystemManager::sharedManager().endEvent(kStampTimeEvent);
  // Closing the tool without placing a cut piece leaves the page as it was
  // before the cut.
  if (drawsView_) drawsView_->withdrawCut();
  if (!graphToolView_) return;
  GraphToolView& tool = *graphToolView_;
  ui::Animations::animate(
      kSlide,
      [&] {
        tool.setTransform(gfx::AffineTransform::makeRotation(kParkedTurn));
        tool.setCenter(middle(kParkedFrame));
      },
      [weak = weak_from_this()](bool) {
        // The desk may be gone by the end of the slide.
        if (auto desk = weak.lock()) static_cast<DesktopManagerController&>(*desk).graphToolHidden();
      });
}

void DesktopManagerController::graphToolHidden() {
  if (graphToolView_) graphToolView_->setHidden(true);
  if (stampBtn_) {
    stampBtn_->setSelected(false);
    stampBtn_->setAlpha(1.0f);
  }
}

DrawsView* DesktopManagerController::respondGraphToolCutImageBtnEvent() { return drawsView(); }

std::shared_ptr<ui::View> DesktopManagerController::respondGraphToolScreenImageBtnEvent() {
  DrawsView* canvas = drawsView();
  if (!canvas || !graphToolView_) return nullptr;
  const ui::Rect f = canvas->frame();
  auto shot = std::make_shared<ui::ImageView>(ui::Rect{0, 0, f.width, f.height});
  shot->setCenter(canvas->convertPointTo({f.width / 2, f.height / 2}, graphToolView_->maskView()));
  if (std::optional<gfx::Image> picture = canvas->image()) shot->setImage(ui::Picture(std::move(*picture)));
  return shot;
}

void DesktopManagerController::respondGraphToolOpenLibraryEvent() {
  picker_->setPickerDelegate(this);
  if (ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSource::Camera)) {
    photoSourceSheet_ = ui::ActionSheet::make("", this, std::nullopt, std::nullopt,
                                              {fd::Localized("camera"), fd::Localized("open Library")});
    photoSourceSheet_->showInView(view());
    return;
  }
  picker_->setSourceType(ui::ImagePickerSource::PhotoLibrary);
  presentViewController(picker_, true);
}

void DesktopManagerController::clickedButtonAtIndex(ui::ButtonSheet& sheet, int index) {
  if (&sheet != static_cast<ui::ButtonSheet*>(photoSourceSheet_.get())) return;
  picker_->setSourceType(index == 0 ? ui::ImagePickerSource::Camera : ui::ImagePickerSource::PhotoLibrary);
  presentViewController(picker_, true);
}

void DesktopManagerController::didFinishPickingMedia(ui::ImagePickerController& picker, const ui::PickedMedia& media) {
  picker.dismissViewController(true);
  if (!graphToolView_) return;
  GraphToolView& tool = *graphToolView_;
  const ui::Picture image = picker.allowsEditing() && !media.editedImage.empty() ? media.editedImage : media.originalImage;
  if (image.empty()) return;
  tool.setIsGraph(false);
  tool.setAlumImage(image);
  tool.setIsExportAlum(true);
  // Fitted into the held-image view with its proportions kept.
  ui::ImageView& mask = *tool.maskView();
  const float W = mask.frame().width, H = mask.frame().height;
  const float w = image.size().width, h = image.size().height;
  ui::Rect rect;
  if (const float r = W / w; h * r <= H) rect = {0, (H - h * r) / 2, W, h * r};
  else rect = {(W - w * (H / h)) / 2, 0, w * (H / h), H};
  tool.setScaleWidth(W / rect.width);
  tool.setScaleHeight(H / rect.height);
  const float scale = ui::Screen::main().scale() > 0 ? ui::Screen::main().scale() : 1.0f;
  gfx::Context c(std::max(1, static_cast<int>(W * scale)), std::max(1, static_cast<int>(H * scale)), scale);
  c.clear();
  c.drawImage(*image.image(), rect);
  mask.setImage(ui::Picture(c.makeImage(true)));
  if (!tool.arbitraryClipBtn()->isSelected()) {
    tool.switchInteface();
    mask.setFrame(tool.drawView()->bounds());
    tool.drawView()->addSubview(mask.self());
  } else {
    tool.drawView()->addSubview(mask.self());
    if (tool.pathView()) {
      tool.addSubview(tool.pathView()->self());
      tool.pathView()->setUserInteractionEnabled(true);
    }
  }
  if (tool.pathView() && tool.pathView()->dotline()) {
    tool.showPathViewImage(true);
    tool.switchInteface();
  }
  tool.downLoadTable()->removeFromSuperview();
  tool.albumTable()->removeFromSuperview();
  tool.deformView()->setUserInteractionEnabled(true);
}
